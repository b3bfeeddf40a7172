// RefreshTokenController's refresh-token grant, in the agent as it is built.
#include "agent/InMemoryAgent.h"

#include "core/Log.h"

using namespace hourloom;
using namespace hourloom::test;

namespace {

class RefreshTokenController_ : public InMemoryAgent {
protected:
    void SetUp() override { launch(); }

    AuthResult refresh() { return QCoro::waitFor(refresher().refreshToken()); }
    QJsonValue lastRefreshToken() const { return service->last(FakeURLSession::tokenPath).json().value("refresh_token"); }

    void expectTokens(const QByteArray &accessToken, const QByteArray &refreshToken)
    {
        EXPECT_EQ(stored(accessService), accessToken);
        EXPECT_EQ(stored(refreshService), refreshToken);
        EXPECT_EQ(auth().authToken(), accessToken);
        EXPECT_EQ(auth().refreshToken(), refreshToken);
    }
};

TEST_F(RefreshTokenController_, ARefreshRotatesBothTokensAndTheNextOneSendsTheNewRefreshToken)
{
    ASSERT_TRUE(logIn().isSuccess());
    const AuthResult result = refresh();
    ASSERT_TRUE(result.isSuccess()) << result.text().toStdString();
    EXPECT_EQ(result.text(), "Successfully refreshed access token");
    EXPECT_EQ(service->last(FakeURLSession::tokenPath).json(),
              (QJsonObject{{"refresh_token", "refresh-1"}, {"client_id", "hourloom-test"}, {"client_secret", "test-secret"}, {"grant_type", "refresh_token"}}));
    expectTokens("access-2", "refresh-2");

    ASSERT_TRUE(refresh().isSuccess());
    EXPECT_EQ(lastRefreshToken(), "refresh-2");
    expectTokens("access-3", "refresh-3");
}

TEST_F(RefreshTokenController_, RefreshesAskedForTogetherShareOneGrant)
{
    ASSERT_TRUE(logIn().isSuccess());
    service->gate.close();
    auto first = refresher().refreshToken();
    auto second = refresher().refreshToken();
    service->gate.open();
    EXPECT_TRUE(QCoro::waitFor(std::move(first)).isSuccess());
    EXPECT_TRUE(QCoro::waitFor(std::move(second)).isSuccess());
    EXPECT_EQ(service->sent(FakeURLSession::tokenPath), 2) << "the login's grant and one refresh";
    expectTokens("access-2", "refresh-2");
}

TEST_F(RefreshTokenController_, WithoutAStoredRefreshTokenNothingIsSent)
{
    const AuthResult result = refresh();
    EXPECT_EQ(result.error(), AuthenticationError::encodeRefreshToken);
    EXPECT_EQ(result.text(), "Couldn't renew authentication token. Please try again later");
    EXPECT_TRUE(service->exchanges.isEmpty());
}

TEST_F(RefreshTokenController_, FailedRefreshesLeaveTheTokensAsTheyWere)
{
    ASSERT_TRUE(logIn().isSuccess());

    // A 401 is not singled out: its error body is decoded, and is no token answer.
    service->queue(FakeURLSession::tokenPath, {401, R"({"error":"invalid_client","error_description":"Client authentication failed"})"});
    const AuthResult unauthorised = refresh();
    EXPECT_FALSE(unauthorised.isSuccess());
    EXPECT_EQ(unauthorised.error(), std::nullopt);
    EXPECT_NE(unauthorised.text(), "Token Authentication Issue. Try again later");
    expectTokens("access-1", "refresh-1");

    // A partial answer reports success but keeps the pair it cannot replace whole.
    service->queue(FakeURLSession::tokenPath, {200, R"({"access_token":"half","created_at":1700000000,"expires_in":7200})"});
    EXPECT_TRUE(refresh().isSuccess());
    expectTokens("access-1", "refresh-1");

    service->queue(FakeURLSession::tokenPath, {400, R"({"error":"invalid_request"})"});
    const AuthResult rejected = refresh();
    EXPECT_EQ(rejected.text(), "Invalid login details");
    EXPECT_EQ(rejected.error(), AuthenticationError::invalidLoginDetails);
    expectTokens("access-1", "refresh-1");
    EXPECT_FALSE(auth().sessionExpired());
}

TEST_F(RefreshTokenController_, ARefreshThatCompletesAfterALogOutStoresNothing)
{
    ASSERT_TRUE(logIn().isSuccess());
    service->gate.close();
    auto late = refresher().refreshToken();
    QCoro::waitFor(auth().logOut());
    service->gate.open();
    EXPECT_FALSE(QCoro::waitFor(std::move(late)).isSuccess());
    EXPECT_EQ(stored(accessService), std::nullopt);
    EXPECT_EQ(stored(refreshService), "refresh-1");
    EXPECT_EQ(auth().authToken(), std::nullopt);
    EXPECT_EQ(auth().refreshToken(), std::nullopt);

    // A renewal under a login that is still current stores as before.
    ASSERT_TRUE(logIn().isSuccess());
    EXPECT_TRUE(refresh().isSuccess());
    expectTokens("access-4", "refresh-4");
}

TEST_F(RefreshTokenController_, TheRotatedTokenHeldInMemoryOutlivesAFailedSaveAndARefusedOneEndsTheLogin)
{
    ASSERT_TRUE(logIn().isSuccess());
    auth().setLoggedIn(true);
    ASSERT_TRUE(refresh().isSuccess());

    // The store lost the rotated token (its save failed): it still holds the one the service has
    // revoked. The next refresh sends the token it holds in memory.
    fakes.keychain->items[{refreshService, KeychainHelperProtocol::account()}] = "refresh-1";
    EXPECT_TRUE(refresh().isSuccess());
    EXPECT_EQ(lastRefreshToken(), "refresh-2");

    // A failure that may pass leaves the login as it is; a token the service refuses for good
    // (invalid_grant) ends it: the open session ends, tracking stops, the user is logged out.
    service->queue(FakeURLSession::tokenPath, {503, "busy"});
    EXPECT_FALSE(refresh().isSuccess());
    EXPECT_NE(scheduler().uploadActivityTimer, nullptr);
    const auto editor = switchTo("Editor", 30);
    clock.advance(30);
    service->queue(FakeURLSession::tokenPath, {400, R"({"error":"invalid_grant","error_description":"revoked"})"});
    const LogCapture capture;
    EXPECT_FALSE(refresh().isSuccess());
    EXPECT_EQ(capture.standardOutput(), "The service no longer accepts this login: tracking stopped until the next login\n");
    EXPECT_TRUE(auth().sessionExpired());
    EXPECT_FALSE(auth().loggedIn());
    EXPECT_EQ(stored(accessService), std::nullopt);
    EXPECT_EQ(editor->endTime(), clock.now());
    EXPECT_TRUE(batch().isEmpty());
    EXPECT_EQ(scheduler().uploadActivityTimer, nullptr);
}

} // namespace
