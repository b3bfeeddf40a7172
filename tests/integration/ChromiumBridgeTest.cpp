// Web sessions from a real browser: Debian's Chromium, headful on a private X desktop, with the
// extension installed the way users get it (the packed extension listed for the user, no
// developer mode, no --load-extension) and the real native host; a page server on loopback under
// several host names; the web session controller polling through the bridge.
#include "platform/services/browser/BrowserBridgeInstaller.h"
#include "platform/services/browser/BrowserBridgeStatus.h"

#include "support/BrowserProcess.h"
#include "support/BrowserTour.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>

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
    EXPECT_TRUE(manifest.open(QIODevice::ReadOnly));
    return QJsonDocument::fromJson(manifest.readAll()).object().value("version").toString();
}

class ChromiumBridge : public BrowserTour {
protected:
    ChromiumBridge()
        : BrowserTour("^chromium$", WindowFacts{"chromium", "Chromium", std::nullopt, std::nullopt})
    {
    }
};

} // namespace

TEST_F(ChromiumBridge, InstalledWithoutDeveloperModeFollowsSitesWindowsPrivateWindowsAndLongURLs)
{
    ASSERT_FALSE(Chromium::program().isEmpty()) << "Debian's chromium package is not installed";
    // The user has run Chromium once (its profile folder exists), then installs the bridge.
    const QString configHome = home() + "/.config";
    ASSERT_TRUE(QDir().mkpath(configHome + "/chromium"));
    const BrowserBridgeInstaller installer(BROWSER_HOST, home(), configHome,
                                           BrowserBridgeInstaller::Package{EXTENSION_CRX, extensionVersion()});
    QStringList written;
    for (const auto &change : installer.install())
        written << change.path.mid(configHome.size());
    ASSERT_EQ(written, (QStringList{"/chromium/NativeMessagingHosts/org.hourloom.browser_bridge.json",
                                    "/chromium/External Extensions/okihekkoebjlnigcbcnmijblamopopak.json"}));

    QStringList arguments{"--no-first-run", "--no-default-browser-check", "--disable-gpu", "--disable-background-networking",
                          "--disable-component-update", "--disable-sync", "--password-store=basic",
                          "--host-resolver-rules=MAP *.test 127.0.0.1"};
    if (::geteuid() == 0)
        arguments.prepend("--no-sandbox");
    Chromium chromium(environment(), arguments);
    ASSERT_TRUE(chromium.start(server.pageURL("alpha.test")));
    ASSERT_TRUE(XDesktop::spinUntil([&] { return showsDomain("alpha.test"); }, 90000))
        << "no web session for the first page: the extension was not installed or does not report";
    EXPECT_TRUE(QFileInfo(configHome + "/chromium/Default/Extensions/okihekkoebjlnigcbcnmijblamopopak").isDir());
    const auto statuses = BrowserBridgeStatus::of(installer, *store);
    ASSERT_FALSE(statuses.isEmpty());
    EXPECT_EQ(statuses.first().describe().replace(configHome, "~/.config"),
              "Chromium: host manifest ~/.config/chromium/NativeMessagingHosts/org.hourloom.browser_bridge.json; extension installed; "
              "reporting now");

    ASSERT_NO_FATAL_FAILURE(navigateAcrossSites());
    // A second window in front, then the first again: the web session follows the focus.
    const QStringList firstWindows = windows();
    ASSERT_EQ(firstWindows.size(), 1);
    ASSERT_TRUE(chromium.open({"--new-window", server.pageURL("gamma.test")}));
    ASSERT_TRUE(XDesktop::spinUntil([&] { return showsDomain("gamma.test"); }, 30000));
    const QString secondWindow = windowBesides(firstWindows);
    ASSERT_FALSE(secondWindow.isEmpty());
    ASSERT_NO_FATAL_FAILURE(activateInTurn({{firstWindows.first(), "alpha.test"}, {secondWindow, "gamma.test"}}));
    ASSERT_NO_FATAL_FAILURE(
        privateWindowInFront([&] { return chromium.open({"--incognito", server.pageURL("secret.test")}); }, firstWindows.first()));

    expectTheToursWebSessions({});
    closedBrowserLeavesTheSessionOpen([&] { chromium.close(); }, "chromium");
    reportLatencies("Chromium");
}
