#pragma once

#include "agent/TrackingStack.h"
#include "core/MainLoopTimer.h"
#include "model/AppSession.h"
#include "tracking/AppSwitchTracker.h"
#include "tracking/IdleTimeController.h"
#include "tracking/IdleTimeTracker.h"
#include "tracking/SessionBatchController.h"

#include "support/DesktopDriver.h"
#include "support/XDesktop.h"

#include <gtest/gtest.h>

#include <memory>
#include <ostream>

namespace hourloom::test {

// The desktop the shared scenarios run on, named in the list of tests.
struct DesktopUnderTest {
    const char *name;
    DesktopDriver &(*driver)();
    friend void PrintTo(const DesktopUnderTest &desktop, std::ostream *out) { *out << desktop.name; }
};

// The desktop of a test program, started before its first test and stopped after its last: each
// program runs one desktop (GNOME Shell takes long to start).
template <class Driver>
class DesktopOnce : public ::testing::Environment {
public:
    void SetUp() override { driver_ = std::make_unique<Driver>(); }
    void TearDown() override { driver_.reset(); }
    static Driver &driver() { return *driver_; }
    static DesktopUnderTest underTest(const char *name) { return {name, []() -> DesktopDriver & { return *driver_; }}; }

private:
    static inline std::unique_ptr<Driver> driver_;
};

// The agent's tracking on a desktop, wired as the agent wires it.
class DesktopTracking : public ::testing::Test {
protected:
    virtual DesktopDriver &desktop() const = 0;

    void SetUp() override { ASSERT_TRUE(desktop().error().isEmpty()) << desktop().error().toStdString(); }
    void TearDown() override
    {
        if (tracker)
            tracker->stopObserving();
        IdleTimeTracker::eventSource.reset();
    }

    // The desktop's services in the tracking stack; sessions of any length are kept.
    void track(double idleThreshold = 3600) { track(desktop().services(center, idleThreshold), idleThreshold); }
    void track(PlatformBackend backend, double idleThreshold = 3600)
    {
        services = std::move(backend);
        ASSERT_TRUE(services.workspace && services.eventSource && services.eventTracker);
        const TrackingStack stack = TrackingStack::build({.activations = center,
                                                          .workspace = services.workspace,
                                                          .idleSeconds = services.eventSource,
                                                          .input = services.eventTracker,
                                                          .timerProvider = MainLoopTimer::provider()});
        tracker = stack.tracker;
        idle = stack.idle;
        controller = stack.controller;
        idle->minIdleTime = idleThreshold;
        controller->minSessionDuration = 0;
    }

    // Tracking started as the agent starts it, with the window frontmost.
    void startIn(const TestWindow &window)
    {
        ASSERT_TRUE(bringForward(window, [&] { return frontmostName() == window.name; }));
        tracker->recordFrontmostApplication(*controller);
        tracker->startObserving(controller, true);
        ASSERT_EQ(lastName(), window.name);
    }

    bool switchTo(const TestWindow &window) { return bringForward(window, [&] { return lastName() == window.name; }); }

    // A loaded desktop may drop a request to bring a window forward (an X11 window on Xwayland
    // takes the focus only once it answers): it is asked again until the window has arrived.
    bool bringForward(const TestWindow &window, const std::function<bool()> &arrived)
    {
        for (int attempt = 0; attempt < 6; ++attempt) {
            if (desktop().activate(window) && XDesktop::spinUntil(arrived, 5000))
                return true;
        }
        return false;
    }

    QString frontmostName()
    {
        desktop().settle();
        const auto frontmost = services.workspace->frontmostApplication();
        return frontmost ? frontmost->localizedName.value_or(QString()) : QString();
    }

    AppSessionList sessions() const { return controller->sessionBatch()->appSessions(); }
    QString lastName() const { return sessions().isEmpty() ? QString() : sessions().last()->appName(); }
    const TestWindow &window(int index) const { return desktop().windows()[index]; }

    // Generous: a loaded machine can take long to bring a window forward.
    static bool waitFor(const std::function<bool()> &condition) { return XDesktop::spinUntil(condition, 30000); }

    NotificationCenter center;
    PlatformBackend services;
    std::shared_ptr<AppSwitchTracker> tracker;
    std::shared_ptr<IdleTimeController> idle;
    std::shared_ptr<SessionBatchController> controller;
};

// Tests of one desktop of its own.
template <class Driver>
class DesktopTest : public DesktopTracking {
protected:
    static Driver &driver() { return DesktopOnce<Driver>::driver(); }
    DesktopDriver &desktop() const override { return driver(); }
};

// The scenarios every desktop shares, instantiated with the desktop of the test program.
class DesktopScenarios : public DesktopTracking, public ::testing::WithParamInterface<DesktopUnderTest> {
protected:
    DesktopDriver &desktop() const override { return GetParam().driver(); }
};

} // namespace hourloom::test
