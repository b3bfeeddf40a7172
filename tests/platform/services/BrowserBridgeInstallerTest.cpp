#include "platform/services/browser/BrowserBridgeInstaller.h"
#include "platform/services/browser/BrowserBridgeStatus.h"

#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace hourloom;
using hourloom::test::readFile;
using hourloom::test::writeFile;

TEST(BrowserBridgeInstaller, RegistersTheHostAndThePackageWithTheBrowsersThisUserHasRunSaysWhatWorksAndRemovesThemAgain)
{
    QTemporaryDir home;
    QTemporaryDir runtime;
    // Chromium and Firefox with a profile, Brave run once; ~/.config is not the config home in use.
    for (const char *folder : {"config/chromium/Default", "config/BraveSoftware/Brave-Browser/NativeMessagingHosts",
                               ".mozilla/firefox/abc.default-esr", ".config/google-chrome/Default"})
        ASSERT_TRUE(QDir(home.path()).mkpath(folder));
    const BrowserBridgeInstaller installer("/opt/hourloom/hourloom-browser-host", home.path(), home.path() + "/config",
                                           BrowserBridgeInstaller::Package{"/opt/hourloom/hourloom-browser-bridge.crx", "1.2.3"});
    const BrowserStateStore store(runtime.path() + "/hourloom/browser");
    // The system's folders under a root of the test's own.
    QTemporaryDir system;
    const auto statusLines = [&] {
        QStringList lines;
        for (const auto &status : BrowserBridgeStatus::of(installer, store, system.path()))
            lines << status.describe().replace(home.path(), "~").replace(system.path(), "");
        return lines;
    };
    EXPECT_EQ(statusLines(), (QStringList{"Chromium: no host manifest; extension not installed; not reporting",
                                          "Brave Browser: no host manifest; extension not installed; not reporting",
                                          "Firefox: no host manifest; extension not installed; not reporting"}));

    QStringList failures;
    QStringList written;
    for (const auto &change : installer.install(&failures))
        written << change.path.mid(home.path().size());
    EXPECT_TRUE(failures.isEmpty());
    const QString externalFile = "/config/chromium/External Extensions/okihekkoebjlnigcbcnmijblamopopak.json";
    EXPECT_EQ(written, (QStringList{"/config/chromium/NativeMessagingHosts/org.hourloom.browser_bridge.json", externalFile,
                                    "/config/BraveSoftware/Brave-Browser/NativeMessagingHosts/org.hourloom.browser_bridge.json",
                                    "/.mozilla/native-messaging-hosts/org.hourloom.browser_bridge.json"}));
    const auto read = [&](const QString &path) { return QJsonDocument::fromJson(readFile(home.path() + path).value_or("")).object(); };
    const QJsonObject manifest = read(written[0]);
    EXPECT_EQ(manifest.value("name"), "org.hourloom.browser_bridge");
    EXPECT_EQ(manifest.value("path"), "/opt/hourloom/hourloom-browser-host");
    EXPECT_EQ(manifest.value("type"), "stdio");
    EXPECT_EQ(manifest.value("allowed_origins").toArray(), QJsonArray{"chrome-extension://okihekkoebjlnigcbcnmijblamopopak/"});
    EXPECT_EQ(read(written[3]).value("allowed_extensions").toArray(), QJsonArray{"browser-bridge@hourloom.org"});
    EXPECT_EQ(read(externalFile), (QJsonObject{{"external_crx", "/opt/hourloom/hourloom-browser-bridge.crx"}, {"external_version", "1.2.3"}}));

    // The browsers install the extension; Chromium's host reports.
    ASSERT_TRUE(QDir(home.path()).mkpath("config/chromium/Default/Extensions/okihekkoebjlnigcbcnmijblamopopak/1.2.3_0"));
    ASSERT_TRUE(writeFile(home.path() + "/.mozilla/firefox/abc.default-esr/extensions.json", R"({"addons":[{"id":"browser-bridge@hourloom.org"}]})"));
    ASSERT_TRUE(store.preparePrivateDirectory());
    ASSERT_TRUE(store.write("chromium", BrowserState{"https://example.org", true, false, 1, ProcessIdentity::current()}));
    EXPECT_EQ(statusLines(),
              (QStringList{"Chromium: host manifest ~/config/chromium/NativeMessagingHosts/org.hourloom.browser_bridge.json; "
                           "extension installed; reporting now",
                           "Brave Browser: host manifest ~/config/BraveSoftware/Brave-Browser/NativeMessagingHosts/org.hourloom.browser_bridge.json; "
                           "extension not installed; not reporting",
                           "Firefox: host manifest ~/.mozilla/native-messaging-hosts/org.hourloom.browser_bridge.json; "
                           "extension installed; not reporting"}));

    // After uninstalling, the package's manifest for all users still counts.
    EXPECT_EQ(installer.uninstall().size(), 4);
    for (const auto &path : written)
        EXPECT_FALSE(QFile::exists(home.path() + path));
    EXPECT_TRUE(installer.uninstall().isEmpty());
    ASSERT_TRUE(QDir(system.path()).mkpath("etc/chromium/native-messaging-hosts"));
    ASSERT_TRUE(writeFile(system.path() + "/etc/chromium/native-messaging-hosts/org.hourloom.browser_bridge.json"));
    EXPECT_EQ(statusLines().first(),
              "Chromium: host manifest /etc/chromium/native-messaging-hosts/org.hourloom.browser_bridge.json; extension installed; reporting now");
}
