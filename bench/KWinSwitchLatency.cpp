// Measures, on a private headless KWin, how long a focus command takes to reach handleAppSwitch
// through the script-fed KDE workspace, and how often the process wakes up while nothing happens
// with KWin's idle notice armed. Usage: kwin_switch_latency [switches] [idle seconds]

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
    // A focus command on KWin is a one-shot script that sets the active window (there is no
    // other way for a client to ask): loading, starting and running it are part of each figure.
    QStringList focusScripts;
    return bench::measureDesktop(
        kwin, figures, [&](const test::TestWindow &window) { focusScripts << kwin.runScript(QStringLiteral("activateWindow(\"%1\");").arg(window.handle)); },
        [&](const PlatformBackend &) {
            for (const QString &script : focusScripts)
                kwin.unloadScript(script);
        });
}
