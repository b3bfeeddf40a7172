#include "platform/browser/BrowserBridgeInstaller.h"

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
        written << change.manifestPath.mid(home.path().size());
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
    EXPECT_EQ(manifest.value("allowed_origins").toArray(), QJsonArray{"chrome-extension://bbpolgeoikpkpipojfnjoagccgcinhoo/"});

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
