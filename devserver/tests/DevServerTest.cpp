// The local account service as the agent and its tests see it: a process on a loopback port,
// spoken to over HTTP.
#include "support/DevServerProcess.h"

#include "app/Configuration.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <httplib.h>

using namespace hourloom;
using hourloom::test::DevServerProcess;

namespace {

QJsonObject json(const httplib::Result &result)
{
    return QJsonDocument::fromJson(QByteArray::fromStdString(result->body)).object();
}

std::string text(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString();
}

class DevServer_ : public ::testing::Test {
protected:
    explicit DevServer_(const QStringList &arguments = {}, bool faultInjection = true)
        : server(arguments, faultInjection)
        , client("127.0.0.1", server.port())
    {
        client.set_connection_timeout(5);
        client.set_read_timeout(5);
    }

    QJsonObject credentials(const QString &grantType) const
    {
        return {{"grant_type", grantType}, {"client_id", Configuration::apiClientId()}, {"client_secret", Configuration::apiClientSecret()}};
    }

    httplib::Result token(const QJsonObject &body) { return client.Post("/oauth/token", text(body), "application/json"); }

    httplib::Result passwordGrant(const QString &email = DevServerProcess::email, const QString &password = DevServerProcess::password)
    {
        QJsonObject body = credentials("password");
        body.insert("email", email);
        body.insert("password", password);
        return token(body);
    }

    httplib::Result refreshGrant(const QString &refreshToken)
    {
        QJsonObject body = credentials("refresh_token");
        body.insert("refresh_token", refreshToken);
        return token(body);
    }

    httplib::Result upload(const QString &accessToken)
    {
        const httplib::Headers headers{{"Authorization", "Bearer " + accessToken.toStdString()}};
        return client.Post("/api/v1/user_activities", headers, R"({"user_activities":{}})", "application/json");
    }

    static void expectError(const httplib::Result &result, int status, const char *error)
    {
        ASSERT_TRUE(result);
        EXPECT_EQ(result->status, status) << result->body;
        EXPECT_EQ(json(result).value("error").toString().toStdString(), error);
        EXPECT_FALSE(json(result).value("error_description").toString().isEmpty());
        EXPECT_FALSE(json(result).contains("access_token"));
    }

    static void expectInvalidToken(const httplib::Result &result)
    {
        ASSERT_TRUE(result);
        EXPECT_EQ(result->status, 401);
        EXPECT_EQ(result->body, "");
        EXPECT_NE(result->get_header_value("WWW-Authenticate").find(R"(error="invalid_token")"), std::string::npos);
        EXPECT_EQ(result->get_header_value("WWW-Authenticate").rfind("Bearer ", 0), 0u);
    }

    DevServerProcess server;
    httplib::Client client;
};

class ShortLivedTokens_ : public DevServer_ {
protected:
    ShortLivedTokens_()
        : DevServer_({"--token-lifetime", "0"})
    {
    }
};

class NoFaultInjection_ : public DevServer_ {
protected:
    NoFaultInjection_()
        : DevServer_({}, false)
    {
    }
};

} // namespace

TEST_F(DevServer_, PasswordGrantIssuesBearerTokensThatTheActivityEndpointAccepts)
{
    const auto result = passwordGrant();
    ASSERT_TRUE(result);
    ASSERT_EQ(result->status, 200) << result->body;
    EXPECT_EQ(result->get_header_value("Cache-Control"), "no-store");
    const QJsonObject answer = json(result);
    EXPECT_EQ(answer.value("token_type"), "Bearer");
    EXPECT_EQ(answer.value("expires_in"), 7200);
    EXPECT_GT(answer.value("created_at").toInteger(), 1700000000);
    const QString accessToken = answer.value("access_token").toString();
    const QString refreshToken = answer.value("refresh_token").toString();
    EXPECT_GE(accessToken.size(), 32);
    EXPECT_GE(refreshToken.size(), 32);
    EXPECT_NE(accessToken, refreshToken);

    const auto accepted = upload(accessToken);
    ASSERT_TRUE(accepted);
    EXPECT_EQ(accepted->status, 200);

    // The refresh token is no access token, and neither is nothing.
    expectInvalidToken(upload(refreshToken));
    expectInvalidToken(client.Post("/api/v1/user_activities", "{}", "application/json"));
    expectInvalidToken(client.Post("/api/v1/user_activities", {{"Authorization", "Basic " + accessToken.toStdString()}}, "{}", "application/json"));

    // A second login is a second, different pair; the e-mail is matched without case; a form body works too.
    const auto again = passwordGrant(DevServerProcess::email.toUpper());
    ASSERT_TRUE(again);
    ASSERT_EQ(again->status, 200);
    EXPECT_NE(json(again).value("access_token").toString(), accessToken);
    httplib::Params form{{"grant_type", "password"}, {"email", DevServerProcess::email.toStdString()},
                         {"password", DevServerProcess::password.toStdString()},
                         {"client_id", Configuration::apiClientId().toStdString()}, {"client_secret", Configuration::apiClientSecret().toStdString()}};
    const auto formResult = client.Post("/oauth/token", form);
    ASSERT_TRUE(formResult);
    EXPECT_EQ(formResult->status, 200) << formResult->body;
}

TEST_F(DevServer_, GrantErrorsFollowOAuth)
{
    expectError(passwordGrant(DevServerProcess::email, "wrong"), 400, "invalid_grant");
    expectError(passwordGrant("nobody@hourloom.test", DevServerProcess::password), 400, "invalid_grant");
    expectError(refreshGrant("no-such-token"), 400, "invalid_grant");

    QJsonObject noGrantType = credentials("password");
    noGrantType.remove("grant_type");
    expectError(token(noGrantType), 400, "invalid_request");
    expectError(token(credentials("client_credentials")), 400, "unsupported_grant_type");
    // What the agent sends when it has no e-mail: a null member.
    QJsonObject nullEmail = credentials("password");
    nullEmail.insert("email", QJsonValue::Null);
    nullEmail.insert("password", DevServerProcess::password);
    expectError(token(nullEmail), 400, "invalid_request");
    expectError(token(credentials("refresh_token")), 400, "invalid_request");

    QJsonObject wrongSecret = credentials("password");
    wrongSecret.insert("client_secret", "guess");
    wrongSecret.insert("email", DevServerProcess::email);
    wrongSecret.insert("password", DevServerProcess::password);
    expectError(token(wrongSecret), 401, "invalid_client");
    // Clients given on the command line replace the Development client.
    QJsonObject developmentClient = wrongSecret;
    developmentClient.insert("client_id", "hourloom-development");
    developmentClient.insert("client_secret", "development-secret");
    expectError(token(developmentClient), 401, "invalid_client");
}

TEST_F(DevServer_, RefreshRotatesThePairAndRevokesTheOldRefreshToken)
{
    const QJsonObject first = json(passwordGrant());
    const auto refreshed = refreshGrant(first.value("refresh_token").toString());
    ASSERT_TRUE(refreshed);
    ASSERT_EQ(refreshed->status, 200) << refreshed->body;
    const QJsonObject second = json(refreshed);
    EXPECT_NE(second.value("access_token"), first.value("access_token"));
    EXPECT_NE(second.value("refresh_token"), first.value("refresh_token"));
    EXPECT_EQ(second.value("token_type"), "Bearer");
    EXPECT_EQ(upload(second.value("access_token").toString())->status, 200);

    // Used once, gone; the pair it belonged to is revoked with it.
    expectError(refreshGrant(first.value("refresh_token").toString()), 400, "invalid_grant");
    expectInvalidToken(upload(first.value("access_token").toString()));

    const auto third = refreshGrant(second.value("refresh_token").toString());
    ASSERT_TRUE(third);
    EXPECT_EQ(third->status, 200);
}

TEST_F(ShortLivedTokens_, ExpiredAccessTokensAreRejectedButCanBeRefreshed)
{
    const QJsonObject answer = json(passwordGrant());
    EXPECT_EQ(answer.value("expires_in"), 0);
    expectInvalidToken(upload(answer.value("access_token").toString()));
    const auto refreshed = refreshGrant(answer.value("refresh_token").toString());
    ASSERT_TRUE(refreshed);
    EXPECT_EQ(refreshed->status, 200);
}

TEST_F(DevServer_, BadInputIsAnsweredAndNeverStopsTheService)
{
    const auto broken = client.Post("/oauth/token", R"({"grant_type": "password", )", "application/json");
    expectError(broken, 400, "invalid_request");
    expectError(client.Post("/oauth/token", "[1, 2]", "application/json"), 400, "invalid_request");
    expectError(client.Post("/oauth/token", std::string("grant_type=password&email=\xff\xfe", 30), "application/x-www-form-urlencoded"),
                400, "invalid_request");
    QJsonObject numbers = credentials("password");
    numbers.insert("email", 42);
    numbers.insert("password", true);
    expectError(token(numbers), 400, "invalid_request");

    const std::string huge(1024 * 1024 + 1, 'x');
    const auto tooLarge = client.Post("/oauth/token", huge, "application/json");
    ASSERT_TRUE(tooLarge);
    EXPECT_EQ(tooLarge->status, 413);
    const auto largeUpload = client.Post("/api/v1/user_activities", huge, "application/json");
    ASSERT_TRUE(largeUpload);
    EXPECT_EQ(largeUpload->status, 413);

    const auto unknown = client.Post("/oauth/authorize", "{}", "application/json");
    ASSERT_TRUE(unknown);
    EXPECT_EQ(unknown->status, 404);

    // Still serving, and it never printed a secret.
    EXPECT_EQ(passwordGrant()->status, 200);
    EXPECT_FALSE(server.output().contains(DevServerProcess::password.toUtf8()));
    EXPECT_FALSE(server.output().contains(Configuration::apiClientSecret().toUtf8()));
}

TEST_F(DevServer_, FaultsAnswerTheNextRequestsOfOneEndpoint)
{
    server.injectFault({{"endpoint", "/oauth/token"}, {"count", 2}, {"status", 500}, {"body", "<html>oops</html>"}, {"content_type", "text/html"}});
    for (int i = 0; i < 2; ++i) {
        const auto failed = passwordGrant();
        ASSERT_TRUE(failed);
        EXPECT_EQ(failed->status, 500);
        EXPECT_EQ(failed->body, "<html>oops</html>");
    }
    EXPECT_EQ(passwordGrant()->status, 200);

    // Only the named endpoint is affected.
    server.injectFault({{"endpoint", "/api/v1/user_activities"}, {"close", true}});
    EXPECT_EQ(passwordGrant()->status, 200);
    const auto dropped = upload("whatever");
    EXPECT_FALSE(dropped);
    expectInvalidToken(upload("whatever"));

    // A delay longer than the client waits; the next request is answered at once.
    server.injectFault({{"endpoint", "/oauth/token"}, {"delay_ms", 3000}});
    client.set_read_timeout(0, 200000);
    EXPECT_FALSE(passwordGrant());
    client.set_read_timeout(5);
    EXPECT_EQ(passwordGrant()->status, 200);

    // Cleared faults no longer apply; malformed ones are refused.
    server.injectFault({{"endpoint", "/oauth/token"}, {"status", 503}});
    ASSERT_EQ(client.Delete("/dev/faults")->status, 204);
    EXPECT_EQ(passwordGrant()->status, 200);
    for (const QJsonObject &bad : {QJsonObject{{"endpoint", "/oauth/token"}}, QJsonObject{{"endpoint", "/oauth/token"}, {"status", 1000}},
                                   QJsonObject{{"endpoint", "/dev/faults"}, {"status", 500}}, QJsonObject{{"status", 500}},
                                   QJsonObject{{"endpoint", "/oauth/token"}, {"status", 500}, {"count", 0}}})
        EXPECT_EQ(client.Post("/dev/faults", text(bad), "application/json")->status, 400) << text(bad);
}

TEST_F(NoFaultInjection_, FaultsAreRefusedUnlessEnabled)
{
    const auto refused = client.Post("/dev/faults", text({{"endpoint", "/oauth/token"}, {"status", 500}}), "application/json");
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->status, 403);
    EXPECT_EQ(passwordGrant()->status, 200);
}

TEST(DevServerDatabase, TokensOutliveARestartWithTheSameFile)
{
    QTemporaryDir folder;
    const QString path = folder.filePath("accounts.sqlite");
    QString refreshToken;
    {
        DevServerProcess first({"--database", path});
        httplib::Client client("127.0.0.1", first.port());
        const QJsonObject body{{"grant_type", "password"}, {"client_id", Configuration::apiClientId()},
                               {"client_secret", Configuration::apiClientSecret()},
                               {"email", DevServerProcess::email}, {"password", DevServerProcess::password}};
        refreshToken = json(client.Post("/oauth/token", text(body), "application/json")).value("refresh_token").toString();
        ASSERT_FALSE(refreshToken.isEmpty());
    }
    DevServerProcess second({"--database", path});
    httplib::Client client("127.0.0.1", second.port());
    const QJsonObject body{{"grant_type", "refresh_token"}, {"client_id", Configuration::apiClientId()},
                           {"client_secret", Configuration::apiClientSecret()}, {"refresh_token", refreshToken}};
    const auto refreshed = client.Post("/oauth/token", text(body), "application/json");
    ASSERT_TRUE(refreshed);
    EXPECT_EQ(refreshed->status, 200) << refreshed->body;
}
