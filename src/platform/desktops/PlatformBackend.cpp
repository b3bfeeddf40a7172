#include "PlatformBackend.h"

#include "BackendAttempt.h"
#include "core/Log.h"
#include "platform/desktops/gnome/GnomeBackend.h"
#include "platform/desktops/kde/KdeBackend.h"
#include "platform/desktops/unsupported/UnsupportedDesktop.h"
#include "platform/desktops/wlroots/WlrootsBackend.h"
#include "platform/desktops/x11/X11Backend.h"

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
    for (const Candidate &candidate : candidates) {
        qCDebug(lcDesktop).noquote() << "trying the" << candidate.name << "backend";
        BackendAttempt attempt = candidate.start(activations, environment);
        if (!attempt.backend) {
            logLine(lcDesktop, QStringLiteral("The %1 backend cannot start: %2").arg(candidate.name, attempt.whyNot));
            continue;
        }
        qCDebug(lcDesktop).noquote() << "the" << candidate.name << "backend serves this desktop";
        if (!attempt.backend->eventSource || !attempt.backend->eventTracker) {
            // Idleness that could be seen but never ended would stop tracking for good: without
            // both the idle seconds and the first input, the user never counts as idle.
            logLine(lcDesktop, attempt.whyNoIdle + QStringLiteral(": idle time is not detected"));
            attempt.backend->eventSource = std::make_shared<NeverIdleSource>();
            attempt.backend->eventTracker = std::make_shared<NoInputMonitor>();
        }
        return *attempt.backend;
    }
    logLine(lcDesktop, QStringLiteral("This desktop is not supported yet (%1): Hourloom cannot see the frontmost application or idle time here")
                           .arg(sessionKind(environment)));
    return {std::make_shared<NoFrontmostWorkspace>(), std::make_shared<NeverIdleSource>(), std::make_shared<NoInputMonitor>()};
}

PlatformBackend PlatformBackend::forDesktop(NotificationCenter &activations, const QProcessEnvironment &environment)
{
    return choose(candidatesFor(environment), activations, environment);
}

} // namespace hourloom
