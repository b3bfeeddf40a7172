#include "app/Configuration.h"
#include "platform/browser/BrowserBridgeInstaller.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QTextStream>

using namespace hourloom;

namespace {

// Registers the native host with every browser profile folder of this user and says how to
// load the extension; the host and the extension ship beside the agent.
int installBrowserBridge(QTextStream &out, QTextStream &err)
{
    const QString folder = QCoreApplication::applicationDirPath();
    const auto installer = BrowserBridgeInstaller::forUser(folder + QStringLiteral("/hourloom-browser-host"));
    QStringList failures;
    const auto written = installer.install(&failures);
    for (const auto &change : written)
        out << "Registered the browser bridge with " << change.family->appNames.first() << ": " << change.manifestPath << "\n";
    for (const auto &failed : failures)
        err << "Could not write the browser bridge's host manifest into " << failed << "\n";
    if (written.isEmpty() && failures.isEmpty())
        out << "No browser profile folder found; start your browser once and run this again.\n";
    out << "\nNow load the extension from " << QDir::toNativeSeparators(folder + QStringLiteral("/browser-extension")) << ":\n"
        << "  Chromium, Chrome, Brave, Edge, Vivaldi, Opera: open the extensions page (chrome://extensions),\n"
        << "    turn on Developer mode, choose \"Load unpacked\" and select that folder.\n"
        << "  Firefox: open about:debugging, \"This Firefox\", \"Load Temporary Add-on...\" and pick its manifest.json.\n"
        << "Private windows are never reported.\n";
    return failures.isEmpty() ? 0 : 1;
}

int uninstallBrowserBridge(QTextStream &out)
{
    const auto installer = BrowserBridgeInstaller::forUser(QCoreApplication::applicationDirPath() + QStringLiteral("/hourloom-browser-host"));
    const auto removed = installer.uninstall();
    for (const auto &change : removed)
        out << "Removed " << change.manifestPath << "\n";
    if (removed.isEmpty())
        out << "The browser bridge was not registered with any browser.\n";
    out << "Remove the extension from your browser's extensions page.\n";
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Hourloom"));
    QCoreApplication::setApplicationName(QStringLiteral("Hourloom"));

    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption install(QStringLiteral("install-browser-bridge"),
                                     QStringLiteral("Register the browser bridge with this user's browsers."));
    const QCommandLineOption uninstall(QStringLiteral("uninstall-browser-bridge"),
                                       QStringLiteral("Remove what --install-browser-bridge wrote."));
    parser.addOption(install);
    parser.addOption(uninstall);
    parser.process(application);

    QTextStream out(stdout);
    QTextStream err(stderr);
    if (parser.isSet(install))
        return installBrowserBridge(out, err);
    if (parser.isSet(uninstall))
        return uninstallBrowserBridge(out);

    // Reading the settings checks the configuration document the build ships with.
    out << "Hourloom " << Configuration::shortVersion().value_or(QStringLiteral("(no version)")) << " ("
        << Configuration::environment() << ", " << Configuration::rootURL().toString() << ")\n"
        << "The agent cannot track or upload yet: tracking, login and the tray arrive in later releases.\n";
    return 0;
}
