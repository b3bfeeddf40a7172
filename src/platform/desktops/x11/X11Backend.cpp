#include "X11Backend.h"

#include "X11Connection.h"
#include "X11IdleSource.h"
#include "X11InputMonitor.h"
#include "X11Workspace.h"

#include "platform/desktops/entries/DesktopEntryIndex.h"

namespace hourloom {

BackendAttempt startX11Backend(NotificationCenter &activations, const QProcessEnvironment &environment)
{
    const QString display = environment.value(QStringLiteral("DISPLAY"));
    if (display.isEmpty())
        return BackendAttempt::refused(QStringLiteral("no X display"));
    const auto connection = X11Connection::open(display.toLocal8Bit());
    if (!connection)
        return BackendAttempt::refused(QStringLiteral("cannot connect to the X display ") + display);

    auto workspace = std::make_shared<X11Workspace>(connection, DesktopEntryIndex::fromSystem(), activations);
    auto idleSource = std::make_shared<X11IdleSource>(connection);
    auto inputMonitor = std::make_shared<X11InputMonitor>(connection);
    if (!idleSource->isAvailable() || !inputMonitor->isAvailable())
        return BackendAttempt::withoutIdle(workspace, QStringLiteral("The X server lacks MIT-SCREEN-SAVER or XInput 2"));
    return BackendAttempt::started({workspace, idleSource, inputMonitor});
}

} // namespace hourloom
