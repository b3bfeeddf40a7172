#include "UploadedSessions.h"

namespace hourloom {
namespace {

template <typename Span>
void recordIfEnded(QHash<QUuid, QDateTime> &ended, const Span &span)
{
    if (const std::optional<QDateTime> end = span.endTime())
        ended.insert(span.id(), *end);
}

template <typename Span>
bool endsAsRecorded(const QHash<QUuid, QDateTime> &ended, const Span &span)
{
    const auto recorded = ended.constFind(span.id());
    const std::optional<QDateTime> end = span.endTime();
    return recorded != ended.cend() && end && *end == *recorded;
}

} // namespace

UploadedSessions UploadedSessions::endedIn(const AppSessionList &sessions)
{
    UploadedSessions sent;
    for (const auto &appSession : sessions) {
        recordIfEnded(sent.endedAppSessions, *appSession);
        for (const auto &webSession : appSession->webSessions())
            recordIfEnded(sent.endedWebSessions, *webSession);
    }
    return sent;
}

bool UploadedSessions::wentOutAsItIs(const AppSessionProtocol &appSession) const
{
    return endsAsRecorded(endedAppSessions, appSession);
}

bool UploadedSessions::wentOutAsItIs(const WebSessionProtocol &webSession) const
{
    return endsAsRecorded(endedWebSessions, webSession);
}

void UploadedSessions::removeFrom(AppSessionList &sessions) const
{
    for (const auto &appSession : sessions)
        appSession->webSessions().removeIf([this](const auto &webSession) { return wentOutAsItIs(*webSession); });
    sessions.removeIf([this](const auto &appSession) { return appSession->webSessions().isEmpty() && wentOutAsItIs(*appSession); });
}

} // namespace hourloom
