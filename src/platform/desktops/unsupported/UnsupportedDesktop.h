#pragma once

#include "core/ports/EventSourceProtocol.h"
#include "core/ports/EventTrackerProtocol.h"
#include "core/ports/WorkspaceProtocol.h"

namespace hourloom {

// Stand-ins for a desktop whose frontmost application and idle time cannot be read: no
// application is ever frontmost, the user is never idle, and no input can be monitored.
class NoFrontmostWorkspace final : public WorkspaceProtocol {
public:
    std::optional<RunningApplication> frontmostApplication() const override { return std::nullopt; }
};

class NeverIdleSource final : public EventSourceProtocol {
public:
    double secondsSinceLastEventType(int, std::uint32_t) const override { return 0; }
};

class NoInputMonitor final : public EventTrackerProtocol {
public:
    std::optional<MonitorToken> addGlobalMonitorForEvents(std::uint64_t, Handler) override { return std::nullopt; }
    void removeMonitor(MonitorToken) override {}
};

} // namespace hourloom
