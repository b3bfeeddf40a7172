#pragma once

#include "AuthControllerProtocol.h"
#include "AuthRequest.h"

#include "core/Configuration.h"

#include <QUrl>

namespace hourloom {

class URLSessionProtocol;
struct URLSessionCompletion;

// Login state, the in-memory tokens and the password grant. The operations are coroutines on
// the main loop, so the token fields and authRequest are only ever touched from that thread.
class AuthController final : public AuthControllerProtocol, public std::enable_shared_from_this<AuthController> {
public:
    // Reads the stored access token: loggedIn is whether one was found (the user default is not
    // written for this first value).
    static QCoro::Task<std::shared_ptr<AuthController>> make(std::shared_ptr<KeychainHelperProtocol> keychainHelper,
                                                             std::shared_ptr<URLSessionProtocol> urlSession,
                                                             QUrl loginURL = Configuration::tokenEndpoint());

    bool loggedIn() const override { return loggedIn_; }
    bool sessionExpired() const override { return sessionExpired_; }
    void setSessionExpired(bool expired) override { sessionExpired_ = expired; }
    void setLoggedIn(bool loggedIn) override;

    QCoro::Task<AuthResult> logIn(QString username, QString password,
                                  std::shared_ptr<UserActivityControllerProtocol> userActivityController) override;
    QCoro::Task<void> logOut() override;
    QCoro::Task<std::optional<QString>> getAccessToken() override;
    QCoro::Task<bool> hasAccessToken(std::shared_ptr<KeychainHelperProtocol> keychainHelper, bool reload) override;

    quint64 loginGeneration() const override { return loginGeneration_; }
    std::optional<QByteArray> authToken() const override { return authToken_; }
    void setAuthToken(std::optional<QByteArray> token) override { authToken_ = std::move(token); }
    std::optional<QByteArray> refreshToken() const override { return refreshToken_; }
    void setRefreshToken(std::optional<QByteArray> token) override { refreshToken_ = std::move(token); }
    std::shared_ptr<KeychainHelperProtocol> keychainHelper() const override { return keychainHelper_; }

    const QString &username() const { return username_; }
    const QUrl &loginURL() const { return loginURL_; }
    const AuthRequest &authRequest() const { return authRequest_; }

private:
    AuthController(std::shared_ptr<KeychainHelperProtocol> keychainHelper, std::shared_ptr<URLSessionProtocol> urlSession, QUrl loginURL);

    // Keeps the answer's tokens; the failure to report when there is no usable answer.
    QCoro::Task<std::optional<AuthResult>> storeTokens(URLSessionCompletion completion);

    bool loggedIn_ = false;
    bool sessionExpired_ = false;
    quint64 loginGeneration_ = 0;
    QUrl loginURL_;
    std::shared_ptr<KeychainHelperProtocol> keychainHelper_;
    std::shared_ptr<URLSessionProtocol> urlSession_;
    QString username_;
    std::optional<QByteArray> authToken_;
    std::optional<QByteArray> refreshToken_;
    AuthRequest authRequest_;
};

} // namespace hourloom
