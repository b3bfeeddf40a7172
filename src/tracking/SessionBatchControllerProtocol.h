#pragma once

#include "model/AppSessionProtocol.h"
#include "model/SessionBatchProtocol.h"
#include "model/UploadedSessions.h"

#include <memory>

namespace hourloom {

class AppSessionControllerProtocol;
class AppSwitchTracker;

// The spine of tracking: turns each newly frontmost application into the batch's sessions.
// Timers and monitors hold it weakly, hence shared ownership.
class SessionBatchControllerProtocol : public std::enable_shared_from_this<SessionBatchControllerProtocol> {
public:
    virtual ~SessionBatchControllerProtocol() = default;

    virtual std::shared_ptr<SessionBatchProtocol> sessionBatch() const = 0;
    virtual void setSessionBatch(std::shared_ptr<SessionBatchProtocol> sessionBatch) = 0;
    virtual std::shared_ptr<AppSwitchTracker> appSwitchTracker() const = 0;
    virtual std::shared_ptr<AppSessionControllerProtocol> appSessionController() const = 0;

    virtual void handleAppSwitch(std::shared_ptr<AppSessionProtocol> newSession) = 0;
    // Log-out and quit: ends the current app session now, or where the agent last saw it when
    // the wall clock stepped since (a suspend, the clock set).
    virtual void endCurrentSession() = 0;
    // Before a checkpoint or an upload of the open session: a suspend or a clock set since the
    // agent last looked ends the session where it was last seen, and the application frontmost
    // now starts a new one.
    virtual void noticeClockStep() = 0;
    // Ends the current app session at `at` for good, as idleness or a suspend does: nothing ends
    // it again or reopens it, so the time after `at` is never booked to it; the next application
    // recorded starts a new session. True when a running session ended here.
    virtual bool closeCurrentSession(const QDateTime &at) = 0;
    // Puts sessions that waited for upload from an earlier run or login in front of the batch.
    // They are closed for good like the above: a quick return to their application starts a new
    // session instead of booking the time between to them.
    virtual void addWaitingSessions(const AppSessionList &waiting) = 0;
    virtual void startIdleTimer() = 0;
    // Tracking stopped: no idle poll and no input monitor until the next session starts one.
    virtual void stopIdleTimer() = 0;
    virtual bool isCurrentSessionTooShort() const = 0;
    // Whether the current session is still open and has not yet lasted the shortest session
    // kept at `now`: it may yet be dropped as too short.
    virtual bool isCurrentSessionYoungerThanMinimum(const QDateTime &now) const = 0;
    virtual void dropShortSession() = 0;
    virtual bool isSameAppAsLastSession(const AppSessionProtocol &newSession) const = 0;
    virtual void startAppSession(std::shared_ptr<AppSessionProtocol> newSession) = 0;
    virtual void clearUploadedSessions() = 0;
    // After an accepted (or for good refused) upload: removes the spans it carried as ended that
    // are still ended as they went out (see UploadedSessions).
    virtual void removeUploadedSessions(const UploadedSessions &sent) = 0;
    // Keeps at most `limit` ended app sessions waiting, dropping the oldest; returns how many went.
    virtual qsizetype dropOldestEndedSessions(qsizetype limit) = 0;
};

} // namespace hourloom
