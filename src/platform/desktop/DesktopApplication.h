#pragma once

#include "DesktopEntryIndex.h"
#include "platform/WorkspaceProtocol.h"

#include <cstdint>

namespace hourloom {

// Names a window's application the way the user knows it. Name: the desktop entry's Name, else
// the WM_CLASS class, else the program's file name. Id: the desktop entry's id, else the WM_CLASS
// class, else the program's path. Whatever none of these gives stays unknown.
RunningApplication describeApplication(const DesktopEntryIndex &index, const WindowFacts &window);

// The program a process runs (its /proc/PID/exe), none when the process is gone or not ours to see.
std::optional<QString> executableOfProcess(std::uint32_t pid);

} // namespace hourloom
