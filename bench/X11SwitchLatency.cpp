// Measures, on a private Xvfb + openbox desktop, how long an activation takes to reach
// handleAppSwitch through the X11 workspace, and how often the process wakes up while nothing
// happens. Usage: x11_switch_latency [switches] [idle seconds]
#include "core/Configuration.h"
#include "platform/desktops/x11/X11Connection.h"
#include "tracking/IdleTimeTracker.h"

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

    NotificationCenter center;
    const auto controller = bench::trackSwitches(center, desktop.services(center, Configuration::minIdleTime()));
    if (!bench::measureSwitches(*controller, figures.switches,
                                [&](int i) { requestActivation(*activator, desktop.windows()[1 + i % 2].handle.toUInt()); }))
        return 1;
    // Nothing to do: the loop should sleep in poll() the whole time.
    bench::measureIdle(figures.idleSeconds);
    IdleTimeTracker::eventSource.reset();
    return 0;
}
