// The local account service as the agent and its tests see it: a process on a loopback port,
// spoken to over HTTP.
#include "ServiceClient.h"
#include "UploadBodies.h"

#include <QJsonArray>
#include <QProcess>

#include <gtest/gtest.h>

using namespace hourloom;
using namespace hourloom::test;

namespace {

// An upload as the agent writes it: one app session with one web session.
const std::string agentUpload = R"({"timezone_offset":7200,"user_activities":[{"start_time":"2024-05-06 09:15:00","end_time":"2024-05-06 09:47:12","web_sessions_attributes":[{"id":"5b0e6a2c-1d3f-4c8e-9a57-2f6b8d0c4e13","start_time":"2024-05-06 09:20:03","end_time":"2024-05-06 09:31:40","web_domain_attributes":{"domain":"example.org"}}],"id":"c3d1f7a0-8e24-4b6a-b9f5-07e1a2d4c6b8","desktop_app_attributes":{"app_name":"Example Browser","app_identifier":"org.example.browser"}}]})";

std::string replaced(std::string body, const std::string &from, const std::string &to)
{
    const size_t at = body.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? body : body.replace(at, from.size(), to);
}

void expectError(const httplib::Result &result, int status, const char *error)
{
    ASSERT_EQ(statusOf(result), status);
    EXPECT_EQ(json(result).value("error").toString().toStdString(), error);
    EXPECT_FALSE(json(result).value("error_description").toString().isEmpty());
    EXPECT_FALSE(json(result).contains("access_token"));
}

void expectInvalidToken(const httplib::Result &result)
{
    ASSERT_EQ(statusOf(result), 401);
    EXPECT_EQ(result->body, "");
    EXPECT_NE(result->get_header_value("WWW-Authenticate").find(R"(error="invalid_token")"), std::string::npos);
    EXPECT_EQ(result->get_header_value("WWW-Authenticate").rfind("Bearer ", 0), 0u);
}

class DevServer_ : public ::testing::Test {
protected:
    DevServer_()
        : client(server.port(), 5)
    {
    }

    // What the service stored for one user: {"email", "uploads", "user_activities"}.
    QJsonObject storedFor(const QString &email = DevServerProcess::email)
    {
        const auto result = client.Get("/dev/activities");
        EXPECT_EQ(statusOf(result), 200);
        for (const QJsonValue &user : json(result).value("users").toArray()) {
            if (user.toObject().value("email") == email)
                return user.toObject();
        }
        ADD_FAILURE() << "no user " << email.toStdString() << " in " << (result ? result->body : "");
        return {};
    }

    static QString firstMessage(const httplib::Result &result, const char *key)
    {
        return json(result).value(key).toArray().first().toObject().value("message").toString();
    }

    DevServerProcess server;
    ServiceClient client;
};

} // namespace

TEST_F(DevServer_, PasswordGrantIssuesBearerTokensThatTheActivityEndpointAcceptsAndRefreshRotatesThem)
{
    const auto result = client.passwordGrant();
    ASSERT_EQ(statusOf(result), 200);
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

    EXPECT_EQ(statusOf(client.upload(accessToken)), 201);

    // The refresh token is no access token, and neither is nothing.
    expectInvalidToken(client.upload(refreshToken));
    expectInvalidToken(client.Post("/api/v1/user_activities", "{}", "application/json"));
    expectInvalidToken(client.Post("/api/v1/user_activities", {{"Authorization", "Basic " + accessToken.toStdString()}}, "{}", "application/json"));

    // A second login is a second, different pair; the e-mail is matched without case; a form body works too.
    const auto again = client.passwordGrant(DevServerProcess::email.toUpper());
    ASSERT_EQ(statusOf(again), 200);
    EXPECT_NE(json(again).value("access_token").toString(), accessToken);
    const QJsonObject fields = ServiceClient::passwordGrantBody();
    httplib::Params form;
    for (auto field = fields.begin(); field != fields.end(); ++field)
        form.emplace(field.key().toStdString(), field.value().toString().toStdString());
    EXPECT_EQ(statusOf(client.Post("/oauth/token", form)), 200);

    // A refresh rotates the pair: the refresh token, used once, is gone, and its access token
    // revoked with it.
    const auto refreshed = client.refreshGrant(refreshToken);
    ASSERT_EQ(statusOf(refreshed), 200);
    const QJsonObject second = json(refreshed);
    EXPECT_NE(second.value("access_token"), accessToken);
    EXPECT_NE(second.value("refresh_token"), refreshToken);
    EXPECT_EQ(second.value("token_type"), "Bearer");
    EXPECT_EQ(client.upload(second.value("access_token").toString())->status, 201);
    expectError(client.refreshGrant(refreshToken), 400, "invalid_grant");
    expectInvalidToken(client.upload(accessToken));

    // The new pair outlives a restart with the same database.
    server.restart();
    EXPECT_EQ(statusOf(client.refreshGrant(second.value("refresh_token").toString())), 200);
}

TEST_F(DevServer_, GrantErrorsFollowOAuthAndBadInputIsAnsweredWithoutStoppingTheService)
{
    expectError(client.passwordGrant(DevServerProcess::email, "wrong"), 400, "invalid_grant");
    expectError(client.passwordGrant("nobody@hourloom.test", DevServerProcess::password), 400, "invalid_grant");
    expectError(client.refreshGrant("no-such-token"), 400, "invalid_grant");

    QJsonObject noGrantType = ServiceClient::grant("password");
    noGrantType.remove("grant_type");
    expectError(client.token(noGrantType), 400, "invalid_request");
    expectError(client.token(ServiceClient::grant("client_credentials")), 400, "unsupported_grant_type");
    // What the agent sends when it has no e-mail: a null member.
    expectError(client.token(ServiceClient::grant("password", {{"email", QJsonValue::Null}, {"password", DevServerProcess::password}})), 400,
                "invalid_request");
    expectError(client.token(ServiceClient::grant("refresh_token")), 400, "invalid_request");

    QJsonObject wrongSecret = ServiceClient::passwordGrantBody();
    wrongSecret.insert("client_secret", "guess");
    expectError(client.token(wrongSecret), 401, "invalid_client");
    // Clients given on the command line replace the Development client.
    wrongSecret.insert("client_id", "hourloom-development");
    wrongSecret.insert("client_secret", "development-secret");
    expectError(client.token(wrongSecret), 401, "invalid_client");

    // Bad input is answered and never stops the service.
    expectError(client.Post("/oauth/token", R"({"grant_type": "password", )", "application/json"), 400, "invalid_request");
    expectError(client.Post("/oauth/token", "[1, 2]", "application/json"), 400, "invalid_request");
    expectError(client.Post("/oauth/token", std::string("grant_type=password&email=\xff\xfe", 30), "application/x-www-form-urlencoded"),
                400, "invalid_request");
    expectError(client.token(ServiceClient::grant("password", {{"email", 42}, {"password", true}})), 400, "invalid_request");

    for (const char *path : {"/oauth/token", "/api/v1/user_activities"})
        EXPECT_EQ(statusOf(client.Post(path, std::string(1024 * 1024 + 1, 'x'), "application/json")), 413) << path;
    EXPECT_EQ(statusOf(client.Post("/oauth/authorize", "{}", "application/json")), 404);

    // Still serving, and it never printed a secret.
    EXPECT_EQ(client.passwordGrant()->status, 200);
    EXPECT_FALSE(server.output().contains(DevServerProcess::password.toUtf8()));
    EXPECT_FALSE(server.output().contains(Configuration::apiClientSecret().toUtf8()));
}

TEST(DevServerTokens, ExpiredAccessTokensAreRejectedButCanBeRefreshed)
{
    DevServerProcess server({"--token-lifetime", "0"});
    ServiceClient client(server.port(), 5);
    const QJsonObject answer = json(client.passwordGrant());
    EXPECT_EQ(answer.value("expires_in"), 0);
    expectInvalidToken(client.upload(answer.value("access_token").toString()));
    EXPECT_EQ(statusOf(client.refreshGrant(answer.value("refresh_token").toString())), 200);
}

TEST_F(DevServer_, NullListsStoreNothingAndAnAgentUploadIsStoredAndReadOut)
{
    const QString token = client.accessToken();
    const auto nothing = client.upload(token, R"({"timezone_offset":0,"user_activities":null})");
    EXPECT_EQ(statusOf(nothing), 201);
    EXPECT_EQ(firstMessage(nothing, "messages"), "Stored 0 app sessions and 0 web sessions");
    EXPECT_EQ(statusOf(client.upload(token, replaced(agentUpload, R"("web_sessions_attributes":[)", R"("web_sessions_attributes":null,"ignored":[)"))),
              201);
    ASSERT_EQ(storedFor().value("user_activities").toArray().size(), 1);
    EXPECT_EQ(storedFor().value("user_activities")[0]["web_sessions"], QJsonArray());

    const auto stored = client.upload(token, agentUpload);
    EXPECT_EQ(statusOf(stored), 201);
    EXPECT_EQ(firstMessage(stored, "messages"), "Stored 1 app sessions and 1 web sessions");
    const App expected{"c3d1f7a0-8e24-4b6a-b9f5-07e1a2d4c6b8", "2024-05-06 09:15:00", "2024-05-06 09:47:12", "Example Browser",
                       {{"5b0e6a2c-1d3f-4c8e-9a57-2f6b8d0c4e13", "2024-05-06 09:20:03", "2024-05-06 09:31:40", "example.org"}}};
    QJsonObject session = expected.stored(7200);
    session.insert("app_identifier", "org.example.browser");
    EXPECT_EQ(storedFor(), (QJsonObject{{"email", DevServerProcess::email}, {"uploads", 3}, {"user_activities", QJsonArray{session}}}));
}

TEST_F(DevServer_, UploadingAnIdAgainReplacesItsSessionWithoutDuplicatesAndOnlyForItsUser)
{
    const QString token = client.accessToken();
    const Web early{"5b0e6a2c-1d3f-4c8e-9a57-2f6b8d0c4e13", "2024-05-06 09:01:00", "2024-05-06 09:02:00", "a.example"};
    App browser{"c3d1f7a0-8e24-4b6a-b9f5-07e1a2d4c6b8", "2024-05-06 08:59:59", "2024-05-06 09:05:00", "Browser", {early}};
    const App editor{"9f2c4e1a-0b3d-4a5e-8f7c-6d1e2a3b4c5d", "2024-05-06 08:00:00", "2024-05-06 08:30:00", "Éditeur", {}};
    ASSERT_EQ(client.upload(token, uploadOf(3600, {browser, editor}))->status, 201);

    // Everything of a known id is replaced: start, end, name; the web session's end and domain.
    // A second web session joins it. A session with the same start but a smaller id comes first.
    browser.start = "2024-05-06 09:00:00";
    browser.end = "2024-05-06 09:40:00";
    browser.name = "Browser 2";
    browser.webs = {{early.id, early.start, "2024-05-06 09:10:00", "b.example"},
                    {"0d6f3a2b-7c1e-4f5a-9b8d-2e4c6a8f0b1d", "2024-05-06 09:00:30", "2024-05-06 09:00:50", "c.example"}};
    const App terminal{"0a1b2c3d-4e5f-4a6b-8c7d-9e0f1a2b3c4d", "2024-05-06 09:00:00", "2024-05-06 09:00:10", "Terminal", {}};
    ASSERT_EQ(client.upload(token, uploadOf(7200, {terminal, browser}))->status, 201);

    App orderedBrowser = browser;
    std::swap(orderedBrowser.webs[0], orderedBrowser.webs[1]);
    const QJsonObject mine{{"email", DevServerProcess::email}, {"uploads", 2},
                           {"user_activities", QJsonArray{editor.stored(3600), terminal.stored(7200), orderedBrowser.stored(7200)}}};
    EXPECT_EQ(storedFor(), mine);

    // Another user's sessions are their own, even with the same ids.
    App theirs = orderedBrowser;
    theirs.name = "Theirs";
    const QString otherToken = client.accessToken(DevServerProcess::otherEmail);
    ASSERT_EQ(statusOf(client.upload(otherToken, uploadOf(0, {theirs}))), 201);
    ASSERT_EQ(statusOf(client.upload(otherToken)), 201);
    EXPECT_EQ(storedFor(), mine);
    EXPECT_EQ(storedFor(DevServerProcess::otherEmail),
              (QJsonObject{{"email", DevServerProcess::otherEmail}, {"uploads", 2}, {"user_activities", QJsonArray{theirs.stored(0)}}}));
}

TEST_F(DevServer_, MalformedUploadsAre422WithWhatIsWrongAndStoreNothing)
{
    const QString token = client.accessToken();
    const std::string web = R"("web_sessions_attributes":[{"id":"5b0e6a2c-1d3f-4c8e-9a57-2f6b8d0c4e13")";
    const struct {
        std::string body;
        QString message;
    } malformed[]{
        {R"({"timezone_offset":0,)", "the body is not JSON"},
        {"[]", "the body must be a JSON object"},
        {replaced(agentUpload, R"("timezone_offset":7200,)", ""), "timezone_offset is missing"},
        {replaced(agentUpload, "7200", R"("7200")"), "timezone_offset must be a whole number"},
        {replaced(agentUpload, "7200", "7200.5"), "timezone_offset must be a whole number"},
        {replaced(agentUpload, "7200", "90000"), "timezone_offset must be a whole number"},
        {R"({"timezone_offset":0})", "user_activities is missing"},
        {R"({"timezone_offset":0,"user_activities":{}})", "user_activities must be an array or null"},
        {R"({"timezone_offset":0,"user_activities":[1]})", "user_activities[0] must be an object"},
        {replaced(agentUpload, "c3d1f7a0", "C3D1F7A0"), "user_activities[0].id must be a lower-case UUID"},
        {replaced(agentUpload, R"("id":"c3d1f7a0-8e24-4b6a-b9f5-07e1a2d4c6b8")", R"("id":null)"), "user_activities[0].id must be a string"},
        {replaced(agentUpload, "2024-05-06 09:15:00", "2024-05-06T09:15:00"), "user_activities[0].start_time must be a time"},
        {replaced(agentUpload, "2024-05-06 09:47:12", "2024-02-30 09:47:12"), "user_activities[0].end_time must be a time"},
        {replaced(agentUpload, "2024-05-06 09:47:12", "2024-05-06 24:00:00"), "user_activities[0].end_time must be a time"},
        {replaced(agentUpload, R"("end_time":"2024-05-06 09:47:12",)", ""), "user_activities[0].end_time is missing"},
        {replaced(agentUpload, R"("desktop_app_attributes":{)", R"("desktop_app":{)"), "user_activities[0].desktop_app_attributes is missing"},
        {replaced(agentUpload, R"("Example Browser")", "42"), "user_activities[0].desktop_app_attributes.app_name must be a string"},
        {replaced(agentUpload, R"("web_sessions_attributes":)", R"("web_sessions":)"), "user_activities[0].web_sessions_attributes is missing"},
        {replaced(agentUpload, web, R"("web_sessions_attributes":[{"id":"5b0e6a2c")"),
         "user_activities[0].web_sessions_attributes[0].id must be a lower-case UUID"},
        {replaced(agentUpload, "2024-05-06 09:31:40", "09:31:40"), "user_activities[0].web_sessions_attributes[0].end_time must be a time"},
        {replaced(agentUpload, R"({"domain":"example.org"})", "{}"),
         "user_activities[0].web_sessions_attributes[0].web_domain_attributes.domain is missing"},
    };
    for (const auto &[body, message] : malformed) {
        const auto rejected = client.upload(token, body);
        ASSERT_EQ(statusOf(rejected), 422) << body;
        EXPECT_TRUE(firstMessage(rejected, "errors").startsWith(message)) << body << " -> " << rejected->body;
    }

    // Every fault is named, not only the first; a good session beside a bad one is not stored either.
    const auto twoFaults = client.upload(token, R"({"timezone_offset":"0","user_activities":{}})");
    EXPECT_EQ(json(twoFaults).value("errors").toArray().size(), 2) << twoFaults->body;
    const std::string goodAndBad = replaced(agentUpload, R"("user_activities":[)", R"("user_activities":[{"id":"x"},)");
    EXPECT_EQ(client.upload(token, goodAndBad)->status, 422);

    // The token is checked before the body.
    expectInvalidToken(client.upload("wrong", "not JSON"));

    EXPECT_EQ(storedFor(), (QJsonObject{{"email", DevServerProcess::email}, {"uploads", 0}, {"user_activities", QJsonArray()}}));
    EXPECT_EQ(client.passwordGrant()->status, 200);
}

TEST(DevServerWithoutFaultInjection, DevEndpointsAreRefusedUnlessEnabled)
{
    DevServerProcess server({}, false);
    ServiceClient client(server.port(), 5);
    EXPECT_EQ(statusOf(client.Post("/dev/faults", text({{"endpoint", "/oauth/token"}, {"status", 500}}), "application/json")), 403);
    ASSERT_EQ(client.upload(client.accessToken(), agentUpload)->status, 201);
    const auto readOut = client.Get("/dev/activities");
    ASSERT_EQ(statusOf(readOut), 403);
    EXPECT_EQ(readOut->body.find("example.org"), std::string::npos);
    EXPECT_EQ(client.Get("/dev/envelopes")->status, 403);
}

namespace {

const httplib::Headers sentryAuth{{"X-Sentry-Auth", "Sentry sentry_version=7, sentry_client=test/1.0, sentry_key=devkey"}};
const std::string eventId = "0123456789abcdef0123456789abcdef";

std::string envelopeWith(const std::string &event, qsizetype length)
{
    return R"({"event_id":")" + eventId + "\"}\n" + R"({"type":"event","length":)" + std::to_string(length) + "}\n" + event + "\n";
}

std::string envelopeWith(const std::string &event)
{
    return envelopeWith(event, qsizetype(event.size()));
}

} // namespace

TEST_F(DevServer_, EnvelopesAreCheckedStoredAndReadOut)
{
    const std::string event = R"({"event_id":")" + eventId
        + R"(","level":"error","platform":"native","exception":{"values":[{"type":"ScriptCompileError","value":"x\ny"}]}})";
    const auto accepted = client.Post("/api/7/envelope/", sentryAuth, envelopeWith(event), "application/x-sentry-envelope");
    ASSERT_EQ(statusOf(accepted), 200);
    EXPECT_EQ(json(accepted).value("id"), QString::fromStdString(eventId));

    const QJsonArray stored = json(client.Get("/dev/envelopes")).value("envelopes").toArray();
    ASSERT_EQ(stored.size(), 1);
    EXPECT_EQ(stored.first().toObject().value("project_id"), "7");
    EXPECT_EQ(stored.first().toObject().value("sentry_key"), "devkey");
    const QJsonObject payload = stored.first().toObject().value("items").toArray().first().toObject().value("payload").toObject();
    EXPECT_EQ(payload.value("exception").toObject().value("values").toArray().first().toObject().value("value"), "x\ny");

    // No or wrong authentication.
    EXPECT_EQ(client.Post("/api/7/envelope/", envelopeWith(event), "application/x-sentry-envelope")->status, 401);
    const httplib::Headers oldVersion{{"X-Sentry-Auth", "Sentry sentry_version=5, sentry_key=devkey"}};
    EXPECT_EQ(client.Post("/api/7/envelope/", oldVersion, envelopeWith(event), "application/x-sentry-envelope")->status, 401);

    // Wrong framing or an event that is not one; item lengths near 2^63 after a header longer
    // than 1024 bytes, where adding the offset overflowed.
    const std::string otherId = R"({"event_id":"ffffffffffffffffffffffffffffffff","level":"error","platform":"native","exception":{"values":[{"type":"T"}]}})";
    std::vector<std::string> bad{envelopeWith(event, qsizetype(event.size()) - 1), envelopeWith(event, qsizetype(event.size()) + 5),
                                 std::string("not json\n"), R"({"event_id":"0123"})" + std::string("\n"), envelopeWith(otherId),
                                 envelopeWith(R"({"event_id":")" + eventId + R"(","level":"error","platform":"native"})"),
                                 R"({"event_id":")" + eventId + "\"}\n" + R"({"type":"event"})" + "\n" + event + "\n"};
    for (const char *length : {"9223372036854774784", "9223372036854775807", "1e300", "-1", "4294967296"})
        bad.push_back(R"({"event_id":")" + eventId + R"(","sdk":{"name":")" + std::string(2000, 'x') + R"(","version":"1"}})" + "\n"
                      + R"({"type":"event","length":)" + length + "}\n{}\n");
    for (const std::string &envelope : bad)
        EXPECT_EQ(statusOf(client.Post("/api/7/envelope/", sentryAuth, envelope, "application/x-sentry-envelope")), 400) << envelope.substr(0, 200);
    EXPECT_EQ(json(client.Get("/dev/envelopes")).value("envelopes").toArray().size(), 1);
}

TEST_F(DevServer_, FaultsAnswerTheNextRequestsOfOneEndpointCarryHeaderFieldsTheSampleAppcastIsServedAndTheServiceHoldsItsPort)
{
    server.injectFault({{"endpoint", "/oauth/token"}, {"count", 2}, {"status", 500}, {"body", "<html>oops</html>"}, {"content_type", "text/html"}});
    for (int i = 0; i < 2; ++i) {
        const auto failed = client.passwordGrant();
        ASSERT_EQ(statusOf(failed), 500);
        EXPECT_EQ(failed->body, "<html>oops</html>");
    }
    EXPECT_EQ(client.passwordGrant()->status, 200);

    // Only the named endpoint is affected.
    server.injectFault({{"endpoint", "/api/v1/user_activities"}, {"close", true}});
    EXPECT_EQ(client.passwordGrant()->status, 200);
    EXPECT_FALSE(client.upload("whatever"));
    expectInvalidToken(client.upload("whatever"));

    // A delay longer than the client waits; the next request is answered at once.
    server.injectFault({{"endpoint", "/oauth/token"}, {"delay_ms", 3000}});
    client.set_read_timeout(0, 200000);
    EXPECT_FALSE(client.passwordGrant());
    client.set_read_timeout(5);
    EXPECT_EQ(client.passwordGrant()->status, 200);

    // Cleared faults no longer apply; malformed ones are refused.
    server.injectFault({{"endpoint", "/oauth/token"}, {"status", 503}});
    ASSERT_EQ(client.Delete("/dev/faults")->status, 204);
    EXPECT_EQ(client.passwordGrant()->status, 200);
    for (const QJsonObject &bad : {QJsonObject{{"endpoint", "/oauth/token"}}, QJsonObject{{"endpoint", "/oauth/token"}, {"status", 1000}},
                                   QJsonObject{{"endpoint", "/dev/faults"}, {"status", 500}}, QJsonObject{{"status", 500}},
                                   QJsonObject{{"endpoint", "/oauth/token"}, {"status", 500}, {"count", 0}}})
        EXPECT_EQ(client.Post("/dev/faults", text(bad), "application/json")->status, 400) << text(bad);

    // Faults can carry header fields.
    server.injectFault({{"endpoint", "/api/7/envelope/"}, {"status", 429}, {"headers", QJsonObject{{"Retry-After", "30"}}}});
    const auto limited = client.Post("/api/7/envelope/", sentryAuth, "", "application/x-sentry-envelope");
    ASSERT_EQ(statusOf(limited), 429);
    EXPECT_EQ(limited->get_header_value("Retry-After"), "30");
    EXPECT_EQ(client.Post("/dev/faults", text({{"endpoint", "/x"}, {"status", 429}, {"headers", QJsonObject{{"Retry-After", 30}}}}),
                          "application/json")->status, 400);

    const auto appcast = client.Get("/appcast.xml");
    ASSERT_EQ(statusOf(appcast), 200);
    const std::string root = "http://127.0.0.1:" + std::to_string(server.port());
    EXPECT_NE(appcast->body.find("url=\"" + root + "/downloads/hourloom-0.2.0-linux-x86_64.tar.gz\""), std::string::npos) << appcast->body;

    // A second service on the port refuses to start: two services sharing one port would answer
    // requests in turn, each with its own accounts.
    QProcess second;
    second.start(QStringLiteral(HOURLOOM_DEVSERVER_BINARY), {QStringLiteral("--port"), QString::number(server.port())});
    ASSERT_TRUE(second.waitForFinished(10000));
    EXPECT_EQ(second.exitCode(), 1);
    EXPECT_TRUE(second.readAllStandardError().contains("cannot listen on 127.0.0.1:" + QByteArray::number(server.port())));
}
