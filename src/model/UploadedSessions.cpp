#include "UploadedSessions.h"

namespace hourloom {

UploadedSessions UploadedSessions::endedIn(const SessionBatchProtocol &batch)
{
    UploadedSessions sent;
    for (const auto &appSession : batch.appSessions()) {
        if (!appSession->isActive())
            sent.endedAppSessions.insert(appSession.get());
        for (const auto &webSession : appSession->webSessions()) {
            if (!webSession->isActive())
                sent.endedWebSessions.insert(webSession.get());
        }
    }
    return sent;
}

} // namespace hourloom
