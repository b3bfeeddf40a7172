#include "DesktopApplication.h"

#include <QFile>
#include <QFileInfo>

namespace hourloom {

RunningApplication describeApplication(const DesktopEntryIndex &index, const WindowFacts &window)
{
    if (const DesktopEntry *entry = index.find(window))
        return {entry->name, entry->id};
    RunningApplication application;
    if (window.wmClassClass && !window.wmClassClass->isEmpty()) {
        application.localizedName = window.wmClassClass;
        application.bundleIdentifier = window.wmClassClass;
    } else if (window.executable) {
        application.localizedName = QFileInfo(*window.executable).fileName();
        application.bundleIdentifier = window.executable;
    }
    return application;
}

std::optional<QString> executableOfProcess(std::uint32_t pid)
{
    const QString link = QFile::symLinkTarget(QStringLiteral("/proc/%1/exe").arg(pid));
    if (link.isEmpty())
        return std::nullopt;
    const QLatin1String deleted(" (deleted)");
    return link.endsWith(deleted) ? link.chopped(deleted.size()) : link;
}

} // namespace hourloom
