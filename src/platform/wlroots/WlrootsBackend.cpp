#include "WlrootsBackend.h"

#include "WlrootsWorkspace.h"

#include "app/Configuration.h"
#include "platform/desktop/DesktopEntryIndex.h"
#include "platform/unsupported/UnsupportedDesktop.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandIdleNotifier.h"

#include <QTextStream>

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

    PlatformBackend backend{std::move(workspace), nullptr, nullptr};
    // The compositor says when the user has been away for the idle threshold: the notice is
    // asked for at exactly the time the idle poll compares with.
    if (auto idle = WaylandIdleNotifier::watch(connection, Configuration::minIdleTime())) {
        backend.eventSource = idle;
        backend.eventTracker = idle;
    } else {
        // Idleness that could be seen but never ended would stop tracking for good.
        QTextStream(stdout) << "The compositor offers neither ext_idle_notifier_v1 nor org_kde_kwin_idle: idle time is not detected\n";
        backend.eventSource = std::make_shared<NeverIdleSource>();
        backend.eventTracker = std::make_shared<NoInputMonitor>();
    }
    return {backend, {}};
}

} // namespace hourloom
