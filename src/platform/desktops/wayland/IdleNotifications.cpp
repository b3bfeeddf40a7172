#include "IdleNotifications.h"

#include "core/Clock.h"

#include <vector>

namespace hourloom {
namespace {

// The kinds a return from idleness may have been; the first one a monitor asks for is the one it
// is told of.
constexpr InputEventType inputKinds[] = {InputEventType::keyDown, InputEventType::mouseMoved, InputEventType::scrollWheel,
                                         InputEventType::beginGesture};

std::optional<InputEventType> kindFor(std::uint64_t mask)
{
    for (const InputEventType kind : inputKinds) {
        if (mask & eventMask(kind))
            return kind;
    }
    return std::nullopt;
}

} // namespace

IdleNotifications::IdleNotifications(double thresholdSeconds)
    : threshold_(thresholdSeconds)
{
}

double IdleNotifications::secondsSinceLastEventType(int, std::uint32_t) const
{
    if (!idleSince_)
        return 0;
    return threshold_ + std::max(0.0, Clock::monotonic() - *idleSince_);
}

std::optional<MonitorToken> IdleNotifications::addGlobalMonitorForEvents(std::uint64_t mask, Handler handler)
{
    if (lost_)
        return std::nullopt;
    const MonitorToken token = nextToken_++;
    monitors_.emplace(token, std::make_pair(mask, std::move(handler)));
    return token;
}

void IdleNotifications::removeMonitor(MonitorToken token)
{
    monitors_.erase(token);
}

void IdleNotifications::idled()
{
    if (!lost_ && !idleSince_)
        idleSince_ = Clock::monotonic();
}

void IdleNotifications::resumed()
{
    if (!idleSince_)
        return;
    idleSince_.reset();
    // A handler may remove its own monitor (or all of them): call a snapshot.
    std::vector<std::pair<InputEventType, Handler>> calls;
    for (const auto &[token, monitor] : monitors_) {
        if (const std::optional<InputEventType> kind = kindFor(monitor.first))
            calls.emplace_back(*kind, monitor.second);
    }
    for (const auto &[kind, handler] : calls)
        handler(InputEvent{kind});
}

void IdleNotifications::lost()
{
    lost_ = true;
    idleSince_.reset();
    monitors_.clear();
}

} // namespace hourloom
