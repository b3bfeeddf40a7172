#pragma once

#include "UploadedActivities.h"

#include <QDateTime>
#include <QJsonObject>
#include <QList>

#include <optional>

namespace hourloom::devserver {

class AccountStore;

struct StoredAppSession {
    UploadedAppSession session;
    // Seconds east of UTC of the upload that stored it: the session's times are wall-clock
    // times at that offset.
    qint64 timezoneOffset = 0;
};

// The uploaded app sessions and their web sessions, per user, in the accounts' SQLite file.
// Sessions are keyed by the agent's id: an upload of a known id replaces what was stored for
// it, since the agent sends a session again once it has ended or changed. Web sessions missing
// from a later upload of their app session are kept. A day (by the sessions' uploaded start
// dates) holds at most maxSessionsPerDay app sessions and as many web sessions, so that no day
// grows too heavy to show.
class ActivityStore {
public:
    static constexpr qint64 maxSessionsPerDay = 10000;

    // Creates the tables; throws std::runtime_error when it cannot.
    explicit ActivityStore(AccountStore &accounts);

    // Stores the whole upload in one transaction and counts it for the user. When a day would
    // then hold too many sessions nothing is stored, and the answer says which day.
    std::optional<QString> store(qint64 userId, const UploadedActivities &upload);

    // Every user with the number of uploads stored and the sessions, app sessions ordered by
    // start_time then id, their web sessions likewise.
    QJsonObject readOut();

    // The user's app sessions, with their web sessions, whose wall-clock times may touch the
    // span from `from` to `to` (UTC, "yyyy-MM-dd HH:mm:ss") at any offset a session can have:
    // a superset, which the caller narrows with each session's offset. Only what the timeline
    // draws is read: times, names, domains and offsets, not ids or app identifiers. App sessions
    // come in start_time order, their web sessions in no particular order.
    QList<StoredAppSession> appSessionsAround(qint64 userId, const QDateTime &from, const QDateTime &to);

private:
    AccountStore &accounts_;
};

} // namespace hourloom::devserver
