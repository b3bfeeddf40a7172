#pragma once

#include "AppSessionControllerProtocol.h"
#include "SessionBatchControllerProtocol.h"

#include <functional>
#include <vector>

namespace hourloom {

class IdleTimeController;

class SessionBatchController final : public SessionBatchControllerProtocol {
public:
    // Reads SECONDS_MIN_APP_SESSION and makes the one batch through sessionBatchType. Each app
    // session's controller gets webSessionControllerClass to track a browser's web sessions.
    SessionBatchController(std::shared_ptr<AppSwitchTracker> appSwitchTracker,
                           std::shared_ptr<IdleTimeController> idleTimeController,
                           WebSessionControllerClass webSessionControllerClass,
                           SessionBatchType sessionBatchType = defaultSessionBatchType(),
                           AppSessionControllerType appSessionControllerType = defaultAppSessionControllerType());

    double minSessionDuration;
    // Told of each session dropped as too short, so that whatever else holds it lets it go too.
    std::function<void(const AppSessionProtocol &)> sessionDropped;

    std::shared_ptr<SessionBatchProtocol> sessionBatch() const override { return sessionBatch_; }
    void setSessionBatch(std::shared_ptr<SessionBatchProtocol> sessionBatch) override { sessionBatch_ = std::move(sessionBatch); }
    std::shared_ptr<AppSwitchTracker> appSwitchTracker() const override { return appSwitchTracker_; }
    std::shared_ptr<IdleTimeController> idleTimeController() const { return idleTimeController_; }
    std::shared_ptr<AppSessionControllerProtocol> appSessionController() const override { return appSessionController_; }

    void handleAppSwitch(std::shared_ptr<AppSessionProtocol> newSession) override;
    void endCurrentSession() override;
    void noticeClockStep() override;
    bool closeCurrentSession(const QDateTime &at) override;
    void addWaitingSessions(const AppSessionList &waiting) override;
    void startIdleTimer() override;
    void stopIdleTimer() override;
    bool isCurrentSessionTooShort() const override;
    bool isCurrentSessionYoungerThanMinimum(const QDateTime &now) const override;
    void dropShortSession() override;
    bool isSameAppAsLastSession(const AppSessionProtocol &newSession) const override;
    void startAppSession(std::shared_ptr<AppSessionProtocol> newSession) override;
    void clearUploadedSessions() override;
    void removeUploadedSessions(const UploadedSessions &sent) override;
    qsizetype dropOldestEndedSessions(qsizetype limit) override;

private:
    static SessionBatchType defaultSessionBatchType();
    static AppSessionControllerType defaultAppSessionControllerType();
    // A quick return merges into the last session, unless that one was closed for good.
    bool canResumeLastSession(const AppSessionProtocol &newSession) const;

    std::shared_ptr<AppSwitchTracker> appSwitchTracker_;
    std::shared_ptr<IdleTimeController> idleTimeController_;
    std::shared_ptr<SessionBatchProtocol> sessionBatch_;
    std::shared_ptr<AppSessionControllerProtocol> appSessionController_;
    const AppSessionControllerType appSessionControllerType_;
    const WebSessionControllerClass webSessionControllerClass_;
    // Sessions closed for good that may still be in the batch.
    std::vector<std::weak_ptr<AppSessionProtocol>> closedSessions_;
};

} // namespace hourloom
