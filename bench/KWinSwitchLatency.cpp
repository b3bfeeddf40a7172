// Measures, on a private headless KWin, how long a focus command takes to reach handleAppSwitch
// through the script-fed KDE workspace, and how often the process wakes up while nothing happens
// with KWin's idle notice armed. Usage: kwin_switch_latency [switches] [idle seconds]
#include "core/Configuration.h"
#include "platform/desktops/wayland/WaylandIdleNotifier.h"
#include "tracking/IdleTimeTracker.h"

#include "support/KWinDesktop.h"

#include "SwitchMeasurement.h"

using namespace hourloom;
using hourloom::test::KWinDesktop;

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    const bench::Figures figures = bench::figuresFrom(argc, argv, 60);
    KWinDesktop kwin;
    if (!bench::isUp(kwin))
        return 1;

    NotificationCenter center;
    const PlatformBackend services = kwin.services(center, Configuration::minIdleTime());
    const auto idleNotifier = std::dynamic_pointer_cast<WaylandIdleNotifier>(services.eventSource);
    if (!services.workspace || !idleNotifier) {
        std::fprintf(stderr, "no KWin script or idle notices\n");
        return 1;
    }
    const auto controller = bench::trackSwitches(center, services);

    // A focus command on KWin is a one-shot script that sets the active window (there is no
    // other way for a client to ask): loading, starting and running it are part of each figure.
    QStringList focusScripts;
    if (!bench::measureSwitches(*controller, figures.switches, [&](int i) { focusScripts << kwin.requestActivation(kwin.windows()[1 + i % 2].handle); }))
        return 1;
    for (const QString &script : focusScripts)
        kwin.unloadScript(script);
    // Nothing to do: the loop should sleep in poll() the whole time, but for KWin's idle notice
    // once MIN_IDLE_TIME has passed without input.
    std::printf("idle notice after %.0f s without input (%s)\n", idleNotifier->thresholdSeconds(), qPrintable(idleNotifier->protocol()));
    bench::measureIdle(figures.idleSeconds);
    std::printf("user idle at the end: %s\n", idleNotifier->isIdle() ? "yes" : "no");
    controller->appSwitchTracker()->stopObserving();
    IdleTimeTracker::eventSource.reset();
    return 0;
}
