#include "WlrootsBackend.h"

#include "WlrootsWorkspace.h"

#include "core/Configuration.h"
#include "platform/desktops/entries/DesktopEntryIndex.h"
#include "platform/desktops/wayland/WaylandConnection.h"
#include "platform/desktops/wayland/WaylandIdleNotifier.h"

namespace hourloom {

BackendAttempt startWlrootsBackend(NotificationCenter &activations, const QProcessEnvironment &environment)
{
    const std::optional<QString> socket = WaylandConnection::socketPath(environment);
    if (!socket)
        return BackendAttempt::refused(QStringLiteral("no Wayland display"));
    const auto connection = WaylandConnection::open(environment);
    if (!connection)
        return BackendAttempt::refused(QStringLiteral("cannot connect to the Wayland display ") + *socket);
    auto workspace = WlrootsWorkspace::watch(connection, DesktopEntryIndex::fromSystem(), activations);
    if (!workspace)
        return BackendAttempt::refused(QStringLiteral("the compositor offers no zwlr_foreign_toplevel_manager_v1"));

    // The compositor says when the user has been away for the idle threshold: the notice is
    // asked for at exactly the time the idle poll compares with.
    auto idle = WaylandIdleNotifier::watch(connection, Configuration::minIdleTime());
    if (!idle)
        return BackendAttempt::withoutIdle(std::move(workspace),
                                           QStringLiteral("The compositor offers neither ext_idle_notifier_v1 nor org_kde_kwin_idle"));
    return BackendAttempt::started({std::move(workspace), idle, idle});
}

} // namespace hourloom
