#include "PlatformBackend.h"

#include "BackendAttempt.h"
#include "platform/desktops/gnome/GnomeBackend.h"
#include "platform/desktops/kde/KdeBackend.h"
#include "platform/desktops/unsupported/UnsupportedDesktop.h"
#include "platform/desktops/wlroots/WlrootsBackend.h"
#include "platform/desktops/x11/X11Backend.h"

#include <QTextStream>

namespace hourloom {
namespace {

bool isWaylandSession(const QProcessEnvironment &environment)
{
    return environment.value(QStringLiteral("XDG_SESSION_TYPE")) == QLatin1String("wayland")
        || !environment.value(QStringLiteral("WAYLAND_DISPLAY")).isEmpty();
}

QString sessionKind(const QProcessEnvironment &environment)
{
    if (isWaylandSession(environment))
        return QStringLiteral("a Wayland session");
    if (!environment.value(QStringLiteral("DISPLAY")).isEmpty())
        return QStringLiteral("an X11 session");
    return QStringLiteral("no display");
}

} // namespace

std::vector<PlatformBackend::Candidate> PlatformBackend::candidatesFor(const QProcessEnvironment &environment)
{
    if (isWaylandSession(environment))
        return {{QStringLiteral("GNOME Shell"), startGnomeBackend},
                {QStringLiteral("KDE"), startKdeBackend},
                {QStringLiteral("wlroots"), startWlrootsBackend}};
    return {{QStringLiteral("X11"), startX11Backend}};
}

PlatformBackend PlatformBackend::choose(const std::vector<Candidate> &candidates, NotificationCenter &activations,
                                        const QProcessEnvironment &environment)
{
    QTextStream out(stdout);
    for (const Candidate &candidate : candidates) {
        BackendAttempt attempt = candidate.start(activations, environment);
        if (!attempt.backend) {
            out << "The " << candidate.name << " backend cannot start: " << attempt.whyNot << "\n";
            continue;
        }
        if (!attempt.backend->eventSource || !attempt.backend->eventTracker) {
            // Idleness that could be seen but never ended would stop tracking for good: without
            // both the idle seconds and the first input, the user never counts as idle.
            out << attempt.whyNoIdle << ": idle time is not detected\n";
            attempt.backend->eventSource = std::make_shared<NeverIdleSource>();
            attempt.backend->eventTracker = std::make_shared<NoInputMonitor>();
        }
        return *attempt.backend;
    }
    out << "This desktop is not supported yet (" << sessionKind(environment)
        << "): Hourloom cannot see the frontmost application or idle time here\n";
    return {std::make_shared<NoFrontmostWorkspace>(), std::make_shared<NeverIdleSource>(), std::make_shared<NoInputMonitor>()};
}

PlatformBackend PlatformBackend::forDesktop(NotificationCenter &activations, const QProcessEnvironment &environment)
{
    return choose(candidatesFor(environment), activations, environment);
}

} // namespace hourloom
