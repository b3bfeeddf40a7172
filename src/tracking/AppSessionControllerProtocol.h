#pragma once

#include "WebSessionControllerProtocol.h"
#include "model/AppSessionProtocol.h"

#include <QDateTime>

#include <functional>
#include <memory>

namespace hourloom {

// Drives the current app session: ends it, takes over an earlier session to reopen it, and keeps
// web tracking attached while the application is a browser.
class AppSessionControllerProtocol {
public:
    virtual ~AppSessionControllerProtocol() = default;

    virtual std::shared_ptr<AppSessionProtocol> appSession() const = 0;
    // Ends the open web session and the app session at the given time, also when it had ended before.
    virtual void endSession(const QDateTime &at) = 0;
    // Makes the given session this controller's and reopens it; nothing happens without one.
    virtual void resumeSession(std::shared_ptr<AppSessionProtocol> session) = 0;
    // For a browser: a fresh web session controller, polling.
    virtual void startWebTrackingIfBrowser() = 0;
};

using AppSessionControllerType = std::function<std::shared_ptr<AppSessionControllerProtocol>(
    std::shared_ptr<AppSessionProtocol> appSession, WebSessionControllerClass webSessionControllerClass)>;

} // namespace hourloom
