#include "FakeTimer.h"

namespace hourloom::test {

FakeTimer::FakeTimer(double interval, bool repeats, TimerBlock block)
    : interval(interval)
    , repeats(repeats)
    , block_(std::move(block))
{
}

void FakeTimer::fire()
{
    if (!valid_)
        return;
    if (!repeats)
        valid_ = false;
    const TimerBlock block = block_;
    block(*this);
}

TimerProvider FakeTimerProvider::provider()
{
    return [this](double interval, bool repeats, TimerBlock block) -> std::shared_ptr<TimerProtocol> {
        auto timer = std::make_shared<FakeTimer>(interval, repeats, std::move(block));
        timers_.push_back(timer);
        return timer;
    };
}

} // namespace hourloom::test
