#pragma once

#include "UserActivityControllerProtocol.h"
#include "core/MainLoopTimer.h"

#include <QFuture>
#include <QPointer>

#include <optional>

namespace hourloom {

class KeychainHelperProtocol;
class SessionBatchAPIDispatcherProtocol;
class SessionOutbox;
class URLSessionProtocol;

// The upload scheduler. Everything runs on the main loop: an upload encodes the batch, waits
// for the network without blocking the loop and then takes the sent sessions out of the batch,
// so tracking and uploads never touch the batch at the same moment.
//
// Only what the service has accepted leaves the batch: after a failed upload every ended session
// stays, in order, and goes out again (under the same id) with the next one. With an outbox,
// ended sessions also wait on disk: those of earlier runs and of the account's earlier log-ins
// go out with the first upload after a start or a log-in.
//
// Uploads never overlap: an older answer landing after a newer one would store older times over
// newer ones. A timer step that finds an upload under way does nothing; log-out and quit wait for
// it and then make their own.
class UserActivityController final : public UserActivityControllerProtocol,
                                     public std::enable_shared_from_this<UserActivityController> {
public:
    // Ended sessions that may wait for the service; past this the oldest are dropped.
    static constexpr qsizetype maxWaitingEndedSessions = 10000;

    // Reads SECONDS_BETWEEN_API_SENDS.
    UserActivityController(std::shared_ptr<AuthControllerProtocol> authController,
                           std::shared_ptr<KeychainHelperProtocol> keychainHelper,
                           std::shared_ptr<SessionBatchControllerProtocol> sessionBatchController,
                           std::shared_ptr<SessionBatchAPIDispatcherProtocol> apiDispatcher,
                           std::shared_ptr<URLSessionProtocol> urlSession,
                           TimerProvider timerProvider = MainLoopTimer::provider(),
                           std::shared_ptr<SessionOutbox> outbox = {});
    ~UserActivityController() override;

    static constexpr qsizetype defaultMaxUploadBytes = 1024 * 1024;
    // The largest body sent in one request: half a part the service answered 413, growing back
    // (doubling up to the default) with every part it accepts.
    qsizetype maxUploadBytes = defaultMaxUploadBytes;

    const double timeBetweenAPISendsInSeconds;
    TimerProvider timerProvider;
    std::shared_ptr<TimerProtocol> uploadActivityTimer;

    std::shared_ptr<SessionBatchControllerProtocol> sessionBatchController() const override { return sessionBatchController_; }
    std::shared_ptr<AuthControllerProtocol> authController() const override { return authController_; }
    std::shared_ptr<SessionBatchAPIDispatcherProtocol> apiDispatcher() const { return apiDispatcher_; }

    QCoro::Task<void> start() override;
    QCoro::Task<void> startTracking() override;
    void scheduleUploadTimer() override;
    QCoro::Task<void> uploadTimerFired();
    QCoro::Task<void> uploadSessionBatch() override;
    void stopTracking() override;
    QCoro::Task<void> logOut() override;
    // The service refused the login for good: what has ended stays in the outbox for the next
    // login of the account, tracking stops and the user is shown logged out.
    QCoro::Task<void> endExpiredLogin();

private:
    QCoro::Task<bool> hasAccessToken();
    QCoro::Task<void> sendWaitingSessions();
    void keepWaitingSessionsBounded();
    // Puts what the outbox holds for the account ahead of the batch, once after each start.
    void restoreWaitingSessions();

    const std::shared_ptr<SessionBatchControllerProtocol> sessionBatchController_;
    const std::shared_ptr<KeychainHelperProtocol> keychainHelper_;
    const std::shared_ptr<AuthControllerProtocol> authController_;
    const std::shared_ptr<SessionBatchAPIDispatcherProtocol> apiDispatcher_;
    const std::shared_ptr<URLSessionProtocol> urlSession_;
    const std::shared_ptr<SessionOutbox> outbox_;
    bool restorePending_ = false;
    // Parent of the queued timer creation, so it is dropped with the controller.
    QObject *mainLoopContext_;
    // Finishes when the upload under way has.
    std::optional<QFuture<void>> uploadInFlight_;
};

} // namespace hourloom
