#include "PlatformBackend.h"

#include "platform/desktop/DesktopEntryIndex.h"
#include "platform/unsupported/UnsupportedDesktop.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11IdleSource.h"
#include "platform/x11/X11InputMonitor.h"
#include "platform/x11/X11Workspace.h"

#include <QTextStream>

namespace hourloom {
namespace {

PlatformBackend unsupported(const QString &why)
{
    QTextStream(stdout) << "This desktop is not supported yet (" << why
                        << "): Hourloom cannot see the frontmost application or idle time here\n";
    return {std::make_shared<NoFrontmostWorkspace>(), std::make_shared<NeverIdleSource>(), std::make_shared<NoInputMonitor>()};
}

bool isWaylandSession(const QProcessEnvironment &environment)
{
    return environment.value(QStringLiteral("XDG_SESSION_TYPE")) == QLatin1String("wayland")
        || !environment.value(QStringLiteral("WAYLAND_DISPLAY")).isEmpty();
}

} // namespace

PlatformBackend PlatformBackend::forDesktop(NotificationCenter &workspaceCenter, const QProcessEnvironment &environment)
{
    if (isWaylandSession(environment))
        return unsupported(QStringLiteral("a Wayland session"));
    const QString display = environment.value(QStringLiteral("DISPLAY"));
    if (display.isEmpty())
        return unsupported(QStringLiteral("no X display"));
    const auto connection = X11Connection::open(display.toLocal8Bit());
    if (!connection)
        return unsupported(QStringLiteral("cannot connect to the X display ") + display);

    PlatformBackend backend{std::make_shared<X11Workspace>(connection, DesktopEntryIndex::fromSystem(), workspaceCenter),
                            nullptr, nullptr};
    auto idleSource = std::make_shared<X11IdleSource>(connection);
    auto inputMonitor = std::make_shared<X11InputMonitor>(connection);
    if (idleSource->isAvailable() && inputMonitor->isAvailable()) {
        backend.eventSource = idleSource;
        backend.eventTracker = inputMonitor;
    } else {
        // Idleness that could be seen but never ended would stop tracking for good: without both
        // extensions the user never counts as idle.
        QTextStream(stdout) << "The X server lacks MIT-SCREEN-SAVER or XInput 2: idle time is not detected\n";
        backend.eventSource = std::make_shared<NeverIdleSource>();
        backend.eventTracker = std::make_shared<NoInputMonitor>();
    }
    return backend;
}

} // namespace hourloom
