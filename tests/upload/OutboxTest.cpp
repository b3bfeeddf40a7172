// Ended sessions wait in the outbox file until the service has accepted them: through an
// outage and a restart, a crash, and a log-out, for the same account only.
#include "agent/InMemoryAgent.h"

#include "platform/services/store/SqliteOutbox.h"
#include "tracking/AppSessionControllerProtocol.h"
#include "tracking/IdleTimeController.h"

#include <QTemporaryDir>

using namespace hourloom;
using namespace hourloom::test;

namespace {

class Outbox : public InMemoryAgent {
protected:
    static inline const QString otherEmail = QStringLiteral("grace@hourloom.test");

    void SetUp() override
    {
        startAgent();
        logInAs(email);
    }

    // A start of the agent on this machine, opening the outbox file anew.
    void startAgent()
    {
        fakes.services.outbox = std::make_shared<SqliteOutbox>(path());
        launch();
        tracking().minSessionDuration = 0;
    }
    // A login through the panel, which names the account the outbox keeps sessions for.
    void logInAs(const QString &account)
    {
        ASSERT_TRUE(logIn(account).isSuccess());
        UserDefaults::setString(UserDefaults::userNameKey, account);
    }
    void serviceDown() { service->queue(FakeURLSession::activityPath, {503}, 1000); }
    void serviceBack() { service->unqueue(FakeURLSession::activityPath); }
    // The quit sequence: the current session ends, the final upload runs.
    void quit(const QDateTime &at)
    {
        tracking().appSessionController()->endSession(at);
        upload();
    }

    QString path() const { return folder.filePath(QStringLiteral("hourloom/outbox.sqlite")); }
    QList<OutboxAppSession> waitingOnDisk() const { return SqliteOutbox(path()).waiting({email, QStringLiteral("Test")}); }
    QHash<QString, QString> arrived(qsizetype from = 0) const
    {
        QHash<QString, QString> spans;
        for (const auto &[id, session] : accepted(from).asKeyValueRange())
            spans.insert(id, span(session));
        return spans;
    }

    QTemporaryDir folder;
};

TEST_F(Outbox, SessionsEndedDuringAnOutageArriveOnceWithTheirTimesAfterAQuitARestartAndACrash)
{
    const auto editor = switchTo("Editor", 0);
    const auto files = switchTo("Files", 30);
    serviceDown();
    upload();
    const auto terminal = switchTo("Terminal", 45);
    quit(clock.now().addSecs(20));
    EXPECT_EQ(waitingOnDisk().size(), 3);

    serviceBack();
    startAgent();
    EXPECT_TRUE(batch().isEmpty()) << "nothing is restored before the first upload";
    upload();
    const QHash<QString, QString> stored = arrived();
    EXPECT_EQ(stored.size(), 3);
    EXPECT_EQ(stored.value(id(editor)), span(editor, *editor->endTime()));
    EXPECT_EQ(stored.value(id(files)), span(files, *files->endTime()));
    EXPECT_EQ(stored.value(id(terminal)), span(terminal, clock.now().addSecs(20)));
    EXPECT_TRUE(waitingOnDisk().isEmpty());
    EXPECT_TRUE(batch().isEmpty());

    // A second upload sends nothing again.
    const qsizetype sent = uploads();
    upload();
    EXPECT_EQ(uploads(), sent);

    // Down again, and the process dies: the open session arrives ended at its last checkpoint.
    const auto editorAgain = switchTo("Editor", 0);
    const auto filesAgain = switchTo("Files", 30);
    EXPECT_EQ(waitingOnDisk().size(), 1) << "an ended session is on disk once the switch that ended it has settled";
    serviceDown();
    clock.advance(40);
    const QDateTime checkpoint = clock.now();
    QCoro::waitFor(scheduler().uploadTimerFired());
    clock.advance(40);
    // The process dies here: nothing more is written.
    serviceBack();
    startAgent();
    upload();
    const QHash<QString, QString> afterCrash = arrived();
    EXPECT_EQ(afterCrash.value(id(editorAgain)), span(editorAgain, *editorAgain->endTime()));
    EXPECT_EQ(afterCrash.value(id(filesAgain)), span(filesAgain, checkpoint));
    EXPECT_TRUE(waitingOnDisk().isEmpty());
}

TEST_F(Outbox, ASessionFromTheOutboxIsNeverContinuedByAQuickReturnToItsApplication)
{
    tracking().minSessionDuration = 5;
    switchTo("Editor", 0);
    const auto files = switchTo("Files", 30);
    serviceDown();
    quit(clock.now().addSecs(20)); // its final upload fails
    const QDateTime quitAt = *files->endTime();

    // An hour later: the first upload brings the waiting sessions back in front of the new
    // one; a switch away from that within the shortest session kept drops it, and the next
    // switch goes to the application the last waiting session belongs to.
    clock.advance(3600);
    startAgent();
    tracking().minSessionDuration = 5;
    switchTo("Editor", 0);
    upload();
    switchTo("Files", 2);
    const auto terminal = switchTo("Terminal", 60);
    switchTo("Editor", 30);
    serviceBack();
    upload();
    const QHash<QString, QString> stored = arrived();
    EXPECT_EQ(stored.value(id(files)), span(files, quitAt)) << "the hour the agent did not run was booked to it";
    EXPECT_EQ(stored.size(), 4) << "Editor and Files before the quit, Files and Terminal after";
    EXPECT_TRUE(stored.contains(id(terminal)));
}

TEST_F(Outbox, ADetourTooShortToKeepNeverReachesTheStoreAndIsNotSentAfterARestart)
{
    tracking().minSessionDuration = 10;
    const auto terminal = switchTo("XTerm", 0);
    serviceDown();
    // The upload tick checkpoints while the detour is younger than the shortest session kept;
    // the quick return then merges it away.
    switchTo("XLogo", 13);
    clock.advance(3);
    QCoro::waitFor(scheduler().uploadTimerFired());
    switchTo("XTerm", 2);
    quit(clock.now().addSecs(12));

    serviceBack();
    startAgent();
    upload();
    const QHash<QString, QString> stored = arrived();
    EXPECT_EQ(stored.size(), 1) << "the detour was booked on top of the terminal's time";
    EXPECT_EQ(stored.value(id(terminal)), span(terminal, *terminal->endTime()));
}

TEST_F(Outbox, NothingIsRecordedBetweenALogOutAndTheNextLogIn)
{
    switchTo("Editor", 0);
    clock.advance(30);
    QCoro::waitFor(scheduler().logOut());
    ASSERT_TRUE(batch().isEmpty());

    // Away and back, then quit: without tracking neither the poll nor a return records anything.
    fakes.workspace->frontmost = RunningApplication{QStringLiteral("XTerm"), QStringLiteral("debian-xterm")};
    fakes.eventSource->idleSeconds = 3600;
    clock.advance(10);
    for (const auto &timer : fakes.timers.timers())
        timer->fire();
    fakes.eventSource->idleSeconds = 0;
    clock.advance(10);
    fakes.eventTracker->deliver(InputEventType::keyDown);
    EXPECT_TRUE(batch().isEmpty());
    clock.advance(10);
    app->appDelegate->requestTermination();
    QCoreApplication::sendPostedEvents();
    EXPECT_TRUE(waitingOnDisk().isEmpty());

    // The next login tracks again.
    startAgent();
    logInAs(email);
    ASSERT_EQ(batch().size(), 1);
    EXPECT_EQ(batch().first()->startTime(), clock.now());
    EXPECT_NE(tracking().idleTimeController()->timer, nullptr);
}

TEST_F(Outbox, ALogOutKeepsTheAccountsSessionsForItsNextLogInAndNoOtherAccountSeesThem)
{
    const auto editor = switchTo("Editor", 0);
    const auto files = switchTo("Files", 30);
    serviceDown();
    clock.advance(10);
    QCoro::waitFor(scheduler().logOut());
    EXPECT_TRUE(batch().isEmpty());
    const QString filesAsEnded = span(files, *files->endTime());
    serviceBack();

    // Another account logs in on this machine: its uploads carry none of them.
    const qsizetype otherLogIn = service->exchanges.size();
    logInAs(otherEmail);
    const auto browser = switchTo("Browser", 30);
    switchTo("Editor", 30);
    upload();
    const QHash<QString, QString> others = arrived(otherLogIn);
    EXPECT_TRUE(others.contains(id(browser)));
    EXPECT_FALSE(others.contains(id(editor)) || others.contains(id(files)));
    QCoro::waitFor(scheduler().logOut());

    // The first account again: its waiting sessions go out with the next upload.
    const qsizetype firstAgain = service->exchanges.size();
    logInAs(email);
    upload();
    const QHash<QString, QString> stored = arrived(firstAgain);
    EXPECT_EQ(stored.size(), 2);
    EXPECT_EQ(stored.value(id(editor)), span(editor, *editor->endTime()));
    EXPECT_EQ(stored.value(id(files)), filesAsEnded);
}

} // namespace
