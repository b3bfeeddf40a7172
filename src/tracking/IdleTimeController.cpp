#include "IdleTimeController.h"

#include "AppSessionControllerProtocol.h"
#include "AppSwitchTracker.h"
#include "IdleTimeTracker.h"
#include "SessionBatchControllerProtocol.h"
#include "app/Clock.h"
#include "app/Configuration.h"

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
    if (timer)
        return;
    std::weak_ptr<IdleTimeController> weakSelf = weak_from_this();
    timer = timerProvider(idlePollingInterval, true, [weakSelf, controller](TimerProtocol &firingTimer) {
        const auto self = weakSelf.lock();
        const auto sessionBatchController = controller.lock();
        if (self && sessionBatchController)
            self->checkIdle(firingTimer, *sessionBatchController);
    });
}

void IdleTimeController::checkIdle(TimerProtocol &firingTimer, SessionBatchControllerProtocol &controller)
{
    if (!(timeTrackerType() > minIdleTime))
        return;
    // The session ends at detection: the idle seconds that led here stay in it.
    if (const auto appSessionController = controller.appSessionController())
        appSessionController->endSession(Clock::now());
    firingTimer.invalidate();
    timer.reset();
    isIdle = true;

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
    if (timer)
        timer->invalidate();
    isIdle = false;
    if (resumeFromIdleTracker) {
        eventTrackerType->removeMonitor(*resumeFromIdleTracker);
        resumeFromIdleTracker.reset();
    }
    timer.reset();
    controller.appSwitchTracker()->recordFrontmostApplication(controller);
    // A return to the same application reopens its session without starting a new one, and only
    // new sessions start the poll: restart it here, or no later idleness would ever be noticed
    // while the user stays in that application. Nothing recorded (no frontmost application)
    // leaves the poll off, so an ended session is never ended a second time.
    const auto current = controller.appSessionController();
    if (current && current->appSession()->isActive())
        controller.startIdleTimer();
}

} // namespace hourloom
