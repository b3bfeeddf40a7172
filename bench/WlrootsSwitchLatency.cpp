// Measures, on a private headless sway, how long a focus command takes to reach handleAppSwitch
// through the wlroots workspace, and how often the process wakes up while nothing happens with
// the compositor's idle notice armed. Usage: wlroots_switch_latency [switches] [idle seconds]
#include "core/Configuration.h"
#include "platform/desktops/wayland/WaylandIdleNotifier.h"
#include "tracking/IdleTimeTracker.h"

#include "support/SwayDesktop.h"

#include "SwitchMeasurement.h"

#include <QLocalSocket>

using namespace hourloom;
using hourloom::test::SwayDesktop;

namespace {

// What `swaymsg '[app_id="^ID$"] focus'` sends, over sway's IPC socket: no process is started
// per switch, so the figure is the compositor's and the agent's alone.
void requestFocus(QLocalSocket &ipc, const QString &appId)
{
    const QByteArray command = QStringLiteral("[app_id=\"^%1$\"] focus").arg(appId).toUtf8();
    const quint32 header[2] = {quint32(command.size()), 0}; // length, RUN_COMMAND
    QByteArray message("i3-ipc");
    message.append(reinterpret_cast<const char *>(header), sizeof header);
    ipc.write(message + command);
    ipc.flush();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    const bench::Figures figures = bench::figuresFrom(argc, argv, 60);
    SwayDesktop sway;
    if (!bench::isUp(sway))
        return 1;
    QLocalSocket ipc;
    ipc.connectToServer(sway.clientEnvironment().value(QStringLiteral("SWAYSOCK")));
    if (!ipc.waitForConnected(5000)) {
        std::fprintf(stderr, "could not connect to sway\n");
        return 1;
    }
    // The answers to the commands are not needed: read and drop them.
    QObject::connect(&ipc, &QLocalSocket::readyRead, &ipc, [&] { ipc.readAll(); });

    NotificationCenter center;
    const PlatformBackend services = sway.services(center, Configuration::minIdleTime());
    const auto idleNotifier = std::dynamic_pointer_cast<WaylandIdleNotifier>(services.eventSource);
    if (!services.workspace || !idleNotifier) {
        std::fprintf(stderr, "the compositor lacks the toplevel manager or idle notices\n");
        return 1;
    }
    const auto controller = bench::trackSwitches(center, services);
    if (!bench::measureSwitches(*controller, figures.switches, [&](int i) { requestFocus(ipc, sway.windows()[1 + i % 2].handle); }))
        return 1;
    // Nothing to do: the loop should sleep in poll() the whole time, but for the compositor's idle
    // notice once MIN_IDLE_TIME has passed without input.
    std::printf("idle notice after %.0f s without input (%s)\n", idleNotifier->thresholdSeconds(), qPrintable(idleNotifier->protocol()));
    bench::measureIdle(figures.idleSeconds);
    std::printf("user idle at the end: %s\n", idleNotifier->isIdle() ? "yes" : "no");
    controller->appSwitchTracker()->stopObserving();
    IdleTimeTracker::eventSource.reset();
    return 0;
}
