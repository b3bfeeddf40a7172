#include "Clock.h"

#include <chrono>

namespace hourloom {
namespace {

Clock::Source &source()
{
    static Clock::Source current;
    return current;
}

Clock::MonotonicSource &monotonicSource()
{
    static Clock::MonotonicSource current;
    return current;
}

} // namespace

QDateTime Clock::now()
{
    const Source &current = source();
    return current ? current() : QDateTime::currentDateTime();
}

double Clock::monotonic()
{
    if (const MonotonicSource &current = monotonicSource())
        return current();
    if (const Source &wall = source())
        return double(wall().toMSecsSinceEpoch()) / 1000.0;
    // CLOCK_MONOTONIC, which Qt's timers use too: it does not count time spent suspended.
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

Clock::Override::Override(Source replacement, MonotonicSource monotonic)
    : previous_(std::exchange(source(), std::move(replacement)))
    , previousMonotonic_(std::exchange(monotonicSource(), std::move(monotonic)))
{
}

Clock::Override::~Override()
{
    source() = std::move(previous_);
    monotonicSource() = std::move(previousMonotonic_);
}

} // namespace hourloom
