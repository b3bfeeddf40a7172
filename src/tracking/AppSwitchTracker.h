#pragma once

#include "app/WorkspaceProtocol.h"

#include <memory>

namespace hourloom {

class SessionBatchControllerProtocol;

// Turns the desktop's frontmost application into new app sessions for the session batch controller.
class AppSwitchTracker {
public:
    explicit AppSwitchTracker(std::shared_ptr<WorkspaceProtocol> workspace);

    // Hands a session for the application that is frontmost now to the controller; nothing when
    // no application is frontmost.
    void recordFrontmostApplication(SessionBatchControllerProtocol &controller);

    const std::shared_ptr<WorkspaceProtocol> &workspace() const { return workspace_; }

private:
    std::shared_ptr<WorkspaceProtocol> workspace_;
};

} // namespace hourloom
