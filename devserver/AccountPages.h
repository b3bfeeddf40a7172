#pragma once

#include <httplib.h>

#include <QDate>
#include <QString>

namespace hourloom::devserver {

class AccountStore;
class ActivityStore;
class PageSessionStore;
class RequestFields;
class SignInThrottle;

// The account site a user opens from the agent's panel: sign in or sign up at "/", then the
// day's timeline there; sign-out; the help page. The browser's sign-in lives in an HttpOnly,
// SameSite=Strict cookie; every form carries a token that must match its cookie (the session's
// own, or before signing in a form cookie), and a form sent from another origin is refused.
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

    // The signed-out page with both forms, an optional error under one of them.
    void showSignedOut(const httplib::Request &request, httplib::Response &response, int status, const QString &signInError = {},
                       const QString &signUpError = {}, const QString &email = {});
    void showTimeline(const httplib::Request &request, httplib::Response &response, qint64 userId, const QString &formToken);
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
