#pragma once

#include "model/AppSession.h"

#include <QStringList>

namespace hourloom::test {

// Whether the app session's open web session is on this domain.
inline bool showsDomain(const AppSession &session, const QString &domain)
{
    const auto active = session.activeWebSession();
    return active && active->webDomain()->domain() == domain;
}

// The domains of the app session's web sessions in order, the open one marked with "*".
inline QStringList domainsOf(const AppSession &session)
{
    QStringList domains;
    for (const auto &webSession : session.webSessions())
        domains << webSession->webDomain()->domain() + (webSession->isActive() ? "*" : "");
    return domains;
}

// Places where one web session begins more than half a second after the previous one ended (by
// index of the later one), and whether the sessions are in order at all. (A change of domain
// ends one session and starts the next from two readings of the clock.)
inline QList<qsizetype> gapsBetween(const AppSession &session, bool *inOrder)
{
    QList<qsizetype> gaps;
    *inOrder = true;
    const auto &sessions = session.webSessions();
    for (qsizetype i = 1; i < sessions.size(); ++i) {
        const auto end = sessions[i - 1]->endTime();
        if (!end || *end > sessions[i]->startTime())
            *inOrder = false;
        else if (end->msecsTo(sessions[i]->startTime()) > 500)
            gaps << i;
    }
    return gaps;
}

} // namespace hourloom::test
