#include "GnomeExtensionInstaller.h"

#include "GnomeShellExtension.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTextStream>
#include <QThread>

namespace hourloom {
namespace {

const QString shellSchema = QStringLiteral("org.gnome.shell");
constexpr int programTimeoutMs = 10000;
// How long a running shell may take to load the extension once enabled.
constexpr int loadTimeoutMs = 5000;

std::optional<QString> outputOf(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(programTimeoutMs)) {
        process.kill();
        process.waitForFinished(1000);
        return std::nullopt;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return std::nullopt;
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

std::optional<QString> gsettings(const QStringList &arguments)
{
    return outputOf(QStringLiteral("gsettings"), arguments);
}

// The major version of the GNOME Shell installed here: the one the next login runs, and, but
// for an update since, the one running now.
std::optional<int> installedShellVersion()
{
    static const QRegularExpression version(QStringLiteral("GNOME Shell (\\d+)"));
    const auto printed = outputOf(QStringLiteral("gnome-shell"), {QStringLiteral("--version")});
    const auto match = version.match(printed.value_or(QString()));
    return match.hasMatch() ? std::optional(match.captured(1).toInt()) : std::nullopt;
}

bool runsOn(const QString &extension, int shellVersion)
{
    QFile metadata(extension + QStringLiteral("/metadata.json"));
    if (!metadata.open(QIODevice::ReadOnly))
        return false;
    const QJsonArray versions = QJsonDocument::fromJson(metadata.readAll()).object().value(QStringLiteral("shell-version")).toArray();
    return versions.contains(QString::number(shellVersion));
}

std::optional<QStringList> readList(const QString &key)
{
    const auto printed = gsettings({QStringLiteral("get"), shellSchema, key});
    if (!printed)
        return std::nullopt;
    return GnomeExtensionInstaller::parseStringList(*printed);
}

bool writeSetting(const QString &key, const QString &value)
{
    return gsettings({QStringLiteral("set"), shellSchema, key, value}).has_value();
}

bool sameFiles(const QString &a, const QString &b)
{
    const QStringList files = QDir(a).entryList(QDir::Files);
    if (files != QDir(b).entryList(QDir::Files))
        return false;
    for (const QString &file : files) {
        QFile left(a + u'/' + file);
        QFile right(b + u'/' + file);
        if (!left.open(QIODevice::ReadOnly) || !right.open(QIODevice::ReadOnly) || left.readAll() != right.readAll())
            return false;
    }
    return true;
}

bool waitForExtension(const QDBusConnection &bus)
{
    const QDeadlineTimer deadline(loadTimeoutMs);
    while (!bus.interface()->isServiceRegistered(GnomeShellExtension::busName)) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(100);
    }
    return true;
}

} // namespace

GnomeExtensionInstaller::GnomeExtensionInstaller(QString bundleFolder)
    : bundleFolder_(std::move(bundleFolder))
{
}

QString GnomeExtensionInstaller::command()
{
    const QString agent = QCoreApplication::applicationFilePath();
    const QString onPath = QStandardPaths::findExecutable(QStringLiteral("hourloom"));
    const bool found = !onPath.isEmpty() && QFileInfo(onPath).canonicalFilePath() == QFileInfo(agent).canonicalFilePath();
    return (found ? QStringLiteral("hourloom") : agent) + QStringLiteral(" --install-gnome-extension");
}

QStringList GnomeExtensionInstaller::parseStringList(const QString &printed)
{
    // gsettings prints strings in single quotes, or in double quotes when they hold one.
    static const QRegularExpression quoted(QStringLiteral(R"re('((?:[^'\\]|\\.)*)'|"((?:[^"\\]|\\.)*)")re"));
    QStringList strings;
    for (auto match = quoted.globalMatch(printed); match.hasNext();) {
        const auto next = match.next();
        QString text = next.captured(1).isNull() ? next.captured(2) : next.captured(1);
        text.replace(QRegularExpression(QStringLiteral(R"(\\(.))")), QStringLiteral("\\1"));
        strings.append(text);
    }
    return strings;
}

QString GnomeExtensionInstaller::formatStringList(const QStringList &strings)
{
    QStringList quoted;
    for (QString text : strings) {
        text.replace(u'\\', QStringLiteral("\\\\")).replace(u'\'', QStringLiteral("\\'"));
        quoted.append(u'\'' + text + u'\'');
    }
    return u'[' + quoted.join(QStringLiteral(", ")) + u']';
}

QString GnomeExtensionInstaller::bundleCopyFor(int shellVersion) const
{
    const QDir forms(bundleFolder_ + QStringLiteral("/gnome-extension"));
    for (const QString &form : forms.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString folder = forms.filePath(form + u'/' + GnomeShellExtension::uuid);
        if (runsOn(folder, shellVersion))
            return folder;
    }
    return {};
}

QString GnomeExtensionInstaller::systemCopy()
{
    QString dataDirs = qEnvironmentVariable("XDG_DATA_DIRS");
    if (dataDirs.isEmpty())
        dataDirs = QStringLiteral("/usr/local/share:/usr/share");
    for (const QString &dataDir : dataDirs.split(u':', Qt::SkipEmptyParts)) {
        const QString folder = dataDir + QStringLiteral("/gnome-shell/extensions/") + GnomeShellExtension::uuid;
        if (QFileInfo::exists(folder + QStringLiteral("/metadata.json")))
            return folder;
    }
    return {};
}

QString GnomeExtensionInstaller::userFolder()
{
    QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    if (dataHome.isEmpty())
        dataHome = QDir::homePath() + QStringLiteral("/.local/share");
    return dataHome + QStringLiteral("/gnome-shell/extensions/") + GnomeShellExtension::uuid;
}

bool GnomeExtensionInstaller::copyToUser(const QString &source, QTextStream &out, QTextStream &err) const
{
    const QString target = userFolder();
    if (!QDir().mkpath(target)) {
        err << "Could not create " << target << "\n";
        return false;
    }
    for (const QString &file : QDir(source).entryList(QDir::Files)) {
        const QString to = target + u'/' + file;
        QFile::remove(to);
        if (!QFile::copy(source + u'/' + file, to)) {
            err << "Could not copy the GNOME Shell extension into " << target << "\n";
            return false;
        }
    }
    out << "Copied the GNOME Shell extension into " << target << "\n";
    return true;
}

bool GnomeExtensionInstaller::enable(QTextStream &err)
{
    const auto enabled = readList(QStringLiteral("enabled-extensions"));
    const auto disabled = readList(QStringLiteral("disabled-extensions"));
    if (!enabled || !disabled) {
        err << "Could not read GNOME Shell's settings with gsettings (package libglib2.0-bin)\n";
        return false;
    }
    QStringList nowEnabled = *enabled;
    if (!nowEnabled.contains(GnomeShellExtension::uuid))
        nowEnabled.append(GnomeShellExtension::uuid);
    QStringList nowDisabled = *disabled;
    nowDisabled.removeAll(GnomeShellExtension::uuid);
    // disable-user-extensions stays as the user set it: turning it off would bring back every
    // other extension they switched off with it.
    if (!writeSetting(QStringLiteral("disabled-extensions"), formatStringList(nowDisabled))
        || !writeSetting(QStringLiteral("enabled-extensions"), formatStringList(nowEnabled))) {
        err << "Could not change GNOME Shell's settings with gsettings\n";
        return false;
    }
    return true;
}

bool GnomeExtensionInstaller::install(QTextStream &out, QTextStream &err) const
{
    const std::optional<int> shellVersion = installedShellVersion();
    if (!shellVersion) {
        err << "Could not tell which GNOME Shell is installed: gnome-shell --version did not say\n";
        return false;
    }
    const QString shipped = bundleCopyFor(*shellVersion);
    if (shipped.isEmpty()) {
        err << "No GNOME Shell extension beside the agent runs on GNOME Shell " << *shellVersion << "\n";
        return false;
    }
    // A package's copy in the system folder serves every user as it is, unless it is for another
    // shell or a copy of the user's own comes first.
    const QString system = systemCopy();
    const bool systemServes = !system.isEmpty() && sameFiles(shipped, system) && !QFileInfo::exists(userFolder());
    if (!systemServes && !copyToUser(shipped, out, err))
        return false;
    if (!enable(err))
        return false;
    if (gsettings({QStringLiteral("get"), shellSchema, QStringLiteral("disable-user-extensions")}) == QStringLiteral("true")) {
        out << "GNOME Shell runs no extensions while they are switched off for your account; to switch them on: "
               "gsettings set org.gnome.shell disable-user-extensions false\n";
        return true;
    }

    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface()->isServiceRegistered(QStringLiteral("org.gnome.Shell"))) {
        out << "Enabled the GNOME Shell extension; it starts with your next GNOME session.\n";
        return true;
    }
    if (waitForExtension(bus)) {
        out << "The GNOME Shell extension is enabled and running.\n";
        return true;
    }
    // The shell looks for extensions when it starts: one copied in later waits for the next login.
    out << "Enabled the GNOME Shell extension. Log out and back in once: GNOME Shell loads a newly installed extension at login.\n";
    return true;
}

} // namespace hourloom
