#include "CrashReport.h"

#include <algorithm>
#include <csignal>

namespace hourloom {

QString CrashReport::signalName() const
{
    switch (signal) {
    case SIGSEGV: return QStringLiteral("SIGSEGV");
    case SIGBUS: return QStringLiteral("SIGBUS");
    case SIGILL: return QStringLiteral("SIGILL");
    case SIGFPE: return QStringLiteral("SIGFPE");
    case SIGABRT: return QStringLiteral("SIGABRT");
    case SIGTRAP: return QStringLiteral("SIGTRAP");
    }
    return QStringLiteral("signal %1").arg(signal);
}

QList<LoadedModule> CrashReport::modulesOfFrames() const
{
    QList<LoadedModule> found;
    for (const LoadedModule &module : modules) {
        if (std::any_of(frames.begin(), frames.end(), [&module](quint64 frame) { return module.contains(frame); }))
            found.append(module);
    }
    return found;
}

namespace {

// Adds one line of /proc/<pid>/maps ("start-end perms offset dev inode path") to the modules:
// a file's first mapping (offset 0) is where it was loaded, its last one where it ends.
void addMapping(QList<LoadedModule> &modules, const QByteArray &line)
{
    const QList<QByteArray> fields = line.simplified().split(' ');
    if (fields.size() < 6 || !fields[5].startsWith('/'))
        return;
    const QList<QByteArray> range = fields[0].split('-');
    bool ok[4] = {};
    const quint64 start = range.value(0).toULongLong(&ok[0], 16);
    const quint64 end = range.value(1).toULongLong(&ok[1], 16);
    const quint64 offset = fields[2].toULongLong(&ok[2], 16);
    const quint64 inode = fields[4].toULongLong(&ok[3]);
    if (!(ok[0] && ok[1] && ok[2] && ok[3]))
        return;
    // A path may hold spaces.
    const QString path = QString::fromLocal8Bit(fields.mid(5).join(' '));
    if (offset == 0) {
        modules.append({path, start, end, inode});
    } else if (!modules.isEmpty() && modules.last().path == path) {
        modules.last().end = std::max(modules.last().end, end);
    }
}

} // namespace

std::optional<CrashReport> CrashReport::parse(const QByteArray &marker)
{
    CrashReport report;
    for (const QByteArray &line : marker.split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() > 2) {
            addMapping(report.modules, line);
            continue;
        }
        if (fields.size() != 2)
            continue;
        bool ok = false;
        if (fields[0] == "signal") {
            report.signal = fields[1].toInt(&ok);
        } else if (fields[0] == "time") {
            const qint64 seconds = fields[1].toLongLong(&ok);
            if (ok)
                report.time = QDateTime::fromSecsSinceEpoch(seconds).toUTC();
        } else if (fields[0] == "frame") {
            const quint64 address = fields[1].toULongLong(&ok, 16);
            if (ok)
                report.frames.append(address);
        }
    }
    if (report.signal <= 0)
        return std::nullopt;
    return report;
}

} // namespace hourloom
