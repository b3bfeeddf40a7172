#pragma once

#include "model/AppSession.h"
#include "model/WebSession.h"
#include "tracking/AppSwitchTracker.h"
#include "tracking/IdleTimeController.h"
#include "tracking/IdleTimeTracker.h"
#include "tracking/SessionBatchController.h"

#include "support/FakeClock.h"
#include "support/FakePlatform.h"
#include "support/FakeTimer.h"
#include "support/FakeWebSessionController.h"

#include <gtest/gtest.h>

namespace hourloom::test {

// A session batch controller wired to substitutes: a clock, timers, a workspace, an idle counter
// and an input monitor the test drives.
class TrackingFixture : public ::testing::Test {
protected:
    TrackingFixture()
    {
        IdleTimeTracker::eventSource = eventSource;
        controller->minSessionDuration = 5;
    }
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
    std::shared_ptr<FakeWorkspace> workspace = std::make_shared<FakeWorkspace>();
    std::shared_ptr<FakeEventSource> eventSource = std::make_shared<FakeEventSource>();
    std::shared_ptr<FakeEventTracker> eventTracker = std::make_shared<FakeEventTracker>();
    std::shared_ptr<IdleTimeController> idle = std::make_shared<IdleTimeController>(eventTracker, timers.provider());
    NotificationCenter notificationCenter;
    std::shared_ptr<AppSwitchTracker> tracker = std::make_shared<AppSwitchTracker>(
        notificationCenter, didActivateApplicationNotification, applicationUserInfoKey, workspace);
    std::vector<std::shared_ptr<FakeWebSessionController>> webControllers;
    std::shared_ptr<SessionBatchController> controller = std::make_shared<SessionBatchController>(
        tracker, idle, [this](std::shared_ptr<AppSessionProtocol> appSession) -> std::shared_ptr<WebSessionControllerProtocol> {
            webControllers.push_back(std::make_shared<FakeWebSessionController>(std::move(appSession)));
            return webControllers.back();
        });
};

} // namespace hourloom::test
