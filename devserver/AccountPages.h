#pragma once

#include "PageSessionStore.h"

#include <httplib.h>

#include <QDate>
#include <QString>

namespace hourloom::devserver {

class AccountStore;
class ActivityStore;
class RequestFields;
class SignInThrottle;

// The account site a user opens from the agent's panel: sign in or sign up at "/", then the
// day's timeline there; sign-out; the help page. The browser's sign-in lives in an HttpOnly,
// SameSite=Strict cookie; every form carries a token that must match its cookie (the session's
// own, or before signing in a form cookie), and a form sent from another origin is refused.
// Sign-up answers alike whether or not the address had an account, so it tells nobody which
// addresses have one; it and sign-in share the throttle with the token endpoint.
class AccountPages {
public:
    AccountPages(AccountStore &accounts, ActivityStore &activities, PageSessionStore &sessions, SignInThrottle &throttle);

    void route(httplib::Server &server);

private:
    void home(const httplib::Request &request, httplib::Response &response);
    void signIn(const httplib::Request &request, httplib::Response &response);
    void signUp(const httplib::Request &request, httplib::Response &response);
    void signOut(const httplib::Request &request, httplib::Response &response);
    void guide(const httplib::Request &request, httplib::Response &response);

    // The signed-out page with both forms, an optional error under one of them or a notice over
    // the sign-in form, and the e-mail to sign in with.
    void showSignedOut(const httplib::Request &request, httplib::Response &response, int status, const QString &signInError = {},
                       const QString &signUpError = {}, const QString &email = {}, const QString &signInNotice = {});
    void showTimeline(const httplib::Request &request, httplib::Response &response, qint64 userId, const QString &formToken);
    // The browser's session, its cookie renewed in the response; none when it is signed out.
    std::optional<PageSessionStore::SignedIn> signedIn(const httplib::Request &request, httplib::Response &response);
    // Signs the browser in as the user and sends it to "/".
    void startSession(httplib::Response &response, qint64 userId);
    // Whether a signed-out form came back from this site with its form cookie's token.
    bool isGenuineSignedOutForm(const httplib::Request &request, const RequestFields &fields) const;

    AccountStore &accounts_;
    ActivityStore &activities_;
    PageSessionStore &sessions_;
    SignInThrottle &throttle_;
};

} // namespace hourloom::devserver
