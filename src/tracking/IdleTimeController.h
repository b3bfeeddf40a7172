#pragma once

#include "app/EventTrackerProtocol.h"
#include "app/TimerProtocol.h"

#include <functional>
#include <memory>
#include <optional>

namespace hourloom {

class SessionBatchControllerProtocol;

// Polls the idle seconds; past the minimum idle time it closes the current app session and waits
// for the user's first input, which records the frontmost application afresh.
class IdleTimeController : public std::enable_shared_from_this<IdleTimeController> {
public:
    // Mouse moved, key down, begin gesture, scroll wheel, change mode.
    static constexpr std::uint64_t resumeEventMask = eventMask(InputEventType::mouseMoved) | eventMask(InputEventType::keyDown)
        | eventMask(InputEventType::beginGesture) | eventMask(InputEventType::scrollWheel) | eventMask(InputEventType::changeMode);

    // Reads IDLE_POLLING_INTERVAL and MIN_IDLE_TIME.
    IdleTimeController(std::shared_ptr<EventTrackerProtocol> eventTrackerType, TimerProvider timerProvider);

    double idlePollingInterval;
    double minIdleTime;
    TimerProvider timerProvider;
    bool isIdle = false;
    std::shared_ptr<EventTrackerProtocol> eventTrackerType;
    std::function<double()> timeTrackerType;
    std::shared_ptr<TimerProtocol> timer;
    std::optional<MonitorToken> resumeFromIdleTracker;

    // Starts the repeating poll unless one runs or the user is away.
    void startIdlePolling(std::weak_ptr<SessionBatchControllerProtocol> controller);
    void checkIdle(TimerProtocol &firingTimer, SessionBatchControllerProtocol &controller);
    void resumeFromIdle(const InputEvent &event, SessionBatchControllerProtocol &controller);
};

} // namespace hourloom
