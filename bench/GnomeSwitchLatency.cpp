// Measures, on a private headless GNOME Shell with the agent's extension, how long a focus change
// takes to reach handleAppSwitch through the GNOME workspace, and how often the process wakes up
// while nothing happens (idle input monitor armed as while the user is away).
// Usage: gnome_switch_latency [switches] [idle seconds]
#include "platform/desktops/gnome/GnomeShellExtension.h"

#include "support/GnomeShell.h"

#include "SwitchMeasurement.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>

using namespace hourloom;
using hourloom::test::GnomeShell;

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    const bench::Figures figures = bench::figuresFrom(argc, argv, 60);
    GnomeShell shell;
    if (!bench::isUp(shell))
        return 1;
    return bench::measureDesktop(
        shell, figures,
        [&](const test::TestWindow &window) {
            // The extension's test method focuses the window as a click on it would.
            QDBusMessage focus = QDBusMessage::createMethodCall(GnomeShellExtension::busName, GnomeShellExtension::objectPath,
                                                                GnomeShellExtension::interface + QStringLiteral(".Testing"), QStringLiteral("Activate"));
            focus << window.handle;
            QDBusConnection::sessionBus().asyncCall(focus);
        },
        // While the user is away the agent holds Mutter's user-active watch and nothing else.
        [](const PlatformBackend &services) { services.eventTracker->addGlobalMonitorForEvents(IdleTimeController::resumeEventMask, [](const InputEvent &) {}); });
}
