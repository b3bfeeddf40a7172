#include "Clock.h"

namespace hourloom {
namespace {

Clock::Source &source()
{
    static Clock::Source current;
    return current;
}

} // namespace

QDateTime Clock::now()
{
    const Source &current = source();
    return current ? current() : QDateTime::currentDateTime();
}

Clock::Override::Override(Source replacement)
    : previous_(std::exchange(source(), std::move(replacement)))
{
}

Clock::Override::~Override()
{
    source() = std::move(previous_);
}

} // namespace hourloom
