#pragma once

#include "app/EventSourceProtocol.h"
#include "app/EventTrackerProtocol.h"
#include "app/NotificationCenter.h"
#include "app/WorkspaceProtocol.h"

#include <QProcessEnvironment>

#include <memory>

namespace hourloom {

// The desktop services tracking runs on, chosen for the session the agent runs in. This is the
// one place that decides between desktops.
struct PlatformBackend {
    std::shared_ptr<WorkspaceProtocol> workspace;
    std::shared_ptr<EventSourceProtocol> eventSource;
    std::shared_ptr<EventTrackerProtocol> eventTracker;

    // X11 when there is an X display and the session is not Wayland. Anywhere else the agent keeps
    // running without tracking, and says so once on standard output.
    static PlatformBackend forDesktop(NotificationCenter &workspaceCenter,
                                      const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment());
};

} // namespace hourloom
