#include "AuthController.h"

#include "core/ports/KeychainHelperProtocol.h"
#include "TokenAnswer.h"

#include "core/ports/URLSessionProtocol.h"
#include "core/UserDefaults.h"
#include "tracking/SessionBatchControllerProtocol.h"
#include "upload/UserActivityControllerProtocol.h"

namespace hourloom {

AuthController::AuthController(std::shared_ptr<KeychainHelperProtocol> keychainHelper, std::shared_ptr<URLSessionProtocol> urlSession, QUrl loginURL)
    : loginURL_(std::move(loginURL))
    , keychainHelper_(std::move(keychainHelper))
    , urlSession_(std::move(urlSession))
    , authRequest_{std::nullopt, std::nullopt, Configuration::apiClientId(), Configuration::apiClientSecret(), QStringLiteral("password")}
{
}

QCoro::Task<std::shared_ptr<AuthController>> AuthController::make(std::shared_ptr<KeychainHelperProtocol> keychainHelper,
                                                                  std::shared_ptr<URLSessionProtocol> urlSession, QUrl loginURL)
{
    std::shared_ptr<AuthController> controller(new AuthController(keychainHelper, std::move(urlSession), std::move(loginURL)));
    controller->authToken_ = co_await keychainHelper->readItem(KeychainHelperProtocol::accessTokenService, KeychainHelperProtocol::account());
    controller->loggedIn_ = controller->authToken_.has_value();
    co_return controller;
}

void AuthController::setLoggedIn(bool loggedIn)
{
    loggedIn_ = loggedIn;
    UserDefaults::setBoolean(UserDefaults::loggedInKey, loggedIn);
}

QCoro::Task<AuthResult> AuthController::logIn(QString username, QString password,
                                              std::shared_ptr<UserActivityControllerProtocol> userActivityController)
{
    const std::weak_ptr<AuthController> weakSelf = weak_from_this();
    const URLRequest request = TokenAnswer::request(loginURL_);
    authRequest_.username = username;
    authRequest_.password = std::move(password);
    const std::optional<QByteArray> body = authRequest_.encode();
    // The password is needed only for this body; it is not kept around in memory.
    authRequest_.password.reset();
    if (!body) {
        setLoggedIn(false);
        co_await logOut();
        co_return AuthResult::failure(AuthenticationError::encodeUserDetails);
    }

    const std::shared_ptr<URLSessionProtocol> urlSession = urlSession_;
    URLSessionCompletion completion = co_await urlSession->uploadTask(request, *body);
    const auto self = weakSelf.lock();
    if (!self)
        co_return AuthResult::failure(AuthenticationError::networkConnectionFailure);
    // From here on the tokens being stored belong to this login; a renewal still under way for
    // an earlier one must not overwrite them.
    ++self->loginGeneration_;
    if (const std::optional<AuthResult> failure = co_await self->storeTokens(std::move(completion)))
        co_return *failure;

    self->username_ = username;
    self->sessionExpired_ = false;
    userActivityController->sessionBatchController()->sessionBatch()->setAppSessions({});
    co_await userActivityController->startTracking();
    userActivityController->scheduleUploadTimer();
    co_return AuthResult::success(QStringLiteral("Successfully logged in"));
}

QCoro::Task<std::optional<AuthResult>> AuthController::storeTokens(URLSessionCompletion completion)
{
    const auto answer = TokenAnswer::read(completion, TokenAnswer::Grant::password);
    if (const auto *failure = std::get_if<AuthResult>(&answer))
        co_return *failure;
    const auto &token = std::get<AuthToken>(answer);
    // Without an access token nothing could ever be uploaded: reporting a login would leave the
    // user shown as logged in with a dead session.
    if (!token.accessToken)
        co_return AuthResult::failure(AuthenticationError::decodeTokenError);

    const std::weak_ptr<AuthController> weakSelf = weak_from_this();
    const std::shared_ptr<KeychainHelperProtocol> keychain = keychainHelper_;
    const QByteArray accessToken = token.accessToken->toUtf8();
    co_await keychain->saveItem(accessToken, KeychainHelperProtocol::accessTokenService, KeychainHelperProtocol::account());
    if (const auto self = weakSelf.lock())
        self->authToken_ = accessToken;
    if (token.refreshToken) {
        const QByteArray refreshToken = token.refreshToken->toUtf8();
        co_await keychain->saveItem(refreshToken, KeychainHelperProtocol::refreshTokenService, KeychainHelperProtocol::account());
        if (const auto self = weakSelf.lock())
            self->refreshToken_ = refreshToken;
    }
    co_return std::nullopt;
}

QCoro::Task<void> AuthController::logOut()
{
    ++loginGeneration_;
    authToken_.reset();
    refreshToken_.reset();
    co_await keychainHelper_->deleteItem(KeychainHelperProtocol::accessTokenService, KeychainHelperProtocol::account());
}

QCoro::Task<std::optional<QString>> AuthController::getAccessToken()
{
    if (authToken_)
        co_return QString::fromUtf8(*authToken_);
    const std::weak_ptr<AuthController> weakSelf = weak_from_this();
    const std::shared_ptr<KeychainHelperProtocol> keychain = keychainHelper_;
    const std::optional<QByteArray> stored = co_await keychain->readItem(KeychainHelperProtocol::accessTokenService, KeychainHelperProtocol::account());
    if (!stored)
        co_return std::nullopt;
    if (const auto self = weakSelf.lock())
        self->authToken_ = stored;
    co_return QString::fromUtf8(*stored);
}

QCoro::Task<bool> AuthController::hasAccessToken(std::shared_ptr<KeychainHelperProtocol> keychainHelper, bool reload)
{
    if (!reload && authToken_)
        co_return true;
    const std::weak_ptr<AuthController> weakSelf = weak_from_this();
    std::optional<QByteArray> stored = co_await keychainHelper->readItem(KeychainHelperProtocol::accessTokenService, KeychainHelperProtocol::account());
    const bool found = stored.has_value();
    if (const auto self = weakSelf.lock())
        self->authToken_ = std::move(stored);
    co_return found;
}

} // namespace hourloom
