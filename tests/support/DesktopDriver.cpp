#include "DesktopDriver.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace hourloom::test {
namespace {

void writeEntry(const QString &dataHome, const QString &relativePath, const QByteArray &lines)
{
    const QString path = dataHome + QStringLiteral("/applications/") + relativePath;
    QDir().mkpath(QFileInfo(path).path());
    QFile entry(path);
    entry.open(QIODevice::WriteOnly);
    entry.write("[Desktop Entry]\nType=Application\n" + lines);
}

} // namespace

void writeTestEntries(const QString &dataHome)
{
    writeEntry(dataHome, QStringLiteral("hourloom-test/alpha.desktop"), "Name=Alpha Terminal\nName[de]=Alpha-Terminal\nExec=xterm -class Alpha\nStartupWMClass=Alpha\n");
    writeEntry(dataHome, QStringLiteral("org.hourloom.Beta.desktop"), "Name=Beta Notes\nExec=beta-notes\n");
}

TestWindow alphaWindow(const QString &handle)
{
    return {handle, QStringLiteral("Alpha Terminal"), QStringLiteral("hourloom-test-alpha")};
}

TestWindow betaWindow(const QString &handle)
{
    return {handle, QStringLiteral("Beta Notes"), QStringLiteral("org.hourloom.Beta")};
}

TestWindow unlistedWindow(const QString &appId)
{
    return {appId, appId, appId};
}

TestDataHome::TestDataHome()
{
    writeTestEntries(directory_.path());
    qputenv("XDG_DATA_HOME", QFile::encodeName(directory_.path()));
}

} // namespace hourloom::test
