#include "AppSwitchTracker.h"

#include "SessionBatchControllerProtocol.h"
#include "model/AppSession.h"

namespace hourloom {

AppSwitchTracker::AppSwitchTracker(NotificationCenter &notificationCenter, QString notificationAction,
                                   QString applicationKey, std::shared_ptr<WorkspaceProtocol> workspace)
    : notificationCenter_(notificationCenter)
    , notificationAction_(std::move(notificationAction))
    , applicationKey_(std::move(applicationKey))
    , workspace_(std::move(workspace))
{
}

void AppSwitchTracker::recordFrontmostApplication(SessionBatchControllerProtocol &controller)
{
    const std::optional<RunningApplication> application = workspace_->frontmostApplication();
    if (!application)
        return;
    controller.handleAppSwitch(std::make_shared<AppSession>(application->localizedName, application->bundleIdentifier));
}

std::shared_ptr<AppSessionProtocol> AppSwitchTracker::appSession(const Notification &notification) const
{
    if (!notification.userInfo)
        return nullptr;
    const auto entry = notification.userInfo->find(applicationKey_);
    if (entry == notification.userInfo->end())
        return nullptr;
    if (const auto *application = std::any_cast<RunningApplication>(&entry->second))
        return std::make_shared<AppSession>(application->localizedName, application->bundleIdentifier);
    if (const auto *session = std::any_cast<std::shared_ptr<AppSessionProtocol>>(&entry->second))
        return *session;
    return nullptr;
}

void AppSwitchTracker::startObserving(const std::shared_ptr<SessionBatchControllerProtocol> &controller, bool trackingEnabled)
{
    // The controller owns this tracker: hold it weakly so the observer never keeps either alive.
    std::weak_ptr<SessionBatchControllerProtocol> weakController = controller;
    appSwitchObserver_ = notificationCenter_.addObserver(notificationAction_, [this, weakController, trackingEnabled](const Notification &notification) {
        if (!trackingEnabled)
            return;
        const auto sessionBatchController = weakController.lock();
        if (!sessionBatchController)
            return;
        if (auto session = appSession(notification))
            sessionBatchController->handleAppSwitch(std::move(session));
    });
}

void AppSwitchTracker::stopObserving()
{
    if (!appSwitchObserver_)
        return;
    notificationCenter_.removeObserver(*appSwitchObserver_);
    appSwitchObserver_.reset();
}

} // namespace hourloom
