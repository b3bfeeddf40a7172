#include "DayTimeline.h"

#include <QHash>

#include <algorithm>
#include <optional>

namespace hourloom::devserver {
namespace {

// Unix seconds.
struct Span {
    qint64 start = 0;
    qint64 end = 0;
};

// The digits of text[at, at + count), or -1.
int number(QStringView text, qsizetype at, qsizetype count)
{
    int value = 0;
    for (const QChar c : text.sliced(at, count)) {
        if (c < u'0' || c > u'9')
            return -1;
        value = value * 10 + (c.unicode() - u'0');
    }
    return value;
}

// "yyyy-MM-dd HH:mm:ss" at the offset, read by hand: a heavy day has tens of thousands, and
// neither the service's own zone nor a parser's cost should come into it.
std::optional<qint64> instantOf(const QString &text, qint64 offset)
{
    if (text.size() != 19 || text[4] != u'-' || text[7] != u'-' || text[10] != u' ' || text[13] != u':' || text[16] != u':')
        return std::nullopt;
    const QDate date(number(text, 0, 4), number(text, 5, 2), number(text, 8, 2));
    const QTime time(number(text, 11, 2), number(text, 14, 2), number(text, 17, 2));
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    constexpr qint64 unixEpochJulianDay = 2440588;
    return (date.toJulianDay() - unixEpochJulianDay) * 86400 + time.msecsSinceStartOfDay() / 1000 - offset;
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
    explicit DayPlacer(const DayTimeline &day)
        : start_(day.start.toSecsSinceEpoch())
        , end_(day.end.toSecsSinceEpoch())
        , length_(double(end_ - start_))
    {
    }

    bool touches(const Span &span) const { return span.end > start_ && span.start < end_; }

    // Adds the part of the span that lies in the day to the row.
    void place(DayTimeline::Row &row, const Span &span) const
    {
        const qint64 from = std::max(span.start, start_);
        const qint64 to = std::min(span.end, end_);
        if (from >= to)
            return;
        row.totalSeconds += to - from;
        row.bars.append({(from - start_) / length_, (to - start_) / length_, {}, span.start, span.end});
    }

private:
    qint64 start_;
    qint64 end_;
    double length_;
};

// Where each name's row is in its list: a heavy day has thousands of names.
class RowIndex {
public:
    qsizetype named(QList<DayTimeline::Row> &rows, const QString &name)
    {
        const auto found = positions_.constFind(name);
        if (found != positions_.constEnd())
            return *found;
        positions_.insert(name, rows.size());
        rows.append({name, 0, {}, {}});
        return rows.size() - 1;
    }

private:
    QHash<QString, qsizetype> positions_;
};

// Longest first; rows with nothing in the day go, and those after the first `shown` are only
// counted.
void arrange(QList<DayTimeline::Row> &rows, qsizetype shown, qsizetype &more, qint64 &moreSeconds)
{
    rows.removeIf([](const DayTimeline::Row &row) { return row.totalSeconds == 0 && row.bars.isEmpty(); });
    std::stable_sort(rows.begin(), rows.end(), [](const DayTimeline::Row &a, const DayTimeline::Row &b) {
        return a.totalSeconds != b.totalSeconds ? a.totalSeconds > b.totalSeconds : a.name < b.name;
    });
    for (qsizetype i = shown; i < rows.size(); ++i)
        moreSeconds += rows[i].totalSeconds;
    more = std::max<qsizetype>(rows.size() - shown, 0);
    rows.resize(std::min(rows.size(), shown));
    for (DayTimeline::Row &row : rows)
        arrange(row.domains, DayTimeline::shownDomains, row.moreDomains, row.moreDomainSeconds);
}

// The row's bars with those whose gap is at most `gap` (a fraction of the day) drawn as one,
// from the first one's start to the last one's end.
QList<DayTimeline::Bar> joined(QList<DayTimeline::Bar> bars, double gap)
{
    std::stable_sort(bars.begin(), bars.end(), [](const DayTimeline::Bar &a, const DayTimeline::Bar &b) { return a.from < b.from; });
    QList<DayTimeline::Bar> result;
    for (const DayTimeline::Bar &bar : bars) {
        if (result.isEmpty() || bar.from - result.last().to > gap) {
            result.append(bar);
            continue;
        }
        DayTimeline::Bar &last = result.last();
        last.to = std::max(last.to, bar.to);
        last.sessionEnd = std::max(last.sessionEnd, bar.sessionEnd);
    }
    return result;
}

QString localTime(qint64 unixSeconds, const QTimeZone &zone)
{
    return QDateTime::fromSecsSinceEpoch(unixSeconds, zone).toString(QStringLiteral("HH:mm"));
}

// Every shown row's bars, joined across ever wider gaps (from a minute, doubling) until the
// day has at most barBudget of them.
void fitBars(QList<DayTimeline::Row> &applications, double minute, const QTimeZone &zone)
{
    QList<DayTimeline::Row *> rows;
    for (DayTimeline::Row &app : applications) {
        rows.append(&app);
        for (DayTimeline::Row &domain : app.domains)
            rows.append(&domain);
    }
    const auto count = [&] {
        qsizetype bars = 0;
        for (const DayTimeline::Row *row : rows)
            bars += row->bars.size();
        return bars;
    };
    for (double gap = minute; count() > DayTimeline::barBudget; gap *= 2) {
        for (DayTimeline::Row *row : rows)
            row->bars = joined(row->bars, gap);
    }
    // Only the bars drawn get labels: each costs two conversions into the viewer's zone.
    for (DayTimeline::Row *row : rows) {
        for (DayTimeline::Bar &bar : row->bars)
            bar.label = localTime(bar.sessionStart, zone) + u'\u2013' + localTime(bar.sessionEnd, zone);
    }
}

} // namespace

DayTimeline DayTimeline::of(const QList<StoredAppSession> &sessions, QDate day, const QTimeZone &zone)
{
    DayTimeline timeline;
    timeline.day = day;
    timeline.zone = zone;
    timeline.start = day.startOfDay(zone);
    timeline.end = day.addDays(1).startOfDay(zone);
    const DayPlacer placer(timeline);
    RowIndex applications;
    // Each application's domains, at the application's position.
    QList<RowIndex> domains;
    for (const StoredAppSession &stored : sessions) {
        const auto span = spanOf(stored.session.startTime, stored.session.endTime, stored.timezoneOffset);
        if (!span || !placer.touches(*span))
            continue;
        const qsizetype position = applications.named(timeline.applications, stored.session.appName);
        domains.resize(timeline.applications.size());
        Row &app = timeline.applications[position];
        placer.place(app, *span);
        for (const UploadedWebSession &web : stored.session.webSessions) {
            if (const auto webSpan = spanOf(web.startTime, web.endTime, stored.timezoneOffset))
                placer.place(app.domains[domains[position].named(app.domains, web.domain)], *webSpan);
        }
    }
    arrange(timeline.applications, shownApplications, timeline.moreApplications, timeline.moreApplicationSeconds);
    const double length = double(timeline.start.secsTo(timeline.end));
    fitBars(timeline.applications, 60 / length, zone);
    timeline.totalSeconds = timeline.moreApplicationSeconds;
    for (const Row &app : timeline.applications)
        timeline.totalSeconds += app.totalSeconds;
    for (QDateTime hour = timeline.start; hour < timeline.end; hour = hour.addSecs(3600))
        timeline.hours.append({timeline.start.secsTo(hour) / length, hour.toTimeZone(zone).time().hour()});
    return timeline;
}

} // namespace hourloom::devserver
