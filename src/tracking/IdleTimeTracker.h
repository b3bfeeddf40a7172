#pragma once

#include "core/ports/EventSourceProtocol.h"

#include <memory>

namespace hourloom {

// Seconds since the user last touched any input device.
class IdleTimeTracker {
public:
    // The desktop's idle counter; the platform backend installs it at start-up. Without one the
    // user never counts as idle.
    static std::shared_ptr<EventSourceProtocol> eventSource;

    static double secondsSinceLastInput();
};

} // namespace hourloom
