#pragma once

#include <cstdint>
#include <functional>
#include <optional>

namespace hourloom {

// Kinds of input, numbered as macOS numbers its event types, since the idle controller's resume
// mask is built from those numbers (bit 1 << type).
enum class InputEventType : int {
    mouseMoved = 5,
    keyDown = 10,
    beginGesture = 19,
    scrollWheel = 22,
    changeMode = 38,
};

constexpr std::uint64_t eventMask(InputEventType type)
{
    return std::uint64_t{1} << static_cast<int>(type);
}

struct InputEvent {
    InputEventType type;
};

using MonitorToken = std::uint64_t;

// Global monitors of the user's input, whichever window it goes to.
class EventTrackerProtocol {
public:
    using Handler = std::function<void(const InputEvent &)>;

    virtual ~EventTrackerProtocol() = default;
    // Calls the handler on the main loop for every event whose type is in the mask.
    virtual std::optional<MonitorToken> addGlobalMonitorForEvents(std::uint64_t mask, Handler handler) = 0;
    virtual void removeMonitor(MonitorToken token) = 0;
};

} // namespace hourloom
