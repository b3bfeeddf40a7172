// Tracking on a real headless sway: the shared scenarios, and what only a wlroots compositor
// does (its idle notice, its connection refused or lost).
#include "DesktopTracking.h"

#include "platform/desktops/wayland/WaylandConnection.h"
#include "platform/desktops/wayland/WaylandIdleNotifier.h"

#include "support/SwayDesktop.h"

#include <wayland-client.h>

using namespace hourloom;
using namespace hourloom::test;

namespace {

[[maybe_unused]] auto *const desktop = ::testing::AddGlobalTestEnvironment(new DesktopOnce<SwayDesktop>);
INSTANTIATE_TEST_SUITE_P(Sway, DesktopScenarios, ::testing::Values(DesktopOnce<SwayDesktop>::underTest("Sway")));

using SwayTracking = DesktopTest<SwayDesktop>;

TEST_F(SwayTracking, TheIdleNoticeStartsTheIdleSecondsAtTheThresholdAndAnyInputEndsThem)
{
    const auto connection = WaylandConnection::open(driver().clientEnvironment());
    ASSERT_NE(connection, nullptr);
    const auto notifier = WaylandIdleNotifier::watch(connection, 0.3);
    ASSERT_NE(notifier, nullptr);
    EXPECT_EQ(notifier->protocol(), driver().idleProtocol);
    int returns = 0;
    const auto token = notifier->addGlobalMonitorForEvents(IdleTimeController::resumeEventMask, [&](const InputEvent &) { ++returns; });
    ASSERT_TRUE(token.has_value());

    ASSERT_TRUE(waitFor([&] { return notifier->isIdle(); }));
    EXPECT_GE(notifier->secondsSinceLastEventType(1, 0xFFFFFFFF), 0.3);
    EXPECT_EQ(returns, 0);
    ASSERT_TRUE(driver().pressKey());
    ASSERT_TRUE(waitFor([&] { return returns > 0; }));
    EXPECT_EQ(returns, 1);

    // The notice is armed again: the next pause is noticed too, and a pointer move ends it.
    ASSERT_TRUE(waitFor([&] { return notifier->isIdle(); }));
    ASSERT_TRUE(driver().movePointer());
    ASSERT_TRUE(waitFor([&] { return returns == 2; }));

    // The compositor does not say what the input was: a click alone is a return as well. (The
    // returns are counted, not read off isIdle(): at this threshold a loaded machine may see the
    // next idle notice before it looks.)
    ASSERT_TRUE(waitFor([&] { return notifier->isIdle(); }));
    ASSERT_TRUE(driver().click());
    ASSERT_TRUE(waitFor([&] { return returns == 3; }));

    // A removed monitor hears of no return.
    int laterReturns = 0;
    ASSERT_TRUE(notifier->addGlobalMonitorForEvents(IdleTimeController::resumeEventMask, [&](const InputEvent &) { ++laterReturns; }));
    notifier->removeMonitor(*token);
    ASSERT_TRUE(waitFor([&] { return notifier->isIdle(); }));
    ASSERT_TRUE(driver().movePointer());
    ASSERT_TRUE(waitFor([&] { return laterReturns == 1; }));
    EXPECT_EQ(returns, 3);
}

TEST_F(SwayTracking, AConnectionToNoCompositorIsRefusedAndALostOneAnswersNothing)
{
    QProcessEnvironment nowhere;
    EXPECT_EQ(WaylandConnection::open(nowhere), nullptr);
    nowhere.insert(QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("wayland-none"));
    EXPECT_EQ(WaylandConnection::open(nowhere), nullptr); // relative, and no runtime folder
    nowhere.insert(QStringLiteral("XDG_RUNTIME_DIR"), QStringLiteral("/nonexistent"));
    EXPECT_EQ(WaylandConnection::socketPath(nowhere), QStringLiteral("/nonexistent/wayland-none"));
    EXPECT_EQ(WaylandConnection::open(nowhere), nullptr);

    ASSERT_NO_FATAL_FAILURE(track(60));
    ASSERT_NO_FATAL_FAILURE(startIn(window(0)));
    const auto &connection = driver().connection();
    int told = 0;
    connection->addLostHandler([&] { ++told; });
    // A protocol error ends the connection for good, as the compositor going away does: here,
    // binding a global under a name it does not have.
    const auto seat = connection->global(QStringLiteral("wl_seat")).value();
    wl_registry *registry = wl_display_get_registry(connection->display());
    ASSERT_NE(wl_registry_bind(registry, seat.name + 1000, &wl_seat_interface, 1), nullptr);
    EXPECT_FALSE(connection->roundtrip());
    EXPECT_FALSE(connection->isAlive());
    EXPECT_FALSE(connection->roundtrip());
    EXPECT_EQ(told, 1);
    EXPECT_FALSE(services.workspace->frontmostApplication().has_value());
    EXPECT_EQ(services.eventSource->secondsSinceLastEventType(1, 0xFFFFFFFF), 0);
    EXPECT_FALSE(services.eventTracker->addGlobalMonitorForEvents(IdleTimeController::resumeEventMask, [](const InputEvent &) {}).has_value());
}

} // namespace
