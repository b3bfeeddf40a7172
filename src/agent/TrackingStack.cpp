#include "TrackingStack.h"

#include "model/SessionBatch.h"
#include "tracking/AppSessionController.h"
#include "tracking/AppSwitchTracker.h"
#include "tracking/IdleTimeController.h"
#include "tracking/IdleTimeTracker.h"
#include "tracking/SessionBatchController.h"
#include "tracking/WebSessionController.h"
#include "upload/SessionOutbox.h"

namespace hourloom {

TrackingStack TrackingStack::build(Parts parts)
{
    TrackingStack stack;
    IdleTimeTracker::eventSource = std::move(parts.idleSeconds);
    stack.tracker = std::make_shared<AppSwitchTracker>(parts.activations, didActivateApplicationNotification,
                                                       applicationUserInfoKey, std::move(parts.workspace));
    stack.idle = std::make_shared<IdleTimeController>(std::move(parts.input), std::move(parts.timerProvider));
    if (parts.outboxStore)
        stack.outbox = std::make_shared<SessionOutbox>(std::move(parts.outboxStore));
    const std::weak_ptr<SessionOutbox> weakOutbox = stack.outbox;
    // Each ended session goes to the outbox, once the switch that ended it has settled.
    const auto sessionEnded = [weakOutbox] {
        if (const auto outbox = weakOutbox.lock())
            outbox->scheduleWrite();
    };
    stack.controller = std::make_shared<SessionBatchController>(
        stack.tracker, stack.idle,
        parts.webScripting ? WebSessionController::type(*parts.webScripting) : WebSessionControllerClass(),
        parts.sessionBatchType ? std::move(parts.sessionBatchType) : SessionBatch::type(),
        AppSessionController::type(stack.outbox ? sessionEnded : std::function<void()>()));
    if (stack.outbox) {
        stack.outbox->setSessionBatchController(stack.controller);
        stack.controller->sessionDropped = [weakOutbox](const AppSessionProtocol &session) {
            if (const auto outbox = weakOutbox.lock())
                outbox->forget(session);
        };
    }
    return stack;
}

} // namespace hourloom
