#pragma once

#include "core/ports/EventSourceProtocol.h"
#include "core/ports/EventTrackerProtocol.h"
#include "core/ports/WorkspaceProtocol.h"

#include <map>

namespace hourloom::test {

// Answers with whatever application the test made frontmost.
class FakeWorkspace final : public WorkspaceProtocol {
public:
    std::optional<RunningApplication> frontmost;
    std::optional<RunningApplication> frontmostApplication() const override { return frontmost; }
};

// Reports the idle seconds the test sets.
class FakeEventSource final : public EventSourceProtocol {
public:
    double idleSeconds = 0;
    double secondsSinceLastEventType(int, std::uint32_t) const override { return idleSeconds; }
};

// Keeps installed monitors so the test can deliver input to them.
class FakeEventTracker final : public EventTrackerProtocol {
public:
    std::optional<MonitorToken> addGlobalMonitorForEvents(std::uint64_t mask, Handler handler) override
    {
        const MonitorToken token = nextToken++;
        monitors[token] = {mask, std::move(handler)};
        return token;
    }
    void removeMonitor(MonitorToken token) override { monitors.erase(token); }

    // Delivers the event to every monitor whose mask holds its type.
    void deliver(InputEventType type)
    {
        auto current = monitors;
        for (auto &[token, monitor] : current) {
            if (monitor.first & eventMask(type))
                monitor.second(InputEvent{type});
        }
    }

    std::map<MonitorToken, std::pair<std::uint64_t, Handler>> monitors;
    MonitorToken nextToken = 1;
};

} // namespace hourloom::test
