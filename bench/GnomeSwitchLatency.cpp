// Measures, on a private headless GNOME Shell with the agent's extension, how long a focus change
// takes to reach handleAppSwitch through the GNOME workspace, and how often the process wakes up
// while nothing happens (idle input monitor armed as while the user is away).
// Usage: gnome_switch_latency [switches] [idle seconds]
#include "platform/desktops/entries/DesktopEntryIndex.h"
#include "platform/desktops/gnome/GnomeShellExtension.h"
#include "platform/desktops/gnome/GnomeWorkspace.h"
#include "platform/desktops/gnome/MutterInputMonitor.h"
#include "platform/desktops/unsupported/UnsupportedDesktop.h"
#include "tracking/IdleTimeController.h"

#include "support/GnomeShell.h"

#include "SwitchMeasurement.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>

#include <cstdio>

using namespace hourloom;
using hourloom::test::GnomeShell;

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    const int switches = argc > 1 ? std::atoi(argv[1]) : 200;
    const int idleSeconds = argc > 2 ? std::atoi(argv[2]) : 60;

    GnomeShell shell(QStringLiteral(GNOME_EXTENSION_BUNDLE));
    if (!shell.error().isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(shell.error()));
        return 1;
    }
    // Two different applications: windows of one application are no switch.
    const QStringList windows{QStringLiteral("org.hourloom.BenchOne"), QStringLiteral("org.hourloom.BenchTwo")};
    for (const QString &window : windows) {
        if (!shell.openWaylandWindow(window)) {
            std::fprintf(stderr, "could not open the test windows\n");
            return 1;
        }
    }

    const QDBusConnection bus = QDBusConnection::sessionBus();
    NotificationCenter center;
    auto workspace = std::make_shared<GnomeWorkspace>(bus, DesktopEntryIndex::fromSystem(), center);
    const auto controller = bench::trackSwitches(center, workspace, std::make_shared<NoInputMonitor>());

    const bool measured = bench::measureSwitches(*controller, switches, [&](int i) {
        // The extension's test method focuses the window as a click on it would.
        QDBusMessage focus = QDBusMessage::createMethodCall(GnomeShellExtension::busName, GnomeShellExtension::objectPath,
                                                            GnomeShellExtension::interface + QStringLiteral(".Testing"), QStringLiteral("Activate"));
        focus << windows[i % 2];
        bus.asyncCall(focus);
    });
    if (!measured)
        return 1;
    // While the user is away the agent holds Mutter's user-active watch and nothing else.
    MutterInputMonitor monitor(bus);
    monitor.addGlobalMonitorForEvents(IdleTimeController::resumeEventMask, [](const InputEvent &) {});
    bench::measureIdle(idleSeconds);
    return 0;
}
