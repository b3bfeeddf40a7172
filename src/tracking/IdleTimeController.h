#pragma once

#include "core/ports/EventTrackerProtocol.h"
#include "core/ports/TimerProtocol.h"

#include <QDateTime>

#include <functional>
#include <memory>
#include <optional>

namespace hourloom {

class SessionBatchControllerProtocol;

// Polls the idle seconds; past the minimum idle time it closes the current app session and waits
// for the user's first input, which records the frontmost application afresh. Each poll, and
// everything else that ends, checkpoints or sends the session, first notices a suspend or a clock
// being set: the session then ends where the agent last saw it.
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

    // How far the wall clock may drift from the monotonic clock between two polls, beyond one
    // poll interval, before the gap counts as a suspend or a clock step.
    static constexpr double clockStepSlack = 2.0;

    // When the agent last saw the current session running (polling started, the last poll,
    // switch, checkpoint or upload), on both clocks; none while no poll runs.
    struct PollReading {
        QDateTime wallClock;
        double monotonic = 0;
    };
    std::optional<PollReading> lastPoll;

    // Starts the repeating poll unless one runs or the user is away.
    void startIdlePolling(std::weak_ptr<SessionBatchControllerProtocol> controller);
    // Tracking stopped: no poll, no input monitor, nothing recorded until polling starts again.
    void stopIdlePolling();
    void checkIdle(TimerProtocol &firingTimer, SessionBatchControllerProtocol &controller);
    void resumeFromIdle(const InputEvent &event, SessionBatchControllerProtocol &controller);
    // Whether the wall clock stepped away from the monotonic clock since the agent last looked;
    // if so, the current session ends where it was last seen. True when a running session ended.
    bool noticeClockStep(SessionBatchControllerProtocol &controller);

private:
    static PollReading readClocks();
    bool clockJumped(const PollReading &previous, const PollReading &current) const;
    void becomeIdle(TimerProtocol &firingTimer, SessionBatchControllerProtocol &controller);
};

} // namespace hourloom
