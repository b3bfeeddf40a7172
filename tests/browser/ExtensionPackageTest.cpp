// The build's packing of the extension: the same bytes from the same source and key, a CRX3
// whose signing key gives the id the host manifests allow, and an XPI with the manifest.
#include "platform/services/browser/BrowserBridgeInstaller.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace hourloom;

namespace {

QByteArray pack(const QString &folder)
{
    QProcess packer;
    packer.start(QStringLiteral(PYTHON), {QStringLiteral(PACK_EXTENSION), "--source", QStringLiteral(EXTENSION_DIR), "--key",
                                         QStringLiteral(EXTENSION_KEY), "--crx", folder + "/x.crx", "--xpi", folder + "/x.xpi"});
    if (!packer.waitForFinished(60000) || packer.exitCode() != 0)
        return {};
    QFile crx(folder + "/x.crx");
    return crx.open(QIODevice::ReadOnly) ? crx.readAll() : QByteArray();
}

quint32 littleEndian(const QByteArray &bytes, qsizetype at)
{
    quint32 value = 0;
    for (int i = 3; i >= 0; --i)
        value = value << 8 | quint8(bytes[at + i]);
    return value;
}

} // namespace

TEST(ExtensionPackage, IsReproducibleAndSignedByTheKeyOfTheFixedId)
{
    QTemporaryDir first;
    QTemporaryDir second;
    const QByteArray crx = pack(first.path());
    ASSERT_FALSE(crx.isEmpty());
    EXPECT_EQ(pack(second.path()), crx);
    QFile firstXpi(first.path() + "/x.xpi");
    QFile secondXpi(second.path() + "/x.xpi");
    ASSERT_TRUE(firstXpi.open(QIODevice::ReadOnly) && secondXpi.open(QIODevice::ReadOnly));
    const QByteArray xpi = firstXpi.readAll();
    EXPECT_EQ(secondXpi.readAll(), xpi);
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
    QString id;
    for (const char digit : header.mid(at + signedData.size(), 16).toHex())
        id += QChar('a' + QByteArray(1, digit).toInt(nullptr, 16));
    EXPECT_EQ(id, BrowserBridgeInstaller::extensionId);
}
