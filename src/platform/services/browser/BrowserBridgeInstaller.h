#pragma once

#include "platform/services/browser/BrowserExtensionId.h"
#include "platform/services/browserstate/BrowserCatalog.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace hourloom {

// Registers the native-messaging host with the browsers of this user: one host manifest in the
// folder each browser reads them from, for every browser whose profile folder exists; and, for
// browsers that install extensions listed in a folder of the user's, the packed extension.
class BrowserBridgeInstaller {
public:
    static inline const QString hostName = QStringLiteral("org.hourloom.browser_bridge");
    // Fixed by the key that signs the packed extension, whose public half is in its manifest.
    static inline const QString extensionId = browserExtensionId;
    static inline const QString geckoExtensionId = QStringLiteral("browser-bridge@hourloom.org");

    // The packed extension (CRX3) and the version its manifest names.
    struct Package {
        QString crxPath;
        QString version;
    };

    struct Change {
        const BrowserFamily *family;
        QString path;
    };

    // `configHome` stands for ~/.config, as $XDG_CONFIG_HOME may move it.
    BrowserBridgeInstaller(QString hostPath, QString homeDirectory, QString configHome, std::optional<Package> package = std::nullopt);
    // From $HOME and $XDG_CONFIG_HOME.
    static BrowserBridgeInstaller forUser(const QString &hostPath, std::optional<Package> package = std::nullopt);

    // Writes the manifests and extension files; what was written, and in `failures` the folders
    // it could not write to.
    QList<Change> install(QStringList *failures = nullptr) const;
    // Removes what install writes; what was removed.
    QList<Change> uninstall() const;

    // A path relative to the home folder, with ".config/" in the config home.
    QString userPath(const QString &relative) const;
    QString manifestFolder(const BrowserFamily &family) const { return userPath(family.hostManifestFolder); }
    QByteArray manifest(const BrowserFamily &family) const;
    // What a browser's folder of external extensions holds for the packed extension.
    static QByteArray externalExtension(const Package &package);

private:
    QList<std::pair<QString, QByteArray>> filesFor(const BrowserFamily &family) const;

    QString hostPath_;
    QString homeDirectory_;
    QString configHome_;
    std::optional<Package> package_;
};

} // namespace hourloom
