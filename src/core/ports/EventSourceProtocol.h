#pragma once

#include <cstdint>

namespace hourloom {

// The desktop's counter of seconds since the last input event.
class EventSourceProtocol {
public:
    static constexpr int hidSystemState = 1;
    static constexpr std::uint32_t anyInputEventType = 0xFFFFFFFFu;

    virtual ~EventSourceProtocol() = default;
    virtual double secondsSinceLastEventType(int sourceState, std::uint32_t eventType) const = 0;
};

} // namespace hourloom
