#include "BrowserBridgeInstaller.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

namespace hourloom {

BrowserBridgeInstaller::BrowserBridgeInstaller(QString hostPath, QString homeDirectory, QString configHome)
    : hostPath_(std::move(hostPath))
    , homeDirectory_(std::move(homeDirectory))
    , configHome_(std::move(configHome))
{
}

BrowserBridgeInstaller BrowserBridgeInstaller::forUser(const QString &hostPath)
{
    const QString home = QDir::homePath();
    QString configHome = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (configHome.isEmpty() || !QDir::isAbsolutePath(configHome))
        configHome = home + QStringLiteral("/.config");
    return BrowserBridgeInstaller(hostPath, home, configHome);
}

QString BrowserBridgeInstaller::manifestFolder(const BrowserFamily &family) const
{
    static const QString configPrefix = QStringLiteral(".config/");
    if (family.hostManifestFolder.startsWith(configPrefix))
        return configHome_ + QLatin1Char('/') + family.hostManifestFolder.mid(configPrefix.size());
    return homeDirectory_ + QLatin1Char('/') + family.hostManifestFolder;
}

QByteArray BrowserBridgeInstaller::manifest(const BrowserFamily &family) const
{
    QJsonObject object{
        {QStringLiteral("name"), hostName},
        {QStringLiteral("description"), QStringLiteral("Hourloom browser bridge: tells the Hourloom agent which site the active tab shows")},
        {QStringLiteral("path"), hostPath_},
        {QStringLiteral("type"), QStringLiteral("stdio")},
    };
    if (family.gecko)
        object.insert(QStringLiteral("allowed_extensions"), QJsonArray{geckoExtensionId});
    else
        object.insert(QStringLiteral("allowed_origins"), QJsonArray{QStringLiteral("chrome-extension://%1/").arg(extensionId)});
    return QJsonDocument(object).toJson();
}

QList<BrowserBridgeInstaller::Change> BrowserBridgeInstaller::install(QStringList *failures) const
{
    QList<Change> written;
    for (const auto &family : BrowserCatalog::all()) {
        const QString folder = manifestFolder(family);
        // Only browsers this user has run: their profile folder holds the manifest folder.
        if (!QFileInfo(QFileInfo(folder).path()).isDir())
            continue;
        QSaveFile file(folder + QLatin1Char('/') + hostName + QStringLiteral(".json"));
        if (!QDir().mkpath(folder) || !file.open(QIODevice::WriteOnly) || file.write(manifest(family)) < 0 || !file.commit()) {
            if (failures)
                failures->append(folder);
            continue;
        }
        written.append({&family, file.fileName()});
    }
    return written;
}

QList<BrowserBridgeInstaller::Change> BrowserBridgeInstaller::uninstall() const
{
    QList<Change> removed;
    for (const auto &family : BrowserCatalog::all()) {
        const QString path = manifestFolder(family) + QLatin1Char('/') + hostName + QStringLiteral(".json");
        if (QFile::remove(path))
            removed.append({&family, path});
    }
    return removed;
}

} // namespace hourloom
