#pragma once

#include <QString>
#include <QStringList>

class QTextStream;

namespace hourloom {

// Puts the agent's GNOME Shell extension where the shell finds it for this user, and enables it.
class GnomeExtensionInstaller {
public:
    // bundleFolder: the agent's own folder, where a build keeps gnome-extension/<uuid>; a package
    // installs the extension into the system's extensions folder instead.
    explicit GnomeExtensionInstaller(QString bundleFolder);

    // Says on out what it did and what is left to do; false after a failure, said on err.
    bool install(QTextStream &out, QTextStream &err) const;

    // The one command that enables the extension, as the user types it.
    static QString command();

    // A GSettings list of strings as gsettings prints it ("['a', 'b']", "@as []"), and back.
    static QStringList parseStringList(const QString &printed);
    static QString formatStringList(const QStringList &strings);

private:
    QString bundleCopy() const;
    static QString systemCopy();
    static QString userFolder();
    bool copyToUser(const QString &source, QTextStream &out, QTextStream &err) const;
    static bool enable(QTextStream &err);

    QString bundleFolder_;
};

} // namespace hourloom
