#pragma once

#include "agent/TrackingStack.h"
#include "model/AppSession.h"
#include "model/WebSession.h"
#include "tracking/AppSwitchTracker.h"
#include "tracking/IdleTimeController.h"
#include "tracking/IdleTimeTracker.h"
#include "tracking/SessionBatchController.h"

#include "support/FakeClock.h"
#include "support/FakePlatform.h"
#include "support/FakeTimer.h"

#include <gtest/gtest.h>

namespace hourloom::test {

// Tracking as the agent builds it, on substitutes: a clock, timers, a workspace, an idle counter
// and an input monitor the test drives. No browser is scripted.
class TrackingFixture : public ::testing::Test {
protected:
    TrackingFixture() { controller->minSessionDuration = 5; }
    ~TrackingFixture() override { IdleTimeTracker::eventSource.reset(); }

    // `seconds` after the previous step, the application becomes frontmost.
    std::shared_ptr<AppSession> switchTo(const QString &name, const QString &bundleIdentifier, double seconds)
    {
        clock.advance(seconds);
        auto session = std::make_shared<AppSession>(name, bundleIdentifier);
        controller->handleAppSwitch(session);
        return session;
    }

    AppSessionList sessions() const { return controller->sessionBatch()->appSessions(); }

    FakeClock clock;
    FakeTimerProvider timers;
    NotificationCenter notificationCenter;
    std::shared_ptr<FakeWorkspace> workspace = std::make_shared<FakeWorkspace>();
    std::shared_ptr<FakeEventSource> eventSource = std::make_shared<FakeEventSource>();
    std::shared_ptr<FakeEventTracker> eventTracker = std::make_shared<FakeEventTracker>();
    const TrackingStack stack = TrackingStack::build(
        {.activations = notificationCenter, .workspace = workspace, .idleSeconds = eventSource, .input = eventTracker, .timerProvider = timers.provider()});
    const std::shared_ptr<AppSwitchTracker> tracker = stack.tracker;
    const std::shared_ptr<IdleTimeController> idle = stack.idle;
    const std::shared_ptr<SessionBatchController> controller = stack.controller;
};

} // namespace hourloom::test
