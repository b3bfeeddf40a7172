// Measures, on a private headless sway, how long a focus command takes to reach handleAppSwitch
// through the wlroots workspace, and how often the process wakes up while nothing happens with
// the compositor's idle notice armed. Usage: wlroots_switch_latency [switches] [idle seconds]

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
    return bench::measureDesktop(sway, figures, [&](const test::TestWindow &window) { requestFocus(ipc, window.handle); });
}
