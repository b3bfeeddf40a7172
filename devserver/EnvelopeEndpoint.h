#pragma once

#include <httplib.h>

namespace hourloom::devserver {

class EnvelopeStore;

// POST /api/<project>/envelope/, the crash-reporting intake as a Sentry server speaks it, and
// GET /dev/envelopes for the tests to see what arrived. An envelope is answered 401 when its
// X-Sentry-Auth is not "Sentry sentry_version=7, ..., sentry_key=<key>", 400 with {"detail"}
// when the body is not a well-formed envelope, and otherwise stored and answered 200 with
// {"id": event_id}.
class EnvelopeEndpoint {
public:
    explicit EnvelopeEndpoint(EnvelopeStore &envelopes);

    void handle(const httplib::Request &request, httplib::Response &response);
    void readOut(const httplib::Request &request, httplib::Response &response);

private:
    EnvelopeStore &envelopes_;
};

} // namespace hourloom::devserver
