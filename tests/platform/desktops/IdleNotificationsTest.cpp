#include "platform/desktops/wayland/IdleNotifications.h"
#include "tracking/IdleTimeController.h"

#include "support/FakeClock.h"

#include <gtest/gtest.h>

#include <vector>

using namespace hourloom;
using hourloom::test::FakeClock;

namespace {

// The compositor's two notices, sent by the test.
class ScriptedCompositor : public IdleNotifications {
public:
    using IdleNotifications::IdleNotifications;
    using IdleNotifications::idled;
    using IdleNotifications::lost;
    using IdleNotifications::resumed;
};

double idleSeconds(const ScriptedCompositor &compositor)
{
    return compositor.secondsSinceLastEventType(EventSourceProtocol::hidSystemState, EventSourceProtocol::anyInputEventType);
}

TEST(IdleNotifications, IdleSecondsAreTheThresholdPlusTheTimeSinceTheNoticeAndTheReturnReachesEachMonitorUntilTheCompositorIsGone)
{
    FakeClock clock;
    ScriptedCompositor compositor(300);
    clock.advance(1000);
    EXPECT_EQ(idleSeconds(compositor), 0);

    compositor.idled();
    // At the notice the threshold is reached but not exceeded: a poll at that instant is not idle yet.
    EXPECT_EQ(idleSeconds(compositor), 300);
    clock.advance(12.5);
    EXPECT_EQ(idleSeconds(compositor), 312.5);
    // A repeated notice does not restart the count.
    compositor.idled();
    clock.advance(0.5);
    EXPECT_EQ(idleSeconds(compositor), 313);

    compositor.resumed();
    EXPECT_EQ(idleSeconds(compositor), 0);
    clock.advance(400);
    EXPECT_EQ(idleSeconds(compositor), 0);

    // The return reaches each monitor once, as an input kind it asked for.
    std::vector<std::pair<char, InputEventType>> calls;
    const auto record = [&](char who) { return [&calls, who](const InputEvent &event) { calls.emplace_back(who, event.type); }; };

    const auto resume = compositor.addGlobalMonitorForEvents(IdleTimeController::resumeEventMask, record('r'));
    const auto pointer = compositor.addGlobalMonitorForEvents(eventMask(InputEventType::mouseMoved), record('p'));
    const auto modeOnly = compositor.addGlobalMonitorForEvents(eventMask(InputEventType::changeMode), record('m'));
    const auto removed = compositor.addGlobalMonitorForEvents(IdleTimeController::resumeEventMask, record('x'));
    ASSERT_TRUE(resume && pointer && modeOnly && removed);
    EXPECT_NE(*resume, *pointer);
    compositor.removeMonitor(*removed);

    // Input while the user was never idle is not a return.
    compositor.resumed();
    EXPECT_TRUE(calls.empty());

    compositor.idled();
    compositor.resumed();
    // A mode change is no input: that monitor hears nothing.
    EXPECT_EQ(calls, (std::vector<std::pair<char, InputEventType>>{{'r', InputEventType::keyDown}, {'p', InputEventType::mouseMoved}}));
    compositor.resumed();
    EXPECT_EQ(calls.size(), 2u);

    // A handler that removes every monitor, itself and the one after it included, does not cut
    // the return short; the next return has no one left to hear it.
    std::vector<MonitorToken> tokens{*resume, *pointer, *modeOnly};
    const auto removeAll = [&](const InputEvent &event) {
        calls.emplace_back('a', event.type);
        for (const MonitorToken token : tokens)
            compositor.removeMonitor(token);
    };
    tokens.push_back(*compositor.addGlobalMonitorForEvents(IdleTimeController::resumeEventMask, removeAll));
    tokens.push_back(*compositor.addGlobalMonitorForEvents(IdleTimeController::resumeEventMask, record('z')));
    calls.clear();
    for (int i = 0; i < 2; ++i) {
        compositor.idled();
        compositor.resumed();
    }
    EXPECT_EQ(calls.size(), 4u);

    // Once the compositor is gone the user is never idle, and no monitor hears or is installed.
    ASSERT_TRUE(compositor.addGlobalMonitorForEvents(IdleTimeController::resumeEventMask, record('l')));
    calls.clear();
    compositor.idled();
    compositor.lost();
    EXPECT_EQ(idleSeconds(compositor), 0);
    compositor.idled();
    clock.advance(100);
    EXPECT_EQ(idleSeconds(compositor), 0);
    compositor.resumed();
    EXPECT_TRUE(calls.empty());
    EXPECT_FALSE(compositor.addGlobalMonitorForEvents(IdleTimeController::resumeEventMask, [](const InputEvent &) {}).has_value());
}

} // namespace
