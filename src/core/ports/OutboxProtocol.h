#pragma once

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>
#include <QUuid>

namespace hourloom {

// An ended span as the outbox keeps it; times are exact instants, whatever the time zone.
struct OutboxWebSession {
    QUuid id;
    QDateTime startTime;
    QDateTime endTime;
    QString domain;
};

struct OutboxAppSession {
    QUuid id;
    QDateTime startTime;
    QDateTime endTime;
    QString appName;
    QString appIdentifier;
    QList<OutboxWebSession> webSessions;
};

// Whose time the sessions are and which service they are for: the stored "UserName" and the
// configuration's ENVIRONMENT. Sessions never leave their key.
struct OutboxKey {
    QString account;
    QString environment;

    bool operator==(const OutboxKey &) const = default;
};

// The durable store of ended app sessions the service has not accepted yet. Every change is
// one transaction: after a crash or a power cut the store holds the state before or after it.
// Operations report failure instead of throwing; a store that fails keeps failing quietly.
class OutboxProtocol {
public:
    virtual ~OutboxProtocol() = default;

    // Writes the sessions, each replacing the one stored under its id with its web sessions.
    virtual bool save(const OutboxKey &key, const QList<OutboxAppSession> &sessions) = 0;
    // Removes each session, given by id, whose stored end is the end that was sent with it;
    // sessions stored with a later end stay.
    virtual bool remove(const OutboxKey &key, const QHash<QUuid, QDateTime> &sentEnds) = 0;
    // Everything waiting under the key, oldest start first.
    virtual QList<OutboxAppSession> waiting(const OutboxKey &key) = 0;

    struct Trimmed {
        qsizetype overLimit = 0; // the oldest beyond the count limit
        qsizetype tooOld = 0;    // started before the age limit
    };
    // Keeps at most maxCount sessions under the key, none started before oldestKept.
    virtual Trimmed trim(const OutboxKey &key, qsizetype maxCount, const QDateTime &oldestKept) = 0;
};

} // namespace hourloom
