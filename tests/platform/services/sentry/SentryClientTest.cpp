// Errors reported to the local account service as a Sentry server would receive them.
#include "SentryFixture.h"

#include "platform/services/sentry/SentryEvent.h"
#include "support/FakeClock.h"
#include "tracking/ScriptCompileError.h"

#include <QTimeZone>

using namespace hourloom;

namespace {

class SentryClient_ : public test::SentryFixture {
protected:
    static ScriptCompileError compileError(const QString &script)
    {
        return ScriptCompileError(script, QVariantMap{{"NSAppleScriptErrorNumber", -2741}, {"NSAppleScriptErrorMessage", "Expected end of line"}});
    }
};

} // namespace

TEST_F(SentryClient_, AnErrorReachesTheServiceAsAWellFormedEnvelope)
{
    test::FakeClock clock(QDateTime(QDate(2024, 5, 6), QTime(9, 30), QTimeZone::utc()).toUTC());
    startClient(productionOptions()).errorLogger().capture(compileError("tell application \"Safari\"\nend tell"));
    waitForDeliveries();

    // The service has checked the framing, the item length and the auth header.
    const QJsonArray received = envelopes();
    ASSERT_EQ(received.size(), 1);
    const QJsonObject envelope = received.first().toObject();
    EXPECT_EQ(envelope.value("project_id"), "42");
    EXPECT_EQ(envelope.value("sentry_key"), "testkey");
    EXPECT_EQ(envelope.value("header").toObject().value("sent_at"), "2024-05-06T09:30:00.000Z");

    const QJsonObject event = eventOf(envelope);
    EXPECT_EQ(event.value("event_id"), envelope.value("header").toObject().value("event_id"));
    EXPECT_EQ(event.value("timestamp"), "2024-05-06T09:30:00.000Z");
    EXPECT_EQ(event.value("level"), "error");
    EXPECT_EQ(event.value("platform"), "native");
    EXPECT_EQ(event.value("environment"), "Production");
    EXPECT_EQ(event.value("release"), "0.1.0");
    EXPECT_EQ(event.value("sdk").toObject().value("name"), SentryEvent::sdkName);

    const QJsonObject exception = event.value("exception").toObject().value("values").toArray().first().toObject();
    EXPECT_EQ(exception.value("type"), "ScriptCompileError");
    EXPECT_TRUE(exception.value("value").toString().contains("Expected end of line"));
    EXPECT_EQ(exception.value("mechanism").toObject().value("handled"), true);
    const QJsonObject extra = event.value("extra").toObject();
    EXPECT_EQ(extra.value("Script"), "tell application \"Safari\"\nend tell");
    EXPECT_EQ(extra.value("Compile Error").toObject().value("NSAppleScriptErrorNumber"), -2741);
}

TEST_F(SentryClient_, OnlyTheGivenOptionsAreSentNothingBeforeAStartWithADsnAndNothingWhileTheServerLimitsErrors)
{
    test::FakeClock clock;
    // Not started: the error goes nowhere.
    const auto unstarted = std::make_shared<SentryClient>(session, markerPath());
    unstarted->errorLogger().capture(compileError("unstarted"));
    // A DSN that cannot be read leaves reporting off.
    startClient({"not a dsn", "Production", QStringLiteral("0.1.0")}).errorLogger().capture(compileError("bad dsn"));
    EXPECT_TRUE(session->sent.isEmpty());

    // The environment's case is kept, and without a release name there is no "release".
    startClient({dsn(), "production", std::nullopt}).errorLogger().capture(compileError("no release"));
    waitForDeliveries();
    const QJsonObject event = onlyEvent();
    EXPECT_EQ(event.value("environment"), "production");
    EXPECT_FALSE(event.contains("release"));

    SentryClient &reporter = startClient(productionOptions());
    server.injectFault({{"endpoint", "/api/42/envelope/"},
                        {"status", 429},
                        {"headers", QJsonObject{{"X-Sentry-Rate-Limits", "60:error;default:organization:quota_exceeded"}}}});
    reporter.errorLogger().capture(compileError("refused"));
    waitForDeliveries();
    ASSERT_EQ(session->sent.value("/api/42/envelope/"), 2);

    // Limited: dropped without a request, and not queued for later either.
    clock.advance(59);
    reporter.errorLogger().capture(compileError("dropped"));
    waitForDeliveries();
    EXPECT_EQ(session->sent.value("/api/42/envelope/"), 2);

    clock.advance(2);
    reporter.errorLogger().capture(compileError("after the limit"));
    waitForDeliveries();
    ASSERT_EQ(envelopes().size(), 2);
    EXPECT_EQ(eventOf(envelopes().last()).value("extra").toObject().value("Script"), "after the limit");
}
