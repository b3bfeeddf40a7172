// Tracking on a real X server with a real window manager: the shared scenarios, and what only an
// X desktop does (which input counts, the wall clock jumping between polls, a lost server).
#include "DesktopTracking.h"

#include "core/Clock.h"
#include "platform/desktops/entries/DesktopEntryIndex.h"
#include "platform/desktops/x11/X11IdleSource.h"
#include "platform/desktops/x11/X11InputMonitor.h"
#include "platform/desktops/x11/X11Workspace.h"

#include "support/X11Driver.h"

#include <chrono>

using namespace hourloom;
using namespace hourloom::test;

namespace {

[[maybe_unused]] auto *const desktop = ::testing::AddGlobalTestEnvironment(new DesktopOnce<X11Driver>);
INSTANTIATE_TEST_SUITE_P(X11, DesktopScenarios, ::testing::Values(DesktopOnce<X11Driver>::underTest("X11")));

using X11Tracking = DesktopTest<X11Driver>;

TEST_F(X11Tracking, AClickWithoutMotionAndALoneModifierAreNoReturnTheScrollWheelIs)
{
    ASSERT_NO_FATAL_FAILURE(track(0.3));
    idle->idlePollingInterval = 0.1;
    // The clicks below land on the window, so they cannot change the active window.
    ASSERT_TRUE(driver().desktop().xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), window(0).handle, QStringLiteral("20"), QStringLiteral("20")}));
    ASSERT_NO_FATAL_FAILURE(startIn(window(0)));
    ASSERT_TRUE(waitFor([&] { return idle->isIdle; }));

    ASSERT_TRUE(driver().desktop().xdotool({QStringLiteral("click"), QStringLiteral("1")}));
    ASSERT_TRUE(driver().desktop().xdotool({QStringLiteral("key"), QStringLiteral("Shift_L")}));
    driver().settle();
    driver().settle();
    EXPECT_TRUE(idle->isIdle);
    EXPECT_EQ(sessions().size(), 1);

    ASSERT_TRUE(driver().desktop().xdotool({QStringLiteral("click"), QStringLiteral("4")}));
    ASSERT_TRUE(waitFor([&] { return !idle->isIdle; }));
    ASSERT_EQ(sessions().size(), 2);
    EXPECT_EQ(sessions().last()->appName(), window(0).name);
}

TEST_F(X11Tracking, AWallClockJumpBetweenPollsEndsTheSessionWhereTheLastPollSawIt)
{
    // The wall clock of this test can jump while the monotonic clock, which the poll's timer and
    // the server's idle counter run on, goes on as it does through a suspend.
    qint64 jumpedSeconds = 0;
    const auto monotonic = [] { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); };
    const Clock::Override clock([&] { return QDateTime::currentDateTime().addSecs(jumpedSeconds); }, monotonic);
    ASSERT_NO_FATAL_FAILURE(track());
    idle->idlePollingInterval = 0.1;
    ASSERT_NO_FATAL_FAILURE(startIn(window(0)));
    const auto evening = sessions().value(0);
    const double started = monotonic();
    ASSERT_TRUE(waitFor([&] { return idle->lastPoll && idle->lastPoll->monotonic > started; }));

    const QDateTime beforeJump = Clock::now();
    jumpedSeconds = 8 * 3600;
    ASSERT_TRUE(waitFor([&] { return sessions().size() == 2; }));
    ASSERT_TRUE(evening->endTime().has_value());
    EXPECT_LE(*evening->endTime(), beforeJump);
    const auto morning = sessions().last();
    EXPECT_EQ(morning->appName(), window(0).name);
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
    ASSERT_TRUE(waitFor([&] {
        bareConnection->sync();
        return told;
    }));
    EXPECT_FALSE(bareWorkspace.frontmostApplication().has_value());
    EXPECT_EQ(bareIdle.secondsSinceLastEventType(1, 0xFFFFFFFF), 0.0);
    EXPECT_FALSE(bareMonitor.addGlobalMonitorForEvents(IdleTimeController::resumeEventMask, [](const InputEvent &) {}).has_value());
}

} // namespace
