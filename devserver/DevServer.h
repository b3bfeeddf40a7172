#pragma once

#include "AccountPages.h"
#include "AccountStore.h"
#include "ActivityEndpoint.h"
#include "ActivityStore.h"
#include "AppcastEndpoint.h"
#include "DevServerOptions.h"
#include "EnvelopeEndpoint.h"
#include "EnvelopeStore.h"
#include "FaultInjector.h"
#include "PageSessionStore.h"
#include "RequestGuard.h"
#include "SignInThrottle.h"
#include "TokenEndpoint.h"

#include <httplib.h>

namespace hourloom::devserver {

// The HTTP side of the service: routes (the API and the account pages), the request guard and
// the fault hook, on 127.0.0.1.
class DevServer {
public:
    // Enough that a few clients that send slowly never hold up the rest.
    static constexpr size_t workerCount = 64;

    // Throws std::runtime_error when the activity, envelope or page session tables cannot be created.
    DevServer(AccountStore &store, bool faultInjection);

    // The port now listened on, or -1 when it cannot be bound. 0 picks a free port.
    int bind(int port);
    // Serves until stop(); false when serving failed.
    bool run();
    // Safe from any thread.
    void stop();

private:
    void route(bool faultInjection);
    // Routes whose body the guard reads.
    void post(const std::string &pattern, httplib::Server::Handler handler);
    void del(const std::string &pattern, httplib::Server::Handler handler);

    SignInThrottle signInThrottle_;
    TokenEndpoint tokenEndpoint_;
    ActivityStore activityStore_;
    ActivityEndpoint activityEndpoint_;
    EnvelopeStore envelopeStore_;
    EnvelopeEndpoint envelopeEndpoint_;
    AppcastEndpoint appcastEndpoint_;
    PageSessionStore pageSessions_;
    AccountPages accountPages_;
    FaultInjector faultInjector_;
    RequestGuard guard_;
    httplib::Server server_;
};

} // namespace hourloom::devserver
