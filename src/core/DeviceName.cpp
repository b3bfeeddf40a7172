#include "DeviceName.h"

#include <QFile>
#include <QSysInfo>

namespace hourloom {
namespace {

// machine-info is a shell-style KEY=VALUE file; values may be quoted and backslash-escaped.
std::optional<QString> prettyHostName(const QByteArray &machineInfo)
{
    for (const QByteArray &rawLine : machineInfo.split('\n')) {
        const QByteArray line = rawLine.trimmed();
        if (!line.startsWith("PRETTY_HOSTNAME="))
            continue;
        QByteArray value = line.mid(int(qstrlen("PRETTY_HOSTNAME=")));
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
            value = value.mid(1, value.size() - 2);
        QByteArray unescaped;
        for (qsizetype i = 0; i < value.size(); ++i) {
            if (value[i] == '\\' && i + 1 < value.size())
                ++i;
            unescaped.append(value[i]);
        }
        const QString name = QString::fromUtf8(unescaped).trimmed();
        if (!name.isEmpty())
            return name;
    }
    return std::nullopt;
}

} // namespace

std::optional<QString> DeviceName::choose(const QByteArray &machineInfo, const QString &hostName)
{
    if (auto pretty = prettyHostName(machineInfo))
        return pretty;
    if (!hostName.trimmed().isEmpty())
        return hostName;
    return std::nullopt;
}

std::optional<QString> DeviceName::current()
{
    QFile file(QStringLiteral("/etc/machine-info"));
    const QByteArray machineInfo = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    return choose(machineInfo, QSysInfo::machineHostName());
}

} // namespace hourloom
