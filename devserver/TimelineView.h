#pragma once

#include "DayTimeline.h"

#include <QString>

namespace hourloom::devserver {

// The timeline page's main part: the day picker, the day's total and a table with a row per
// application and per web domain (the longest ones, the rest counted in a last row), each row's
// sessions drawn as inline SVG bars along the hours.
// Every name and domain is escaped.
class TimelineView {
public:
    // zoneId: the browser's time zone as the page was asked for it ("Europe/Berlin"), which
    // the day links keep even when the service does not know it and shows UTC instead.
    TimelineView(const DayTimeline &timeline, const QString &zoneId, QDate today);

    QString html() const;

    // "1 h 05 min", "12 min", "40 s".
    static QString durationText(qint64 seconds);

private:
    QString picker() const;
    QString table() const;
    QString axis() const;
    QString row(const DayTimeline::Row &row, const QString &kind, const QString &owner) const;
    // "12 more domains" and their time, for the rows left out; nothing when none were.
    static QString moreRow(qsizetype count, const QString &kind, const QString &what, qint64 seconds);
    QString dayLink(QDate day) const;

    const DayTimeline &timeline_;
    QString zoneId_;
    QDate today_;
};

} // namespace hourloom::devserver
