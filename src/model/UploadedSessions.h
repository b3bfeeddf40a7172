#pragma once

#include "AppSessionProtocol.h"
#include "SessionBatchProtocol.h"

#include <QDateTime>
#include <QHash>
#include <QUuid>

namespace hourloom {

// The spans one upload body carried as ended, by id, each with the end it went out with; taken
// when the body is written. Once the service has taken the body, a span may leave the batch only
// while it is still ended at exactly that end. A span that was open went out with a provisional
// end; one reopened (a quick return to its application) or ended again since must go out once
// more, under its id, with its new times. Spans are matched by id, never by address: the body
// and its answer are far apart in time, and records come and go in between.
struct UploadedSessions {
    QHash<QUuid, QDateTime> endedAppSessions;
    QHash<QUuid, QDateTime> endedWebSessions;

    static UploadedSessions endedIn(const AppSessionList &sessions);

    // Whether the span went out ended and is still ended at the same instant.
    bool wentOutAsItIs(const AppSessionProtocol &appSession) const;
    bool wentOutAsItIs(const WebSessionProtocol &webSession) const;

    // Takes out of the list what the service now holds as it is: the web sessions that went out
    // as they are, then the app sessions that did and have nothing left to send.
    void removeFrom(AppSessionList &sessions) const;
};

} // namespace hourloom
