#include "TrackingFixture.h"

using namespace hourloom;
using hourloom::test::TrackingFixture;

class IdleTimeController_ : public TrackingFixture {
protected:
    // Nothing touched for longer than the minimum: the poll `seconds` on finds the user away.
    void awayAtPollAfter(double seconds)
    {
        eventSource->idleSeconds = idle->minIdleTime + 1;
        clock.advance(seconds);
        timers.last()->fire();
    }
};

TEST_F(IdleTimeController_, IdlenessEndsTheSessionAtDetectionAndTheFirstInputRecordsTheFrontmostApp)
{
    idle->minIdleTime = 60;
    const auto a = switchTo("A", "a", 0);
    const auto poll = timers.last();

    eventSource->idleSeconds = 60; // equal is not idle
    clock.advance(60);
    poll->fire();
    EXPECT_TRUE(a->isActive());
    EXPECT_FALSE(idle->isIdle);

    eventSource->idleSeconds = 61;
    clock.advance(5);
    poll->fire();
    EXPECT_EQ(a->endTime(), clock.now());
    EXPECT_TRUE(idle->isIdle);
    EXPECT_FALSE(poll->isValid());
    EXPECT_EQ(idle->timer, nullptr);
    ASSERT_EQ(eventTracker->monitors.size(), 1u);
    EXPECT_EQ(eventTracker->monitors.begin()->second.first, 0x4000480420u);

    // A click or key release is outside the mask; a mouse move is not.
    workspace->frontmost = RunningApplication{QStringLiteral("A"), QStringLiteral("a")};
    clock.advance(300);
    eventTracker->deliver(InputEventType::mouseMoved);
    EXPECT_FALSE(idle->isIdle);
    EXPECT_TRUE(eventTracker->monitors.empty());

    // Back to the same application: the closed session keeps its end, a new one starts, and so
    // does the poll, so that the next idle spell is noticed too.
    const QDateTime idleEnd = a->endTime().value();
    ASSERT_EQ(sessions().size(), 2);
    EXPECT_EQ(sessions().first(), a);
    EXPECT_EQ(a->endTime(), idleEnd);
    const auto back = sessions().last();
    EXPECT_NE(back->id(), a->id());
    EXPECT_EQ(back->startTime(), clock.now());
    EXPECT_TRUE(back->isActive());
    ASSERT_EQ(timers.timers().size(), 2u);
    ASSERT_EQ(idle->timer, timers.last());

    eventSource->idleSeconds = 90;
    clock.advance(90);
    timers.last()->fire();
    EXPECT_EQ(back->endTime(), clock.now());
    EXPECT_TRUE(idle->isIdle);
    EXPECT_EQ(a->endTime(), idleEnd);
}

TEST_F(IdleTimeController_, ASessionClosedByIdlenessKeepsItsEndThroughReturnsDetoursAndTheLastEnd)
{
    idle->minIdleTime = 60;
    const auto a = switchTo("A", "a", 0);
    awayAtPollAfter(600);
    const QDateTime workEnd = clock.now();
    ASSERT_EQ(a->endTime(), workEnd);

    // Two hours away; the user comes back to A, takes two quick detours and returns to A.
    workspace->frontmost = RunningApplication{QStringLiteral("A"), QStringLiteral("a")};
    eventSource->idleSeconds = 0;
    clock.advance(7200);
    eventTracker->deliver(InputEventType::keyDown);
    switchTo("C", "c", 1);
    switchTo("A", "a", 1);
    EXPECT_EQ(a->endTime(), workEnd);
    ASSERT_FALSE(sessions().isEmpty());
    EXPECT_EQ(sessions().first(), a);
    EXPECT_NE(sessions().last(), a);
    EXPECT_TRUE(sessions().last()->isActive());
    EXPECT_EQ(sessions().last()->startTime(), clock.now());

    // Idle again, then whatever ends the current session at log-out or quit finds nothing open.
    awayAtPollAfter(100);
    const auto closed = sessions().last();
    const QDateTime closedAt = closed->endTime().value();
    clock.advance(3600);
    if (const auto current = controller->appSessionController())
        current->endSession(clock.now());
    EXPECT_EQ(closed->endTime(), closedAt);
    EXPECT_EQ(a->endTime(), workEnd);
}

TEST_F(IdleTimeController_, WhileAwayActivationsOpenNothingAndOneMonitorRecordsTheAppFrontmostAtTheReturn)
{
    idle->minIdleTime = 60;
    const auto a = switchTo("A", "a", 0);
    awayAtPollAfter(100);
    const QDateTime idleEnd = a->endTime().value();

    // A dialog pops up and a window closes by itself while the user is away.
    switchTo("Dialog", "dialog", 30);
    switchTo("A", "a", 30);
    EXPECT_EQ(sessions(), AppSessionList{a});
    EXPECT_EQ(a->endTime(), idleEnd);
    EXPECT_EQ(timers.timers().size(), 1u);
    EXPECT_EQ(idle->timer, nullptr);
    controller->startIdleTimer();
    EXPECT_EQ(timers.timers().size(), 1u);
    EXPECT_EQ(eventTracker->monitors.size(), 1u);

    workspace->frontmost = RunningApplication{QStringLiteral("B"), QStringLiteral("b")};
    eventSource->idleSeconds = 0;
    clock.advance(60);
    eventTracker->deliver(InputEventType::keyDown);
    ASSERT_EQ(sessions().size(), 2);
    const auto b = sessions().last();
    EXPECT_EQ(b->bundleIdentifier(), "b");
    EXPECT_TRUE(eventTracker->monitors.empty());

    // Further input is just work: it records nothing and drops nothing.
    for (int i = 0; i < 100; ++i) {
        clock.advance(1);
        eventTracker->deliver(InputEventType::keyDown);
        timers.last()->fire();
    }
    EXPECT_EQ(sessions(), (AppSessionList{a, b}));
    EXPECT_TRUE(b->isActive());
    EXPECT_EQ(controller->sessionBatch()->appSwitchingCount(), 0);
    EXPECT_EQ(timers.timers().size(), 2u);
}

TEST_F(IdleTimeController_, ReturningToAnotherAppOrAfterAnUploadStartsAFreshSessionAndPoll)
{
    idle->minIdleTime = 60;
    const auto a = switchTo("A", "a", 0);
    eventSource->idleSeconds = 100;
    clock.advance(100);
    timers.last()->fire();
    controller->clearUploadedSessions(); // an upload during idleness takes the ended session
    ASSERT_TRUE(sessions().isEmpty());

    workspace->frontmost = RunningApplication{QStringLiteral("A"), QStringLiteral("a")};
    clock.advance(600);
    eventTracker->deliver(InputEventType::keyDown);
    ASSERT_EQ(sessions().size(), 1);
    EXPECT_NE(sessions().first(), a);
    EXPECT_TRUE(sessions().first()->isActive());
    ASSERT_EQ(timers.timers().size(), 2u);
    EXPECT_TRUE(timers.last()->isValid());
}

TEST_F(IdleTimeController_, NoFrontmostApplicationAtTheReturnRecordsNothing)
{
    idle->minIdleTime = 60;
    switchTo("A", "a", 0);
    eventSource->idleSeconds = 100;
    timers.last()->fire();
    controller->clearUploadedSessions();

    workspace->frontmost.reset();
    eventTracker->deliver(InputEventType::scrollWheel);
    EXPECT_TRUE(sessions().isEmpty());
    EXPECT_FALSE(idle->isIdle);
    EXPECT_EQ(idle->timer, nullptr);
}

TEST_F(IdleTimeController_, ASuspendOrClockStepEndsTheSessionAtTheLastPollAndBooksNoGap)
{
    idle->minIdleTime = 60;
    idle->idlePollingInterval = 10;
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
    EXPECT_NE(morning->id(), evening->id());
    EXPECT_EQ(morning->startTime(), clock.now());
    EXPECT_TRUE(morning->isActive());
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
    clock.advance(10);
    eventSource->idleSeconds = 61;
    poll->fire();
    EXPECT_EQ(current->endTime(), lastPoll);
    EXPECT_EQ(sessions().size(), 3);
    EXPECT_TRUE(idle->isIdle);
    EXPECT_FALSE(poll->isValid());
}

TEST_F(IdleTimeController_, AfterALogOutASuspendStartsNoSession)
{
    idle->minIdleTime = 60;
    idle->idlePollingInterval = 10;
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
