#pragma once

#include "core/ports/OutboxProtocol.h"
#include "model/SessionBatchProtocol.h"
#include "model/UploadedSessions.h"

#include <QHash>

#include <functional>
#include <memory>

namespace hourloom {

class SessionBatchControllerProtocol;

// Keeps every ended app session of the batch in the durable outbox until the service has
// accepted it, so that a quit, a crash or a power cut loses nothing that had ended, and the
// open session no more than what followed its last checkpoint. Runs on the main loop.
class SessionOutbox final : public std::enable_shared_from_this<SessionOutbox> {
public:
    static constexpr qsizetype maxWaitingSessions = 10000;
    static constexpr int maxAgeDays = 30;

    using KeyProvider = std::function<OutboxKey()>;

    explicit SessionOutbox(std::shared_ptr<OutboxProtocol> store, KeyProvider currentKey = storedAccount());
    // The stored "UserName" and the configuration's ENVIRONMENT, read at each use.
    static KeyProvider storedAccount();

    void setSessionBatchController(std::weak_ptr<SessionBatchControllerProtocol> controller) { controller_ = std::move(controller); }

    // Writes on the main loop, once however often it is asked before then: an app switch ends a
    // session and may then still drop it as too short.
    void scheduleWrite();
    // Writes every ended app session of the batch that is not stored with its present end.
    void writeEnded();
    // The same, and the open session as if it ended now: after a crash it is sent ended there.
    void checkpoint(const QDateTime &now);
    // A session the batch dropped leaves the store with it.
    void forget(const AppSessionProtocol &session);
    // What an upload carried ended, once the service has taken it (or refused it for good):
    // the same rule as for the batch, a session leaves only while stored with the end it carried.
    void removeSent(const UploadedSessions &sent);
    // The sessions waiting under the present key that the batch does not hold, oldest first.
    AppSessionList restore(const AppSessionList &inBatch);
    // Applies the count and age limits to the store.
    OutboxProtocol::Trimmed trim();

    // The sessions as the store keeps them; an open span is given the end `openEnd`.
    static OutboxAppSession record(const AppSessionProtocol &session, const QDateTime &openEnd);
    static std::shared_ptr<AppSessionProtocol> appSession(const OutboxAppSession &record);

private:
    // The key now; a new key forgets what was written under the old one.
    OutboxKey key();
    void write(const AppSessionList &sessions, const std::shared_ptr<AppSessionProtocol> &open, const QDateTime &now);

    const std::shared_ptr<OutboxProtocol> store_;
    const KeyProvider currentKey_;
    std::weak_ptr<SessionBatchControllerProtocol> controller_;
    std::optional<OutboxKey> key_;
    // The end each app session is stored with, so that only changes are written.
    QHash<QUuid, QDateTime> written_;
    bool writeScheduled_ = false;
};

} // namespace hourloom
