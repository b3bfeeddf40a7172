#pragma once

#include <httplib.h>

namespace hourloom::devserver {

class AccountStore;
class SignInThrottle;

// POST /oauth/token: the password grant (reading "email", not "username") and the
// refresh-token grant, with the client's credentials in the body. Password grants share the
// account pages' throttle: an address that keeps guessing is answered 429 for a while.
class TokenEndpoint {
public:
    TokenEndpoint(AccountStore &store, SignInThrottle &throttle);

    void handle(const httplib::Request &request, httplib::Response &response);

private:
    AccountStore &store_;
    SignInThrottle &throttle_;
};

} // namespace hourloom::devserver
