#include "TrackingFixture.h"

using namespace hourloom;
using hourloom::test::TrackingFixture;

class IdleTimeController_ : public TrackingFixture {
protected:
    IdleTimeController_()
    {
        idle->minIdleTime = 60;
        idle->idlePollingInterval = 10;
    }

    // Nothing touched for longer than the minimum: the poll `seconds` on finds the user away.
    void awayAtPollAfter(double seconds)
    {
        eventSource->idleSeconds = idle->minIdleTime + 1;
        clock.advance(seconds);
        timers.last()->fire();
    }
    // `seconds` later the user touches the input with the application frontmost.
    void returnTo(const QString &name, const QString &bundleIdentifier, double seconds, InputEventType type = InputEventType::keyDown)
    {
        workspace->frontmost = RunningApplication{name, bundleIdentifier};
        eventSource->idleSeconds = 0;
        clock.advance(seconds);
        eventTracker->deliver(type);
    }
};

TEST_F(IdleTimeController_, IdlenessEndsTheSessionAtDetectionForGoodAndTheFirstInputStartsAFreshOne)
{
    const auto a = switchTo("A", "a", 0);
    const auto poll = timers.last();
    eventSource->idleSeconds = 60; // equal is not idle
    clock.advance(60);
    poll->fire();
    EXPECT_TRUE(a->isActive());

    awayAtPollAfter(5);
    const QDateTime workEnd = clock.now();
    EXPECT_EQ(a->endTime(), workEnd);
    EXPECT_TRUE(idle->isIdle);
    EXPECT_FALSE(poll->isValid());
    ASSERT_EQ(eventTracker->monitors.size(), 1u);
    EXPECT_EQ(eventTracker->monitors.begin()->second.first, 0x4000480420u);

    // Back to the same application: the closed session keeps its end, a new one starts, and so
    // does the poll, so that the next idle spell is noticed too.
    returnTo("A", "a", 7200, InputEventType::mouseMoved);
    EXPECT_FALSE(idle->isIdle);
    EXPECT_TRUE(eventTracker->monitors.empty());
    ASSERT_EQ(sessions().size(), 2);
    EXPECT_EQ(sessions().last()->startTime(), clock.now());
    ASSERT_EQ(timers.timers().size(), 2u);
    EXPECT_EQ(idle->timer, timers.last());

    // Quick detours never reopen the session idleness closed.
    switchTo("C", "c", 1);
    const auto again = switchTo("A", "a", 1);
    EXPECT_EQ(sessions(), (AppSessionList{a, again}));
    EXPECT_EQ(a->endTime(), workEnd);

    // Idle again; whatever ends the current session at log-out or quit then finds nothing open.
    awayAtPollAfter(100);
    EXPECT_EQ(again->endTime(), clock.now());
    EXPECT_EQ(controller->appSessionController(), nullptr);
}

TEST_F(IdleTimeController_, WhileAwayActivationsOpenNothingAndOneMonitorRecordsTheAppFrontmostAtTheReturnIfAny)
{
    const auto a = switchTo("A", "a", 0);
    awayAtPollAfter(100);
    const QDateTime idleEnd = *a->endTime();

    // A dialog pops up and a window closes by itself while the user is away.
    switchTo("Dialog", "dialog", 30);
    switchTo("A", "a", 30);
    controller->startIdleTimer();
    EXPECT_EQ(sessions(), AppSessionList{a});
    EXPECT_EQ(a->endTime(), idleEnd);
    EXPECT_EQ(timers.timers().size(), 1u);
    EXPECT_EQ(eventTracker->monitors.size(), 1u);

    returnTo("B", "b", 60);
    ASSERT_EQ(sessions().size(), 2);
    EXPECT_EQ(sessions().last()->bundleIdentifier(), "b");
    EXPECT_EQ(timers.timers().size(), 2u);

    // Away again; a return with no frontmost application records nothing until the next activation.
    awayAtPollAfter(100);
    controller->clearUploadedSessions(); // an upload during idleness takes the ended sessions
    workspace->frontmost.reset();
    eventTracker->deliver(InputEventType::scrollWheel);
    EXPECT_TRUE(sessions().isEmpty());
    EXPECT_FALSE(idle->isIdle);
    EXPECT_EQ(idle->timer, nullptr);

    const auto back = switchTo("A", "a", 600);
    EXPECT_EQ(sessions(), AppSessionList{back});
    ASSERT_EQ(timers.timers().size(), 3u);
    EXPECT_TRUE(timers.last()->isValid());
}

TEST_F(IdleTimeController_, ASuspendOrClockStepEndsTheSessionAtTheLastPollAndBooksNoGap)
{
    workspace->frontmost = RunningApplication{QStringLiteral("Editor"), QStringLiteral("editor")};
    tracker->recordFrontmostApplication(*controller);
    const auto evening = sessions().last();
    const auto poll = timers.last();
    clock.advance(10);
    poll->fire();

    // Drift within the slack is no step.
    clock.advance(10);
    clock.stepWallClock(idle->idlePollingInterval + IdleTimeController::clockStepSlack - 1);
    poll->fire();
    ASSERT_EQ(sessions(), AppSessionList{evening});
    const QDateTime beforeLid = clock.now();

    // The lid closes with the editor frontmost and opens in the morning: the timer fires once,
    // its interval later on the monotonic clock, eight hours later on the wall clock.
    clock.stepWallClock(8 * 3600);
    clock.advance(10);
    poll->fire();
    EXPECT_EQ(evening->endTime(), beforeLid);
    ASSERT_EQ(sessions().size(), 2);
    const auto morning = sessions().last();
    EXPECT_EQ(morning->bundleIdentifier(), "editor");
    EXPECT_EQ(morning->startTime(), clock.now());
    EXPECT_TRUE(poll->isValid());
    EXPECT_EQ(timers.timers().size(), 1u);

    // A quick detour merges back into the morning's session, never into the evening's.
    switchTo("Shell", "shell", 30);
    switchTo("Editor", "editor", 1);
    EXPECT_EQ(evening->endTime(), beforeLid);
    EXPECT_EQ(sessions().last(), morning);
    EXPECT_TRUE(morning->isActive());

    // The clock set back an hour: the session ends where it was last seen, a new one starts.
    clock.advance(10);
    poll->fire();
    const QDateTime beforeStep = clock.now();
    clock.stepWallClock(-3600);
    clock.advance(10);
    poll->fire();
    EXPECT_EQ(morning->endTime(), beforeStep);
    ASSERT_EQ(sessions().size(), 3);
    EXPECT_EQ(sessions().last()->startTime(), clock.now());

    // Waking up with the user still away: the session ends at the last poll and nothing starts.
    const auto current = sessions().last();
    clock.advance(10);
    poll->fire();
    const QDateTime lastPoll = clock.now();
    clock.stepWallClock(3600);
    awayAtPollAfter(10);
    EXPECT_EQ(current->endTime(), lastPoll);
    EXPECT_EQ(sessions().size(), 3);
    EXPECT_TRUE(idle->isIdle);
}

TEST_F(IdleTimeController_, AfterALogOutASuspendStartsNoSession)
{
    const auto a = switchTo("A", "a", 0);
    clock.advance(30);
    // Log-out ends the current session and empties the batch; the poll runs on.
    controller->appSessionController()->endSession(clock.now());
    controller->sessionBatch()->setAppSessions({});
    const QDateTime loggedOut = clock.now();
    workspace->frontmost = RunningApplication{QStringLiteral("A"), QStringLiteral("a")};
    clock.stepWallClock(8 * 3600);
    clock.advance(10);
    timers.last()->fire();
    EXPECT_TRUE(sessions().isEmpty());
    EXPECT_EQ(a->endTime(), loggedOut);
}
