#pragma once

#include "AppSessionProtocol.h"
#include "SessionBatchProtocol.h"

#include <QList>
#include <QSet>

namespace hourloom {

// The spans an upload body carried as ended, taken when the body was written. Once the service
// has taken the body, exactly these may leave the batch: a span that was still open went out
// with a provisional end and stays, whether or not it has ended since.
struct UploadedSessions {
    QSet<const AppSessionProtocol *> endedAppSessions;
    QSet<const WebSessionProtocol *> endedWebSessions;

    static UploadedSessions endedIn(const AppSessionList &sessions);
};

} // namespace hourloom
