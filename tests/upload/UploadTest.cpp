// The upload scheduler and dispatcher against the local account service, with the tokens in a
// real gnome-keyring and the sessions' times from a clock the tests control.
#include "auth/AuthFixture.h"

#include "auth/RefreshTokenController.h"
#include "core/Log.h"
#include "model/AppSession.h"
#include "model/WebSession.h"
#include "upload/SessionBatchAPIDispatcher.h"
#include "upload/UserActivityController.h"

#include "support/CountingURLSession.h"
#include "support/FakeClock.h"
#include "support/XDesktop.h"

#include <QCoreApplication>
#include <QJsonObject>
#include <QTemporaryDir>

using namespace hourloom;
using namespace hourloom::test;

namespace {

class Upload : public AuthFixture {
protected:
    void SetUp() override
    {
        AuthFixture::SetUp();
        makeScheduler(server.rootURL());
        ASSERT_TRUE(logIn().isSuccess());
        QCoreApplication::sendPostedEvents(); // the upload timer is made on the main loop
        sbc->minSessionDuration = 0;
    }

    void makeScheduler(const QUrl &rootURL)
    {
        auto tracker = std::make_shared<AppSwitchTracker>(center, didActivateApplicationNotification,
                                                          applicationUserInfoKey, workspace);
        sbc = std::make_shared<SessionBatchController>(
            tracker, std::make_shared<IdleTimeController>(std::make_shared<FakeEventTracker>(), idleTimers.provider()),
            WebSessionControllerClass());
        counting = std::make_shared<CountingURLSession>(urlSession);
        auto refresh = std::make_shared<RefreshTokenController>(auth, keychain, counting, server.url(QStringLiteral("/oauth/token")));
        dispatcher = std::make_shared<SessionBatchAPIDispatcher>(auth, refresh, rootURL);
        scheduler = std::make_shared<UserActivityController>(auth, keychain, sbc, dispatcher, counting, uploadTimers.provider());
    }

    AuthResult logIn() { return QCoro::waitFor(auth->logIn(DevServerProcess::email, DevServerProcess::password, scheduler)); }
    void upload() { QCoro::waitFor(scheduler->uploadSessionBatch()); }

    // `seconds` after the previous step, the application becomes frontmost.
    std::shared_ptr<AppSessionProtocol> switchTo(const QString &name, double seconds)
    {
        clock.advance(seconds);
        auto session = std::make_shared<AppSession>(name, QStringLiteral("org.example.") + name);
        sbc->handleAppSwitch(session);
        return session;
    }

    QString storedWebEnd(const std::shared_ptr<WebSessionProtocol> &webSession)
    {
        const QString webId = webSession->id().toString(QUuid::WithoutBraces);
        for (const StoredAppSession &session : server.storedActivities()) {
            if (session.webSessionEnds.contains(webId))
                return session.webSessionEnds.value(webId);
        }
        return {};
    }

    static QString wire(const QDateTime &time) { return time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")); }
    static QString id(const std::shared_ptr<AppSessionProtocol> &session) { return session->id().toString(QUuid::WithoutBraces); }

    void expectStoredAsTheyHappened(const QList<std::shared_ptr<AppSessionProtocol>> &ended)
    {
        const auto sessions = server.storedActivities();
        for (const auto &session : ended) {
            ASSERT_TRUE(sessions.contains(id(session))) << session->appName().toStdString();
            EXPECT_EQ(sessions[id(session)].startTime, wire(session->startTime()));
            EXPECT_EQ(sessions[id(session)].endTime, wire(*session->endTime()));
        }
    }

    FakeClock clock{QDateTime::currentDateTime().addDays(-1)};
    NotificationCenter center;
    std::shared_ptr<FakeWorkspace> workspace = std::make_shared<FakeWorkspace>();
    FakeTimerProvider idleTimers;
    FakeTimerProvider uploadTimers;
    std::shared_ptr<SessionBatchController> sbc;
    std::shared_ptr<CountingURLSession> counting;
    std::shared_ptr<SessionBatchAPIDispatcher> dispatcher;
    std::shared_ptr<UserActivityController> scheduler;
};

TEST_F(Upload, TheTimerUploadsEveryPeriodFromOnePeriodAfterLoginAndOnlyWithAToken)
{
    ASSERT_EQ(uploadTimers.timers().size(), 1u);
    const auto timer = uploadTimers.last();
    EXPECT_TRUE(timer->repeats);
    EXPECT_EQ(timer->interval, Configuration::secondsBetweenApiSends());
    EXPECT_EQ(counting->sent.value("/api/v1/user_activities"), 0); // nothing at once

    const auto first = switchTo("Editor", 0);
    const auto second = switchTo("Files", 30);
    timer->fire();
    ASSERT_TRUE(XDesktop::spinUntil([&] { return counting->sent.value("/api/v1/user_activities") == 1 && sbc->sessionBatch()->appSessions().size() == 1; }));
    EXPECT_EQ(sbc->sessionBatch()->appSessions(), AppSessionList{second}); // only the open one waits

    timer->fire();
    ASSERT_TRUE(XDesktop::spinUntil([&] { return counting->sent.value("/api/v1/user_activities") == 2; }));
    expectStoredAsTheyHappened({first});
    EXPECT_EQ(server.storedActivities().value(id(second)).endTime, wire(clock.now())); // the open one, ending "now"

    // Without a token a timer step sends nothing, and the timer keeps running.
    QCoro::waitFor(auth->logOut());
    QCoro::waitFor(scheduler->uploadTimerFired());
    EXPECT_EQ(counting->sent.value("/api/v1/user_activities"), 2);
    EXPECT_TRUE(timer->isValid());
}

TEST_F(Upload, ARejectedTokenIsRenewedOnceAndTheUploadRetried)
{
    const auto editor = switchTo("Editor", 0);
    switchTo("Files", 30);
    const auto refreshBefore = stored(KeychainHelperProtocol::refreshTokenService);
    server.injectFault(QJsonObject{{"endpoint", "/api/v1/user_activities"}, {"count", 1}, {"status", 401}});
    upload();
    EXPECT_EQ(counting->sent.value("/oauth/token"), 1);
    EXPECT_EQ(counting->sent.value("/api/v1/user_activities"), 2);
    EXPECT_NE(stored(KeychainHelperProtocol::refreshTokenService), refreshBefore);
    expectStoredAsTheyHappened({editor});

    // Rejected again after the renewal: no second renewal, and nothing is lost.
    const auto files = sbc->sessionBatch()->appSessions().last();
    switchTo("Terminal", 30);
    server.injectFault(QJsonObject{{"endpoint", "/api/v1/user_activities"}, {"count", 2}, {"status", 401}});
    upload();
    EXPECT_EQ(counting->sent.value("/oauth/token"), 2);
    EXPECT_EQ(counting->sent.value("/api/v1/user_activities"), 4);
    EXPECT_TRUE(sbc->sessionBatch()->appSessions().contains(files));
    upload();
    expectStoredAsTheyHappened({editor, files});
}

TEST_F(Upload, NoEndedSessionIsLostOrRepeatedThroughAnOutage)
{
    QList<std::shared_ptr<AppSessionProtocol>> ended;
    ended << switchTo("Editor", 0);
    auto page = std::make_shared<WebSession>(QStringLiteral("example.org"));
    ended.last()->webSessions().append(page);
    clock.advance(10);
    page->end(clock.now());

    // The service goes away: the connection is refused.
    ended << switchTo("Files", 30);
    server.stop();
    {
        const LogCapture capture;
        upload();
        EXPECT_EQ(capture.standardOutput(), "Could not send data to API\n");
    }
    EXPECT_EQ(sbc->sessionBatch()->appSessions().size(), 2);

    // It comes back failing, then recovers.
    server.restart();
    server.injectFault(QJsonObject{{"endpoint", "/api/v1/user_activities"}, {"count", 2}, {"status", 500}, {"body", "<html>down</html>"}});
    ended << switchTo("Terminal", 30);
    upload();
    ended << switchTo("Browser", 30);
    upload();
    EXPECT_EQ(sbc->sessionBatch()->appSessions().size(), 4); // ended ones wait, in order, with the open one
    const auto current = switchTo("Editor", 30);
    upload(); // recovered
    expectStoredAsTheyHappened(ended);
    EXPECT_EQ(server.storedActivities().value(id(ended.first())).domains, QStringList{"example.org"});
    EXPECT_EQ(sbc->sessionBatch()->appSessions(), AppSessionList{current});
}

TEST_F(Upload, ASessionEndingDuringASlowUploadArrivesLaterWithItsTrueEnd)
{
    switchTo("Editor", 0);
    const auto files = switchTo("Files", 30);
    server.injectFault(QJsonObject{{"endpoint", "/api/v1/user_activities"}, {"count", 1}, {"delay_ms", 1500}});
    auto slow = scheduler->uploadSessionBatch();
    // While the answer is delayed, the user switches: Files ends.
    const auto terminal = switchTo("Terminal", 20);
    QCoro::waitFor(std::move(slow));
    EXPECT_TRUE(sbc->sessionBatch()->appSessions().contains(files));
    EXPECT_EQ(server.storedActivities().value(id(files)).endTime, wire(files->startTime())); // the provisional end it went out with

    upload();
    expectStoredAsTheyHappened({files});
    EXPECT_EQ(sbc->sessionBatch()->appSessions(), AppSessionList{terminal});
}

TEST_F(Upload, ASessionReopenedWhileItsUploadIsInFlightStaysAndGoesOutWithItsNewTimes)
{
    sbc->minSessionDuration = 5;
    const auto browser = switchTo("Browser", 0);
    auto page = std::make_shared<WebSession>(QStringLiteral("example.org"));
    browser->webSessions().append(page);
    switchTo("Files", 30); // the browser's session and its page end
    page->end(*browser->endTime());

    auto inFlight = scheduler->uploadSessionBatch();
    // A detour: back in the browser a second later. Files was too short, and the browser's
    // session is reopened with its last page, as a quick return does.
    switchTo("Browser", 1);
    ASSERT_TRUE(browser->isActive());
    page->setEndTime(std::nullopt);
    QCoro::waitFor(std::move(inFlight));
    EXPECT_EQ(sbc->sessionBatch()->appSessions(), AppSessionList{browser});
    EXPECT_EQ(browser->webSessions(), WebSessionList{page});

    // Both go on, end for good and reach the service with their true ends.
    clock.advance(40);
    page->end(clock.now());
    switchTo("Terminal", 0);
    upload();
    expectStoredAsTheyHappened({browser});
    EXPECT_EQ(server.storedActivities().value(id(browser)).domains, QStringList{"example.org"});
    EXPECT_EQ(storedWebEnd(page), wire(*page->endTime()));
}

TEST_F(Upload, EachPartTakesWhatItCarriedEndedWhenTheBodiesAreWritten)
{
    const auto editor = switchTo("Editor", 0);
    const auto files = switchTo("Files", 30);
    const auto terminal = switchTo("Terminal", 30);
    scheduler->maxUploadBytes = 1; // a part per session; the open Terminal session goes last
    auto parts = scheduler->uploadSessionBatch();
    // While the first part is in flight, Terminal's session ends.
    const auto browser = switchTo("Browser", 20);
    QCoro::waitFor(std::move(parts));
    EXPECT_EQ(counting->sent.value("/api/v1/user_activities"), 3);
    EXPECT_EQ(sbc->sessionBatch()->appSessions(), (AppSessionList{terminal, browser}));

    upload();
    expectStoredAsTheyHappened({editor, files, terminal});
}

TEST_F(Upload, OneUploadAtATimeAndLogOutWaitsForTheOneInFlight)
{
    // The service answers slowly; a timer step while the upload is in flight sends nothing.
    const auto editor = switchTo("Editor", 0);
    server.injectFault(QJsonObject{{"endpoint", "/api/v1/user_activities"}, {"count", 1}, {"delay_ms", 1500}});
    auto slow = scheduler->uploadSessionBatch();
    const auto files = switchTo("Files", 13);
    uploadTimers.last()->fire();
    EXPECT_EQ(counting->sent.value("/api/v1/user_activities"), 1);
    QCoro::waitFor(std::move(slow));
    upload();
    expectStoredAsTheyHappened({editor}); // the older answer never lands over a newer one

    // Log-out during a slow timer upload: its own upload follows, with the session's true end.
    server.injectFault(QJsonObject{{"endpoint", "/api/v1/user_activities"}, {"count", 1}, {"delay_ms", 1500}});
    auto timerUpload = scheduler->uploadTimerFired();
    clock.advance(20);
    QCoro::waitFor(scheduler->logOut());
    QCoro::waitFor(std::move(timerUpload));
    EXPECT_EQ(counting->sent.value("/api/v1/user_activities"), 4);
    expectStoredAsTheyHappened({editor, files});
    EXPECT_EQ(server.storedActivities().value(id(files)).endTime, wire(clock.now()));

    // The log-out's end stays that session's end: the first switch after the next login starts
    // afresh instead of ending it once more.
    const QDateTime loggedOutAt = *files->endTime();
    ASSERT_TRUE(logIn().isSuccess());
    switchTo("Mail", 30);
    EXPECT_EQ(*files->endTime(), loggedOutAt);
}

TEST_F(Upload, A413NeverDropsASessionAndThePartSizeGrowsBack)
{
    QList<std::shared_ptr<AppSessionProtocol>> ended;
    ended << switchTo("Editor", 0) << switchTo("Files", 30) << switchTo("Terminal", 30) << switchTo("Browser", 30);
    const auto current = switchTo("Mail", 30);

    // The service refuses every body as too large for a while: parts shrink to single sessions,
    // and a single session that is still too large waits like any failure.
    server.injectFault(QJsonObject{{"endpoint", "/api/v1/user_activities"}, {"count", 16}, {"status", 413}});
    {
        const LogCapture capture;
        for (int attempt = 0; attempt < 20 && sbc->sessionBatch()->appSessions().size() > 1; ++attempt)
            upload();
        EXPECT_EQ(capture.standardOutput(), "");
    }
    EXPECT_EQ(sbc->sessionBatch()->appSessions(), AppSessionList{current});
    expectStoredAsTheyHappened(ended);
    EXPECT_LT(scheduler->maxUploadBytes, UserActivityController::defaultMaxUploadBytes);

    // Accepted uploads let the part size grow back to the default.
    for (int attempt = 0; attempt < 30 && scheduler->maxUploadBytes < UserActivityController::defaultMaxUploadBytes; ++attempt)
        upload();
    EXPECT_EQ(scheduler->maxUploadBytes, UserActivityController::defaultMaxUploadBytes);
}

TEST_F(Upload, AnOpenSessionGoesOutOnlyOnceItHasLastedTheShortestSessionKept)
{
    // A session the agent drops as too short never reaches the service, even though an upload
    // came while it was open.
    sbc->minSessionDuration = 10;
    const auto editor = switchTo("Editor", 0);
    clock.advance(3);
    upload();
    const auto files = switchTo("Files", 4);
    EXPECT_FALSE(sbc->sessionBatch()->appSessions().contains(editor)) << "dropped as too short";
    clock.advance(12);
    upload();
    const auto stored = server.storedActivities();
    EXPECT_FALSE(stored.contains(id(editor)));
    ASSERT_TRUE(stored.contains(id(files)));
    EXPECT_EQ(stored.value(id(files)).endTime, wire(clock.now()));
}

TEST_F(Upload, ABatchTheServiceRefusesIsDroppedWithOneLine)
{
    switchTo("Editor", 0);
    const auto files = switchTo("Files", 30);
    server.injectFault(QJsonObject{{"endpoint", "/api/v1/user_activities"}, {"count", 1}, {"status", 422},
                                   {"body", R"({"errors":[{"message":"bad batch"}]})"}});
    const LogCapture capture;
    upload();
    EXPECT_EQ(capture.standardOutput(), "The service refused the activity upload (HTTP 422): 1 ended sessions dropped\n");
    EXPECT_EQ(sbc->sessionBatch()->appSessions(), AppSessionList{files});
}

TEST_F(Upload, LoggingOutWithTheServiceDownCompletesAndForgetsTheAccessToken)
{
    workspace->frontmost = RunningApplication{QStringLiteral("Editor"), QStringLiteral("org.example.Editor")};
    switchTo("Editor", 0);
    server.injectFault(QJsonObject{{"endpoint", "/api/v1/user_activities"}, {"count", 2}, {"close", true}});
    const LogCapture capture;
    QCoro::waitFor(scheduler->logOut());
    EXPECT_TRUE(capture.standardOutput().contains(QLatin1String("Could not send data to API")));
    EXPECT_FALSE(auth->loggedIn());
    EXPECT_FALSE(stored(KeychainHelperProtocol::accessTokenService).has_value());
    EXPECT_TRUE(stored(KeychainHelperProtocol::refreshTokenService).has_value());
    EXPECT_TRUE(sbc->sessionBatch()->appSessions().isEmpty());
    EXPECT_EQ(scheduler->uploadActivityTimer, nullptr);
    EXPECT_FALSE(sbc->appSwitchTracker()->appSwitchObserver().has_value());
}

} // namespace
