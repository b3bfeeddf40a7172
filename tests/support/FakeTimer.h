#pragma once

#include "core/ports/TimerProtocol.h"

#include <memory>
#include <vector>

namespace hourloom::test {

// A timer that fires only when the test says so.
class FakeTimer final : public TimerProtocol {
public:
    FakeTimer(double interval, bool repeats, TimerBlock block)
        : interval(interval)
        , repeats(repeats)
        , block_(std::move(block))
    {
    }

    void invalidate() override { valid_ = false; }
    bool isValid() const override { return valid_; }

    // Runs the block once if the timer is still valid; a one-shot timer is then spent.
    void fire()
    {
        if (!valid_)
            return;
        valid_ = repeats;
        const TimerBlock block = block_; // the block may drop the timer's last owner
        block(*this);
    }

    const double interval;
    const bool repeats;

private:
    TimerBlock block_;
    bool valid_ = true;
};

// Hands out FakeTimers and remembers every one it made.
class FakeTimerProvider {
public:
    TimerProvider provider()
    {
        return [this](double interval, bool repeats, TimerBlock block) -> std::shared_ptr<TimerProtocol> {
            return timers_.emplace_back(std::make_shared<FakeTimer>(interval, repeats, std::move(block)));
        };
    }

    const std::vector<std::shared_ptr<FakeTimer>> &timers() const { return timers_; }
    std::shared_ptr<FakeTimer> last() const { return timers_.empty() ? nullptr : timers_.back(); }

private:
    std::vector<std::shared_ptr<FakeTimer>> timers_;
};

} // namespace hourloom::test
