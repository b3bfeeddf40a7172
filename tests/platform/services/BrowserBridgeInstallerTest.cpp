#include "platform/services/browser/BrowserBridgeInstaller.h"
#include "platform/services/browser/BrowserBridgeStatus.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace hourloom;

TEST(BrowserBridgeInstaller, RegistersTheHostWithTheBrowsersThisUserHasRunAndRemovesItAgain)
{
    QTemporaryDir home;
    ASSERT_TRUE(QDir(home.path()).mkpath("config/chromium"));
    ASSERT_TRUE(QDir(home.path()).mkpath("config/BraveSoftware/Brave-Browser/NativeMessagingHosts"));
    ASSERT_TRUE(QDir(home.path()).mkpath(".mozilla"));
    ASSERT_TRUE(QDir(home.path()).mkpath(".config/google-chrome")); // not the config home in use
    const BrowserBridgeInstaller installer("/opt/hourloom/hourloom-browser-host", home.path(), home.path() + "/config");

    QStringList failures;
    QStringList written;
    for (const auto &change : installer.install(&failures))
        written << change.path.mid(home.path().size());
    EXPECT_TRUE(failures.isEmpty());
    EXPECT_EQ(written, (QStringList{"/config/chromium/NativeMessagingHosts/org.hourloom.browser_bridge.json",
                                    "/config/BraveSoftware/Brave-Browser/NativeMessagingHosts/org.hourloom.browser_bridge.json",
                                    "/.mozilla/native-messaging-hosts/org.hourloom.browser_bridge.json"}));

    QFile chromium(home.path() + written[0]);
    ASSERT_TRUE(chromium.open(QIODevice::ReadOnly));
    const QJsonObject manifest = QJsonDocument::fromJson(chromium.readAll()).object();
    EXPECT_EQ(manifest.value("name"), "org.hourloom.browser_bridge");
    EXPECT_EQ(manifest.value("path"), "/opt/hourloom/hourloom-browser-host");
    EXPECT_EQ(manifest.value("type"), "stdio");
    EXPECT_EQ(manifest.value("allowed_origins").toArray(), QJsonArray{"chrome-extension://okihekkoebjlnigcbcnmijblamopopak/"});

    QFile firefox(home.path() + written[2]);
    ASSERT_TRUE(firefox.open(QIODevice::ReadOnly));
    EXPECT_EQ(QJsonDocument::fromJson(firefox.readAll()).object().value("allowed_extensions").toArray(),
              QJsonArray{"browser-bridge@hourloom.org"});

    EXPECT_EQ(installer.uninstall().size(), 3);
    for (const auto &path : written)
        EXPECT_FALSE(QFile::exists(home.path() + path));
    EXPECT_TRUE(installer.uninstall().isEmpty());
}

TEST(BrowserBridgeInstaller, TheExtensionsKeyGivesTheIdTheManifestsAllow)
{
    QFile extensionManifest(QStringLiteral(EXTENSION_DIR "/manifest.json"));
    ASSERT_TRUE(extensionManifest.open(QIODevice::ReadOnly));
    const QJsonObject manifest = QJsonDocument::fromJson(extensionManifest.readAll()).object();
    const QByteArray der = QByteArray::fromBase64(manifest.value("key").toString().toLatin1());
    ASSERT_FALSE(der.isEmpty());
    QString id;
    for (const char digit : QCryptographicHash::hash(der, QCryptographicHash::Sha256).toHex().left(32))
        id += QChar('a' + QByteArray(1, digit).toInt(nullptr, 16));
    EXPECT_EQ(id, BrowserBridgeInstaller::extensionId);
    EXPECT_EQ(manifest.value("browser_specific_settings").toObject().value("gecko").toObject().value("id"),
              BrowserBridgeInstaller::geckoExtensionId);
}

TEST(BrowserBridgeInstaller, ListsThePackedExtensionForChromiumAndSaysPerBrowserWhatWorks)
{
    QTemporaryDir home;
    QTemporaryDir runtime;
    ASSERT_TRUE(QDir(home.path()).mkpath(".config/chromium/Default"));
    ASSERT_TRUE(QDir(home.path()).mkpath(".config/google-chrome/Default"));
    ASSERT_TRUE(QDir(home.path()).mkpath(".mozilla/firefox/abc.default-esr"));
    const BrowserBridgeInstaller installer("/opt/hourloom/hourloom-browser-host", home.path(), home.path() + "/.config",
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
                                          "Google Chrome: no host manifest; extension not installed; not reporting",
                                          "Firefox: no host manifest; extension not installed; not reporting"}));

    QStringList written;
    for (const auto &change : installer.install())
        written << change.path.mid(home.path().size());
    const QString externalFile = "/.config/chromium/External Extensions/okihekkoebjlnigcbcnmijblamopopak.json";
    EXPECT_EQ(written, (QStringList{"/.config/chromium/NativeMessagingHosts/org.hourloom.browser_bridge.json", externalFile,
                                    "/.config/google-chrome/NativeMessagingHosts/org.hourloom.browser_bridge.json",
                                    "/.mozilla/native-messaging-hosts/org.hourloom.browser_bridge.json"}));
    QFile external(home.path() + externalFile);
    ASSERT_TRUE(external.open(QIODevice::ReadOnly));
    const QJsonObject listing = QJsonDocument::fromJson(external.readAll()).object();
    EXPECT_EQ(listing, (QJsonObject{{"external_crx", "/opt/hourloom/hourloom-browser-bridge.crx"}, {"external_version", "1.2.3"}}));

    // The browsers install the extension; Chromium's host reports.
    ASSERT_TRUE(QDir(home.path()).mkpath(".config/chromium/Default/Extensions/okihekkoebjlnigcbcnmijblamopopak/1.2.3_0"));
    QFile firefoxExtensions(home.path() + "/.mozilla/firefox/abc.default-esr/extensions.json");
    ASSERT_TRUE(firefoxExtensions.open(QIODevice::WriteOnly));
    firefoxExtensions.write(R"({"addons":[{"id":"browser-bridge@hourloom.org"}]})");
    firefoxExtensions.close();
    ASSERT_TRUE(store.preparePrivateDirectory());
    ASSERT_TRUE(store.write("chromium", BrowserState{"https://example.org", true, false, 1, ProcessIdentity::current()}));
    EXPECT_EQ(statusLines(),
              (QStringList{"Chromium: host manifest ~/.config/chromium/NativeMessagingHosts/org.hourloom.browser_bridge.json; "
                           "extension installed; reporting now",
                           "Google Chrome: host manifest ~/.config/google-chrome/NativeMessagingHosts/org.hourloom.browser_bridge.json; "
                           "extension not installed; not reporting",
                           "Firefox: host manifest ~/.mozilla/native-messaging-hosts/org.hourloom.browser_bridge.json; "
                           "extension installed; not reporting"}));

    // After uninstalling, the package's manifest for all users still counts.
    EXPECT_EQ(installer.uninstall().size(), 4);
    ASSERT_TRUE(QDir(system.path()).mkpath("etc/chromium/native-messaging-hosts"));
    QFile systemManifest(system.path() + "/etc/chromium/native-messaging-hosts/org.hourloom.browser_bridge.json");
    ASSERT_TRUE(systemManifest.open(QIODevice::WriteOnly));
    systemManifest.close();
    EXPECT_EQ(statusLines().first(),
              "Chromium: host manifest /etc/chromium/native-messaging-hosts/org.hourloom.browser_bridge.json; extension installed; reporting now");
    EXPECT_FALSE(QFile::exists(home.path() + externalFile));
}
