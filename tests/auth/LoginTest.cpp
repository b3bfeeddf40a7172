// AuthController's password grant against the local account service and gnome-keyring.
#include "AuthFixture.h"

#include "core/UserDefaults.h"
#include "auth/AuthToken.h"
#include "model/DecodingError.h"

#include <QJsonObject>

#include <qcoro/qcorotask.h>

using namespace hourloom;
using hourloom::test::AuthFixture;
using hourloom::test::DevServerProcess;

namespace {

using AuthController_ = AuthFixture;

const QString accessService = KeychainHelperProtocol::accessTokenService;
const QString refreshService = KeychainHelperProtocol::refreshTokenService;

// The decoder's own description of a body that is not a token answer.
QString decoderError(const QByteArray &body)
{
    try {
        AuthToken::decode(body);
    } catch (const DecodingError &error) {
        return QString::fromStdString(error.what());
    }
    return {};
}

} // namespace

TEST_F(AuthController_, ALoginStoresBothTokensAndStartsTracking)
{
    EXPECT_FALSE(auth->loggedIn());
    const AuthResult result = logIn();
    ASSERT_TRUE(result.isSuccess()) << result.text().toStdString();
    EXPECT_EQ(result.text(), "Successfully logged in");

    const auto accessToken = stored(accessService);
    const auto refreshToken = stored(refreshService);
    ASSERT_TRUE(accessToken && refreshToken);
    EXPECT_EQ(auth->authToken(), accessToken);
    EXPECT_EQ(auth->refreshToken(), refreshToken);
    EXPECT_EQ(uploadStatus(*accessToken), 201);
    EXPECT_EQ(QCoro::waitFor(auth->getAccessToken()), QString::fromUtf8(*accessToken));

    EXPECT_EQ(auth->username(), DevServerProcess::email);
    EXPECT_EQ(auth->authRequest().username, DevServerProcess::email);
    EXPECT_EQ(auth->authRequest().password, std::nullopt);
    EXPECT_TRUE(userActivity->sessionBatchController()->sessionBatch()->appSessions().isEmpty());
    EXPECT_EQ(userActivity->calls, (QStringList{"startTracking", "scheduleUploadTimer"}));
    // The view model sets the flag; the login itself does not.
    EXPECT_FALSE(auth->loggedIn());

    // A second login replaces both items.
    ASSERT_TRUE(logIn().isSuccess());
    EXPECT_NE(stored(accessService), accessToken);
    EXPECT_NE(stored(refreshService), refreshToken);
    EXPECT_EQ(auth->authToken(), stored(accessService));
}

TEST_F(AuthController_, RejectedLoginsShowTheirMessageAndChangeNothing)
{
    const auto expectFailure = [this](const AuthResult &result, const char *message) {
        EXPECT_FALSE(result.isSuccess());
        EXPECT_EQ(result.text().toStdString(), message);
        EXPECT_EQ(stored(accessService), std::nullopt);
        EXPECT_EQ(auth->authToken(), std::nullopt);
        EXPECT_TRUE(userActivity->calls.isEmpty());
        EXPECT_EQ(userActivity->sessionBatchController()->sessionBatch()->appSessions().size(), 1);
    };

    expectFailure(logIn(DevServerProcess::email, "wrong password"), "Invalid login details");
    EXPECT_EQ(logIn(DevServerProcess::email, "wrong password").error(), AuthenticationError::invalidLoginDetails);

    server.injectFault({{"endpoint", "/oauth/token"}, {"status", 401}, {"content_type", "application/json"},
                        {"body", R"({"error":"invalid_client","error_description":"Client authentication failed"})"}});
    expectFailure(logIn(), "Token Authentication Issue. Try again later");

    const QByteArray page = "<html><body>Internal Server Error</body></html>";
    server.injectFault({{"endpoint", "/oauth/token"}, {"status", 500}, {"body", QString::fromUtf8(page)}, {"content_type", "text/html"}});
    const AuthResult serverError = logIn();
    expectFailure(serverError, decoderError(page).toStdString().c_str());
    EXPECT_EQ(serverError.error(), std::nullopt);
    EXPECT_FALSE(serverError.text().isEmpty());

    server.injectFault({{"endpoint", "/oauth/token"}, {"status", 200}, {"body", ""}});
    expectFailure(logIn(), "No response from server. Please try again later");

    // A token answer without an access token is no login.
    server.injectFault({{"endpoint", "/oauth/token"}, {"status", 200}, {"content_type", "application/json"},
                        {"body", R"({"refresh_token":"orphan","created_at":1700000000,"expires_in":7200})"}});
    expectFailure(logIn(), "Couldn't decode token. Please try again later");
    EXPECT_EQ(stored(refreshService), std::nullopt);
}

TEST_F(AuthController_, TransportFailuresAskWhetherTheInternetWorks)
{
    const char *message = "Couldn't connect to the server. Is your internet working?";
    auth = QCoro::waitFor(AuthController::make(keychain, urlSession, refusingEndpoint()));
    EXPECT_EQ(logIn().text().toStdString(), message);

    auth = QCoro::waitFor(AuthController::make(keychain, urlSession, server.url("/oauth/token")));
    // Twice: Qt resends a request once when a kept-alive connection closes unanswered.
    server.injectFault({{"endpoint", "/oauth/token"}, {"count", 2}, {"close", true}});
    EXPECT_EQ(logIn().text().toStdString(), message);

    // A service that does not answer in time.
    auth = QCoro::waitFor(AuthController::make(keychain, std::make_shared<NetworkURLSession>(std::chrono::milliseconds(200)),
                                               server.url("/oauth/token")));
    server.injectFault({{"endpoint", "/oauth/token"}, {"delay_ms", 3000}});
    EXPECT_EQ(logIn().text().toStdString(), message);
    EXPECT_EQ(stored(accessService), std::nullopt);
}

TEST_F(AuthController_, ALoginThatCannotBeEncodedLogsOutWithoutSending)
{
    ASSERT_TRUE(logIn().isSuccess());
    auth->setLoggedIn(true);
    // The next request the service receives fails: if the broken login sent one, the real
    // login below would succeed instead.
    server.injectFault({{"endpoint", "/oauth/token"}, {"status", 503}, {"body", "busy"}});

    const QString loneSurrogate(QChar(0xD800));
    const AuthResult result = logIn(DevServerProcess::email + loneSurrogate);
    EXPECT_EQ(result.text(), "Couldn't send login details. Please try again later");
    EXPECT_FALSE(auth->loggedIn());
    EXPECT_FALSE(UserDefaults::boolean(UserDefaults::loggedInKey));
    EXPECT_EQ(auth->authToken(), std::nullopt);
    EXPECT_EQ(stored(accessService), std::nullopt);
    EXPECT_NE(stored(refreshService), std::nullopt);

    EXPECT_FALSE(logIn().isSuccess());
}

TEST_F(AuthController_, StartUpLogOutAndTheLoggedInDefault)
{
    ASSERT_TRUE(logIn().isSuccess());
    const auto accessToken = stored(accessService);

    // A new controller finds the stored token and counts as logged in, without writing the default.
    UserDefaults::remove(UserDefaults::loggedInKey);
    auth = QCoro::waitFor(AuthController::make(keychain, urlSession, server.url("/oauth/token")));
    EXPECT_TRUE(auth->loggedIn());
    EXPECT_EQ(auth->authToken(), accessToken);
    EXPECT_EQ(auth->refreshToken(), std::nullopt);
    EXPECT_FALSE(UserDefaults::string(UserDefaults::loggedInKey).has_value());
    auth->setLoggedIn(true);
    EXPECT_TRUE(UserDefaults::boolean(UserDefaults::loggedInKey));

    QCoro::waitFor(auth->logOut());
    EXPECT_TRUE(auth->loggedIn());
    EXPECT_EQ(QCoro::waitFor(auth->getAccessToken()), std::nullopt);
    EXPECT_FALSE(QCoro::waitFor(auth->hasAccessToken(keychain, false)));
    EXPECT_EQ(stored(accessService), std::nullopt);
    EXPECT_NE(stored(refreshService), std::nullopt);

    // hasAccessToken reads the store when asked to reload, or when no token is held.
    store("stored elsewhere", accessService);
    EXPECT_TRUE(QCoro::waitFor(auth->hasAccessToken(keychain, false)));
    EXPECT_EQ(auth->authToken(), QByteArray("stored elsewhere"));
    QCoro::waitFor(keychain->deleteItem(accessService, KeychainHelperProtocol::account()));
    EXPECT_TRUE(QCoro::waitFor(auth->hasAccessToken(keychain, false)));
    EXPECT_FALSE(QCoro::waitFor(auth->hasAccessToken(keychain, true)));
    EXPECT_EQ(auth->authToken(), std::nullopt);
}
