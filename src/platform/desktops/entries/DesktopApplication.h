#pragma once

#include "DesktopEntryIndex.h"
#include "core/ports/WorkspaceProtocol.h"

namespace hourloom {

// Names a window's application the way the user knows it. Name: the desktop entry's Name, else
// the WM_CLASS class, else the program's file name. Id: the desktop entry's id, else the WM_CLASS
// class, else the program's path. Whatever none of these gives stays unknown.
RunningApplication describeApplication(const DesktopEntryIndex &index, const WindowFacts &window);

} // namespace hourloom
