// Measures, on a private headless KWin, how long a focus command takes to reach handleAppSwitch
// through the script-fed KDE workspace, and how often the process wakes up while nothing happens
// with KWin's idle notice armed. Usage: kwin_switch_latency [switches] [idle seconds]
#include "core/Configuration.h"
#include "platform/desktops/entries/DesktopEntryIndex.h"
#include "platform/desktops/kde/KWinWorkspace.h"
#include "platform/desktops/wayland/WaylandConnection.h"
#include "platform/desktops/wayland/WaylandIdleNotifier.h"
#include "tracking/IdleTimeTracker.h"

#include "support/KWinDesktop.h"

#include "SwitchMeasurement.h"

#include <QCoreApplication>

#include <cstdio>

using namespace hourloom;
using hourloom::test::KWinDesktop;

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    const int switches = argc > 1 ? std::atoi(argv[1]) : 200;
    const int idleSeconds = argc > 2 ? std::atoi(argv[2]) : 60;

    KWinDesktop kwin;
    if (!kwin.error().isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(kwin.error()));
        return 1;
    }
    // Two different applications: windows of one application are no switch.
    const QStringList windows{QStringLiteral("bench-one"), QStringLiteral("bench-two")};
    for (const QString &window : windows) {
        if (!kwin.openWaylandWindow(window)) {
            std::fprintf(stderr, "could not open the test windows\n");
            return 1;
        }
    }

    NotificationCenter center;
    QString whyNot;
    const auto workspace = KWinWorkspace::start(kwin.bus(), DesktopEntryIndex::fromSystem(), center, &whyNot);
    const auto connection = WaylandConnection::open(kwin.clientEnvironment());
    const auto idleNotifier = connection ? WaylandIdleNotifier::watch(connection, Configuration::minIdleTime()) : nullptr;
    if (!workspace || !idleNotifier) {
        std::fprintf(stderr, "no KWin script or idle notices: %s\n", qPrintable(whyNot));
        return 1;
    }
    IdleTimeTracker::eventSource = idleNotifier;
    const auto controller = bench::trackSwitches(center, workspace, idleNotifier);

    // A focus command on KWin is a one-shot script that sets the active window (there is no
    // other way for a client to ask): loading, starting and running it are part of each figure.
    QStringList focusScripts;
    if (!bench::measureSwitches(*controller, switches, [&](int i) { focusScripts << kwin.requestActivation(windows[i % 2]); }))
        return 1;
    for (const QString &script : focusScripts)
        kwin.unloadScript(script);
    // Nothing to do: the loop should sleep in poll() the whole time, but for KWin's idle notice
    // once MIN_IDLE_TIME has passed without input.
    std::printf("idle notice after %.0f s without input (%s)\n", idleNotifier->thresholdSeconds(), qPrintable(idleNotifier->protocol()));
    bench::measureIdle(idleSeconds);
    std::printf("user idle at the end: %s\n", idleNotifier->isIdle() ? "yes" : "no");
    controller->appSwitchTracker()->stopObserving();
    IdleTimeTracker::eventSource.reset();
    return 0;
}
