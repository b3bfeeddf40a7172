#pragma once

#include "X11Connection.h"
#include "core/ports/EventTrackerProtocol.h"

#include <map>
#include <set>

namespace hourloom {

// Global input monitors over XInput 2 raw events on the root window, which arrive whichever window
// has the input. Mouse moved = raw motion; key down = raw press of a key that is not a modifier;
// scroll wheel = raw press of buttons 4 to 7; begin gesture = a pinch or swipe beginning where the
// server has XInput 2.4. A click without motion and a key release are not input of any monitored
// kind; change mode has no X11 event.
class X11InputMonitor final : public EventTrackerProtocol {
public:
    explicit X11InputMonitor(std::shared_ptr<X11Connection> connection);

    bool isAvailable() const { return opcode_ != 0; }
    std::optional<MonitorToken> addGlobalMonitorForEvents(std::uint64_t mask, Handler handler) override;
    void removeMonitor(MonitorToken token) override;

private:
    void handle(const xcb_generic_event_t &event);
    std::optional<InputEventType> classify(const xcb_generic_event_t &event) const;
    void selectEvents(bool on);
    bool select(uint32_t mask);
    void loadModifierKeys();

    std::shared_ptr<X11Connection> connection_;
    uint8_t opcode_ = 0;
    bool hasGestures_ = false;
    std::set<uint32_t> modifierKeys_;
    std::map<MonitorToken, std::pair<std::uint64_t, Handler>> monitors_;
    MonitorToken nextToken_ = 1;
};

} // namespace hourloom
