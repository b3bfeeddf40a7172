#include "KdeBackend.h"

#include "KWinWorkspace.h"

#include "app/Configuration.h"
#include "platform/desktop/DesktopEntryIndex.h"
#include "platform/SessionBus.h"
#include "platform/unsupported/UnsupportedDesktop.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandIdleNotifier.h"

#include <QTextStream>

namespace hourloom {

BackendAttempt startKdeBackend(NotificationCenter &activations, const QProcessEnvironment &environment)
{
    QString whyNot;
    auto workspace = KWinWorkspace::start(sessionBusOf(environment), DesktopEntryIndex::fromSystem(), activations, &whyNot);
    if (!workspace)
        return BackendAttempt::refused(whyNot);

    PlatformBackend backend{workspace, std::make_shared<NeverIdleSource>(), std::make_shared<NoInputMonitor>()};
    const auto connection = WaylandConnection::open(environment);
    if (auto idle = connection ? WaylandIdleNotifier::watch(connection, Configuration::minIdleTime()) : nullptr) {
        backend.eventSource = idle;
        backend.eventTracker = idle;
    } else {
        // Without the notices the user never counts as idle, rather than idle for good.
        QTextStream(stdout) << "KWin offers no idle notices here: idle time is not detected\n";
    }
    return {backend, {}};
}

} // namespace hourloom
