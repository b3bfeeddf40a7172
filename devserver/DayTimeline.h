#pragma once

#include "ActivityStore.h"

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QTimeZone>

namespace hourloom::devserver {

// One day of a user's sessions in one time zone, as the timeline page draws it: a row per
// application with its sessions as bars, and under a browser a row per web domain. Sessions
// are placed by their instants (wall-clock time minus their upload's offset), so a day seen in
// another zone, or a day with a summer-time change (23 or 25 hours), is still exact; sessions
// running over midnight count on each day for the part that lies in it.
//
// However full the day, what is drawn stays small: the longest applications and under each
// its longest domains are shown, the rest counted together, and bars closer to each other than
// a growing gap are drawn as one until the whole day has few enough bars.
struct DayTimeline {
    static constexpr qsizetype shownApplications = 40;
    static constexpr qsizetype shownDomains = 8;
    static constexpr qsizetype barBudget = 3000;

    struct Bar {
        // Where the bar starts and ends, as fractions of the day (0 to 1).
        double from = 0;
        double to = 0;
        // The whole session's local start and end, "09:15–09:47".
        QString label;
        // The same in Unix seconds.
        qint64 sessionStart = 0;
        qint64 sessionEnd = 0;
    };
    struct Row {
        QString name;
        qint64 totalSeconds = 0;
        QList<Bar> bars;
        // The web domains shown in this application, each with its own bars and total.
        QList<Row> domains;
        // The domains left out, and their time.
        qsizetype moreDomains = 0;
        qint64 moreDomainSeconds = 0;
    };
    struct HourMark {
        double at = 0;
        int hour = 0;
    };

    static DayTimeline of(const QList<StoredAppSession> &sessions, QDate day, const QTimeZone &zone);

    QDate day;
    QTimeZone zone;
    QDateTime start;
    QDateTime end;
    // Applications by total time, longest first; domains likewise.
    QList<Row> applications;
    // The applications left out, and their time.
    qsizetype moreApplications = 0;
    qint64 moreApplicationSeconds = 0;
    qint64 totalSeconds = 0;
    // Where each local hour begins (24 marks, 23 or 25 on a summer-time change).
    QList<HourMark> hours;
};

} // namespace hourloom::devserver
