// Measures, on a private Xvfb + openbox desktop, how long an activation takes to reach
// handleAppSwitch through the X11 workspace, and how often the process wakes up while nothing
// happens. Usage: x11_switch_latency [switches] [idle seconds]
#include "platform/desktops/x11/X11Connection.h"

#include "support/X11Driver.h"

#include "SwitchMeasurement.h"

using namespace hourloom;
using hourloom::test::X11Driver;

namespace {

// What the window manager receives from `xdotool windowactivate`.
void requestActivation(X11Connection &connection, xcb_window_t window)
{
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = connection.atom("_NET_ACTIVE_WINDOW");
    message.data.data32[0] = 2; // from a pager: the window manager obeys at once
    message.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(connection.connection(), 0, connection.root(),
                   XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT, reinterpret_cast<const char *>(&message));
    xcb_flush(connection.connection());
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    const bench::Figures figures = bench::figuresFrom(argc, argv, 30);
    X11Driver desktop;
    const auto activator = X11Connection::open(desktop.desktop().display().toUtf8());
    if (!bench::isUp(desktop) || !activator)
        return 1;
    return bench::measureDesktop(desktop, figures, [&](const test::TestWindow &window) { requestActivation(*activator, window.handle.toUInt()); });
}
