// Tracking on a real headless sway: the agent's own Wayland connection, the compositor's idle
// notices and its list of toplevel windows, wired to the session batch controller as the agent
// wires them.
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandIdleNotifier.h"
#include "tracking/IdleTimeController.h"

#include "support/SwayDesktop.h"
#include "support/XDesktop.h"

#include <wayland-client.h>

#include <gtest/gtest.h>

using namespace hourloom;
using hourloom::test::SwayDesktop;
using hourloom::test::XDesktop;

namespace {

class SwayTracking : public ::testing::Test {
protected:
    static void SetUpTestSuite() { sway = new SwayDesktop; }
    static void TearDownTestSuite()
    {
        delete sway;
        sway = nullptr;
    }

    void SetUp() override
    {
        // A compositor that cannot start is a failure of this test, not a reason to skip it.
        ASSERT_TRUE(sway->error().isEmpty()) << sway->error().toStdString();
        connection = WaylandConnection::open(sway->clientEnvironment());
        ASSERT_NE(connection, nullptr);
    }

    static inline SwayDesktop *sway = nullptr;
    std::shared_ptr<WaylandConnection> connection;
};

TEST_F(SwayTracking, TheIdleNoticeStartsTheIdleSecondsAtTheThresholdAndTypingEndsThem)
{
    EXPECT_TRUE(connection->global(QStringLiteral("org_kde_kwin_idle")).has_value());
    const auto idle = WaylandIdleNotifier::watch(connection, 0.3);
    ASSERT_NE(idle, nullptr);
    // sway 1.7 offers only KDE's protocol.
    EXPECT_EQ(idle->protocol(), "org_kde_kwin_idle");
    int returns = 0;
    const auto token = idle->addGlobalMonitorForEvents(IdleTimeController::resumeEventMask, [&](const InputEvent &) { ++returns; });
    ASSERT_TRUE(token.has_value());

    ASSERT_TRUE(XDesktop::spinUntil([&] { return idle->isIdle(); }));
    EXPECT_GE(idle->secondsSinceLastEventType(1, 0xFFFFFFFF), 0.3);
    EXPECT_EQ(returns, 0);

    ASSERT_TRUE(sway->type(QStringLiteral("x")));
    ASSERT_TRUE(XDesktop::spinUntil([&] { return returns > 0; }));
    EXPECT_EQ(returns, 1);
    EXPECT_FALSE(idle->isIdle());

    // The notice is armed again: the next pause is noticed too.
    idle->removeMonitor(*token);
    ASSERT_TRUE(XDesktop::spinUntil([&] { return idle->isIdle(); }));
    ASSERT_TRUE(sway->type(QStringLiteral("y")));
    ASSERT_TRUE(XDesktop::spinUntil([&] { return !idle->isIdle(); }));
    EXPECT_EQ(returns, 1);
}

TEST_F(SwayTracking, AConnectionToNoCompositorIsRefusedAndALostOneTellsItsUsersOnce)
{
    QProcessEnvironment nowhere;
    EXPECT_EQ(WaylandConnection::open(nowhere), nullptr);
    nowhere.insert(QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("wayland-none"));
    EXPECT_EQ(WaylandConnection::open(nowhere), nullptr); // relative, and no runtime folder
    nowhere.insert(QStringLiteral("XDG_RUNTIME_DIR"), QStringLiteral("/nonexistent"));
    EXPECT_EQ(WaylandConnection::socketPath(nowhere), QStringLiteral("/nonexistent/wayland-none"));
    EXPECT_EQ(WaylandConnection::open(nowhere), nullptr);

    // A protocol error ends the connection for good, as the compositor going away does.
    int told = 0;
    connection->addLostHandler([&] { ++told; });
    const auto idle = WaylandIdleNotifier::watch(connection, 60);
    ASSERT_NE(idle, nullptr);
    wl_display *display = connection->display();
    // Binding a global under a name it does not have is a protocol error.
    const auto bogus = connection->global(QStringLiteral("wl_seat")).value();
    wl_proxy *broken = static_cast<wl_proxy *>(wl_registry_bind(wl_display_get_registry(display), bogus.name + 1000, &wl_seat_interface, 1));
    ASSERT_NE(broken, nullptr);
    EXPECT_FALSE(connection->roundtrip());
    EXPECT_FALSE(connection->isAlive());
    EXPECT_FALSE(connection->roundtrip());
    EXPECT_EQ(told, 1);
    EXPECT_EQ(idle->secondsSinceLastEventType(1, 0xFFFFFFFF), 0);
    EXPECT_FALSE(idle->addGlobalMonitorForEvents(IdleTimeController::resumeEventMask, [](const InputEvent &) {}).has_value());
}

} // namespace
