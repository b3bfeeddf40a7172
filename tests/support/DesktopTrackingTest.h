#pragma once

#include "agent/TrackingStack.h"
#include "core/MainLoopTimer.h"
#include "core/NotificationCenter.h"
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
    void observe(std::shared_ptr<hourloom::WorkspaceProtocol> observed) { workspace_ = std::move(observed); }

    void control(std::shared_ptr<hourloom::EventSourceProtocol> idleSeconds, std::shared_ptr<hourloom::EventTrackerProtocol> input)
    {
        const auto stack = hourloom::TrackingStack::build({.activations = center,
                                                           .workspace = std::move(workspace_),
                                                           .idleSeconds = std::move(idleSeconds),
                                                           .input = std::move(input),
                                                           .timerProvider = hourloom::MainLoopTimer::provider()});
        tracker = stack.tracker;
        idle = stack.idle;
        controller = stack.controller;
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

private:
    std::shared_ptr<hourloom::WorkspaceProtocol> workspace_;
};
