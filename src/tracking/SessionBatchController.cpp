#include "SessionBatchController.h"

#include "AppSessionController.h"
#include "AppSwitchTracker.h"
#include "IdleTimeController.h"
#include "core/Clock.h"
#include "core/Configuration.h"
#include "model/SessionBatch.h"

namespace hourloom {

SessionBatchType SessionBatchController::defaultSessionBatchType()
{
    return SessionBatch::type();
}

AppSessionControllerType SessionBatchController::defaultAppSessionControllerType()
{
    return AppSessionController::type();
}

SessionBatchController::SessionBatchController(std::shared_ptr<AppSwitchTracker> appSwitchTracker,
                                               std::shared_ptr<IdleTimeController> idleTimeController,
                                               WebSessionControllerClass webSessionControllerClass,
                                               SessionBatchType sessionBatchType,
                                               AppSessionControllerType appSessionControllerType)
    : minSessionDuration(Configuration::secondsMinAppSession())
    , appSwitchTracker_(std::move(appSwitchTracker))
    , idleTimeController_(std::move(idleTimeController))
    , sessionBatch_(sessionBatchType())
    , appSessionControllerType_(std::move(appSessionControllerType))
    , webSessionControllerClass_(std::move(webSessionControllerClass))
{
}

void SessionBatchController::handleAppSwitch(std::shared_ptr<AppSessionProtocol> newSession)
{
    // While the user is away a window that activates itself opens nothing: the first input
    // records whatever is frontmost then.
    if (idleTimeController_->isIdle)
        return;
    idleTimeController_->noticeClockStep(*this);
    if (appSessionController_)
        appSessionController_->endSession(Clock::now());
    dropShortSession();
    if (canResumeLastSession(*newSession)) {
        // A quick return continues the earlier session; the new one never enters the batch.
        appSessionController_->resumeSession(sessionBatch_->appSessions().last());
        return;
    }
    startAppSession(std::move(newSession));
}

void SessionBatchController::endCurrentSession()
{
    idleTimeController_->noticeClockStep(*this);
    if (appSessionController_)
        appSessionController_->endSession(Clock::now());
}

void SessionBatchController::noticeClockStep()
{
    if (idleTimeController_->noticeClockStep(*this))
        appSwitchTracker_->recordFrontmostApplication(*this);
}

bool SessionBatchController::closeCurrentSession(const QDateTime &at)
{
    if (!appSessionController_)
        return false;
    const bool running = appSessionController_->appSession()->isActive();
    if (running)
        appSessionController_->endSession(at);
    dropShortSession();
    std::erase_if(closedSessions_, [](const auto &session) { return session.expired(); });
    closedSessions_.push_back(appSessionController_->appSession());
    // Without a controller, log-out and quit find nothing left to end.
    appSessionController_.reset();
    return running;
}

void SessionBatchController::addWaitingSessions(const AppSessionList &waiting)
{
    std::erase_if(closedSessions_, [](const auto &session) { return session.expired(); });
    closedSessions_.insert(closedSessions_.end(), waiting.cbegin(), waiting.cend());
    sessionBatch_->setAppSessions(waiting + sessionBatch_->appSessions());
}

bool SessionBatchController::canResumeLastSession(const AppSessionProtocol &newSession) const
{
    if (!appSessionController_ || !isSameAppAsLastSession(newSession))
        return false;
    const std::shared_ptr<AppSessionProtocol> last = sessionBatch_->appSessions().last();
    return std::none_of(closedSessions_.cbegin(), closedSessions_.cend(), [&](const auto &closed) { return closed.lock() == last; });
}

bool SessionBatchController::isSameAppAsLastSession(const AppSessionProtocol &newSession) const
{
    const AppSessionList &sessions = sessionBatch_->appSessions();
    return !sessions.isEmpty() && sessions.last()->bundleIdentifier() == newSession.bundleIdentifier();
}

void SessionBatchController::startAppSession(std::shared_ptr<AppSessionProtocol> newSession)
{
    sessionBatch_->appSessions().append(newSession);
    startIdleTimer();
    appSessionController_ = appSessionControllerType_(std::move(newSession), webSessionControllerClass_);
}

bool SessionBatchController::isCurrentSessionTooShort() const
{
    // Only the current session itself may be dropped: after an upload took it from the batch
    // (it had ended, say through idleness), the last element is another, complete session.
    if (!appSessionController_ || sessionBatch_->appSessions().isEmpty()
        || sessionBatch_->appSessions().last() != appSessionController_->appSession())
        return false;
    const std::optional<double> duration = appSessionController_->appSession()->duration();
    return duration && *duration < minSessionDuration;
}

bool SessionBatchController::isCurrentSessionYoungerThanMinimum(const QDateTime &now) const
{
    if (!appSessionController_)
        return false;
    const auto session = appSessionController_->appSession();
    return session->isActive() && session->startTime().msecsTo(now) < minSessionDuration * 1000;
}

void SessionBatchController::dropShortSession()
{
    if (!isCurrentSessionTooShort())
        return;
    const std::shared_ptr<AppSessionProtocol> dropped = sessionBatch_->appSessions().takeLast();
    sessionBatch_->setAppSwitchingCount(sessionBatch_->appSwitchingCount() + 1);
    if (const auto duration = dropped->duration())
        sessionBatch_->setAppSwitchingTime(sessionBatch_->appSwitchingTime() + *duration);
    if (sessionDropped)
        sessionDropped(*dropped);
}

void SessionBatchController::startIdleTimer()
{
    idleTimeController_->startIdlePolling(weak_from_this());
}

void SessionBatchController::stopIdleTimer()
{
    idleTimeController_->stopIdlePolling();
}

void SessionBatchController::clearUploadedSessions()
{
    AppSessionList &sessions = sessionBatch_->appSessions();
    const auto open = std::find_if(sessions.cbegin(), sessions.cend(), [](const auto &session) { return session->isActive(); });
    if (open == sessions.cend()) {
        sessionBatch_->setAppSessions({});
        return;
    }
    const std::shared_ptr<AppSessionProtocol> kept = *open;
    sessionBatch_->setAppSessions({kept});
    const auto activeWebSession = kept->activeWebSession();
    kept->setWebSessions(activeWebSession ? WebSessionList{activeWebSession} : WebSessionList{});
}

} // namespace hourloom

namespace hourloom {

void SessionBatchController::removeUploadedSessions(const UploadedSessions &sent)
{
    sent.removeFrom(sessionBatch_->appSessions());
}

qsizetype SessionBatchController::dropOldestEndedSessions(qsizetype limit)
{
    AppSessionList &sessions = sessionBatch_->appSessions();
    const auto ended = std::count_if(sessions.cbegin(), sessions.cend(), [](const auto &session) { return !session->isActive(); });
    qsizetype excess = std::max<qsizetype>(0, ended - limit);
    const qsizetype dropped = excess;
    sessions.removeIf([&](const auto &session) { return excess > 0 && !session->isActive() && excess-- > 0; });
    return dropped;
}

} // namespace hourloom
