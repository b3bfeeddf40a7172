#include "XdgAutostart.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace hourloom {
namespace {

// An Exec argument: quoted, with the characters that stay special inside quotes escaped, and
// "%" doubled since field codes start with it.
QString quotedArgument(const QString &argument)
{
    QString quoted;
    for (const QChar c : argument) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            quoted += u'\\';
        if (c == u'%')
            quoted += u'%';
        quoted += c;
    }
    // The desktop entry format reads a backslash in a string value as an escape of its own.
    quoted.replace(QStringLiteral("\\"), QStringLiteral("\\\\"));
    return u'"' + quoted + u'"';
}

} // namespace

XdgAutostart::XdgAutostart(QString executablePath)
    : executablePath_(std::move(executablePath))
{
}

QString XdgAutostart::entryPath()
{
    QString configHome = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (configHome.isEmpty() || QDir::isRelativePath(configHome))
        configHome = QDir::homePath() + QStringLiteral("/.config");
    return configHome + QStringLiteral("/autostart/hourloom.desktop");
}

QByteArray XdgAutostart::entry() const
{
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=Hourloom\n"
                          "Comment=Time tracking agent\n"
                          "Exec=%1\n"
                          "Terminal=false\n"
                          "X-GNOME-Autostart-enabled=true\n")
        .arg(quotedArgument(executablePath_))
        .toUtf8();
}

bool XdgAutostart::registerMainApp()
{
    if (!QFileInfo(executablePath_).isAbsolute())
        return false;
    const QString path = entryPath();
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    // Written aside and renamed, so a session starting meanwhile never reads half an entry.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(entry());
    return file.commit();
}

} // namespace hourloom
