#pragma once

#include <cstdint>

namespace hourloom {

// The desktop's counter of seconds since the last input event (a macOS name kept on Linux, see
// "Names" in docs/ARCHITECTURE.md). The source state and event type are macOS's: hidSystemState is
// the combined state of all input devices, anyInputEventType any kind of input; the Linux
// backends are only ever asked for exactly these.
class EventSourceProtocol {
public:
    static constexpr int hidSystemState = 1;
    static constexpr std::uint32_t anyInputEventType = 0xFFFFFFFFu;

    virtual ~EventSourceProtocol() = default;
    virtual double secondsSinceLastEventType(int sourceState, std::uint32_t eventType) const = 0;
};

} // namespace hourloom
