#pragma once

#include <httplib.h>

namespace hourloom::devserver {

class AccountStore;

// POST /api/v1/user_activities. For now only the bearer check: a missing, unknown, revoked or
// expired access token is answered 401 with an empty body and the RFC 6750 challenge.
class ActivityEndpoint {
public:
    explicit ActivityEndpoint(AccountStore &store);

    void handle(const httplib::Request &request, httplib::Response &response);

private:
    AccountStore &store_;
};

} // namespace hourloom::devserver
