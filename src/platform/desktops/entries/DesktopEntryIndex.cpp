#include "DesktopEntryIndex.h"

#include "platform/services/files/ReadRegularFile.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSet>

namespace hourloom {
namespace {

// Entries with every translation of their name stay far below this.
constexpr qint64 maxEntrySize = 1024 * 1024;

QStringList dataDirectories()
{
    QString home = qEnvironmentVariable("XDG_DATA_HOME");
    if (home.isEmpty())
        home = QDir::homePath() + QStringLiteral("/.local/share");
    QString others = qEnvironmentVariable("XDG_DATA_DIRS");
    if (others.isEmpty())
        others = QStringLiteral("/usr/local/share:/usr/share");
    return QStringList{home} + others.split(u':', Qt::SkipEmptyParts);
}

QString userLocale()
{
    for (const char *variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const QString value = qEnvironmentVariable(variable);
        if (!value.isEmpty())
            return value;
    }
    return {};
}

// "org.gnome.TextEditor" → "texteditor"; "debian-xterm" stays whole.
QString lastDnsPart(const QString &id)
{
    return id.section(u'.', -1).toLower();
}

} // namespace

QStringList DesktopEntryIndex::languagesFor(const QString &locale)
{
    // lang_COUNTRY.ENCODING@MODIFIER, of which the encoding never takes part.
    const QString modifier = locale.contains(u'@') ? locale.section(u'@', 1) : QString();
    const QString base = locale.section(u'@', 0, 0).section(u'.', 0, 0);
    const QString language = base.section(u'_', 0, 0);
    const QString country = base.contains(u'_') ? base.section(u'_', 1) : QString();
    if (language.isEmpty() || language == QLatin1String("C") || language == QLatin1String("POSIX"))
        return {};
    QStringList languages;
    if (!country.isEmpty() && !modifier.isEmpty())
        languages << language + u'_' + country + u'@' + modifier;
    if (!country.isEmpty())
        languages << language + u'_' + country;
    if (!modifier.isEmpty())
        languages << language + u'@' + modifier;
    languages << language;
    return languages;
}

DesktopEntryIndex DesktopEntryIndex::fromSystem()
{
    const QStringList languages = languagesFor(userLocale());
    QList<DesktopEntry> entries;
    QSet<QString> seen;
    for (const QString &dataDirectory : dataDirectories()) {
        const QString applications = dataDirectory + QStringLiteral("/applications");
        QDirIterator files(applications, {QStringLiteral("*.desktop")}, QDir::Files, QDirIterator::Subdirectories);
        while (files.hasNext()) {
            const QString path = files.next();
            QString id = path.mid(applications.size() + 1);
            id.chop(int(qstrlen(".desktop")));
            id.replace(u'/', u'-');
            if (seen.contains(id))
                continue;
            seen.insert(id);
            // Entries are often links into a package's own folder; a FIFO, a device or a huge
            // file under the name must not hold up or flood start-up.
            const auto file = readRegularFile(path, maxEntrySize, Symlinks::follow);
            if (!file)
                continue;
            if (auto entry = DesktopEntry::parse(id, file->bytes, languages))
                entries.append(std::move(*entry));
        }
    }
    return DesktopEntryIndex(std::move(entries));
}

DesktopEntryIndex::DesktopEntryIndex(QList<DesktopEntry> entries)
    : entries_(std::move(entries))
{
    for (qsizetype i = 0; i < entries_.size(); ++i)
        byId_.insert(entries_[i].id, i);
}

const DesktopEntry *DesktopEntryIndex::declaringClassOf(const WindowFacts &window, Qt::CaseSensitivity sensitivity) const
{
    for (const auto &wmClass : {window.wmClassClass, window.wmClassInstance}) {
        if (!wmClass)
            continue;
        for (const DesktopEntry &entry : entries_) {
            if (entry.startupWMClass && entry.startupWMClass->compare(*wmClass, sensitivity) == 0)
                return &entry;
        }
    }
    return nullptr;
}

const DesktopEntry *DesktopEntryIndex::find(const WindowFacts &window) const
{
    if (window.applicationIdMayBeGuessed) {
        if (const DesktopEntry *declared = declaringClassOf(window, Qt::CaseSensitive))
            return declared;
    }
    if (window.applicationId) {
        QString id = QFileInfo(*window.applicationId).fileName();
        if (id.endsWith(QLatin1String(".desktop")))
            id.chop(int(qstrlen(".desktop")));
        if (const auto found = byId_.constFind(id); found != byId_.constEnd())
            return &entries_[*found];
    }
    // Exactly first; then regardless of case, for compositors (KWin) that report the class in lower case.
    for (const Qt::CaseSensitivity sensitivity : {Qt::CaseSensitive, Qt::CaseInsensitive}) {
        if (const DesktopEntry *declared = declaringClassOf(window, sensitivity))
            return declared;
    }
    if (window.wmClassClass) {
        const QString wanted = window.wmClassClass->toLower();
        for (const DesktopEntry &entry : entries_) {
            if (entry.id.toLower() == wanted || lastDnsPart(entry.id) == wanted)
                return &entry;
        }
    }
    if (window.executable) {
        const DesktopEntry *match = nullptr;
        for (const DesktopEntry &entry : entries_) {
            if (entry.program != *window.executable)
                continue;
            if (match)
                return nullptr; // more than one entry runs this program: none of them is certain
            match = &entry;
        }
        return match;
    }
    return nullptr;
}

} // namespace hourloom
