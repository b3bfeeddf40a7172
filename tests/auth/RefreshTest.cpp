// RefreshTokenController's refresh-token grant against the local account service and gnome-keyring.
#include "AuthFixture.h"

#include "auth/RefreshTokenController.h"

#include <QJsonObject>

#include <qcoro/qcorotask.h>

using namespace hourloom;
using hourloom::test::AuthFixture;

namespace {

const QString accessService = KeychainHelperProtocol::accessTokenService;
const QString refreshService = KeychainHelperProtocol::refreshTokenService;

class RefreshTokenController_ : public AuthFixture {
protected:
    void SetUp() override
    {
        AuthFixture::SetUp();
        controller = makeController(server.url("/oauth/token"));
    }

    std::shared_ptr<RefreshTokenController> makeController(QUrl url)
    {
        return std::make_shared<RefreshTokenController>(auth, keychain, urlSession, std::move(url));
    }

    AuthResult refresh() { return QCoro::waitFor(controller->refreshToken()); }

    void expectTokensUnchanged(const std::optional<QByteArray> &accessToken, const std::optional<QByteArray> &refreshToken)
    {
        EXPECT_EQ(stored(accessService), accessToken);
        EXPECT_EQ(stored(refreshService), refreshToken);
        EXPECT_EQ(auth->authToken(), accessToken);
        EXPECT_EQ(auth->refreshToken(), refreshToken);
    }

    std::shared_ptr<RefreshTokenController> controller;
};

} // namespace

TEST_F(RefreshTokenController_, ARefreshRotatesBothTokensAndTheNextOneSendsTheNewRefreshToken)
{
    ASSERT_TRUE(logIn().isSuccess());
    const auto firstAccess = stored(accessService);
    const auto firstRefresh = stored(refreshService);

    const AuthResult result = refresh();
    ASSERT_TRUE(result.isSuccess()) << result.text().toStdString();
    EXPECT_EQ(result.text(), "Successfully refreshed access token");
    EXPECT_EQ(controller->refreshRequest().refreshToken, QString::fromUtf8(*firstRefresh));
    const auto secondAccess = stored(accessService);
    const auto secondRefresh = stored(refreshService);
    ASSERT_TRUE(secondAccess && secondRefresh);
    EXPECT_NE(secondAccess, firstAccess);
    EXPECT_NE(secondRefresh, firstRefresh);
    EXPECT_EQ(auth->authToken(), secondAccess);
    EXPECT_EQ(auth->refreshToken(), secondRefresh);
    EXPECT_EQ(QCoro::waitFor(auth->getAccessToken()), QString::fromUtf8(*secondAccess));
    EXPECT_EQ(uploadStatus(*secondAccess), 201);

    // The service revoked the first refresh token, so this only succeeds with the new one.
    ASSERT_TRUE(refresh().isSuccess());
    EXPECT_EQ(controller->refreshRequest().refreshToken, QString::fromUtf8(*secondRefresh));
    EXPECT_EQ(controller->refreshRequest().grantType, "refresh_token");
    EXPECT_NE(stored(refreshService), secondRefresh);
}

TEST_F(RefreshTokenController_, RefreshesAskedForTogetherShareOneGrant)
{
    ASSERT_TRUE(logIn().isSuccess());
    auto first = controller->refreshToken();
    auto second = controller->refreshToken();
    const AuthResult firstResult = QCoro::waitFor(std::move(first));
    const AuthResult secondResult = QCoro::waitFor(std::move(second));
    // Two grants with the same refresh token would leave the second with "Invalid login details".
    EXPECT_TRUE(firstResult.isSuccess()) << firstResult.text().toStdString();
    EXPECT_TRUE(secondResult.isSuccess()) << secondResult.text().toStdString();
    EXPECT_EQ(uploadStatus(*stored(accessService)), 201);
    EXPECT_TRUE(refresh().isSuccess());
}

TEST_F(RefreshTokenController_, WithoutAStoredRefreshTokenNothingIsSent)
{
    // The next request the service receives fails, so a later login proves none was sent.
    server.injectFault({{"endpoint", "/oauth/token"}, {"status", 503}, {"body", "busy"}});
    const AuthResult result = refresh();
    EXPECT_EQ(result.error(), AuthenticationError::encodeRefreshToken);
    EXPECT_EQ(result.text(), "Couldn't renew authentication token. Please try again later");
    EXPECT_EQ(controller->refreshRequest().refreshToken, std::nullopt);
    EXPECT_FALSE(logIn().isSuccess());
}

TEST_F(RefreshTokenController_, FailedRefreshesLeaveTheTokensAsTheyWere)
{
    ASSERT_TRUE(logIn().isSuccess());
    const auto accessToken = stored(accessService);
    const auto refreshToken = stored(refreshService);

    // A 401 is not singled out: its error body is decoded, and is no token answer.
    server.injectFault({{"endpoint", "/oauth/token"}, {"status", 401}, {"content_type", "application/json"},
                        {"body", R"({"error":"invalid_client","error_description":"Client authentication failed"})"}});
    const AuthResult unauthorised = refresh();
    EXPECT_FALSE(unauthorised.isSuccess());
    EXPECT_EQ(unauthorised.error(), std::nullopt);
    EXPECT_NE(unauthorised.text(), "Token Authentication Issue. Try again later");
    expectTokensUnchanged(accessToken, refreshToken);

    server.injectFault({{"endpoint", "/oauth/token"}, {"status", 200}, {"body", ""}});
    EXPECT_EQ(refresh().error(), AuthenticationError::noResponseToken);

    // A partial answer reports success but keeps the pair it cannot replace whole.
    server.injectFault({{"endpoint", "/oauth/token"}, {"status", 200}, {"content_type", "application/json"},
                        {"body", R"({"access_token":"half","created_at":1700000000,"expires_in":7200})"}});
    EXPECT_TRUE(refresh().isSuccess());
    expectTokensUnchanged(accessToken, refreshToken);

    controller = makeController(refusingEndpoint());
    EXPECT_EQ(refresh().text(), "Couldn't connect to the server. Is your internet working?");
    expectTokensUnchanged(accessToken, refreshToken);

    // A refresh token the service does not know.
    controller = makeController(server.url("/oauth/token"));
    store("revoked-or-unknown", refreshService);
    auth->setRefreshToken(QByteArray("revoked-or-unknown"));
    const AuthResult rejected = refresh();
    EXPECT_EQ(rejected.text(), "Invalid login details");
    EXPECT_EQ(rejected.error(), AuthenticationError::invalidLoginDetails);
    expectTokensUnchanged(accessToken, QByteArray("revoked-or-unknown"));
}

TEST_F(RefreshTokenController_, ARefreshThatCompletesAfterALogOutStoresNothing)
{
    ASSERT_TRUE(logIn().isSuccess());
    const auto refreshToken = stored(refreshService);
    server.injectFault({{"endpoint", "/oauth/token"}, {"count", 1}, {"delay_ms", 1000}});
    auto late = controller->refreshToken();
    QCoro::waitFor(auth->logOut());
    const AuthResult result = QCoro::waitFor(std::move(late));

    EXPECT_FALSE(result.isSuccess());
    EXPECT_EQ(stored(accessService), std::nullopt);
    EXPECT_EQ(stored(refreshService), refreshToken);
    EXPECT_EQ(auth->authToken(), std::nullopt);
    EXPECT_EQ(auth->refreshToken(), std::nullopt);
    // The next start finds no login.
    EXPECT_FALSE(QCoro::waitFor(auth->hasAccessToken(keychain, true)));

    // A renewal under a login that is still current stores as before.
    ASSERT_TRUE(logIn().isSuccess());
    EXPECT_TRUE(refresh().isSuccess());
    EXPECT_EQ(uploadStatus(*stored(accessService)), 201);
}

TEST_F(RefreshTokenController_, TheRotatedTokenHeldInMemoryOutlivesAFailedSaveAndARefusedOneEndsTheLogin)
{
    int refusals = 0;
    controller->loginRefused = [&refusals] { ++refusals; };
    ASSERT_TRUE(logIn().isSuccess());
    const auto firstRefresh = stored(refreshService);
    ASSERT_TRUE(refresh().isSuccess());

    // The store lost the rotated token (its save failed): it still holds the one the service
    // has revoked. The next refresh sends the token it holds in memory.
    store(*firstRefresh, refreshService);
    const AuthResult second = refresh();
    EXPECT_TRUE(second.isSuccess()) << second.text().toStdString();
    EXPECT_NE(controller->refreshRequest().refreshToken, QString::fromUtf8(*firstRefresh));
    EXPECT_EQ(refusals, 0);

    // A token the service refuses for good (invalid_grant) is reported once; a failure that may
    // pass (the service unreachable) is not.
    auth->setRefreshToken(QByteArray("revoked-long-ago"));
    EXPECT_FALSE(refresh().isSuccess());
    EXPECT_EQ(refusals, 1);
    server.injectFault(QJsonObject{{"endpoint", "/oauth/token"}, {"status", 503}});
    EXPECT_FALSE(refresh().isSuccess());
    EXPECT_EQ(refusals, 1);
}
