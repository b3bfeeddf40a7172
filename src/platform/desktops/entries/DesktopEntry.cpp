#include "DesktopEntry.h"

#include <QFileInfo>
#include <QHash>
#include <QStandardPaths>

namespace hourloom {
namespace {

// The program of an Exec line: its first word, with quoting removed.
std::optional<QString> execProgram(const QString &exec)
{
    const QString line = exec.trimmed();
    if (line.isEmpty())
        return std::nullopt;
    QString program;
    if (line.startsWith(u'"')) {
        for (qsizetype i = 1; i < line.size() && line[i] != u'"'; ++i) {
            if (line[i] == u'\\' && i + 1 < line.size())
                ++i;
            program.append(line[i]);
        }
    } else {
        program = line.section(u' ', 0, 0);
    }
    if (program.isEmpty())
        return std::nullopt;
    if (QFileInfo(program).isAbsolute())
        return QFileInfo(program).canonicalFilePath().isEmpty() ? program : QFileInfo(program).canonicalFilePath();
    const QString found = QStandardPaths::findExecutable(program);
    if (found.isEmpty())
        return std::nullopt;
    const QString canonical = QFileInfo(found).canonicalFilePath();
    return canonical.isEmpty() ? found : canonical;
}

} // namespace

std::optional<DesktopEntry> DesktopEntry::parse(const QString &id, const QByteArray &text, const QStringList &languages)
{
    // Only the [Desktop Entry] group names the application; actions and other groups follow it.
    QHash<QString, QString> values;
    bool inMainGroup = false;
    for (const QByteArray &rawLine : text.split('\n')) {
        const QString line = QString::fromUtf8(rawLine).trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[')) {
            inMainGroup = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (!inMainGroup || equals <= 0)
            continue;
        const QString key = line.left(equals).trimmed();
        if (!values.contains(key))
            values.insert(key, line.mid(equals + 1).trimmed());
    }
    if (values.value(QStringLiteral("Type")) != QLatin1String("Application")
        || values.value(QStringLiteral("Hidden")) == QLatin1String("true"))
        return std::nullopt;

    QString name = values.value(QStringLiteral("Name"));
    for (const QString &language : languages) {
        const QString localised = values.value(QStringLiteral("Name[%1]").arg(language));
        if (!localised.isEmpty()) {
            name = localised;
            break;
        }
    }
    if (name.isEmpty())
        return std::nullopt;

    DesktopEntry entry{id, name, std::nullopt, execProgram(values.value(QStringLiteral("Exec")))};
    if (const QString wmClass = values.value(QStringLiteral("StartupWMClass")); !wmClass.isEmpty())
        entry.startupWMClass = wmClass;
    return entry;
}

} // namespace hourloom
