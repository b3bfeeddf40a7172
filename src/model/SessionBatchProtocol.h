#pragma once

#include "AppSessionProtocol.h"

#include <QByteArray>
#include <QList>

#include <functional>
#include <memory>
#include <optional>

namespace hourloom {

using AppSessionList = QList<std::shared_ptr<AppSessionProtocol>>;

// The app sessions waiting for the next upload, with a few facts about the machine.
// A batch is identified by the object itself.
class SessionBatchProtocol {
public:
    virtual ~SessionBatchProtocol() = default;

    // In start order; callers append and remove in place or replace the list.
    virtual AppSessionList &appSessions() = 0;
    virtual const AppSessionList &appSessions() const = 0;
    virtual void setAppSessions(AppSessionList appSessions) = 0;

    // Total length and number of the sessions dropped as too short; they only grow.
    virtual double appSwitchingTime() const = 0;
    virtual void setAppSwitchingTime(double seconds) = 0;
    virtual qint64 appSwitchingCount() const = 0;
    virtual void setAppSwitchingCount(qint64 count) = 0;

    virtual std::optional<QString> deviceId() const = 0;
    virtual QString device() const = 0;
    virtual qint64 timezoneOffset() const = 0;

    // One part of an upload: the body for `count` sessions from index `first` of the list encoded.
    struct EncodedPart {
        QByteArray body;
        qsizetype first = 0;
        qsizetype count = 0;
    };

    // The upload body: compact UTF-8 JSON.
    virtual QByteArray encode() const = 0;
    // Upload bodies for the given sessions, all written at one moment, each at most maxBytes long
    // unless a single session is longer; at least one part, also for no sessions.
    virtual QList<EncodedPart> encodeInParts(const AppSessionList &sessions, qsizetype maxBytes) const = 0;
};

using SessionBatchType = std::function<std::shared_ptr<SessionBatchProtocol>()>;

} // namespace hourloom
