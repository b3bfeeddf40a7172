// Web sessions from a real browser: Debian's Chromium, headful on a private X desktop, with the
// extension installed the way users get it (the packed extension listed for the user, no
// developer mode, no --load-extension) and the real native host; a page server on loopback under
// several host names; the web session controller polling through the bridge.
#include "model/AppSession.h"
#include "platform/services/browser/BridgeScriptLibrary.h"
#include "platform/services/browser/BrowserBridgeInstaller.h"
#include "platform/services/browser/BrowserBridgeStatus.h"
#include "platform/desktops/entries/DesktopEntryIndex.h"
#include "platform/services/errors/StandardErrorLogger.h"
#include "tracking/WebAppleScriptGenerator.h"
#include "tracking/WebSessionController.h"

#include "support/BrowserProcess.h"
#include "support/BrowserTour.h"
#include "support/NavigationServer.h"
#include "support/WebSessionChecks.h"
#include "support/XDesktop.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

using namespace hourloom;
using namespace hourloom::test;

namespace {

// Debian's Chromium. Later starts with the same profile hand their arguments to the running
// browser and end, as a user's second start does.
class Chromium {
public:
    Chromium(QProcessEnvironment environment, QStringList arguments)
        : environment_(std::move(environment))
        , arguments_(std::move(arguments))
        , process_(environment_)
    {
    }

    static QString program() { return QStandardPaths::findExecutable("chromium"); }
    bool start(const QString &url) { return process_.start(program(), arguments_ + QStringList{url}); }
    void close() { process_.close(); }

    // Asks the running browser to open a window.
    bool open(const QStringList &arguments)
    {
        QProcess second;
        second.setProcessEnvironment(environment_);
        second.setStandardOutputFile(QProcess::nullDevice());
        second.setStandardErrorFile(QProcess::nullDevice());
        second.start(program(), arguments_ + arguments);
        if (!second.waitForFinished(30000)) {
            second.kill();
            second.waitForFinished(5000);
            return false;
        }
        return second.exitCode() == 0;
    }

private:
    QProcessEnvironment environment_;
    QStringList arguments_;
    BrowserProcess process_;
};

QString extensionVersion()
{
    QFile manifest(QStringLiteral(EXTENSION_DIR "/manifest.json"));
    manifest.open(QIODevice::ReadOnly);
    return QJsonDocument::fromJson(manifest.readAll()).object().value("version").toString();
}

} // namespace

TEST(ChromiumBridge, InstalledWithoutDeveloperModeFollowsSitesWindowsPrivateWindowsAndLongURLs)
{
    ASSERT_FALSE(Chromium::program().isEmpty()) << "Debian's chromium package is not installed";
    XDesktop desktop;
    ASSERT_TRUE(desktop.error().isEmpty()) << desktop.error().toStdString();
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    NavigationServer server;
    ASSERT_TRUE(server.isListening());

    // The user has run Chromium once (its profile folder exists), then installs the bridge.
    const QString home = root.path() + "/home";
    const QString configHome = home + "/.config";
    ASSERT_TRUE(QDir().mkpath(configHome + "/chromium"));
    const BrowserBridgeInstaller installer(BROWSER_HOST, home, configHome,
                                           BrowserBridgeInstaller::Package{EXTENSION_CRX, extensionVersion()});
    QStringList written;
    for (const auto &change : installer.install())
        written << change.path.mid(configHome.size());
    ASSERT_EQ(written, (QStringList{"/chromium/NativeMessagingHosts/org.hourloom.browser_bridge.json",
                                    "/chromium/External Extensions/okihekkoebjlnigcbcnmijblamopopak.json"}));

    // As on a logged-in desktop, the runtime folder exists (0700) before anything runs.
    ASSERT_TRUE(QDir().mkdir(root.path() + "/run", QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
    const auto store = std::make_shared<BrowserStateStore>(root.path() + "/run/hourloom/browser");

    // The application as the desktop names Chromium's windows.
    const DesktopEntryIndex desktopEntries = DesktopEntryIndex::fromSystem();
    const DesktopEntry *entry = desktopEntries.find(WindowFacts{"chromium", "Chromium", std::nullopt, std::nullopt});
    ASSERT_NE(entry, nullptr);
    const auto appSession = std::make_shared<AppSession>(entry->name, entry->id);
    auto controller = std::make_shared<WebSessionController>(appSession, WebScriptingPlatform{BridgeScriptLibrary::type(store), StandardErrorLogger::shared()});
    controller->scriptCache = std::make_shared<WebScriptCache>();
    // Every page in this test is shown briefly; keep them all.
    controller->minWebSessionDuration = 0;
    controller->startPolling();
    const int poll = int(controller->webPollingInterval * 1000);

    auto environment = QProcessEnvironment::systemEnvironment();
    environment.insert("HOME", home);
    environment.insert("XDG_CONFIG_HOME", configHome);
    environment.insert("XDG_CACHE_HOME", root.path() + "/cache");
    environment.insert("XDG_RUNTIME_DIR", root.path() + "/run");
    environment.insert("DISPLAY", desktop.display());
    QStringList arguments{"--no-first-run", "--no-default-browser-check", "--disable-gpu", "--disable-background-networking",
                          "--disable-component-update", "--disable-sync", "--password-store=basic",
                          "--host-resolver-rules=MAP *.test 127.0.0.1"};
    if (::geteuid() == 0)
        arguments.prepend("--no-sandbox");
    Chromium chromium(environment, arguments);
    ASSERT_TRUE(chromium.start(server.pageURL("alpha.test")));
    ASSERT_TRUE(XDesktop::spinUntil([&] { return showsDomain(*appSession, "alpha.test"); }, 90000))
        << "no web session for the first page: the extension was not installed or does not report";
    EXPECT_TRUE(QFileInfo(configHome + "/chromium/Default/Extensions/okihekkoebjlnigcbcnmijblamopopak").isDir());
    const auto statuses = BrowserBridgeStatus::of(installer, *store);
    ASSERT_FALSE(statuses.isEmpty());
    EXPECT_EQ(statuses.first().describe().replace(configHome, "~/.config"),
              "Chromium: host manifest ~/.config/chromium/NativeMessagingHosts/org.hourloom.browser_bridge.json; extension installed; "
              "reporting now");

    // Navigation between sites; an internationalised host; a long address, whose domain counts.
    BrowserTour tour(desktop, server, *appSession, "^chromium$");
    ASSERT_NO_FATAL_FAILURE(tour.navigateAcrossSites());

    // A second window in front, then the first again: the web session follows the focus.
    const QStringList firstWindows = tour.windows();
    ASSERT_EQ(firstWindows.size(), 1);
    ASSERT_TRUE(chromium.open({"--new-window", server.pageURL("gamma.test")}));
    ASSERT_TRUE(XDesktop::spinUntil([&] { return showsDomain(*appSession, "gamma.test"); }, 30000));
    const QString secondWindow = tour.windowBesides(firstWindows);
    ASSERT_FALSE(secondWindow.isEmpty());
    ASSERT_NO_FATAL_FAILURE(tour.activateInTurn({{firstWindows.first(), "alpha.test"}, {secondWindow, "gamma.test"}}));

    // A private window in front: the web session ends and nothing of the private page is kept.
    const qsizetype sessionsBeforePrivate = appSession->webSessions().size();
    ASSERT_TRUE(chromium.open({"--incognito", server.pageURL("secret.test")}));
    ASSERT_TRUE(XDesktop::spinUntil([&] { return !appSession->activeWebSession(); }, 30000)) << "the private window did not end the web session";
    XDesktop::spinFor(poll + 500);
    EXPECT_EQ(appSession->webSessions().size(), sessionsBeforePrivate);
    for (const QString &name : QDir(store->directory()).entryList(QDir::Files)) {
        QFile state(store->directory() + "/" + name);
        ASSERT_TRUE(state.open(QIODevice::ReadOnly));
        EXPECT_FALSE(state.readAll().contains("secret")) << name.toStdString();
    }
    ASSERT_TRUE(desktop.activate(firstWindows.first()));
    ASSERT_TRUE(XDesktop::spinUntil([&] { return showsDomain(*appSession, "alpha.test"); }, 30000));

    EXPECT_EQ(domainsOf(*appSession), (QStringList{"alpha.test", "beta.test", QStringLiteral("b\u00fccher.test"), "alpha.test",
                                                 "gamma.test", "alpha.test", "gamma.test", "alpha.test*"}));
    // One after another without gaps, but for the time in the private window.
    bool inOrder = false;
    EXPECT_EQ(gapsBetween(*appSession, &inOrder), QList<qsizetype>{sessionsBeforePrivate});
    EXPECT_TRUE(inOrder);

    // Closed browser: the host has gone with its state, and with no value the open web session
    // simply continues.
    const qsizetype sessionCount = appSession->webSessions().size();
    chromium.close();
    ASSERT_TRUE(XDesktop::spinUntil([&] { return !store->current("chromium").has_value(); }));
    XDesktop::spinFor(poll + 500);
    EXPECT_EQ(appSession->webSessions().size(), sessionCount);
    EXPECT_TRUE(appSession->webSessions().last()->isActive());

    tour.reportLatencies("Chromium", poll);
}
