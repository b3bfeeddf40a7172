#include "UserActivityController.h"

#include "SessionBatchAPIDispatcherProtocol.h"
#include "SessionOutbox.h"
#include "auth/AuthControllerProtocol.h"
#include "core/Clock.h"
#include "core/Configuration.h"
#include "core/Log.h"
#include "tracking/AppSessionControllerProtocol.h"
#include "tracking/AppSwitchTracker.h"
#include "tracking/SessionBatchControllerProtocol.h"

#include <QCoreApplication>
#include <QPromise>

#include <qcoro/qcorofuture.h>

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
    // The upload under way sends what this step would have.
    if (uploadInFlight_) {
        qCDebug(lcUpload) << "timer step skipped: an upload is under way";
        co_return;
    }
    if (!co_await hasAccessToken() || uploadInFlight_) {
        qCDebug(lcUpload) << "timer step skipped:" << (uploadInFlight_ ? "an upload is under way" : "no access token");
        co_return;
    }
    // A wake-up since the agent last looked must not reach the service as time worked.
    sessionBatchController_->noticeClockStep();
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
    if (AppSessionList waiting = outbox_->restore(sessionBatchController_->sessionBatch()->appSessions()); !waiting.isEmpty())
        sessionBatchController_->addWaitingSessions(waiting);
}

QCoro::Task<void> UserActivityController::uploadSessionBatch()
{
    const auto self = shared_from_this();
    // On disk before anything is awaited: a quit or a log-out may be cut short while it waits.
    if (outbox_)
        outbox_->writeEnded();
    // Waits its turn: another waiter may have started the next upload by the time this one resumes.
    while (uploadInFlight_)
        co_await QFuture<void>(*uploadInFlight_);
    QPromise<void> finished;
    uploadInFlight_ = finished.future();
    finished.start();
    co_await sendWaitingSessions();
    uploadInFlight_.reset();
    finished.finish();
}

QCoro::Task<void> UserActivityController::sendWaitingSessions()
{
    restoreWaitingSessions();
    const auto batch = sessionBatchController_->sessionBatch();
    if (batch->appSessions().isEmpty()) {
        qCDebug(lcUpload) << "nothing to send";
        sessionBatchController_->clearUploadedSessions();
        co_return;
    }
    // After an outage the batch can outgrow what the service takes in one request: it goes out
    // in parts, oldest first. All bodies are written at one moment, and what each carries ended
    // is taken right then: a session that ends while an earlier part is in flight went out open.
    // Within this upload no part is ever as large as one the service refused.
    qsizetype ceiling = defaultMaxUploadBytes;
    AppSessionList waiting = batch->appSessions();
    // The open session may yet end too short to keep, and the service cannot give back what it
    // was sent: it goes out once it has lasted the shortest session kept.
    if (sessionBatchController_->isCurrentSessionYoungerThanMinimum(Clock::now())
        && waiting.last() == sessionBatchController_->appSessionController()->appSession())
        waiting.removeLast();
    while (!waiting.isEmpty()) {
        const auto parts = batch->encodeInParts(waiting, maxUploadBytes);
        QList<UploadedSessions> carried;
        for (const auto &part : parts)
            carried.append(UploadedSessions::endedIn(waiting.mid(part.first, part.count)));
        qsizetype sentUpTo = 0;
        bool split = false;
        for (qsizetype i = 0; i < parts.size() && !split; ++i) {
            const auto &part = parts[i];
            const UploadResult result = co_await apiDispatcher_->sendSessionBatch(part.body, urlSession_);
            qCDebug(lcUpload) << "part of" << part.count << "sessions," << part.body.size() << "bytes: status" << int(result.status)
                              << "HTTP" << result.statusCode;
            if (result.status == UploadStatus::tooLarge && part.count > 1) {
                ceiling = part.body.size() - 1;
                maxUploadBytes = std::max<qsizetype>(1, part.body.size() / 2);
                split = true;
                continue;
            }
            // A single session too large waits like any failure: a 413 is never a reason to drop.
            if (result.status == UploadStatus::failed || result.status == UploadStatus::tooLarge) {
                qCDebug(lcUpload) << waiting.size() - sentUpTo << "sessions kept for the next upload";
                keepWaitingSessionsBounded();
                co_return;
            }
            if (result.status == UploadStatus::refused)
                logLine(lcUpload, QStringLiteral("The service refused the activity upload (HTTP %1): %2 ended sessions dropped")
                                      .arg(result.statusCode)
                                      .arg(carried[i].endedAppSessions.size()));
            else
                maxUploadBytes = std::min(ceiling, maxUploadBytes * 2);
            sessionBatchController_->removeUploadedSessions(carried[i]);
            if (outbox_)
                outbox_->removeSent(carried[i]);
            sentUpTo = part.first + part.count;
        }
        if (!split)
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
        logLine(lcUpload, QStringLiteral("Too many sessions waiting for upload: dropped the %1 oldest").arg(dropped));
    if (tooOld)
        logLine(lcUpload, QStringLiteral("Sessions waiting for upload for more than %1 days: dropped %2").arg(SessionOutbox::maxAgeDays).arg(tooOld));
}

void UserActivityController::stopTracking()
{
    if (uploadActivityTimer) {
        uploadActivityTimer->invalidate();
        uploadActivityTimer.reset();
    }
    sessionBatchController_->appSwitchTracker()->stopObserving();
    // Nothing is recorded until the next login: a return from idleness or a wake-up would
    // otherwise start a session under the account that just left.
    sessionBatchController_->stopIdleTimer();
    // Log-out, quit and a refused login have ended the current session: its controller goes too,
    // or the first switch after the next login would end that session again, later, and write
    // the new end where the old one had gone.
    sessionBatchController_->closeCurrentSession(Clock::now());
    sessionBatchController_->sessionBatch()->setAppSessions({});
}

QCoro::Task<void> UserActivityController::endExpiredLogin()
{
    const auto self = shared_from_this();
    if (!uploadActivityTimer)
        co_return; // not tracking, or already ended
    sessionBatchController_->endCurrentSession();
    if (outbox_)
        outbox_->writeEnded();
    logLine(lcUpload, QStringLiteral("The service no longer accepts this login: tracking stopped until the next login"));
    stopTracking();
    authController_->setSessionExpired(true);
    authController_->setLoggedIn(false);
    co_await authController_->logOut();
}

QCoro::Task<void> UserActivityController::logOut()
{
    const auto self = shared_from_this();
    sessionBatchController_->endCurrentSession();
    co_await uploadSessionBatch();
    stopTracking();
    authController_->setLoggedIn(false);
    co_await authController_->logOut();
}

} // namespace hourloom
