#pragma once

#include "core/NotificationCenter.h"
#include "core/ports/WorkspaceProtocol.h"

#include <memory>
#include <optional>

namespace hourloom {

class AppSessionProtocol;
class SessionBatchControllerProtocol;

// Turns the desktop's announcements of a newly frontmost application, and its answer to which
// application is frontmost now, into new app sessions for the session batch controller.
class AppSwitchTracker {
public:
    AppSwitchTracker(NotificationCenter &notificationCenter, QString notificationAction, QString applicationKey,
                     std::shared_ptr<WorkspaceProtocol> workspace);

    // Hands a session for the application that is frontmost now to the controller; nothing when
    // no application is frontmost.
    void recordFrontmostApplication(SessionBatchControllerProtocol &controller);
    // A new session for the notification's application, or the session it carries; none otherwise.
    std::shared_ptr<AppSessionProtocol> appSession(const Notification &notification) const;
    // Registers an observer that hands every activation to the controller (none while
    // trackingEnabled is false). A second call registers a second observer and keeps its token.
    void startObserving(const std::shared_ptr<SessionBatchControllerProtocol> &controller, bool trackingEnabled);
    void stopObserving();

    NotificationCenter &notificationCenter() const { return notificationCenter_; }
    const QString &notificationAction() const { return notificationAction_; }
    const QString &applicationKey() const { return applicationKey_; }
    std::optional<ObserverToken> appSwitchObserver() const { return appSwitchObserver_; }
    const std::shared_ptr<WorkspaceProtocol> &workspace() const { return workspace_; }

private:
    NotificationCenter &notificationCenter_;
    const QString notificationAction_;
    const QString applicationKey_;
    std::optional<ObserverToken> appSwitchObserver_;
    std::shared_ptr<WorkspaceProtocol> workspace_;
};

} // namespace hourloom
