#include "GnomeBackend.h"

#include "GnomeExtensionInstaller.h"
#include "GnomeWorkspace.h"
#include "MutterIdleMonitor.h"
#include "MutterIdleSource.h"
#include "MutterInputMonitor.h"

#include "core/DesktopSetupHint.h"
#include "core/Log.h"
#include "platform/desktops/dbus/SessionBus.h"

#include <QDBusConnectionInterface>

namespace hourloom {
namespace {

// Tells the user, each time the extension is found missing, the one command that enables it.
void showExtensionState(bool running)
{
    if (running) {
        DesktopSetupHint::shared().setText({});
        return;
    }
    const QString command = GnomeExtensionInstaller::command();
    logLine(lcDesktop, QStringLiteral("GNOME Shell's Hourloom extension is not running, so no application is tracked; enable it with: ") + command);
    DesktopSetupHint::shared().setText(QStringLiteral("To track applications on GNOME, run: %1").arg(command));
}

} // namespace

BackendAttempt startGnomeBackend(NotificationCenter &activations, const QProcessEnvironment &environment)
{
    QDBusConnection bus = sessionBusOf(environment);
    if (!bus.isConnected() || !bus.interface())
        return BackendAttempt::refused(QStringLiteral("no session bus"));
    if (!bus.interface()->isServiceRegistered(QStringLiteral("org.gnome.Shell")))
        return BackendAttempt::refused(QStringLiteral("GNOME Shell is not on the session bus"));

    auto workspace = std::make_shared<GnomeWorkspace>(bus, DesktopEntryIndex::fromSystem(), activations);
    workspace->onExtensionRunningChanged(showExtensionState);
    if (!workspace->isExtensionRunning())
        showExtensionState(false);

    if (!bus.interface()->isServiceRegistered(MutterIdleMonitor::service))
        return BackendAttempt::withoutIdle(workspace, QStringLiteral("GNOME Shell offers no idle monitor"));
    return BackendAttempt::started({workspace, std::make_shared<MutterIdleSource>(bus), std::make_shared<MutterInputMonitor>(bus)});
}

} // namespace hourloom
