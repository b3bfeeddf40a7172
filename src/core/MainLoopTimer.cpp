#include "MainLoopTimer.h"

#include <chrono>
#include <cmath>

namespace hourloom {

MainLoopTimer::MainLoopTimer(double interval, bool repeats, TimerBlock block)
    : timer_(new QTimer)
    , block_(std::move(block))
{
    timer_->setSingleShot(!repeats);
    timer_->setTimerType(Qt::CoarseTimer);
    const auto milliseconds = std::chrono::milliseconds(std::llround(std::max(0.0, interval) * 1000.0));
    timer_->setInterval(milliseconds);
    QObject::connect(timer_, &QTimer::timeout, timer_, [this] {
        // A copy, because the block may drop the last reference to this timer while it runs.
        const TimerBlock block = block_;
        block(*this);
    });
    timer_->start();
}

MainLoopTimer::~MainLoopTimer()
{
    // The destructor may run inside the timer's own timeout; delete it once that returns.
    if (timer_) {
        timer_->stop();
        timer_->disconnect();
        timer_->deleteLater();
    }
}

void MainLoopTimer::invalidate()
{
    if (timer_)
        timer_->stop();
}

bool MainLoopTimer::isValid() const
{
    return timer_ && timer_->isActive();
}

TimerProvider MainLoopTimer::provider()
{
    return [](double interval, bool repeats, TimerBlock block) -> std::shared_ptr<TimerProtocol> {
        return std::make_shared<MainLoopTimer>(interval, repeats, std::move(block));
    };
}

} // namespace hourloom
