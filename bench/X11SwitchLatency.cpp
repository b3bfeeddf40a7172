// Measures, on a private Xvfb + openbox desktop, how long an activation takes to reach
// handleAppSwitch through the X11 workspace, and how often the process wakes up while nothing
// happens. Usage: x11_switch_latency [switches] [idle seconds]
#include "platform/desktops/entries/DesktopEntryIndex.h"
#include "platform/desktops/unsupported/UnsupportedDesktop.h"
#include "platform/desktops/x11/X11Connection.h"
#include "platform/desktops/x11/X11Workspace.h"

#include "support/XDesktop.h"

#include "SwitchMeasurement.h"

#include <QCoreApplication>

#include <cstdio>

using namespace hourloom;
using hourloom::test::XDesktop;

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
    const int switches = argc > 1 ? std::atoi(argv[1]) : 200;
    const int idleSeconds = argc > 2 ? std::atoi(argv[2]) : 30;

    XDesktop desktop;
    if (!desktop.error().isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(desktop.error()));
        return 1;
    }
    // Two different applications: windows of one application are no switch.
    const QStringList windows{
        desktop.openWindow(QStringLiteral("xterm"), {}, QStringLiteral("XTerm")),
        desktop.openWindow(QStringLiteral("xlogo"), {QStringLiteral("-xrm"), QStringLiteral("*input: true")}, QStringLiteral("XLogo")),
    };
    auto connection = X11Connection::open(desktop.display().toUtf8());
    auto activator = X11Connection::open(desktop.display().toUtf8());
    if (windows.contains(QString()) || !connection || !activator) {
        std::fprintf(stderr, "could not open the test windows\n");
        return 1;
    }

    NotificationCenter center;
    auto workspace = std::make_shared<X11Workspace>(connection, DesktopEntryIndex::fromSystem(), center);
    const auto controller = bench::trackSwitches(center, workspace, std::make_shared<NoInputMonitor>());

    const bool measured = bench::measureSwitches(*controller, switches, [&](int i) { requestActivation(*activator, windows[i % 2].toUInt()); });
    if (!measured)
        return 1;
    // Nothing to do: the loop should sleep in poll() the whole time.
    bench::measureIdle(idleSeconds);
    return 0;
}
