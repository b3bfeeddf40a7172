#include "ProcessExecutable.h"

#include <QFile>

namespace hourloom {

std::optional<QString> executableOfProcess(std::uint32_t pid)
{
    const QString link = QFile::symLinkTarget(QStringLiteral("/proc/%1/exe").arg(pid));
    if (link.isEmpty())
        return std::nullopt;
    const QLatin1String deleted(" (deleted)");
    return link.endsWith(deleted) ? link.chopped(deleted.size()) : link;
}

} // namespace hourloom
