#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace hourloom {

// A browser the bridge serves: the names its desktop entries give it, the programs it runs as,
// and where it looks for native-messaging host manifests of the user.
struct BrowserFamily {
    QString id;                     // names its state files
    QStringList appNames;           // exact application names
    QStringList executableSuffixes; // ends of the browser program's path
    QString hostManifestFolder;     // relative to the user's home folder
    bool gecko = false;             // Firefox's manifest format
    // The system-wide host manifest folder; empty where the browser has none.
    QString systemHostManifestFolder{};
    // Relative to the user's home folder: where the browser finds <id>.json files of extensions
    // to install for this user (Chromium-branded builds only); empty where it has none.
    QString userExternalExtensionsFolder{};

    // The folder of the user's profiles: the one that holds the host manifest folder.
    QString profileFolder() const;
};

class BrowserCatalog {
public:
    static const QList<BrowserFamily> &all();
    static const BrowserFamily *forAppName(const QString &appName);
    static const BrowserFamily *forExecutable(const QString &path);
};

} // namespace hourloom
