#pragma once

#include <httplib.h>

namespace hourloom::devserver {

class AccountStore;
class ActivityStore;

// POST /api/v1/user_activities, and GET /dev/activities for the tests to see what was stored.
// An upload is answered 401 with an empty body and the RFC 6750 challenge when its access token
// is missing, unknown, revoked or expired; 422 with {"errors": [{"message"}]} when its body is
// not the agent's upload format; otherwise it is stored for the token's user and answered 201
// with {"messages": [{"message"}]}.
class ActivityEndpoint {
public:
    ActivityEndpoint(AccountStore &accounts, ActivityStore &activities);

    void handle(const httplib::Request &request, httplib::Response &response);
    void readOut(const httplib::Request &request, httplib::Response &response);

private:
    AccountStore &accounts_;
    ActivityStore &activities_;
};

} // namespace hourloom::devserver
