#pragma once

#include "core/ports/EventSourceProtocol.h"
#include "core/ports/EventTrackerProtocol.h"

#include <map>
#include <optional>

namespace hourloom {

// Idle seconds and the first input after them, from a compositor that only says "idle for the
// threshold now" and "input again". The idle seconds are the threshold plus the time since that
// notice (0 while the user is active); the input that ends idleness reaches every monitor whose
// mask holds an input kind. The compositor does not say which kind of input it was, so every
// return counts, a click alone included.
class IdleNotifications : public EventSourceProtocol, public EventTrackerProtocol {
public:
    explicit IdleNotifications(double thresholdSeconds);

    double thresholdSeconds() const { return threshold_; }
    bool isIdle() const { return idleSince_.has_value(); }

    double secondsSinceLastEventType(int sourceState, std::uint32_t eventType) const override;
    std::optional<MonitorToken> addGlobalMonitorForEvents(std::uint64_t mask, Handler handler) override;
    void removeMonitor(MonitorToken token) override;

protected:
    // What the compositor reports, on the main loop.
    void idled();
    void resumed();
    // The compositor is gone: never idle again, and no monitor can be served.
    void lost();

private:
    double threshold_;
    std::optional<double> idleSince_; // on the monotonic clock
    bool lost_ = false;
    std::map<MonitorToken, std::pair<std::uint64_t, Handler>> monitors_;
    MonitorToken nextToken_ = 1;
};

} // namespace hourloom
