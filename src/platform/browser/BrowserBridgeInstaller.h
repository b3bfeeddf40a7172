#pragma once

#include "BrowserCatalog.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace hourloom {

// Registers the native-messaging host with the browsers of this user: one host manifest in the
// folder each browser reads them from, for every browser whose profile folder exists.
class BrowserBridgeInstaller {
public:
    static inline const QString hostName = QStringLiteral("org.hourloom.browser_bridge");
    // Fixed by the public key in the extension's manifest.
    static inline const QString extensionId = QStringLiteral("bbpolgeoikpkpipojfnjoagccgcinhoo");
    static inline const QString geckoExtensionId = QStringLiteral("browser-bridge@hourloom.org");

    struct Change {
        const BrowserFamily *family;
        QString manifestPath;
    };

    // `configHome` stands for ~/.config, as $XDG_CONFIG_HOME may move it.
    BrowserBridgeInstaller(QString hostPath, QString homeDirectory, QString configHome);
    // From $HOME and $XDG_CONFIG_HOME.
    static BrowserBridgeInstaller forUser(const QString &hostPath);

    // Writes the manifests; what was written, and in `failures` the folders it could not write to.
    QList<Change> install(QStringList *failures = nullptr) const;
    // Removes the manifests install writes; what was removed.
    QList<Change> uninstall() const;

    QString manifestFolder(const BrowserFamily &family) const;
    QByteArray manifest(const BrowserFamily &family) const;

private:
    QString hostPath_;
    QString homeDirectory_;
    QString configHome_;
};

} // namespace hourloom
