#include "CrashReport.h"

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

std::optional<CrashReport> CrashReport::parse(const QByteArray &marker)
{
    CrashReport report;
    for (const QByteArray &line : marker.split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() != 2)
            continue;
        bool ok = false;
        if (fields[0] == "signal") {
            report.signal = fields[1].toInt(&ok);
        } else if (fields[0] == "time") {
            const qint64 seconds = fields[1].toLongLong(&ok);
            if (ok)
                report.time = QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC);
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
