#include "ProcessIdentity.h"

#include <QByteArray>
#include <QFile>

#include <unistd.h>

namespace hourloom {

ProcessIdentity ProcessIdentity::current()
{
    const qint64 pid = ::getpid();
    return {pid, startTimeOf(pid).value_or(0)};
}

std::optional<quint64> ProcessIdentity::startTimeOf(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (pid <= 0 || !stat.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray text = stat.read(4096);
    // The command name may hold spaces and parentheses; the fields after it start past the last ')'.
    const qsizetype close = text.lastIndexOf(')');
    if (close < 0)
        return std::nullopt;
    const QList<QByteArray> fields = text.mid(close + 2).split(' ');
    // A zombie has exited; only its parent has not collected it yet.
    if (fields.isEmpty() || fields[0] == "Z" || fields[0] == "X")
        return std::nullopt;
    // Field 22 of the line is the 20th after the name: state is field 3.
    constexpr qsizetype startTimeIndex = 22 - 3;
    if (fields.size() <= startTimeIndex)
        return std::nullopt;
    bool ok = false;
    const quint64 startTime = fields[startTimeIndex].toULongLong(&ok);
    return ok ? std::optional(startTime) : std::nullopt;
}

bool ProcessIdentity::isRunning() const
{
    return startTimeOf(pid) == startTime;
}

} // namespace hourloom
