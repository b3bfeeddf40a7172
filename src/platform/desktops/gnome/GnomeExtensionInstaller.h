#pragma once

#include <QString>
#include <QStringList>

class QTextStream;

namespace hourloom {

// Puts the form of the agent's GNOME Shell extension that the installed shell loads where the shell
// finds it for this user, and enables it.
class GnomeExtensionInstaller {
public:
    // bundleFolder: the agent's own folder, which holds every form of the extension as
    // gnome-extension/<form>/<uuid>; a package also puts the form of its release's shell into the
    // system's extensions folder.
    explicit GnomeExtensionInstaller(QString bundleFolder);

    // Says on out what it did and what is left to do; false after a failure, said on err.
    bool install(QTextStream &out, QTextStream &err) const;

    // The one command that enables the extension, as the user types it.
    static QString command();

    // A GSettings list of strings as gsettings prints it ("['a', 'b']", "@as []"), and back.
    static QStringList parseStringList(const QString &printed);
    static QString formatStringList(const QStringList &strings);

private:
    QString bundleCopyFor(int shellVersion) const;
    static QString systemCopy();
    static QString userFolder();
    bool copyToUser(const QString &source, QTextStream &out, QTextStream &err) const;
    static bool enable(QTextStream &err);

    QString bundleFolder_;
};

} // namespace hourloom
