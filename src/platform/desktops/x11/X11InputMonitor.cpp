#include "X11InputMonitor.h"

#include "XcbReply.h"

#include <xcb/xinput.h>


namespace hourloom {
namespace {

constexpr uint16_t allMasterDevices = XCB_INPUT_DEVICE_ALL_MASTER;

constexpr uint32_t bit(int eventType)
{
    return uint32_t{1} << eventType;
}

} // namespace

X11InputMonitor::X11InputMonitor(std::shared_ptr<X11Connection> connection)
    : connection_(std::move(connection))
{
    xcb_connection_t *c = connection_->connection();
    const xcb_query_extension_reply_t *extension = xcb_get_extension_data(c, &xcb_input_id);
    if (!extension || !extension->present)
        return;
    // Raw events are only sent to clients that announced XInput 2 support; asking for 2.4 also
    // enables gesture events where the server has them.
    const XcbReply<xcb_input_xi_query_version_reply_t> version(
        xcb_input_xi_query_version_reply(c, xcb_input_xi_query_version(c, 2, 4), nullptr));
    if (!version)
        return;
    if (version->major_version >= 2 && (version->major_version > 2 || version->minor_version >= 2)) {
        opcode_ = extension->major_opcode;
        hasGestures_ = version->major_version > 2 || version->minor_version >= 4;
    }
    if (!isAvailable())
        return;
    loadModifierKeys();
    connection_->addEventHandler([this](const xcb_generic_event_t &event) { handle(event); });
    connection_->handleQueuedEventsSoon();
}

void X11InputMonitor::loadModifierKeys()
{
    xcb_connection_t *c = connection_->connection();
    const XcbReply<xcb_get_modifier_mapping_reply_t> mapping(xcb_get_modifier_mapping_reply(c, xcb_get_modifier_mapping(c), nullptr));
    if (!mapping)
        return;
    const xcb_keycode_t *keycodes = xcb_get_modifier_mapping_keycodes(mapping.get());
    for (int i = 0; i < xcb_get_modifier_mapping_keycodes_length(mapping.get()); ++i) {
        if (keycodes[i] != 0)
            modifierKeys_.insert(keycodes[i]);
    }
}

std::optional<MonitorToken> X11InputMonitor::addGlobalMonitorForEvents(std::uint64_t mask, Handler handler)
{
    if (!isAvailable() || !connection_->isAlive())
        return std::nullopt;
    const MonitorToken token = nextToken_++;
    monitors_.emplace(token, std::make_pair(mask, std::move(handler)));
    if (monitors_.size() == 1)
        selectEvents(true);
    return token;
}

void X11InputMonitor::removeMonitor(MonitorToken token)
{
    if (monitors_.erase(token) && monitors_.empty())
        selectEvents(false);
}

void X11InputMonitor::selectEvents(bool on)
{
    if (!connection_->isAlive())
        return;
    // Raw events only flow while some monitor wants them: an idle desktop costs no wake-ups.
    const uint32_t raw = XCB_INPUT_XI_EVENT_MASK_RAW_MOTION | XCB_INPUT_XI_EVENT_MASK_RAW_KEY_PRESS | XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_PRESS;
    // A gesture's begin, update and end are selected together. Some servers announce XInput 2.4
    // and still refuse gestures on the root window: then raw events alone.
    const uint32_t gestures = bit(XCB_INPUT_GESTURE_PINCH_BEGIN) | bit(XCB_INPUT_GESTURE_PINCH_UPDATE) | bit(XCB_INPUT_GESTURE_PINCH_END)
        | bit(XCB_INPUT_GESTURE_SWIPE_BEGIN) | bit(XCB_INPUT_GESTURE_SWIPE_UPDATE) | bit(XCB_INPUT_GESTURE_SWIPE_END);
    if (on && hasGestures_ && select(raw | gestures))
        return;
    hasGestures_ = hasGestures_ && !on;
    select(on ? raw : 0);
}

bool X11InputMonitor::select(uint32_t mask)
{
    struct {
        xcb_input_event_mask_t head;
        uint32_t mask;
    } selection{{allMasterDevices, 1}, mask};
    xcb_connection_t *c = connection_->connection();
    const XcbReply<xcb_generic_error_t> error(xcb_request_check(c, xcb_input_xi_select_events_checked(c, connection_->root(), 1, &selection.head)));
    connection_->handleQueuedEventsSoon();
    return error == nullptr;
}

std::optional<InputEventType> X11InputMonitor::classify(const xcb_generic_event_t &event) const
{
    if ((event.response_type & 0x7F) != XCB_GE_GENERIC)
        return std::nullopt;
    const auto &generic = reinterpret_cast<const xcb_ge_generic_event_t &>(event);
    if (generic.extension != opcode_)
        return std::nullopt;
    switch (generic.event_type) {
    case XCB_INPUT_RAW_MOTION:
        return InputEventType::mouseMoved;
    case XCB_INPUT_RAW_KEY_PRESS: {
        const auto &key = reinterpret_cast<const xcb_input_raw_key_press_event_t &>(event);
        if (modifierKeys_.contains(key.detail))
            return std::nullopt;
        return InputEventType::keyDown;
    }
    case XCB_INPUT_RAW_BUTTON_PRESS: {
        const auto &button = reinterpret_cast<const xcb_input_raw_button_press_event_t &>(event);
        if (button.detail >= 4 && button.detail <= 7)
            return InputEventType::scrollWheel;
        return std::nullopt;
    }
    case XCB_INPUT_GESTURE_PINCH_BEGIN:
    case XCB_INPUT_GESTURE_SWIPE_BEGIN:
        return InputEventType::beginGesture;
    default:
        return std::nullopt;
    }
}

void X11InputMonitor::handle(const xcb_generic_event_t &event)
{
    const std::optional<InputEventType> type = classify(event);
    if (!type)
        return;
    // A handler may remove its own monitor (or all of them): call a snapshot.
    std::vector<Handler> handlers;
    for (const auto &[token, monitor] : monitors_) {
        if (monitor.first & eventMask(*type))
            handlers.push_back(monitor.second);
    }
    const InputEvent input{*type};
    for (const Handler &handler : handlers)
        handler(input);
}

} // namespace hourloom
