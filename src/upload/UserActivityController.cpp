#include "UserActivityController.h"

#include "SessionBatchAPIDispatcherProtocol.h"
#include "SessionOutbox.h"
#include "app/Clock.h"
#include "app/Configuration.h"
#include "auth/AuthControllerProtocol.h"
#include "tracking/AppSessionControllerProtocol.h"
#include "tracking/AppSwitchTracker.h"
#include "tracking/SessionBatchControllerProtocol.h"

#include <QCoreApplication>
#include <QTextStream>

namespace hourloom {

UserActivityController::UserActivityController(std::shared_ptr<AuthControllerProtocol> authController,
                                               std::shared_ptr<KeychainHelperProtocol> keychainHelper,
                                               std::shared_ptr<SessionBatchControllerProtocol> sessionBatchController,
                                               std::shared_ptr<SessionBatchAPIDispatcherProtocol> apiDispatcher,
                                               std::shared_ptr<URLSessionProtocol> urlSession, TimerProvider provider,
                                               std::shared_ptr<SessionOutbox> outbox)
    : timeBetweenAPISendsInSeconds(Configuration::secondsBetweenApiSends())
    , timerProvider(std::move(provider))
    , sessionBatchController_(std::move(sessionBatchController))
    , keychainHelper_(std::move(keychainHelper))
    , authController_(std::move(authController))
    , apiDispatcher_(std::move(apiDispatcher))
    , urlSession_(std::move(urlSession))
    , outbox_(std::move(outbox))
    , mainLoopContext_(new QObject)
{
}

UserActivityController::~UserActivityController()
{
    delete mainLoopContext_;
}

QCoro::Task<bool> UserActivityController::hasAccessToken()
{
    return authController_->hasAccessToken(keychainHelper_, false);
}

QCoro::Task<void> UserActivityController::start()
{
    const auto self = shared_from_this();
    if (!co_await hasAccessToken())
        co_return;
    sessionBatchController_->sessionBatch()->setAppSessions({});
    co_await startTracking();
    scheduleUploadTimer();
}

QCoro::Task<void> UserActivityController::startTracking()
{
    const auto self = shared_from_this();
    const bool trackingEnabled = co_await hasAccessToken();
    // A start or a log-in: the account's sessions from earlier runs go out with the next upload.
    restorePending_ = trackingEnabled;
    const auto tracker = sessionBatchController_->appSwitchTracker();
    if (trackingEnabled)
        tracker->recordFrontmostApplication(*sessionBatchController_);
    // A second start replaces the observer rather than adding one: activations are never
    // handled twice.
    tracker->stopObserving();
    tracker->startObserving(sessionBatchController_, trackingEnabled);
}

void UserActivityController::scheduleUploadTimer()
{
    const std::weak_ptr<UserActivityController> weakSelf = weak_from_this();
    QMetaObject::invokeMethod(mainLoopContext_, [weakSelf] {
        const auto self = weakSelf.lock();
        if (!self)
            return;
        if (self->uploadActivityTimer)
            self->uploadActivityTimer->invalidate();
        self->uploadActivityTimer = self->timerProvider(self->timeBetweenAPISendsInSeconds, true, [weakSelf](TimerProtocol &) {
            if (const auto controller = weakSelf.lock())
                controller->uploadTimerFired();
        });
    }, Qt::QueuedConnection);
}

QCoro::Task<void> UserActivityController::uploadTimerFired()
{
    const auto self = shared_from_this();
    if (!co_await hasAccessToken())
        co_return;
    if (outbox_)
        outbox_->checkpoint(Clock::now());
    co_await uploadSessionBatch();
}

void UserActivityController::restoreWaitingSessions()
{
    if (!outbox_ || !restorePending_)
        return;
    restorePending_ = false;
    keepWaitingSessionsBounded();
    const auto batch = sessionBatchController_->sessionBatch();
    if (AppSessionList waiting = outbox_->restore(batch->appSessions()); !waiting.isEmpty())
        batch->setAppSessions(waiting + batch->appSessions());
}

QCoro::Task<void> UserActivityController::uploadSessionBatch()
{
    const auto self = shared_from_this();
    if (outbox_)
        outbox_->writeEnded();
    restoreWaitingSessions();
    const auto batch = sessionBatchController_->sessionBatch();
    if (batch->appSessions().isEmpty()) {
        sessionBatchController_->clearUploadedSessions();
        co_return;
    }
    // After an outage the batch can outgrow what the service takes in one request: it goes out
    // in parts, oldest first. Each part's body and what it carries ended are taken at one moment.
    AppSessionList waiting = batch->appSessions();
    while (!waiting.isEmpty()) {
        const auto parts = batch->encodeInParts(waiting, maxUploadBytes);
        qsizetype sentUpTo = 0;
        bool shrink = false;
        for (const auto &part : parts) {
            const AppSessionList carried = waiting.mid(part.first, part.count);
            const UploadedSessions sent = UploadedSessions::endedIn(carried);
            const QList<SentAppSession> sentEnded = SessionOutbox::endedIn(carried);
            const UploadResult result = co_await apiDispatcher_->sendSessionBatch(part.body, urlSession_);
            if (result.statusCode == 413 && part.count > 1) {
                // The service takes less than we thought: smaller parts from here on.
                maxUploadBytes = std::max<qsizetype>(1, maxUploadBytes / 2);
                shrink = true;
                break;
            }
            if (result.status == UploadStatus::failed) {
                keepWaitingSessionsBounded();
                co_return;
            }
            if (result.status == UploadStatus::refused)
                QTextStream(stdout) << "The service refused the activity upload (HTTP " << result.statusCode << "): "
                                    << sent.endedAppSessions.size() << " ended sessions dropped\n";
            sessionBatchController_->removeUploadedSessions(sent);
            if (outbox_)
                outbox_->removeSent(sentEnded);
            sentUpTo = part.first + part.count;
        }
        if (!shrink)
            co_return;
        waiting = waiting.mid(sentUpTo);
    }
}

void UserActivityController::keepWaitingSessionsBounded()
{
    qsizetype dropped = sessionBatchController_->dropOldestEndedSessions(maxWaitingEndedSessions);
    qsizetype tooOld = 0;
    if (outbox_) {
        const OutboxProtocol::Trimmed trimmed = outbox_->trim();
        dropped = std::max(dropped, trimmed.overLimit);
        tooOld = trimmed.tooOld;
    }
    if (dropped)
        QTextStream(stdout) << "Too many sessions waiting for upload: dropped the " << dropped << " oldest\n";
    if (tooOld)
        QTextStream(stdout) << "Sessions waiting for upload for more than " << SessionOutbox::maxAgeDays << " days: dropped "
                            << tooOld << "\n";
}

void UserActivityController::stopTracking()
{
    if (uploadActivityTimer) {
        uploadActivityTimer->invalidate();
        uploadActivityTimer.reset();
    }
    sessionBatchController_->appSwitchTracker()->stopObserving();
    sessionBatchController_->sessionBatch()->setAppSessions({});
}

QCoro::Task<void> UserActivityController::endExpiredLogin()
{
    const auto self = shared_from_this();
    if (!uploadActivityTimer)
        co_return; // not tracking, or already ended
    if (const auto appSessionController = sessionBatchController_->appSessionController())
        appSessionController->endSession(Clock::now());
    if (outbox_)
        outbox_->writeEnded();
    QTextStream(stdout) << "The service no longer accepts this login: tracking stopped until the next login\n";
    stopTracking();
    authController_->setSessionExpired(true);
    authController_->setLoggedIn(false);
    co_await authController_->logOut();
}

QCoro::Task<void> UserActivityController::logOut()
{
    const auto self = shared_from_this();
    if (const auto appSessionController = sessionBatchController_->appSessionController())
        appSessionController->endSession(Clock::now());
    co_await uploadSessionBatch();
    stopTracking();
    authController_->setLoggedIn(false);
    co_await authController_->logOut();
}

} // namespace hourloom
