#include "IdleTimeController.h"

#include "AppSwitchTracker.h"
#include "IdleTimeTracker.h"
#include "SessionBatchControllerProtocol.h"
#include "core/Clock.h"
#include "core/Configuration.h"
#include "core/Log.h"

#include <cmath>

namespace hourloom {

IdleTimeController::IdleTimeController(std::shared_ptr<EventTrackerProtocol> eventTracker, TimerProvider provider)
    : idlePollingInterval(Configuration::idlePollingInterval())
    , minIdleTime(Configuration::minIdleTime())
    , timerProvider(std::move(provider))
    , eventTrackerType(std::move(eventTracker))
    , timeTrackerType(&IdleTimeTracker::secondsSinceLastInput)
{
}

void IdleTimeController::startIdlePolling(std::weak_ptr<SessionBatchControllerProtocol> controller)
{
    if (timer || isIdle)
        return;
    lastPoll = readClocks();
    std::weak_ptr<IdleTimeController> weakSelf = weak_from_this();
    timer = timerProvider(idlePollingInterval, true, [weakSelf, controller](TimerProtocol &firingTimer) {
        const auto self = weakSelf.lock();
        const auto sessionBatchController = controller.lock();
        if (self && sessionBatchController)
            self->checkIdle(firingTimer, *sessionBatchController);
    });
}

IdleTimeController::PollReading IdleTimeController::readClocks()
{
    return PollReading{Clock::now(), Clock::monotonic()};
}

bool IdleTimeController::clockJumped(const PollReading &previous, const PollReading &current) const
{
    const double wallSeconds = double(previous.wallClock.msecsTo(current.wallClock)) / 1000.0;
    const double monotonicSeconds = current.monotonic - previous.monotonic;
    return std::abs(wallSeconds - monotonicSeconds) > idlePollingInterval + clockStepSlack;
}

void IdleTimeController::stopIdlePolling()
{
    if (timer) {
        timer->invalidate();
        timer.reset();
    }
    if (resumeFromIdleTracker) {
        eventTrackerType->removeMonitor(*resumeFromIdleTracker);
        resumeFromIdleTracker.reset();
    }
    isIdle = false;
    lastPoll.reset();
}

bool IdleTimeController::noticeClockStep(SessionBatchControllerProtocol &controller)
{
    if (!lastPoll)
        return false;
    const PollReading now = readClocks();
    const PollReading previous = std::exchange(*lastPoll, now);
    // The timer and the idle counter stand still while the machine sleeps, the wall clock does
    // not: the session ends where the agent last saw it running, and the gap is booked to nobody.
    if (!clockJumped(previous, now) || !controller.closeCurrentSession(previous.wallClock))
        return false;
    qCDebug(lcIdle) << "the wall clock stepped since the agent last looked: the session ended there";
    return true;
}

void IdleTimeController::checkIdle(TimerProtocol &firingTimer, SessionBatchControllerProtocol &controller)
{
    const bool interrupted = noticeClockStep(controller);
    if (timeTrackerType() > minIdleTime) {
        becomeIdle(firingTimer, controller);
        return;
    }
    if (interrupted)
        controller.appSwitchTracker()->recordFrontmostApplication(controller);
}

void IdleTimeController::becomeIdle(TimerProtocol &firingTimer, SessionBatchControllerProtocol &controller)
{
    qCDebug(lcIdle) << "idle for" << timeTrackerType() << "s: the session ends";
    // The session ends at detection: the idle seconds that led here stay in it.
    controller.closeCurrentSession(Clock::now());
    firingTimer.invalidate();
    timer.reset();
    lastPoll.reset();
    isIdle = true;
    if (resumeFromIdleTracker)
        return;

    std::weak_ptr<IdleTimeController> weakSelf = weak_from_this();
    std::weak_ptr<SessionBatchControllerProtocol> weakController = controller.weak_from_this();
    resumeFromIdleTracker = eventTrackerType->addGlobalMonitorForEvents(resumeEventMask, [weakSelf, weakController](const InputEvent &event) {
        const auto self = weakSelf.lock();
        const auto sessionBatchController = weakController.lock();
        if (self && sessionBatchController)
            self->resumeFromIdle(event, *sessionBatchController);
    });
}

void IdleTimeController::resumeFromIdle(const InputEvent &, SessionBatchControllerProtocol &controller)
{
    if (!isIdle)
        return;
    qCDebug(lcIdle) << "input: the user is back";
    isIdle = false;
    if (resumeFromIdleTracker) {
        eventTrackerType->removeMonitor(*resumeFromIdleTracker);
        resumeFromIdleTracker.reset();
    }
    // The session idleness closed stays closed: this starts a new one, which starts the poll.
    // With no frontmost application nothing starts, and the poll waits for the next activation.
    controller.appSwitchTracker()->recordFrontmostApplication(controller);
}

} // namespace hourloom
