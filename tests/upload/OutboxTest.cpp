// Ended sessions wait in the outbox on disk until the local account service has accepted them:
// through an outage and a restart, a crash, and a log-out, for the same account only.
#include "auth/AuthFixture.h"

#include "auth/RefreshTokenController.h"
#include "model/AppSession.h"
#include "model/SessionBatch.h"
#include "platform/services/store/SqliteOutbox.h"
#include "tracking/AppSessionController.h"
#include "upload/SessionBatchAPIDispatcher.h"
#include "upload/SessionOutbox.h"
#include "upload/UserActivityController.h"

#include "support/FakeClock.h"

#include <QCoreApplication>
#include <QJsonObject>
#include <QTemporaryDir>

#include <httplib.h>

using namespace hourloom;
using namespace hourloom::test;

namespace {

// One run of the agent's upload side: what a start builds, with the outbox file in `path`.
struct AgentRun {
    AgentRun(const QString &path, std::shared_ptr<AuthController> auth, std::shared_ptr<KeychainHelper> keychain,
             std::shared_ptr<URLSessionProtocol> urlSession, const QUrl &rootURL, SessionOutbox::KeyProvider key)
        : outbox(std::make_shared<SessionOutbox>(std::make_shared<SqliteOutbox>(path), std::move(key)))
    {
        const std::weak_ptr<SessionOutbox> weakOutbox = outbox;
        auto tracker = std::make_shared<AppSwitchTracker>(center, didActivateApplicationNotification,
                                                          applicationUserInfoKey, std::make_shared<FakeWorkspace>());
        sbc = std::make_shared<SessionBatchController>(
            tracker, std::make_shared<IdleTimeController>(std::make_shared<FakeEventTracker>(), idleTimers.provider()),
            WebSessionControllerClass(), SessionBatch::type(), AppSessionController::type([weakOutbox] {
                if (const auto sessionOutbox = weakOutbox.lock())
                    sessionOutbox->scheduleWrite();
            }));
        sbc->minSessionDuration = 0;
        outbox->setSessionBatchController(sbc);
        auto refresh = std::make_shared<RefreshTokenController>(auth, keychain, urlSession, rootURL.resolved(QUrl("/oauth/token")));
        scheduler = std::make_shared<UserActivityController>(auth, keychain, sbc,
                                                             std::make_shared<SessionBatchAPIDispatcher>(auth, refresh, rootURL),
                                                             urlSession, uploadTimers.provider(), outbox);
    }

    NotificationCenter center;
    FakeTimerProvider idleTimers;
    FakeTimerProvider uploadTimers;
    std::shared_ptr<SessionOutbox> outbox;
    std::shared_ptr<SessionBatchController> sbc;
    std::shared_ptr<UserActivityController> scheduler;
};

class Outbox : public AuthFixture {
protected:
    void SetUp() override
    {
        AuthFixture::SetUp();
        startAgent();
        ASSERT_TRUE(QCoro::waitFor(auth->logIn(DevServerProcess::email, DevServerProcess::password, run->scheduler)).isSuccess());
    }

    void startAgent()
    {
        run.reset();
        run = std::make_unique<AgentRun>(folder.filePath(QStringLiteral("hourloom/outbox.sqlite")), auth, keychain, urlSession,
                                         server.rootURL(), [this] { return OutboxKey{account, QStringLiteral("Test")}; });
    }

    void upload() { QCoro::waitFor(run->scheduler->uploadSessionBatch()); }
    void serviceDown() { server.injectFault(QJsonObject{{"endpoint", "/api/v1/user_activities"}, {"count", 1000}, {"status", 503}}); }
    void serviceBack()
    {
        httplib::Client client("127.0.0.1", server.port());
        ASSERT_EQ(client.Delete("/dev/faults")->status, 204);
    }

    std::shared_ptr<AppSessionProtocol> switchTo(const QString &name, double seconds)
    {
        clock.advance(seconds);
        auto session = std::make_shared<AppSession>(name, QStringLiteral("org.example.") + name);
        run->sbc->handleAppSwitch(session);
        QCoreApplication::sendPostedEvents(); // the outbox writes from the main loop
        return session;
    }

    // What the service stored for one user: "start_time end_time app_name" by id.
    QHash<QString, std::string> storedFor(const QString &email)
    {
        QHash<QString, std::string> sessions;
        for (const auto &[id, session] : server.storedActivities(email).asKeyValueRange())
            sessions.insert(id, (session.startTime + u' ' + session.endTime + u' ' + session.appName).toStdString());
        return sessions;
    }

    static QString wire(const QDateTime &time) { return time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")); }
    static QString id(const std::shared_ptr<AppSessionProtocol> &session) { return session->id().toString(QUuid::WithoutBraces); }
    static std::string arrived(const std::shared_ptr<AppSessionProtocol> &session, const QDateTime &end)
    {
        return (wire(session->startTime()) + u' ' + wire(end) + u' ' + session->appName()).toStdString();
    }

    QList<OutboxAppSession> waitingOnDisk() { return SqliteOutbox(folder.filePath(QStringLiteral("hourloom/outbox.sqlite"))).waiting({account, "Test"}); }

    FakeClock clock{QDateTime::currentDateTime().addDays(-1)};
    QTemporaryDir folder;
    QString account = DevServerProcess::email;
    std::unique_ptr<AgentRun> run;
};

TEST_F(Outbox, SessionsEndedDuringAnOutageArriveOnceWithTheirTimesAfterAQuitAndARestart)
{
    const auto editor = switchTo("Editor", 0);
    const auto files = switchTo("Files", 30);
    serviceDown();
    upload();
    const auto terminal = switchTo("Terminal", 45);
    // The quit sequence: the current session ends, the final upload fails.
    run->sbc->appSessionController()->endSession(clock.now().addSecs(20));
    upload();
    EXPECT_EQ(waitingOnDisk().size(), 3);

    serviceBack();
    startAgent();
    QCoro::waitFor(run->scheduler->start());
    EXPECT_TRUE(run->sbc->sessionBatch()->appSessions().isEmpty()) << "nothing is restored before the first upload";
    upload();
    const QHash<QString, std::string> stored = storedFor(DevServerProcess::email);
    EXPECT_EQ(stored.size(), 3);
    EXPECT_EQ(stored.value(id(editor)), arrived(editor, *editor->endTime()));
    EXPECT_EQ(stored.value(id(files)), arrived(files, *files->endTime()));
    EXPECT_EQ(stored.value(id(terminal)), arrived(terminal, clock.now().addSecs(20)));
    EXPECT_TRUE(waitingOnDisk().isEmpty());
    EXPECT_TRUE(run->sbc->sessionBatch()->appSessions().isEmpty());

    // A second upload sends nothing again.
    const auto counted = storedFor(DevServerProcess::email);
    upload();
    EXPECT_EQ(storedFor(DevServerProcess::email), counted);
}

TEST_F(Outbox, ASessionFromTheOutboxIsNeverContinuedByAQuickReturnToItsApplication)
{
    run->sbc->minSessionDuration = 5;
    switchTo("Editor", 0);
    const auto files = switchTo("Files", 30);
    serviceDown();
    run->sbc->appSessionController()->endSession(clock.now().addSecs(20));
    upload(); // the quit's final upload fails
    const QDateTime quit = *files->endTime();

    // An hour later: the first upload brings the waiting sessions back in front of the new
    // one; a switch away from that within the shortest session kept drops it, and the next
    // switch goes to the application the last waiting session belongs to.
    clock.advance(3600);
    startAgent();
    run->sbc->minSessionDuration = 5;
    QCoro::waitFor(run->scheduler->start());
    switchTo("Editor", 0);
    upload();
    switchTo("Files", 2);
    const auto terminal = switchTo("Terminal", 60);
    switchTo("Editor", 30);
    serviceBack();
    upload();
    const QHash<QString, std::string> stored = storedFor(DevServerProcess::email);
    EXPECT_EQ(stored.value(id(files)), arrived(files, quit)) << "the hour the agent did not run was booked to it";
    EXPECT_EQ(stored.size(), 4) << "Editor and Files before the quit, Files and Terminal after";
    EXPECT_TRUE(stored.contains(id(terminal)));
}

TEST_F(Outbox, AfterACrashTheOpenSessionArrivesEndedAtItsLastCheckpoint)
{
    const auto editor = switchTo("Editor", 0);
    const auto files = switchTo("Files", 30);
    serviceDown();
    clock.advance(40);
    const QDateTime checkpoint = clock.now();
    QCoro::waitFor(run->scheduler->uploadTimerFired());
    clock.advance(40);
    // The process dies here: nothing more is written.
    serviceBack();
    startAgent();
    QCoro::waitFor(run->scheduler->start());
    upload();
    const QHash<QString, std::string> stored = storedFor(DevServerProcess::email);
    EXPECT_EQ(stored.value(id(editor)), arrived(editor, *editor->endTime()));
    EXPECT_EQ(stored.value(id(files)), arrived(files, checkpoint));
    EXPECT_TRUE(waitingOnDisk().isEmpty());
}

TEST_F(Outbox, ALogOutKeepsTheAccountsSessionsForItsNextLogInAndNoOtherAccountSeesThem)
{
    const auto editor = switchTo("Editor", 0);
    const auto files = switchTo("Files", 30);
    serviceDown();
    clock.advance(10);
    QCoro::waitFor(run->scheduler->logOut());
    EXPECT_TRUE(run->sbc->sessionBatch()->appSessions().isEmpty());
    const std::string filesAsEnded = arrived(files, *files->endTime());
    serviceBack();

    // Another account logs in on this machine: its uploads carry none of them.
    account = DevServerProcess::otherEmail;
    ASSERT_TRUE(QCoro::waitFor(auth->logIn(DevServerProcess::otherEmail, DevServerProcess::password, run->scheduler)).isSuccess());
    const auto browser = switchTo("Browser", 30);
    switchTo("Editor", 30);
    upload();
    const QHash<QString, std::string> others = storedFor(DevServerProcess::otherEmail);
    EXPECT_TRUE(others.contains(id(browser)));
    EXPECT_FALSE(others.contains(id(editor)) || others.contains(id(files)));
    QCoro::waitFor(run->scheduler->logOut());

    // The first account again: its waiting sessions go out with the next upload.
    account = DevServerProcess::email;
    ASSERT_TRUE(QCoro::waitFor(auth->logIn(DevServerProcess::email, DevServerProcess::password, run->scheduler)).isSuccess());
    upload();
    const QHash<QString, std::string> stored = storedFor(DevServerProcess::email);
    EXPECT_EQ(stored.size(), 2);
    EXPECT_EQ(stored.value(id(editor)), arrived(editor, *editor->endTime()));
    EXPECT_EQ(stored.value(id(files)), filesAsEnded);
    EXPECT_FALSE(storedFor(DevServerProcess::otherEmail).contains(id(editor)));
}

} // namespace
