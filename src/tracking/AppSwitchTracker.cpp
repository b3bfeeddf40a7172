#include "AppSwitchTracker.h"

#include "SessionBatchControllerProtocol.h"
#include "model/AppSession.h"

namespace hourloom {

AppSwitchTracker::AppSwitchTracker(std::shared_ptr<WorkspaceProtocol> workspace)
    : workspace_(std::move(workspace))
{
}

void AppSwitchTracker::recordFrontmostApplication(SessionBatchControllerProtocol &controller)
{
    const std::optional<RunningApplication> application = workspace_->frontmostApplication();
    if (!application)
        return;
    controller.handleAppSwitch(std::make_shared<AppSession>(application->localizedName, application->bundleIdentifier));
}

} // namespace hourloom
