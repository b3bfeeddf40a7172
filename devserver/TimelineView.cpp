#include "TimelineView.h"

#include "HtmlText.h"

#include <QLocale>
#include <QUrlQuery>

#include <algorithm>

namespace hourloom::devserver {
namespace {

// SVG lengths as percentages of the row's width, so that the bars follow the window's width
// while their text (the tooltips) keeps its shape.
QString percent(double fraction)
{
    return QString::number(fraction * 100, 'f', 3) + u'%';
}

// A session of a few seconds still shows as a sliver.
constexpr double narrowestBar = 0.002;

QString isoDate(QDate day)
{
    return day.toString(Qt::ISODate);
}

} // namespace

TimelineView::TimelineView(const DayTimeline &timeline, const QString &zoneId, QDate today)
    : timeline_(timeline)
    , zoneId_(zoneId)
    , today_(today)
{
}

QString TimelineView::durationText(qint64 seconds)
{
    if (seconds < 60)
        return QString::number(seconds) + QStringLiteral(" s");
    const qint64 minutes = seconds / 60;
    if (minutes < 60)
        return QString::number(minutes) + QStringLiteral(" min");
    return QString::number(minutes / 60) + QStringLiteral(" h ") + QStringLiteral("%1").arg(minutes % 60, 2, 10, QLatin1Char('0'))
        + QStringLiteral(" min");
}

QString TimelineView::dayLink(QDate day) const
{
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("day"), isoDate(day));
    query.addQueryItem(QStringLiteral("tz"), zoneId_);
    return escaped(QStringLiteral("/?") + query.toString(QUrl::FullyEncoded));
}

QString TimelineView::html() const
{
    const QLocale english(QLocale::English, QLocale::UnitedKingdom);
    const QString heading = (timeline_.day == today_ ? QStringLiteral("Today, ") : QString())
        + english.toString(timeline_.day, QStringLiteral("dddd d MMMM yyyy"));
    QString html = picker();
    html += QStringLiteral("<h1 id=\"day-heading\">") + escaped(heading) + QStringLiteral("</h1>\n");
    html += QStringLiteral("<p class=\"summary\"><span id=\"day-total\">") + durationText(timeline_.totalSeconds)
        + QStringLiteral("</span> tracked \u00b7 times in ") + escaped(QString::fromUtf8(timeline_.zone.id())) + QStringLiteral("</p>\n");
    if (timeline_.applications.isEmpty())
        html += QStringLiteral("<p class=\"empty\">Nothing was tracked on this day.</p>\n");
    else
        html += table();
    return html;
}

QString TimelineView::picker() const
{
    return QStringLiteral("<nav class=\"picker\" aria-label=\"Day\">\n<a id=\"previous-day\" href=\"") + dayLink(timeline_.day.addDays(-1))
        + QStringLiteral("\">\u2039 Previous</a>\n<form method=\"get\" action=\"/\" id=\"day-picker\">"
                         "<label for=\"day\">Day</label> <input type=\"date\" id=\"day\" name=\"day\" value=\"")
        + isoDate(timeline_.day) + QStringLiteral("\" required><input type=\"hidden\" name=\"tz\" value=\"") + escaped(zoneId_)
        + QStringLiteral("\"> <button type=\"submit\">Show</button></form>\n<a id=\"today\" href=\"") + dayLink(today_)
        + QStringLiteral("\">Today</a>\n<a id=\"next-day\" href=\"") + dayLink(timeline_.day.addDays(1))
        + QStringLiteral("\">Next \u203a</a>\n</nav>\n");
}

QString TimelineView::table() const
{
    QString html = QStringLiteral("<table class=\"timeline\">\n<thead><tr><th scope=\"col\" class=\"name\">Application</th>"
                                  "<th scope=\"col\" class=\"track\">")
        + axis() + QStringLiteral("</th><th scope=\"col\" class=\"total\">Total</th></tr></thead>\n<tbody>\n");
    for (const DayTimeline::Row &app : timeline_.applications) {
        html += row(app, QStringLiteral("app"), QString());
        for (const DayTimeline::Row &domain : app.domains)
            html += row(domain, QStringLiteral("domain"), app.name);
        html += moreRow(app.moreDomains, QStringLiteral("domain"), QStringLiteral("domains"), app.moreDomainSeconds);
    }
    html += moreRow(timeline_.moreApplications, QStringLiteral("app"), QStringLiteral("applications"), timeline_.moreApplicationSeconds);
    return html + QStringLiteral("</tbody>\n</table>\n");
}

QString TimelineView::moreRow(qsizetype count, const QString &kind, const QString &what, qint64 seconds)
{
    if (count == 0)
        return {};
    return QStringLiteral("<tr class=\"") + kind + QStringLiteral(" more\"><th scope=\"row\" class=\"name\">")
        + QStringLiteral("%1 more %2").arg(count).arg(what) + QStringLiteral("</th><td class=\"track\"></td><td class=\"total\">")
        + durationText(seconds) + QStringLiteral("</td></tr>\n");
}

QString TimelineView::axis() const
{
    QString svg = QStringLiteral("<svg class=\"axis\" width=\"100%\" height=\"16\" aria-hidden=\"true\">");
    for (const DayTimeline::HourMark &mark : timeline_.hours) {
        if (mark.hour % 3 != 0)
            continue;
        const QString anchor = mark.at < 0.02 ? QStringLiteral("start") : QStringLiteral("middle");
        const QString kind = mark.hour % 6 == 0 ? QStringLiteral("major") : QStringLiteral("minor");
        svg += QStringLiteral("<text class=\"") + kind + QStringLiteral("\" x=\"") + percent(mark.at) + QStringLiteral("\" y=\"12\" text-anchor=\"")
            + anchor + QStringLiteral("\">") + QStringLiteral("%1").arg(mark.hour, 2, 10, QLatin1Char('0')) + QStringLiteral("</text>");
    }
    return svg + QStringLiteral("</svg>");
}

QString TimelineView::row(const DayTimeline::Row &row, const QString &kind, const QString &owner) const
{
    const QString name = escaped(row.name);
    const QString tooltipPrefix = owner.isEmpty() ? name : escaped(owner) + QStringLiteral(" \u00b7 ") + name;
    QString svg = QStringLiteral("<svg class=\"bars\" width=\"100%\" height=\"18\" role=\"img\" aria-label=\"") + name + QStringLiteral(": ")
        + durationText(row.totalSeconds) + QStringLiteral("\">");
    for (const DayTimeline::HourMark &mark : timeline_.hours) {
        if (mark.hour % 3 == 0 && mark.at > 0)
            svg += QStringLiteral("<line class=\"hour\" x1=\"") + percent(mark.at) + QStringLiteral("\" x2=\"") + percent(mark.at)
                + QStringLiteral("\" y1=\"0\" y2=\"18\"/>");
    }
    for (const DayTimeline::Bar &bar : row.bars) {
        const double width = std::max(bar.to - bar.from, narrowestBar);
        svg += QStringLiteral("<rect class=\"bar\" x=\"") + percent(std::min(bar.from, 1 - width)) + QStringLiteral("\" y=\"2\" width=\"")
            + percent(width) + QStringLiteral("\" height=\"14\" rx=\"2\"><title>") + tooltipPrefix + u' ' + escaped(bar.label)
            + QStringLiteral("</title></rect>");
    }
    svg += QStringLiteral("</svg>");
    return QStringLiteral("<tr class=\"") + kind + QStringLiteral("\"><th scope=\"row\" class=\"name\">") + name
        + QStringLiteral("</th><td class=\"track\">") + svg + QStringLiteral("</td><td class=\"total\">") + durationText(row.totalSeconds)
        + QStringLiteral("</td></tr>\n");
}

} // namespace hourloom::devserver
