#pragma once

#include "core/NotificationCenter.h"
#include "core/ports/EventSourceProtocol.h"
#include "core/ports/EventTrackerProtocol.h"
#include "core/ports/OutboxProtocol.h"
#include "core/ports/TimerProtocol.h"
#include "core/ports/WorkspaceProtocol.h"
#include "model/SessionBatchProtocol.h"
#include "tracking/WebScriptingPlatform.h"

#include <memory>
#include <optional>

namespace hourloom {

class AppSwitchTracker;
class IdleTimeController;
class SessionBatchController;
class SessionOutbox;

// Tracking as the agent wires it: the app switch tracker on the desktop's activations, the idle
// controller on its idle seconds and input, and the session batch controller over both, with the
// outbox when there is a store. The agent, the tests and the benchmarks all build it here, so
// they cannot drift from each other.
struct TrackingStack {
    struct Parts {
        NotificationCenter &activations;
        std::shared_ptr<WorkspaceProtocol> workspace{};
        // Installed as the idle tracker's source of idle seconds (a class-level collaborator).
        std::shared_ptr<EventSourceProtocol> idleSeconds{};
        std::shared_ptr<EventTrackerProtocol> input{};
        TimerProvider timerProvider{};
        // Without it no browser is scripted: browsers are tracked like any application.
        std::optional<WebScriptingPlatform> webScripting{};
        // Without it ended sessions wait in memory only.
        std::shared_ptr<OutboxProtocol> outboxStore{};
        // Without it, batches carry no device.
        SessionBatchType sessionBatchType{};
    };

    // Reads IDLE_POLLING_INTERVAL, MIN_IDLE_TIME and then SECONDS_MIN_APP_SESSION, in that order.
    static TrackingStack build(Parts parts);

    std::shared_ptr<AppSwitchTracker> tracker;
    std::shared_ptr<IdleTimeController> idle;
    std::shared_ptr<SessionBatchController> controller;
    std::shared_ptr<SessionOutbox> outbox;
};

} // namespace hourloom
