// Web sessions from Debian's Firefox ESR, headful on a private X desktop, with the extension
// installed the way an administrator gives it: the package's enterprise policy (ExtensionSettings
// pointing at the XPI, signatures not required) in the distribution folder of the Firefox that
// runs. That folder is the system's, so the test runs a private copy of the ESR's program beside
// links to the rest of /usr/lib/firefox-esr, with its own distribution/policies.json.
#include "platform/services/browser/BrowserBridgeInstaller.h"
#include "platform/services/browser/BrowserBridgeStatus.h"

#include "support/BrowserProcess.h"
#include "support/BrowserTour.h"

#include <QDir>

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

class FirefoxBridge : public BrowserTour {
protected:
    FirefoxBridge()
        : BrowserTour("^firefox-esr$", WindowFacts{"Navigator", "firefox-esr", std::nullopt, std::nullopt})
    {
    }
};

} // namespace

TEST_F(FirefoxBridge, InstalledByPolicyFollowsSitesWindowsPrivateWindowsAndLongURLs)
{
    ASSERT_TRUE(QFileInfo::exists(systemFirefox + "/firefox-esr")) << "Debian's firefox-esr package is not installed";
    const QString firefoxFolder = root.filePath("firefox-esr");
    ASSERT_TRUE(makeFirefoxWithPolicies(firefoxFolder, FIREFOX_POLICIES));
    ASSERT_TRUE(QDir().mkpath(home() + "/.mozilla"));
    const BrowserBridgeInstaller installer(BROWSER_HOST, home(), home() + "/.config");
    ASSERT_EQ(installer.install().size(), 1);
    const QString profile = home() + "/.mozilla/firefox/test.default-esr";
    ASSERT_TRUE(QDir().mkpath(profile));
    QFile preferences(profile + "/user.js");
    ASSERT_TRUE(preferences.open(QIODevice::WriteOnly));
    preferences.write(userPreferences());
    preferences.close();

    auto environment = BrowserTour::environment();
    environment.insert("MOZ_CRASHREPORTER_DISABLE", "1");
    BrowserProcess firefox(environment);
    ASSERT_TRUE(firefox.start(firefoxFolder + "/firefox-esr", {"-no-remote", "-profile", profile, server.pageURL("alpha.test")}));
    ASSERT_TRUE(XDesktop::spinUntil([&] { return showsDomain("alpha.test"); }, 90000))
        << "no web session for the first page: the policy did not install the extension or it does not report";
    // Firefox writes its list of extensions a moment after it installs one.
    const QString expectedStatus = "Firefox: host manifest ~/.mozilla/native-messaging-hosts/org.hourloom.browser_bridge.json; "
                                   "extension installed; reporting now";
    QString status;
    EXPECT_TRUE(XDesktop::spinUntil([&] {
        const auto statuses = BrowserBridgeStatus::of(installer, *store);
        status = statuses.size() == 1 ? statuses.first().describe().replace(home(), "~") : QString();
        return status == expectedStatus;
    }, 30000)) << status.toStdString();

    ASSERT_NO_FATAL_FAILURE(navigateAcrossSites());
    // A second window: its new-tab page has no domain; then a site typed into it. Then the
    // first window again, and the second.
    const QStringList firstWindows = windows();
    ASSERT_EQ(firstWindows.size(), 1);
    ASSERT_TRUE(desktop.activate(firstWindows.first()));
    ASSERT_TRUE(desktop.xdotool({"key", "--clearmodifiers", "ctrl+n"}));
    ASSERT_TRUE(XDesktop::spinUntil([&] { return windows().size() == 2; }, 30000));
    ASSERT_TRUE(XDesktop::spinUntil([&] { return !appSession->activeWebSession(); }, 30000)) << "the new-tab page kept the web session";
    const QString secondWindow = windowBesides(firstWindows);
    ASSERT_TRUE(desktop.xdotool({"key", "--clearmodifiers", "ctrl+l"}));
    ASSERT_TRUE(desktop.xdotool({"type", "--delay", "20", server.pageURL("gamma.test")}));
    ASSERT_TRUE(desktop.xdotool({"key", "Return"}));
    ASSERT_TRUE(XDesktop::spinUntil([&] { return showsDomain("gamma.test"); }, 30000));
    ASSERT_NO_FATAL_FAILURE(activateInTurn({{firstWindows.first(), "alpha.test"}, {secondWindow, "gamma.test"}}));
    ASSERT_NO_FATAL_FAILURE(privateWindowInFront([&] { return desktop.xdotool({"key", "--clearmodifiers", "ctrl+shift+p"}); }, firstWindows.first()));

    // The new-tab page was a pause too.
    expectTheToursWebSessions({4});
    closedBrowserLeavesTheSessionOpen([&] { firefox.close(); }, "firefox");
    reportLatencies("Firefox");
}
