// Tracking on a real X server with a real window manager: the workspace, idle seconds and input
// monitor adapters wired to the session batch controller as the agent wires them.
#include "core/Clock.h"
#include "core/MainLoopTimer.h"
#include "model/AppSession.h"
#include "platform/desktops/entries/DesktopEntryIndex.h"
#include "platform/desktops/x11/X11Connection.h"
#include "platform/desktops/x11/X11IdleSource.h"
#include "platform/desktops/x11/X11InputMonitor.h"
#include "platform/desktops/x11/X11Workspace.h"
#include "tracking/AppSwitchTracker.h"
#include "tracking/IdleTimeController.h"
#include "tracking/IdleTimeTracker.h"
#include "tracking/SessionBatchController.h"

#include "support/DesktopTrackingTest.h"
#include "support/XDesktop.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <chrono>

#include <gtest/gtest.h>

using namespace hourloom;
using hourloom::test::XDesktop;

namespace {

class X11Tracking : public DesktopTrackingTest {
protected:
    static void SetUpTestSuite()
    {
        // A desktop entry of our own, found the way the user's entries are.
        dataHome = new QTemporaryDir;
        QDir(dataHome->path()).mkpath(QStringLiteral("applications/hourloom-test"));
        QFile entry(dataHome->filePath(QStringLiteral("applications/hourloom-test/alpha.desktop")));
        entry.open(QIODevice::WriteOnly);
        entry.write("[Desktop Entry]\nType=Application\nName=Alpha Terminal\nName[de]=Alpha-Terminal\nExec=xterm -class Alpha\nStartupWMClass=Alpha\n");
        entry.close();
        qputenv("XDG_DATA_HOME", dataHome->path().toUtf8());

        desktop = new XDesktop;
        if (!desktop->error().isEmpty())
            return;
        alpha = desktop->openWindow(QStringLiteral("xterm"), {QStringLiteral("-class"), QStringLiteral("Alpha")}, QStringLiteral("Alpha"));
        plainXterm = desktop->openWindow(QStringLiteral("xterm"), {}, QStringLiteral("XTerm"));
        logo = desktop->openWindow(QStringLiteral("xlogo"), {QStringLiteral("-xrm"), QStringLiteral("*input: true")}, QStringLiteral("XLogo"));
        // The window manager activates new windows on its own schedule: let that settle before
        // the tests make their own switches.
        XDesktop::spinFor(500);
    }

    static void TearDownTestSuite()
    {
        delete desktop;
        delete dataHome;
    }

    void SetUp() override
    {
        ASSERT_TRUE(desktop->error().isEmpty()) << desktop->error().toStdString();
        ASSERT_FALSE(alpha.isEmpty());
        ASSERT_FALSE(plainXterm.isEmpty());
        ASSERT_FALSE(logo.isEmpty());
        connection = X11Connection::open(desktop->display().toUtf8());
        ASSERT_NE(connection, nullptr);
        workspace = std::make_shared<X11Workspace>(connection, DesktopEntryIndex::fromSystem(), center);
        inputMonitor = std::make_shared<X11InputMonitor>(connection);
        observe(workspace);
        control(std::make_shared<X11IdleSource>(connection), inputMonitor);
    }


    // Tracking started as the agent starts it, with the Alpha terminal frontmost; its session.
    std::shared_ptr<AppSessionProtocol> startTrackingInAlpha()
    {
        if (!desktop->activate(alpha))
            return nullptr;
        tracker->recordFrontmostApplication(*controller);
        tracker->startObserving(controller, true);
        return sessions().value(0);
    }

    bool activateAndWait(const QString &window, const QString &expectedName)
    {
        return desktop->activate(window) && XDesktop::spinUntil([&] { return lastName() == expectedName; });
    }

    static inline QTemporaryDir *dataHome = nullptr;
    static inline XDesktop *desktop = nullptr;
    static inline QString alpha, plainXterm, logo;

    std::shared_ptr<X11Connection> connection;
    std::shared_ptr<X11Workspace> workspace;
    std::shared_ptr<X11InputMonitor> inputMonitor;
};

TEST_F(X11Tracking, EverySwitchOfApplicationLandsInTheBatchInOrderWithItsNameAndId)
{
    controller->minSessionDuration = 0;
    ASSERT_TRUE(desktop->activate(alpha));
    tracker->recordFrontmostApplication(*controller);
    tracker->startObserving(controller, true);
    ASSERT_EQ(lastName(), "Alpha Terminal");

    ASSERT_TRUE(activateAndWait(logo, "XLogo"));
    ASSERT_TRUE(activateAndWait(plainXterm, "XTerm"));
    ASSERT_TRUE(activateAndWait(alpha, "Alpha Terminal"));

    const AppSessionList batch = sessions();
    ASSERT_EQ(batch.size(), 4);
    // Entry by StartupWMClass; no entry (class fallback); entry by StartupWMClass of Debian's xterm.
    EXPECT_EQ(batch[0]->bundleIdentifier(), "hourloom-test-alpha");
    EXPECT_EQ(batch[1]->bundleIdentifier(), "XLogo");
    EXPECT_EQ(batch[2]->bundleIdentifier(), "debian-xterm");
    EXPECT_EQ(batch[3]->bundleIdentifier(), "hourloom-test-alpha");
    for (qsizetype i = 0; i + 1 < batch.size(); ++i)
        EXPECT_FALSE(batch[i]->isActive());
    EXPECT_TRUE(batch[3]->isActive());

    // Clicking the bare desktop (no active window) and re-activating the same application are no switches.
    ASSERT_TRUE(desktop->xdotool({QStringLiteral("mousemove"), QStringLiteral("1270"), QStringLiteral("790"), QStringLiteral("click"), QStringLiteral("1")}));
    ASSERT_TRUE(desktop->activate(alpha));
    ASSERT_TRUE(XDesktop::spinUntil([&] {
        const auto frontmost = workspace->frontmostApplication();
        return frontmost && frontmost->localizedName == "Alpha Terminal";
    }));
    connection->sync();
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(sessions().size(), 4);
}

TEST_F(X11Tracking, AQuickDetourWithinTheMinimumMergesIntoTheEarlierSession)
{
    controller->minSessionDuration = 3;
    ASSERT_TRUE(desktop->activate(alpha));
    tracker->recordFrontmostApplication(*controller);
    tracker->startObserving(controller, true);
    const auto first = sessions().value(0);
    ASSERT_NE(first, nullptr);
    XDesktop::spinFor(3500); // long enough to be kept

    ASSERT_TRUE(activateAndWait(logo, "XLogo"));
    ASSERT_TRUE(desktop->activate(alpha));
    ASSERT_TRUE(XDesktop::spinUntil([&] { return sessions().size() == 1 && controller->sessionBatch()->appSwitchingCount() == 1; }))
        << sessions().size() << " sessions, " << controller->sessionBatch()->appSwitchingCount() << " dropped, last " << lastName().toStdString();
    EXPECT_EQ(sessions().first(), first);
    EXPECT_TRUE(first->isActive());
}

TEST_F(X11Tracking, IdlenessEndsTheSessionAndOnlyQualifyingInputEndsIdleness)
{
    controller->minSessionDuration = 0;
    idle->minIdleTime = 0.3;
    idle->idlePollingInterval = 0.1;
    // The clicks below land on the window, so they cannot change the active window.
    ASSERT_TRUE(desktop->xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), alpha, QStringLiteral("20"), QStringLiteral("20")}));
    const auto session = startTrackingInAlpha();
    ASSERT_NE(session, nullptr);

    ASSERT_TRUE(XDesktop::spinUntil([&] { return idle->isIdle; }));
    EXPECT_FALSE(session->isActive());
    EXPECT_TRUE(idle->resumeFromIdleTracker.has_value());
    EXPECT_EQ(idle->timer, nullptr);

    // A click where the pointer already is, and a modifier alone, are not the user coming back.
    ASSERT_TRUE(desktop->xdotool({QStringLiteral("click"), QStringLiteral("1")}));
    ASSERT_TRUE(desktop->xdotool({QStringLiteral("key"), QStringLiteral("Shift_L")}));
    connection->sync();
    connection->sync();
    EXPECT_TRUE(idle->isIdle);
    EXPECT_FALSE(session->isActive());

    // The scroll wheel is. The same application is frontmost: a new session starts for it, and
    // the one idleness ended keeps its end.
    const QDateTime idleEnd = session->endTime().value();
    ASSERT_TRUE(desktop->xdotool({QStringLiteral("click"), QStringLiteral("4")}));
    ASSERT_TRUE(XDesktop::spinUntil([&] { return !idle->isIdle; }));
    EXPECT_FALSE(session->isActive());
    EXPECT_EQ(session->endTime(), idleEnd);
    EXPECT_FALSE(idle->resumeFromIdleTracker.has_value());
    ASSERT_EQ(sessions().size(), 2);
    EXPECT_EQ(sessions().last()->appName(), "Alpha Terminal");
    EXPECT_TRUE(sessions().last()->isActive());

    // The new session restarted the poll: idle again, and a mouse move ends it.
    ASSERT_TRUE(XDesktop::spinUntil([&] { return idle->isIdle; }));
    ASSERT_TRUE(desktop->xdotool({QStringLiteral("mousemove_relative"), QStringLiteral("5"), QStringLiteral("5")}));
    ASSERT_TRUE(XDesktop::spinUntil([&] { return !idle->isIdle; }));
    EXPECT_TRUE(sessions().last()->isActive());
}

TEST_F(X11Tracking, FocusChangesWhileAwayOpenNothingAndTheReturnRecordsWhatIsFrontmostOnce)
{
    controller->minSessionDuration = 0;
    idle->minIdleTime = 0.3;
    idle->idlePollingInterval = 0.1;
    const auto session = startTrackingInAlpha();
    ASSERT_NE(session, nullptr);
    ASSERT_TRUE(XDesktop::spinUntil([&] { return idle->isIdle; }));
    const QDateTime idleEnd = session->endTime().value();

    // Windows come forward on their own while the user is away.
    ASSERT_TRUE(desktop->activate(logo));
    ASSERT_TRUE(desktop->activate(plainXterm));
    ASSERT_TRUE(XDesktop::spinUntil([&] {
        connection->sync();
        const auto frontmost = workspace->frontmostApplication();
        return frontmost && frontmost->localizedName == "XTerm";
    }));
    connection->sync();
    QCoreApplication::sendPostedEvents();
    EXPECT_TRUE(idle->isIdle);
    EXPECT_EQ(idle->timer, nullptr);
    EXPECT_EQ(sessions(), AppSessionList{session});
    EXPECT_EQ(session->endTime(), idleEnd);

    // The user is back at the terminal that is frontmost now, and keeps working in it; from here
    // on no pause of this test counts as idleness, and a session cut short would be dropped.
    idle->minIdleTime = 3600;
    controller->minSessionDuration = 2;
    ASSERT_TRUE(desktop->xdotool({QStringLiteral("mousemove_relative"), QStringLiteral("5"), QStringLiteral("5")}));
    ASSERT_TRUE(XDesktop::spinUntil([&] { return !idle->isIdle; }));
    ASSERT_EQ(sessions().size(), 2);
    const auto back = sessions().last();
    EXPECT_EQ(back->appName(), "XTerm");
    for (int i = 0; i < 20; ++i)
        ASSERT_TRUE(desktop->xdotool({QStringLiteral("mousemove_relative"), QStringLiteral("1"), QStringLiteral("1")}));
    connection->sync();
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(sessions(), (AppSessionList{session, back}));
    EXPECT_TRUE(back->isActive());
    EXPECT_EQ(controller->sessionBatch()->appSwitchingCount(), 0);
    EXPECT_FALSE(idle->resumeFromIdleTracker.has_value());
}

TEST_F(X11Tracking, AWallClockJumpBetweenPollsEndsTheSessionWhereTheLastPollSawIt)
{
    // The wall clock of this test can jump while the monotonic clock, which the poll's timer and
    // the server's idle counter run on, goes on as it does through a suspend.
    qint64 jumpedSeconds = 0;
    const auto monotonic = [] { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); };
    const Clock::Override clock([&] { return QDateTime::currentDateTime().addSecs(jumpedSeconds); }, monotonic);
    controller->minSessionDuration = 0;
    idle->minIdleTime = 3600;
    idle->idlePollingInterval = 0.1;
    const auto evening = startTrackingInAlpha();
    ASSERT_NE(evening, nullptr);
    const double started = monotonic();
    ASSERT_TRUE(XDesktop::spinUntil([&] { return idle->lastPoll && idle->lastPoll->monotonic > started; }));

    const QDateTime beforeJump = Clock::now();
    jumpedSeconds = 8 * 3600;
    ASSERT_TRUE(XDesktop::spinUntil([&] { return sessions().size() == 2; }));
    ASSERT_TRUE(evening->endTime().has_value());
    EXPECT_LE(*evening->endTime(), beforeJump);
    const auto morning = sessions().last();
    EXPECT_EQ(morning->appName(), "Alpha Terminal");
    EXPECT_TRUE(morning->isActive());
    EXPECT_GE(morning->startTime(), beforeJump.addSecs(jumpedSeconds));
    EXPECT_NE(morning->id(), evening->id());
}

TEST_F(X11Tracking, WithoutAWindowManagerOrAServerNothingIsFrontmostAndNothingCrashes)
{
    auto bare = std::make_unique<XDesktop>(XDesktop::WindowManager::none);
    ASSERT_TRUE(bare->error().isEmpty()) << bare->error().toStdString();
    ASSERT_FALSE(bare->openWindow(QStringLiteral("xterm"), {QStringLiteral("-class"), QStringLiteral("Alpha")}, QStringLiteral("Alpha")).isEmpty());
    auto bareConnection = X11Connection::open(bare->display().toUtf8());
    ASSERT_NE(bareConnection, nullptr);
    bool told = false;
    bareConnection->addLostHandler([&] { told = true; });
    X11Workspace bareWorkspace(bareConnection, DesktopEntryIndex({}), center);
    X11IdleSource bareIdle(bareConnection);
    X11InputMonitor bareMonitor(bareConnection);
    EXPECT_FALSE(bareWorkspace.frontmostApplication().has_value()); // no _NET_ACTIVE_WINDOW
    EXPECT_GE(bareIdle.secondsSinceLastEventType(1, 0xFFFFFFFF), 0.0);

    // The server goes away: every user is told once, and every question is answered with nothing.
    bare.reset();
    ASSERT_TRUE(XDesktop::spinUntil([&] {
        bareConnection->sync();
        return told;
    }));
    EXPECT_FALSE(bareWorkspace.frontmostApplication().has_value());
    EXPECT_EQ(bareIdle.secondsSinceLastEventType(1, 0xFFFFFFFF), 0.0);
    EXPECT_FALSE(bareMonitor.addGlobalMonitorForEvents(IdleTimeController::resumeEventMask, [](const InputEvent &) {}).has_value());
}

} // namespace
