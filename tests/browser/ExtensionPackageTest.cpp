// The build's packing of the extension: the same bytes from the same source and key, a CRX3
// whose signing key gives the id the host manifests allow, and an XPI with the manifest; and a
// configuration with a release's key, which every file naming the extension follows.
#include "platform/services/browser/BrowserBridgeInstaller.h"

#include "support/TestFiles.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace hourloom;
using hourloom::test::readFile;

namespace {

QByteArray pack(const QString &folder)
{
    QProcess packer;
    packer.start(QStringLiteral(PYTHON), {QStringLiteral(PACK_EXTENSION), "--source", QStringLiteral(EXTENSION_DIR), "--key",
                                         QStringLiteral(EXTENSION_KEY), "--crx", folder + "/x.crx", "--xpi", folder + "/x.xpi"});
    if (!packer.waitForFinished(60000) || packer.exitCode() != 0)
        return {};
    return readFile(folder + "/x.crx").value_or("");
}

// An extension id: 16 bytes, each half-byte written as a letter from a to p.
QString idLetters(const QByteArray &bytes)
{
    QString id;
    for (const char digit : bytes.toHex())
        id += QChar('a' + QByteArray(1, digit).toInt(nullptr, 16));
    return id;
}

struct Finished {
    bool succeeded = false;
    QByteArray output;
};

Finished run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    const bool finished = process.waitForFinished(120000);
    return {finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0, process.readAll()};
}

// Configures the whole project in `folder` as a release would, without tests and benchmarks.
Finished configure(const QString &folder, const QStringList &settings)
{
    return run(QStringLiteral(CMAKE_COMMAND), QStringList{"-S", QStringLiteral(SOURCE_DIR), "-B", folder, "-G", "Ninja", "-DHOURLOOM_BUILD_TESTS=OFF",
                                                          "-DHOURLOOM_BUILD_BENCHMARKS=OFF", "-DHOURLOOM_ENVIRONMENT=Production"}
                   + settings);
}

QJsonObject jsonFile(const QString &path)
{
    return QJsonDocument::fromJson(readFile(path).value_or("")).object();
}

quint32 littleEndian(const QByteArray &bytes, qsizetype at)
{
    quint32 value = 0;
    for (int i = 3; i >= 0; --i)
        value = value << 8 | quint8(bytes[at + i]);
    return value;
}

} // namespace

TEST(ExtensionPackage, IsReproducibleAndSignedByTheKeyOfTheFixedIdWhichTheManifestsKeyGivesToo)
{
    QTemporaryDir first;
    QTemporaryDir second;
    const QByteArray crx = pack(first.path());
    ASSERT_FALSE(crx.isEmpty());
    EXPECT_EQ(pack(second.path()), crx);
    const QByteArray xpi = readFile(first.path() + "/x.xpi").value_or("");
    EXPECT_EQ(readFile(second.path() + "/x.xpi"), xpi);
    EXPECT_TRUE(xpi.startsWith("PK\x03\x04"));
    EXPECT_TRUE(xpi.contains("manifest.json"));

    // "Cr24", version 3, the header's length, the header, then the same zip as the XPI.
    ASSERT_GT(crx.size(), 12);
    EXPECT_TRUE(crx.startsWith("Cr24"));
    EXPECT_EQ(littleEndian(crx, 4), 3u);
    const quint32 headerSize = littleEndian(crx, 8);
    EXPECT_EQ(crx.mid(12 + headerSize), xpi);
    // The signed header data (field 10000, 18 bytes) holds the id (field 1, 16 bytes): the first
    // 16 bytes of SHA-256 of the signing key.
    const QByteArray header = crx.mid(12, headerSize);
    const QByteArray signedData = QByteArray::fromHex("82f104120a10");
    const qsizetype at = header.indexOf(signedData);
    ASSERT_GE(at, 0);
    EXPECT_EQ(idLetters(header.mid(at + signedData.size(), 16)), BrowserBridgeInstaller::extensionId);

    // The key in the manifest, which an unpacked load goes by, gives the same id; Firefox knows the
    // extension by the id the installer names.
    const QJsonObject manifest = jsonFile(QStringLiteral(EXTENSION_DIR "/manifest.json"));
    const QByteArray der = QByteArray::fromBase64(manifest.value("key").toString().toLatin1());
    ASSERT_FALSE(der.isEmpty());
    EXPECT_EQ(idLetters(QCryptographicHash::hash(der, QCryptographicHash::Sha256).left(16)), BrowserBridgeInstaller::extensionId);
    EXPECT_EQ(manifest["browser_specific_settings"]["gecko"]["id"], BrowserBridgeInstaller::geckoExtensionId);
}

TEST(ExtensionPackage, AReleaseKeyGivesItsIdToEveryFileNamingTheExtensionAndTheDevelopmentKeyIsRefused)
{
    QTemporaryDir folder;
    const QString key = folder.filePath("release.pem");
    ASSERT_TRUE(run("openssl", {"genpkey", "-algorithm", "RSA", "-pkeyopt", "rsa_keygen_bits:2048", "-out", key}).succeeded);
    const Finished publicKey = run("openssl", {"pkey", "-in", key, "-pubout", "-outform", "DER"});
    ASSERT_TRUE(publicKey.succeeded);
    const QString id = idLetters(QCryptographicHash::hash(publicKey.output, QCryptographicHash::Sha256).left(16));
    const QString updates = QStringLiteral("https://updates.hourloom.example/chromium.xml");

    const QString build = folder.filePath("build");
    const Finished release = configure(build, {"-DHOURLOOM_EXTENSION_KEY=" + key, "-DHOURLOOM_EXTENSION_UPDATE_URL=" + updates});
    ASSERT_TRUE(release.succeeded) << release.output.toStdString();
    EXPECT_EQ(jsonFile(build + "/packaging/chromium/org.hourloom.browser_bridge.json").value("allowed_origins").toArray(),
              QJsonArray{"chrome-extension://" + id + "/"});
    EXPECT_TRUE(QFile::exists(build + "/packaging/chromium/" + id + ".json"));
    EXPECT_TRUE(readFile(build + "/generated/platform/services/browser/BrowserExtensionId.h").value_or("").contains(id.toLatin1()))
        << "the agent's installer";
    const QJsonObject manifest = jsonFile(build + "/browser/manifest.json");
    EXPECT_EQ(manifest.value("key").toString(), QString::fromLatin1(publicKey.output.toBase64()));
    EXPECT_EQ(manifest.value("update_url").toString(), updates);
    // Its XPI is signed by Mozilla: the policy no longer turns Firefox's signature checks off.
    const QJsonObject policies = jsonFile(build + "/packaging/firefox/policies.json").value("policies").toObject();
    EXPECT_TRUE(policies.contains("ExtensionSettings"));
    EXPECT_FALSE(policies.contains("Preferences"));

    // Without a key of its own, or without an address for updates, a release does not configure.
    const Finished developmentKey = configure(folder.filePath("development"), {"-DHOURLOOM_EXTENSION_UPDATE_URL=" + updates});
    EXPECT_FALSE(developmentKey.succeeded);
    // CMake folds its messages' lines.
    EXPECT_TRUE(developmentKey.output.simplified().contains("development key")) << developmentKey.output.toStdString();
    const Finished noUpdates = configure(folder.filePath("no-updates"), {"-DHOURLOOM_EXTENSION_KEY=" + key});
    EXPECT_FALSE(noUpdates.succeeded);
    EXPECT_TRUE(noUpdates.output.simplified().contains("HOURLOOM_EXTENSION_UPDATE_URL")) << noUpdates.output.toStdString();
}
