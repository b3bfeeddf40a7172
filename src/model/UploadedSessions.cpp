#include "UploadedSessions.h"

namespace hourloom {

UploadedSessions UploadedSessions::endedIn(const AppSessionList &sessions)
{
    UploadedSessions sent;
    for (const auto &appSession : sessions) {
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
