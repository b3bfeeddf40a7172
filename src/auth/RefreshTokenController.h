#pragma once

#include "AuthResult.h"
#include "RefreshRequest.h"

#include "core/Configuration.h"

#include <QFuture>
#include <QUrl>

#include <qcoro/qcorotask.h>

#include <functional>
#include <memory>
#include <optional>

namespace hourloom {

class AuthControllerProtocol;
class KeychainHelperProtocol;
class URLSessionProtocol;
struct URLSessionCompletion;

// Renews the access token with the refresh-token grant when the upload endpoint rejects it.
// Runs on the main loop. A refresh asked for while one is under way joins it: the service
// revokes a refresh token once used, so a second grant with the same token would only fail.
class RefreshTokenController final : public std::enable_shared_from_this<RefreshTokenController> {
public:
    RefreshTokenController(std::shared_ptr<AuthControllerProtocol> authController,
                           std::shared_ptr<KeychainHelperProtocol> keychainHelper,
                           std::shared_ptr<URLSessionProtocol> urlSession,
                           QUrl refreshTokenURL = Configuration::tokenEndpoint());

    // Completes with "Successfully refreshed access token" or the failure; never throws.
    QCoro::Task<AuthResult> refreshToken();

    const QUrl &refreshTokenURL() const { return refreshTokenURL_; }
    // Called when the service refuses the refresh token for good: the login is dead, and every
    // later upload would fail.
    std::function<void()> loginRefused;

    // The last body sent, including its refresh token.
    const RefreshRequest &refreshRequest() const { return refreshRequest_; }

private:
    QCoro::Task<AuthResult> runRefresh();
    QCoro::Task<std::optional<QByteArray>> makeRefreshBody();
    QCoro::Task<std::optional<QString>> currentRefreshToken();
    QCoro::Task<AuthResult> storeRefreshedTokens(URLSessionCompletion completion, quint64 loginGeneration);

    QUrl refreshTokenURL_;
    std::shared_ptr<AuthControllerProtocol> authController_;
    std::shared_ptr<URLSessionProtocol> urlSession_;
    std::shared_ptr<KeychainHelperProtocol> keychainHelper_;
    RefreshRequest refreshRequest_;
    // The refresh under way, which later callers wait for.
    std::optional<QFuture<AuthResult>> inFlight_;
};

} // namespace hourloom
