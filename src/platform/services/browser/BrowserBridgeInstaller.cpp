#include "BrowserBridgeInstaller.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

namespace hourloom {

BrowserBridgeInstaller::BrowserBridgeInstaller(QString hostPath, QString homeDirectory, QString configHome, std::optional<Package> package)
    : hostPath_(std::move(hostPath))
    , homeDirectory_(std::move(homeDirectory))
    , configHome_(std::move(configHome))
    , package_(std::move(package))
{
}

BrowserBridgeInstaller BrowserBridgeInstaller::forUser(const QString &hostPath, std::optional<Package> package)
{
    const QString home = QDir::homePath();
    QString configHome = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (configHome.isEmpty() || !QDir::isAbsolutePath(configHome))
        configHome = home + QStringLiteral("/.config");
    return BrowserBridgeInstaller(hostPath, home, configHome, std::move(package));
}

QString BrowserBridgeInstaller::userPath(const QString &relative) const
{
    static const QString configPrefix = QStringLiteral(".config/");
    if (relative.startsWith(configPrefix))
        return configHome_ + QLatin1Char('/') + relative.mid(configPrefix.size());
    return homeDirectory_ + QLatin1Char('/') + relative;
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

QByteArray BrowserBridgeInstaller::externalExtension(const Package &package)
{
    return QJsonDocument(QJsonObject{{QStringLiteral("external_crx"), package.crxPath},
                                     {QStringLiteral("external_version"), package.version}})
        .toJson();
}

QList<std::pair<QString, QByteArray>> BrowserBridgeInstaller::filesFor(const BrowserFamily &family) const
{
    QList<std::pair<QString, QByteArray>> files{{manifestFolder(family) + QLatin1Char('/') + hostName + QStringLiteral(".json"), manifest(family)}};
    if (package_ && !family.userExternalExtensionsFolder.isEmpty())
        files.append({userPath(family.userExternalExtensionsFolder) + QLatin1Char('/') + extensionId + QStringLiteral(".json"),
                      externalExtension(*package_)});
    return files;
}

QList<BrowserBridgeInstaller::Change> BrowserBridgeInstaller::install(QStringList *failures) const
{
    QList<Change> written;
    for (const auto &family : BrowserCatalog::all()) {
        // Only browsers this user has run: their profile folder exists.
        if (!QFileInfo(userPath(family.profileFolder())).isDir())
            continue;
        for (const auto &[path, contents] : filesFor(family)) {
            QSaveFile file(path);
            if (!QDir().mkpath(QFileInfo(path).path()) || !file.open(QIODevice::WriteOnly) || file.write(contents) < 0 || !file.commit()) {
                if (failures)
                    failures->append(QFileInfo(path).path());
                continue;
            }
            written.append({&family, path});
        }
    }
    return written;
}

QList<BrowserBridgeInstaller::Change> BrowserBridgeInstaller::uninstall() const
{
    QList<Change> removed;
    for (const auto &family : BrowserCatalog::all()) {
        for (const auto &[path, contents] : filesFor(family)) {
            if (QFile::remove(path))
                removed.append({&family, path});
        }
    }
    return removed;
}

} // namespace hourloom
