#include "X11Backend.h"

#include "X11Connection.h"
#include "X11IdleSource.h"
#include "X11InputMonitor.h"
#include "X11Workspace.h"

#include "platform/desktop/DesktopEntryIndex.h"
#include "platform/unsupported/UnsupportedDesktop.h"

#include <QTextStream>

namespace hourloom {

BackendAttempt startX11Backend(NotificationCenter &activations, const QProcessEnvironment &environment)
{
    const QString display = environment.value(QStringLiteral("DISPLAY"));
    if (display.isEmpty())
        return BackendAttempt::refused(QStringLiteral("no X display"));
    const auto connection = X11Connection::open(display.toLocal8Bit());
    if (!connection)
        return BackendAttempt::refused(QStringLiteral("cannot connect to the X display ") + display);

    PlatformBackend backend{std::make_shared<X11Workspace>(connection, DesktopEntryIndex::fromSystem(), activations),
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
    return {backend, {}};
}

} // namespace hourloom
