#pragma once

#include "app/MainLoopTimer.h"
#include "app/NotificationCenter.h"
#include "model/SessionBatchProtocol.h"
#include "tracking/AppSwitchTracker.h"
#include "tracking/IdleTimeController.h"
#include "tracking/IdleTimeTracker.h"
#include "tracking/SessionBatchController.h"

#include <gtest/gtest.h>

#include <memory>

// The agent's tracking wired to one desktop backend, as the desktops' integration tests drive
// it: first the workspace's activations, then the controller with the backend's idle sources.
class DesktopTrackingTest : public ::testing::Test {
protected:
    void observe(std::shared_ptr<hourloom::WorkspaceProtocol> workspace)
    {
        using hourloom::AppSwitchTracker;
        tracker = std::make_shared<AppSwitchTracker>(center, AppSwitchTracker::didActivateApplicationNotification,
                                                     AppSwitchTracker::applicationUserInfoKey, std::move(workspace));
    }

    void control(std::shared_ptr<hourloom::EventSourceProtocol> idleSeconds, std::shared_ptr<hourloom::EventTrackerProtocol> input)
    {
        hourloom::IdleTimeTracker::eventSource = std::move(idleSeconds);
        idle = std::make_shared<hourloom::IdleTimeController>(std::move(input), hourloom::MainLoopTimer::provider());
        controller = std::make_shared<hourloom::SessionBatchController>(tracker, idle, hourloom::WebSessionControllerClass());
    }

    void TearDown() override
    {
        if (tracker)
            tracker->stopObserving();
        hourloom::IdleTimeTracker::eventSource.reset();
    }

    hourloom::AppSessionList sessions() const { return controller->sessionBatch()->appSessions(); }
    QString lastName() const { return sessions().isEmpty() ? QString() : sessions().last()->appName(); }

    hourloom::NotificationCenter center;
    std::shared_ptr<hourloom::IdleTimeController> idle;
    std::shared_ptr<hourloom::AppSwitchTracker> tracker;
    std::shared_ptr<hourloom::SessionBatchController> controller;
};
