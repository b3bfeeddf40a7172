// AuthController's password grant and the login state, in the agent as it is built.
#include "agent/InMemoryAgent.h"

#include "auth/AuthToken.h"
#include "model/DecodingError.h"

using namespace hourloom;
using namespace hourloom::test;

namespace {

class AuthController_ : public InMemoryAgent {
protected:
    void SetUp() override { launch(); }
};

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

TEST_F(AuthController_, ALoginSendsThePasswordGrantStoresBothTokensAndStartsTracking)
{
    fakes.workspace->frontmost = RunningApplication{QStringLiteral("XTerm"), QStringLiteral("debian-xterm")};
    tracking().sessionBatch()->setAppSessions({std::make_shared<AppSession>(QStringLiteral("Stale"), QStringLiteral("stale"))});
    const AuthResult result = logIn();
    ASSERT_TRUE(result.isSuccess()) << result.text().toStdString();
    EXPECT_EQ(result.text(), "Successfully logged in");

    const FakeURLSession::Exchange &grant = service->last(FakeURLSession::tokenPath);
    EXPECT_EQ(grant.json(), (QJsonObject{{"email", email}, {"password", password}, {"client_id", "hourloom-test"},
                                         {"client_secret", "test-secret"}, {"grant_type", "password"}}));
    EXPECT_EQ(grant.header("Content-Type"), "application/json");
    EXPECT_EQ(grant.header("Accept"), "application/json");
    EXPECT_EQ(stored(accessService), "access-1");
    EXPECT_EQ(stored(refreshService), "refresh-1");
    EXPECT_EQ(auth().authToken(), "access-1");
    EXPECT_EQ(auth().refreshToken(), "refresh-1");
    EXPECT_EQ(auth().authRequest().password, std::nullopt); // not kept in memory

    // Tracking starts afresh with the frontmost application, and so does the upload timer.
    ASSERT_EQ(batch().size(), 1);
    EXPECT_EQ(batch().first()->appName(), "XTerm");
    EXPECT_TRUE(tracking().appSwitchTracker()->appSwitchObserver().has_value());
    EXPECT_NE(scheduler().uploadActivityTimer, nullptr);
    // The view model sets the flag; the login itself does not.
    EXPECT_FALSE(auth().loggedIn());

    // A second login replaces both items.
    ASSERT_TRUE(logIn().isSuccess());
    EXPECT_EQ(stored(accessService), "access-2");
    EXPECT_EQ(stored(refreshService), "refresh-2");
    EXPECT_EQ(auth().authToken(), "access-2");
}

TEST_F(AuthController_, RejectedLoginsShowTheirMessageAndChangeNothing)
{
    const auto stale = std::make_shared<AppSession>(QStringLiteral("Stale"), QStringLiteral("stale"));
    tracking().sessionBatch()->setAppSessions({stale});
    const auto expectFailure = [this, &stale](const AuthResult &result, const QString &message) {
        EXPECT_FALSE(result.isSuccess());
        EXPECT_EQ(result.text(), message);
        EXPECT_EQ(stored(accessService), std::nullopt);
        EXPECT_EQ(stored(refreshService), std::nullopt);
        EXPECT_EQ(auth().authToken(), std::nullopt);
        EXPECT_EQ(batch(), AppSessionList{stale});
        EXPECT_EQ(scheduler().uploadActivityTimer, nullptr);
    };

    service->queue(FakeURLSession::tokenPath, {400, R"({"error":"invalid_grant","error_description":"The provided authorization grant is invalid"})"});
    const AuthResult wrongPassword = logIn(email, QStringLiteral("wrong password"));
    expectFailure(wrongPassword, "Invalid login details");
    EXPECT_EQ(wrongPassword.error(), AuthenticationError::invalidLoginDetails);

    service->queue(FakeURLSession::tokenPath, {401, R"({"error":"invalid_client","error_description":"Client authentication failed"})"});
    expectFailure(logIn(), "Token Authentication Issue. Try again later");

    // Throttled after repeated wrong passwords: the wait the service names, not a decoder's text.
    const QByteArray slowDown = R"({"error":"slow_down","error_description":"Too many failed sign-ins"})";
    service->queue(FakeURLSession::tokenPath, {429, slowDown, false, {{"Retry-After", "30"}}});
    const AuthResult throttled = logIn();
    expectFailure(throttled, "Too many login attempts. Please try again in 30 seconds");
    EXPECT_EQ(throttled.error(), AuthenticationError::tooManyAttempts);
    service->queue(FakeURLSession::tokenPath, {429, slowDown, false, {{"Retry-After", "61"}}});
    expectFailure(logIn(), "Too many login attempts. Please try again in 2 minutes");
    service->queue(FakeURLSession::tokenPath, {429, slowDown});
    expectFailure(logIn(), "Too many login attempts. Please wait a moment and try again");

    const QByteArray page = "<html><body>Internal Server Error</body></html>";
    service->queue(FakeURLSession::tokenPath, {500, page});
    const AuthResult serverError = logIn();
    expectFailure(serverError, decoderError(page));
    EXPECT_EQ(serverError.error(), std::nullopt);
    EXPECT_FALSE(serverError.text().isEmpty());

    service->queue(FakeURLSession::tokenPath, {200, std::nullopt});
    expectFailure(logIn(), "No response from server. Please try again later");

    // A token answer without an access token is no login.
    service->queue(FakeURLSession::tokenPath, {200, R"({"refresh_token":"orphan","created_at":1700000000,"expires_in":7200})"});
    expectFailure(logIn(), "Couldn't decode token. Please try again later");

    service->queue(FakeURLSession::tokenPath, {.transportFailure = true});
    expectFailure(logIn(), "Couldn't connect to the server. Is your internet working?");
}

TEST_F(AuthController_, StartUpTheLoggedInDefaultAndALoginThatCannotBeEncoded)
{
    ASSERT_TRUE(logIn().isSuccess());

    // A new start finds the stored token and counts as logged in, without writing the default.
    UserDefaults::remove(UserDefaults::loggedInKey);
    launch();
    EXPECT_TRUE(auth().loggedIn());
    EXPECT_EQ(auth().authToken(), "access-1");
    EXPECT_EQ(auth().refreshToken(), std::nullopt);
    EXPECT_FALSE(UserDefaults::string(UserDefaults::loggedInKey).has_value());
    auth().setLoggedIn(true);
    EXPECT_TRUE(UserDefaults::boolean(UserDefaults::loggedInKey));

    // A login that cannot be encoded sends nothing and logs out.
    const qsizetype sent = service->exchanges.size();
    EXPECT_EQ(logIn(email + QChar(0xD800)).text(), "Couldn't send login details. Please try again later"); // a lone surrogate
    EXPECT_EQ(service->exchanges.size(), sent);
    EXPECT_FALSE(auth().loggedIn());
    EXPECT_FALSE(UserDefaults::boolean(UserDefaults::loggedInKey));
    EXPECT_EQ(QCoro::waitFor(auth().getAccessToken()), std::nullopt);
    EXPECT_FALSE(QCoro::waitFor(auth().hasAccessToken(fakes.keychain, false)));
    EXPECT_EQ(stored(accessService), std::nullopt);
    EXPECT_EQ(stored(refreshService), "refresh-1");

    // hasAccessToken reads the store when asked to reload, or when no token is held.
    fakes.keychain->items[{accessService, KeychainHelperProtocol::account()}] = "stored elsewhere";
    EXPECT_TRUE(QCoro::waitFor(auth().hasAccessToken(fakes.keychain, false)));
    EXPECT_EQ(auth().authToken(), "stored elsewhere");
    fakes.keychain->items.clear();
    EXPECT_TRUE(QCoro::waitFor(auth().hasAccessToken(fakes.keychain, false)));
    EXPECT_FALSE(QCoro::waitFor(auth().hasAccessToken(fakes.keychain, true)));
    EXPECT_EQ(auth().authToken(), std::nullopt);
}

} // namespace
