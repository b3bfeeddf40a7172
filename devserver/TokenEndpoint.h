#pragma once

#include <httplib.h>

namespace hourloom::devserver {

class AccountStore;

// POST /oauth/token: the password grant (reading "email", not "username") and the
// refresh-token grant, with the client's credentials in the body.
class TokenEndpoint {
public:
    explicit TokenEndpoint(AccountStore &store);

    void handle(const httplib::Request &request, httplib::Response &response);

private:
    AccountStore &store_;
};

} // namespace hourloom::devserver
