// Web sessions from Debian's Firefox ESR, headful on a private X desktop, with the extension
// installed the way an administrator gives it: the package's enterprise policy (ExtensionSettings
// pointing at the XPI, signatures not required) in the distribution folder of the Firefox that
// runs. That folder is the system's, so the test runs a private copy of the ESR's program beside
// links to the rest of /usr/lib/firefox-esr, with its own distribution/policies.json.
#include "model/AppSession.h"
#include "platform/services/browser/BridgeScriptLibrary.h"
#include "platform/services/browser/BrowserBridgeInstaller.h"
#include "platform/services/browser/BrowserBridgeStatus.h"
#include "platform/desktops/entries/DesktopEntryIndex.h"
#include "platform/services/errors/StandardErrorLogger.h"
#include "tracking/WebSessionController.h"

#include "support/BrowserProcess.h"
#include "support/BrowserTour.h"
#include "support/NavigationServer.h"
#include "support/WebSessionChecks.h"
#include "support/XDesktop.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace hourloom;
using namespace hourloom::test;

namespace {

const QString systemFirefox = QStringLiteral("/usr/lib/firefox-esr");

// /usr/lib/firefox-esr with the policies of this test: the program is copied (Firefox finds its
// folder from its own executable), everything else linked.
bool makeFirefoxWithPolicies(const QString &folder, const QString &policies)
{
    if (!QDir().mkpath(folder + "/distribution") || !QFile::copy(policies, folder + "/distribution/policies.json"))
        return false;
    for (const QString &name : QDir(systemFirefox).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System)) {
        const bool made = name == "firefox-esr" ? QFile::copy(systemFirefox + "/" + name, folder + "/" + name)
                                                : name == "distribution" || QFile::link(systemFirefox + "/" + name, folder + "/" + name);
        if (!made)
            return false;
    }
    return true;
}

// Quiet first start, no network of its own; the test's host names resolve to this machine.
QByteArray userPreferences()
{
    return "user_pref(\"browser.shell.checkDefaultBrowser\", false);\n"
           "user_pref(\"browser.aboutwelcome.enabled\", false);\n"
           "user_pref(\"browser.startup.homepage_override.mstone\", \"ignore\");\n"
           "user_pref(\"datareporting.policy.dataSubmissionEnabled\", false);\n"
           "user_pref(\"toolkit.telemetry.reportingpolicy.firstRun\", false);\n"
           "user_pref(\"app.update.disabledForTesting\", true);\n"
           "user_pref(\"browser.tabs.warnOnClose\", false);\n"
           "user_pref(\"dom.security.https_first\", false);\n"
           "user_pref(\"dom.security.https_first_schemeless\", false);\n"
           "user_pref(\"network.proxy.type\", 0);\n"
           "user_pref(\"network.dns.localDomains\", \"alpha.test,beta.test,gamma.test,xn--bcher-kva.test\");\n";
}

} // namespace

TEST(FirefoxBridge, InstalledByPolicyFollowsSitesWindowsPrivateWindowsAndLongURLs)
{
    ASSERT_TRUE(QFileInfo::exists(systemFirefox + "/firefox-esr")) << "Debian's firefox-esr package is not installed";
    XDesktop desktop;
    ASSERT_TRUE(desktop.error().isEmpty()) << desktop.error().toStdString();
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    NavigationServer server;
    ASSERT_TRUE(server.isListening());

    const QString firefoxFolder = root.path() + "/firefox-esr";
    ASSERT_TRUE(makeFirefoxWithPolicies(firefoxFolder, FIREFOX_POLICIES));
    const QString home = root.path() + "/home";
    ASSERT_TRUE(QDir().mkpath(home + "/.mozilla"));
    const BrowserBridgeInstaller installer(BROWSER_HOST, home, home + "/.config");
    ASSERT_EQ(installer.install().size(), 1);
    const QString profile = home + "/.mozilla/firefox/test.default-esr";
    ASSERT_TRUE(QDir().mkpath(profile));
    QFile preferences(profile + "/user.js");
    ASSERT_TRUE(preferences.open(QIODevice::WriteOnly));
    preferences.write(userPreferences());
    preferences.close();

    ASSERT_TRUE(QDir().mkdir(root.path() + "/run", QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
    const auto store = std::make_shared<BrowserStateStore>(root.path() + "/run/hourloom/browser");
    const DesktopEntryIndex desktopEntries = DesktopEntryIndex::fromSystem();
    const DesktopEntry *entry = desktopEntries.find(WindowFacts{"Navigator", "firefox-esr", std::nullopt, std::nullopt});
    ASSERT_NE(entry, nullptr);
    const auto appSession = std::make_shared<AppSession>(entry->name, entry->id);
    auto controller = std::make_shared<WebSessionController>(appSession, WebScriptingPlatform{BridgeScriptLibrary::type(store), StandardErrorLogger::shared()});
    controller->scriptCache = std::make_shared<WebScriptCache>();
    controller->minWebSessionDuration = 0;
    controller->startPolling();
    const int poll = int(controller->webPollingInterval * 1000);

    auto environment = QProcessEnvironment::systemEnvironment();
    environment.insert("HOME", home);
    environment.insert("XDG_CONFIG_HOME", home + "/.config");
    environment.insert("XDG_CACHE_HOME", root.path() + "/cache");
    environment.insert("XDG_RUNTIME_DIR", root.path() + "/run");
    environment.insert("DISPLAY", desktop.display());
    environment.insert("MOZ_CRASHREPORTER_DISABLE", "1");
    BrowserProcess firefox(environment);
    ASSERT_TRUE(firefox.start(firefoxFolder + "/firefox-esr", {"-no-remote", "-profile", profile, server.pageURL("alpha.test")}));
    ASSERT_TRUE(XDesktop::spinUntil([&] { return showsDomain(*appSession, "alpha.test"); }, 90000))
        << "no web session for the first page: the policy did not install the extension or it does not report";
    // Firefox writes its list of extensions a moment after it installs one.
    const QString expectedStatus = "Firefox: host manifest ~/.mozilla/native-messaging-hosts/org.hourloom.browser_bridge.json; "
                                   "extension installed; reporting now";
    QString status;
    EXPECT_TRUE(XDesktop::spinUntil([&] {
        const auto statuses = BrowserBridgeStatus::of(installer, *store);
        status = statuses.size() == 1 ? statuses.first().describe().replace(home, "~") : QString();
        return status == expectedStatus;
    }, 30000)) << status.toStdString();

    BrowserTour tour(desktop, server, *appSession, "^firefox-esr$");
    ASSERT_NO_FATAL_FAILURE(tour.navigateAcrossSites());

    // A second window: its new-tab page has no domain; then a site typed into it. Then the
    // first window again, and the second.
    const QStringList firstWindows = tour.windows();
    ASSERT_EQ(firstWindows.size(), 1);
    ASSERT_TRUE(desktop.activate(firstWindows.first()));
    ASSERT_TRUE(desktop.xdotool({"key", "--clearmodifiers", "ctrl+n"}));
    ASSERT_TRUE(XDesktop::spinUntil([&] { return tour.windows().size() == 2; }, 30000));
    ASSERT_TRUE(XDesktop::spinUntil([&] { return !appSession->activeWebSession(); }, 30000)) << "the new-tab page kept the web session";
    const QString secondWindow = tour.windowBesides(firstWindows);
    ASSERT_TRUE(desktop.xdotool({"key", "--clearmodifiers", "ctrl+l"}));
    ASSERT_TRUE(desktop.xdotool({"type", "--delay", "20", server.pageURL("gamma.test")}));
    ASSERT_TRUE(desktop.xdotool({"key", "Return"}));
    ASSERT_TRUE(XDesktop::spinUntil([&] { return showsDomain(*appSession, "gamma.test"); }, 30000));
    ASSERT_NO_FATAL_FAILURE(tour.activateInTurn({{firstWindows.first(), "alpha.test"}, {secondWindow, "gamma.test"}}));

    // A private window in front: the web session ends.
    const qsizetype sessionsBeforePrivate = appSession->webSessions().size();
    ASSERT_TRUE(desktop.xdotool({"key", "--clearmodifiers", "ctrl+shift+p"}));
    ASSERT_TRUE(XDesktop::spinUntil([&] { return !appSession->activeWebSession(); }, 30000)) << "the private window did not end the web session";
    XDesktop::spinFor(poll + 500);
    EXPECT_EQ(appSession->webSessions().size(), sessionsBeforePrivate);
    ASSERT_TRUE(desktop.activate(firstWindows.first()));
    ASSERT_TRUE(XDesktop::spinUntil([&] { return showsDomain(*appSession, "alpha.test"); }, 30000));

    EXPECT_EQ(domainsOf(*appSession), (QStringList{"alpha.test", "beta.test", QStringLiteral("b\u00fccher.test"), "alpha.test",
                                                 "gamma.test", "alpha.test", "gamma.test", "alpha.test*"}));
    // One after another: gaps only for the new-tab page and the private window.
    bool inOrder = false;
    EXPECT_EQ(gapsBetween(*appSession, &inOrder), (QList<qsizetype>{4, sessionsBeforePrivate}));
    EXPECT_TRUE(inOrder);

    const qsizetype sessionCount = appSession->webSessions().size();
    firefox.close();
    ASSERT_TRUE(XDesktop::spinUntil([&] { return !store->current("firefox").has_value(); }));
    XDesktop::spinFor(poll + 500);
    EXPECT_EQ(appSession->webSessions().size(), sessionCount);
    EXPECT_TRUE(appSession->webSessions().last()->isActive());

    tour.reportLatencies("Firefox", poll);
}
