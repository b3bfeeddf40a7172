#include "DayTimeline.h"

#include <algorithm>
#include <optional>

namespace hourloom::devserver {
namespace {

struct Span {
    QDateTime start;
    QDateTime end;
};

// "yyyy-MM-dd HH:mm:ss" at the offset. Date and time are read apart: read as one, the text
// would be taken as the service's own local time, which may skip that very hour.
std::optional<QDateTime> instantOf(const QString &text, qint64 offset)
{
    const QDate date = QDate::fromString(text.left(10), QStringLiteral("yyyy-MM-dd"));
    const QTime time = QTime::fromString(text.mid(11), QStringLiteral("HH:mm:ss"));
    if (text.size() != 19 || text[10] != u' ' || !date.isValid() || !time.isValid())
        return std::nullopt;
    return QDateTime(date, time, QTimeZone{int(offset)});
}

std::optional<Span> spanOf(const QString &start, const QString &end, qint64 offset)
{
    const auto from = instantOf(start, offset);
    const auto to = instantOf(end, offset);
    if (!from || !to || *to < *from)
        return std::nullopt;
    return Span{*from, *to};
}

class DayPlacer {
public:
    DayPlacer(const DayTimeline &day, const QTimeZone &zone)
        : day_(day)
        , zone_(zone)
        , length_(double(day.start.secsTo(day.end)))
    {
    }

    // Adds the part of the span that lies in the day to the row.
    void place(DayTimeline::Row &row, const Span &span) const
    {
        const QDateTime from = std::max(span.start, day_.start);
        const QDateTime to = std::min(span.end, day_.end);
        if (from >= to)
            return;
        row.totalSeconds += from.secsTo(to);
        const QString label = span.start.toTimeZone(zone_).toString(QStringLiteral("HH:mm")) + u'\u2013'
            + span.end.toTimeZone(zone_).toString(QStringLiteral("HH:mm"));
        row.bars.append({day_.start.secsTo(from) / length_, day_.start.secsTo(to) / length_, label});
    }

private:
    const DayTimeline &day_;
    QTimeZone zone_;
    double length_;
};

DayTimeline::Row &rowNamed(QList<DayTimeline::Row> &rows, const QString &name)
{
    const auto found = std::find_if(rows.begin(), rows.end(), [&](const DayTimeline::Row &row) { return row.name == name; });
    if (found != rows.end())
        return *found;
    rows.append({name, 0, {}, {}});
    return rows.last();
}

// Longest first; rows with nothing in the day go.
void arrange(QList<DayTimeline::Row> &rows)
{
    rows.removeIf([](const DayTimeline::Row &row) { return row.totalSeconds == 0 && row.bars.isEmpty(); });
    std::stable_sort(rows.begin(), rows.end(), [](const DayTimeline::Row &a, const DayTimeline::Row &b) {
        return a.totalSeconds != b.totalSeconds ? a.totalSeconds > b.totalSeconds : a.name < b.name;
    });
    for (DayTimeline::Row &row : rows)
        arrange(row.domains);
}

} // namespace

DayTimeline DayTimeline::of(const QList<StoredAppSession> &sessions, QDate day, const QTimeZone &zone)
{
    DayTimeline timeline;
    timeline.day = day;
    timeline.zone = zone;
    timeline.start = day.startOfDay(zone);
    timeline.end = day.addDays(1).startOfDay(zone);
    const DayPlacer placer(timeline, zone);
    for (const StoredAppSession &stored : sessions) {
        const auto span = spanOf(stored.session.startTime, stored.session.endTime, stored.timezoneOffset);
        if (!span || span->end <= timeline.start || span->start >= timeline.end)
            continue;
        Row &app = rowNamed(timeline.applications, stored.session.appName);
        placer.place(app, *span);
        for (const UploadedWebSession &web : stored.session.webSessions) {
            if (const auto webSpan = spanOf(web.startTime, web.endTime, stored.timezoneOffset))
                placer.place(rowNamed(app.domains, web.domain), *webSpan);
        }
    }
    arrange(timeline.applications);
    for (const Row &app : timeline.applications)
        timeline.totalSeconds += app.totalSeconds;
    const double length = double(timeline.start.secsTo(timeline.end));
    for (QDateTime hour = timeline.start; hour < timeline.end; hour = hour.addSecs(3600))
        timeline.hours.append({timeline.start.secsTo(hour) / length, hour.toTimeZone(zone).time().hour()});
    return timeline;
}

} // namespace hourloom::devserver
