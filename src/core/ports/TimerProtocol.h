#pragma once

#include <functional>
#include <memory>

namespace hourloom {

// A timer scheduled on the main loop. Invalidating it stops every further firing.
class TimerProtocol {
public:
    virtual ~TimerProtocol() = default;
    virtual void invalidate() = 0;
    virtual bool isValid() const = 0;
};

using TimerBlock = std::function<void(TimerProtocol &timer)>;

// Makes and schedules a timer: interval in seconds, whether it repeats, and what each firing runs.
// Blocks must hold their owners weakly; the timer keeps the block as long as it lives.
using TimerProvider = std::function<std::shared_ptr<TimerProtocol>(double interval, bool repeats, TimerBlock block)>;

} // namespace hourloom
