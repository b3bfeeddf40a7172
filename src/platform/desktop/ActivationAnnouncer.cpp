#include "ActivationAnnouncer.h"

#include "tracking/AppSwitchTracker.h"

namespace hourloom {

void ActivationAnnouncer::announce(const RunningApplication &application)
{
    if (last_ && last_->localizedName == application.localizedName && last_->bundleIdentifier == application.bundleIdentifier)
        return;
    last_ = application;
    center_.post({AppSwitchTracker::didActivateApplicationNotification,
                  std::map<QString, std::any>{{AppSwitchTracker::applicationUserInfoKey, application}}});
}

} // namespace hourloom
