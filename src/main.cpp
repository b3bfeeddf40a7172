#include "agent/HourloomOSXApp.h"
#include "core/Configuration.h"
#include "core/Log.h"
#include "platform/LinuxApplicationServices.h"
#include "platform/desktops/gnome/GnomeExtensionInstaller.h"
#include "platform/services/browser/BrowserBridgeInstaller.h"
#include "platform/services/browser/BrowserBridgeStatus.h"
#include "platform/services/lifecycle/DesktopQuitFilter.h"
#include "platform/services/lifecycle/SingleInstance.h"
#include "platform/services/lifecycle/UnixSignalWatcher.h"
#include "ui/PanelWork.h"
#include "ui/StatusItem.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSystemTrayIcon>
#include <QTextStream>

#include <qcoro/qcorotask.h>

#include <cstdlib>

using namespace hourloom;

namespace {

// The host and the packed extension ship beside the agent, with the unpacked extension whose
// manifest names the version.
BrowserBridgeInstaller bridgeInstallerForUser()
{
    const QString folder = QCoreApplication::applicationDirPath();
    std::optional<BrowserBridgeInstaller::Package> package;
    QFile manifest(folder + QStringLiteral("/browser-extension/manifest.json"));
    const QString crx = folder + QStringLiteral("/hourloom-browser-bridge.crx");
    if (QFileInfo::exists(crx) && manifest.open(QIODevice::ReadOnly))
        package = BrowserBridgeInstaller::Package{crx, QJsonDocument::fromJson(manifest.readAll()).object().value(QStringLiteral("version")).toString()};
    return BrowserBridgeInstaller::forUser(folder + QStringLiteral("/hourloom-browser-host"), package);
}

// Registers the native host (and, where the browser takes one, the packed extension) with every
// browser profile folder of this user, and says what is left to do by hand.
int installBrowserBridge(QTextStream &out, QTextStream &err)
{
    const QString folder = QCoreApplication::applicationDirPath();
    QStringList failures;
    const auto written = bridgeInstallerForUser().install(&failures);
    for (const auto &change : written)
        out << "Registered the browser bridge with " << change.family->appNames.first() << ": " << change.path << "\n";
    for (const auto &failed : failures)
        err << "Could not write the browser bridge's files into " << failed << "\n";
    if (written.isEmpty() && failures.isEmpty())
        out << "No browser profile folder found; start your browser once and run this again.\n";
    out << "\nChromium installs the extension at its next start. Other browsers:\n"
        << "  Chrome, Brave, Edge, Vivaldi, Opera: open chrome://extensions, turn on Developer mode and drop\n"
        << "    " << QDir::toNativeSeparators(folder + QStringLiteral("/hourloom-browser-bridge.crx"))
        << " on the page (or \"Load unpacked\" the folder browser-extension beside it).\n"
        << "  Firefox ESR: see \"Browser bridge\" in the README (an enterprise policy installs the extension).\n"
        << "Check with: hourloom --browser-bridge-status. Private windows are never reported.\n";
    return failures.isEmpty() ? 0 : 1;
}

int uninstallBrowserBridge(QTextStream &out)
{
    const auto removed = bridgeInstallerForUser().uninstall();
    for (const auto &change : removed)
        out << "Removed " << change.path << "\n";
    if (removed.isEmpty())
        out << "The browser bridge was not registered with any browser.\n";
    out << "Remove the extension from your browser's extensions page.\n";
    return 0;
}

int browserBridgeStatus(QTextStream &out)
{
    const auto statuses = BrowserBridgeStatus::of(bridgeInstallerForUser(), BrowserStateStore());
    for (const auto &status : statuses)
        out << status.describe() << "\n";
    if (statuses.isEmpty())
        out << "No browser profile folder found.\n";
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Hourloom"));
    QApplication::setApplicationName(QStringLiteral("Hourloom"));
    QApplication::setApplicationVersion(Configuration::shortVersion().value_or(QString()));
    QGuiApplication::setDesktopFileName(QStringLiteral("hourloom"));
    // The agent lives in the tray: closing its panel never ends it.
    QApplication::setQuitOnLastWindowClosed(false);

    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption install(QStringLiteral("install-browser-bridge"),
                                     QStringLiteral("Register the browser bridge with this user's browsers."));
    const QCommandLineOption uninstall(QStringLiteral("uninstall-browser-bridge"),
                                       QStringLiteral("Remove what --install-browser-bridge wrote."));
    const QCommandLineOption status(QStringLiteral("browser-bridge-status"),
                                    QStringLiteral("Say, per browser, whether the browser bridge is installed and reporting."));
    const QCommandLineOption installGnome(QStringLiteral("install-gnome-extension"),
                                          QStringLiteral("Install and enable the GNOME Shell extension that tells Hourloom which application has the focus."));
    // The desktop entry's command: whoever starts Hourloom from the applications wants to see it,
    // also where no tray icon shows it runs. The login's autostart leaves it closed.
    const QCommandLineOption openPanel(QStringLiteral("open-panel"), QStringLiteral("Open the panel once started."));
    parser.addOption(openPanel);
    parser.addOption(install);
    parser.addOption(uninstall);
    parser.addOption(status);
    parser.addOption(installGnome);
    parser.process(application);

    QTextStream out(stdout);
    QTextStream err(stderr);
    if (parser.isSet(install))
        return installBrowserBridge(out, err);
    if (parser.isSet(uninstall))
        return uninstallBrowserBridge(out);
    if (parser.isSet(status))
        return browserBridgeStatus(out);
    if (parser.isSet(installGnome))
        return GnomeExtensionInstaller(QCoreApplication::applicationDirPath()).install(out, err) ? 0 : 1;

    // Two agents would track and upload the same time twice: a second start opens the panel of
    // the one that runs, as a desktop application's second launch shows its window.
    SingleInstance instance;
    if (!instance.isRunningAgent()) {
        instance.askRunningAgentToOpenPanel(qgetenv("XDG_ACTIVATION_TOKEN"));
        logLine(lcAgent, QStringLiteral("Hourloom is already running"));
        return 0;
    }

    HourloomOSXApp::readConfigurationInConstructionOrder();
    const std::unique_ptr<HourloomOSXApp> app = QCoro::waitFor(HourloomOSXApp::make(linuxApplicationServices(NotificationCenter::workspaceCenter())));

    // Ctrl-C, SIGTERM, SIGHUP and the session manager's "die" end the agent the ordinary way,
    // after the final upload; a second signal while that upload hangs ends it at once. Either
    // way the ended sessions are in the outbox by then: the termination writes it before it
    // first waits for anything.
    const UnixSignalWatcher signalWatcher([&app](int signal) {
        if (app->appDelegate->isTerminating())
            std::_Exit(128 + signal);
        app->appDelegate->requestTermination();
    });
    new DesktopQuitFilter(&application, *app->appDelegate);

    // Qt sees a tray where an XEmbed tray runs (X11) or a StatusNotifierWatcher is on the session
    // bus. Without one at start (GNOME without an AppIndicator extension) the panel is an ordinary
    // window for this run, and starting Hourloom again from the applications opens it.
    const bool trayAvailable = QSystemTrayIcon::isSystemTrayAvailable();
    StatusItem statusItem(app->isMenuPresented, app->userActivityController, *app->updaterController, *app->appDelegate, systemOpenURL(),
                          trayAvailable ? MenuPanel::Placement::besideTrayIcon : MenuPanel::Placement::ordinaryWindow);
    if (!trayAvailable)
        logLine(lcAgent, QStringLiteral("No system tray on this desktop: Hourloom tracks without its icon"));
    statusItem.show();
    if (parser.isSet(openPanel))
        statusItem.openPanel();
    instance.onOpenPanelRequested([&statusItem](const QByteArray &activationToken) { statusItem.openPanel(activationToken); });
    const int exitCode = application.exec();
    // A log-out chosen while the agent was quitting ends first: ending under it would leave the
    // access token stored.
    QCoro::waitFor(statusItem.work().logOutFinished());
    return exitCode;
}
