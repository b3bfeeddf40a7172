#include "KdeBackend.h"

#include "KWinWorkspace.h"

#include "core/Configuration.h"
#include "platform/desktops/entries/DesktopEntryIndex.h"
#include "platform/desktops/dbus/SessionBus.h"
#include "platform/desktops/wayland/WaylandConnection.h"
#include "platform/desktops/wayland/WaylandIdleNotifier.h"

namespace hourloom {

BackendAttempt startKdeBackend(NotificationCenter &activations, const QProcessEnvironment &environment)
{
    QString whyNot;
    auto workspace = KWinWorkspace::start(sessionBusOf(environment), DesktopEntryIndex::fromSystem(), activations, &whyNot);
    if (!workspace)
        return BackendAttempt::refused(whyNot);

    const auto connection = WaylandConnection::open(environment);
    auto idle = connection ? WaylandIdleNotifier::watch(connection, Configuration::minIdleTime()) : nullptr;
    if (!idle)
        return BackendAttempt::withoutIdle(workspace, QStringLiteral("KWin offers no idle notices here"));
    return BackendAttempt::started({workspace, idle, idle});
}

} // namespace hourloom
