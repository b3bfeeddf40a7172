#include "BrowserBridgeStatus.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace hourloom {

namespace {

bool fileMentions(const QString &path, const QString &text)
{
    QFile file(path);
    // Browser profile files are a few megabytes at most; read no more than that.
    return file.open(QIODevice::ReadOnly) && file.read(64 * 1024 * 1024).contains(text.toUtf8());
}

QStringList subfolders(const QString &folder)
{
    QStringList paths;
    for (const QString &name : QDir(folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        paths << folder + QLatin1Char('/') + name;
    return paths;
}

// Chromium-family profiles keep a packed extension under Extensions/<id> and name an unpacked
// one in their preferences; Firefox profiles list theirs in extensions.json.
bool profilesHaveExtension(const BrowserFamily &family, const QString &profileFolder)
{
    if (family.gecko) {
        for (const QString &browserFolder : subfolders(profileFolder)) {
            for (const QString &profile : subfolders(browserFolder)) {
                if (fileMentions(profile + QStringLiteral("/extensions.json"), BrowserBridgeInstaller::geckoExtensionId))
                    return true;
            }
        }
        return false;
    }
    const QString id = BrowserBridgeInstaller::extensionId;
    for (const QString &profile : subfolders(profileFolder)) {
        if (QFileInfo(profile + QStringLiteral("/Extensions/") + id).isDir()
            || fileMentions(profile + QStringLiteral("/Preferences"), id) || fileMentions(profile + QStringLiteral("/Secure Preferences"), id))
            return true;
    }
    return false;
}

} // namespace

QList<BrowserBridgeStatus> BrowserBridgeStatus::of(const BrowserBridgeInstaller &installer, const BrowserStateStore &store,
                                                   const QString &systemRoot)
{
    QList<BrowserBridgeStatus> statuses;
    for (const auto &family : BrowserCatalog::all()) {
        const QString profileFolder = installer.userPath(family.profileFolder());
        BrowserBridgeStatus status;
        status.family = &family;
        status.reporting = store.current(family.id).has_value();
        if (!QFileInfo(profileFolder).isDir() && !status.reporting)
            continue;
        const QString manifestName = BrowserBridgeInstaller::hostName + QStringLiteral(".json");
        const QString systemFolder = family.systemHostManifestFolder.isEmpty() ? QString() : systemRoot + family.systemHostManifestFolder;
        for (const QString &folder : {installer.manifestFolder(family), systemFolder}) {
            if (!folder.isEmpty() && QFileInfo::exists(folder + QLatin1Char('/') + manifestName)) {
                status.hostManifest = folder + QLatin1Char('/') + manifestName;
                break;
            }
        }
        status.extensionInstalled = profilesHaveExtension(family, profileFolder);
        statuses.append(status);
    }
    return statuses;
}

QString BrowserBridgeStatus::describe() const
{
    return family->appNames.first() + QStringLiteral(": ")
        + (hostManifest ? QStringLiteral("host manifest ") + *hostManifest : QStringLiteral("no host manifest"))
        + (extensionInstalled ? QStringLiteral("; extension installed") : QStringLiteral("; extension not installed"))
        + (reporting ? QStringLiteral("; reporting now") : QStringLiteral("; not reporting"));
}

} // namespace hourloom
