#include "DesktopDriver.h"
#include "TestFiles.h"
#include "XDesktop.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace hourloom::test {
namespace {

void writeEntry(const QString &dataHome, const QString &relativePath, const QByteArray &lines)
{
    const QString path = dataHome + QStringLiteral("/applications/") + relativePath;
    QDir().mkpath(QFileInfo(path).path());
    writeFile(path, "[Desktop Entry]\nType=Application\n" + lines);
}

} // namespace

void writeTestEntries(const QString &dataHome)
{
    writeEntry(dataHome, QStringLiteral("hourloom-test/alpha.desktop"), "Name=Alpha Terminal\nName[de]=Alpha-Terminal\nExec=xterm -class Alpha\nStartupWMClass=Alpha\n");
    writeEntry(dataHome, QStringLiteral("org.hourloom.Beta.desktop"), "Name=Beta Notes\nExec=beta-notes\n");
}

bool DesktopDriver::openWindow(ProcessGroup &processes, const QString &program, const QStringList &arguments,
                               const QProcessEnvironment &environment, const TestWindow &window)
{
    processes.start(program, arguments, environment);
    return XDesktop::spinUntil([&] { return activate(window); }, 30000);
}

bool DesktopDriver::openXAndQtWindows(ProcessGroup &processes, const QProcessEnvironment &x11, const QProcessEnvironment &wayland)
{
    QProcessEnvironment qt = wayland;
    qt.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
    return openWindow(processes, QStringLiteral("xterm"), {QStringLiteral("-class"), QStringLiteral("Alpha")}, x11, windows_[0])
        && openWindow(processes, QStringLiteral(QT_TEST_WINDOW), {windows_[1].handle, windows_[1].handle}, qt, windows_[1])
        && openWindow(processes, QStringLiteral(QT_TEST_WINDOW), {windows_[2].handle, windows_[2].handle}, qt, windows_[2]);
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
