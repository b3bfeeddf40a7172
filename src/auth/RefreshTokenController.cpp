#include "RefreshTokenController.h"

#include "AuthControllerProtocol.h"
#include "core/ports/KeychainHelperProtocol.h"
#include "TokenAnswer.h"

#include "core/ports/URLSessionProtocol.h"

#include <QPromise>

#include <qcoro/qcorofuture.h>

namespace hourloom {

RefreshTokenController::RefreshTokenController(std::shared_ptr<AuthControllerProtocol> authController,
                                               std::shared_ptr<KeychainHelperProtocol> keychainHelper,
                                               std::shared_ptr<URLSessionProtocol> urlSession, QUrl refreshTokenURL)
    : refreshTokenURL_(std::move(refreshTokenURL))
    , authController_(std::move(authController))
    , urlSession_(std::move(urlSession))
    , keychainHelper_(std::move(keychainHelper))
    , refreshRequest_{Configuration::apiClientId(), Configuration::apiClientSecret(), QStringLiteral("refresh_token"), std::nullopt}
{
}

QCoro::Task<AuthResult> RefreshTokenController::refreshToken()
{
    if (inFlight_)
        co_return co_await QFuture<AuthResult>(*inFlight_);

    const std::weak_ptr<RefreshTokenController> weakSelf = weak_from_this();
    QPromise<AuthResult> promise;
    inFlight_ = promise.future();
    promise.start();
    const AuthResult result = co_await runRefresh();
    if (const auto self = weakSelf.lock())
        self->inFlight_.reset();
    promise.addResult(result);
    promise.finish();
    co_return result;
}

QCoro::Task<AuthResult> RefreshTokenController::runRefresh()
{
    const std::weak_ptr<RefreshTokenController> weakSelf = weak_from_this();
    const quint64 loginGeneration = authController_->loginGeneration();
    const URLRequest request = TokenAnswer::request(refreshTokenURL_);
    const std::optional<QByteArray> body = co_await makeRefreshBody();
    if (!body)
        co_return AuthResult::failure(AuthenticationError::encodeRefreshToken);
    const auto self = weakSelf.lock();
    if (!self)
        co_return AuthResult::failure(AuthenticationError::networkConnectionFailure);

    const std::shared_ptr<URLSessionProtocol> urlSession = self->urlSession_;
    URLSessionCompletion completion = co_await urlSession->uploadTask(request, *body);
    if (TokenAnswer::refusesGrant(completion) && self->loginRefused)
        self->loginRefused();
    co_return co_await self->storeRefreshedTokens(std::move(completion), loginGeneration);
}

QCoro::Task<std::optional<QString>> RefreshTokenController::currentRefreshToken()
{
    // The token held in memory is the latest: the service rotates it at every refresh, and a
    // failed save leaves the store with one it has already revoked.
    if (const std::optional<QByteArray> held = authController_->refreshToken())
        co_return QString::fromUtf8(*held);
    const std::shared_ptr<KeychainHelperProtocol> keychain = keychainHelper_;
    const std::optional<QByteArray> stored = co_await keychain->readItem(KeychainHelperProtocol::refreshTokenService, KeychainHelperProtocol::account());
    if (!stored)
        co_return std::nullopt;
    co_return QString::fromUtf8(*stored);
}

QCoro::Task<std::optional<QByteArray>> RefreshTokenController::makeRefreshBody()
{
    const std::weak_ptr<RefreshTokenController> weakSelf = weak_from_this();
    const std::optional<QString> token = co_await currentRefreshToken();
    const auto self = weakSelf.lock();
    if (!token || !self)
        co_return std::nullopt;
    self->refreshRequest_.refreshToken = token;
    co_return self->refreshRequest_.encode();
}

QCoro::Task<AuthResult> RefreshTokenController::storeRefreshedTokens(URLSessionCompletion completion, quint64 loginGeneration)
{
    const auto answer = TokenAnswer::read(completion, TokenAnswer::Grant::refreshToken);
    if (const auto *failure = std::get_if<AuthResult>(&answer))
        co_return *failure;
    const auto &token = std::get<AuthToken>(answer);
    const AuthResult success = AuthResult::success(QStringLiteral("Successfully refreshed access token"));
    // A partial answer leaves the current pair in place rather than half of it.
    if (!token.accessToken || !token.refreshToken)
        co_return success;

    // The user logged out (or in again) while the grant was under way: its tokens belong to a
    // login that is over, and storing them would log the user back in at the next start.
    const std::shared_ptr<AuthControllerProtocol> authController = authController_;
    const auto loginIsOver = [&] { return authController->loginGeneration() != loginGeneration; };
    const AuthResult discarded = AuthResult::failure(AuthenticationError::encodeRefreshToken);
    if (loginIsOver())
        co_return discarded;
    const std::shared_ptr<KeychainHelperProtocol> keychain = authController->keychainHelper();
    const QByteArray accessToken = token.accessToken->toUtf8();
    const QByteArray refreshToken = token.refreshToken->toUtf8();
    co_await keychain->saveItem(accessToken, KeychainHelperProtocol::accessTokenService, KeychainHelperProtocol::account());
    if (loginIsOver())
        co_return discarded;
    co_await keychain->saveItem(refreshToken, KeychainHelperProtocol::refreshTokenService, KeychainHelperProtocol::account());
    if (loginIsOver())
        co_return discarded;
    authController->setAuthToken(accessToken);
    authController->setRefreshToken(refreshToken);
    co_return success;
}

} // namespace hourloom
