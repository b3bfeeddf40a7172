#include "DesktopApplication.h"

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

} // namespace hourloom
