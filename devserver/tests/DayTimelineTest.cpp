// The day a timeline shows: instants from wall-clock times and offsets, days cut at the
// viewer's midnight, summer-time days, totals, order, and the page's escaping.
#include "DayTimeline.h"
#include "TimelineView.h"
#include "support/ScopedTimeZone.h"

#include <gtest/gtest.h>

using namespace hourloom::devserver;

namespace {

StoredAppSession session(const QString &app, const QString &start, const QString &end, qint64 offset,
                         const QList<UploadedWebSession> &webs = {})
{
    return {{QStringLiteral("id"), start, end, app, QStringLiteral("id.") + app, webs}, offset};
}

UploadedWebSession web(const QString &domain, const QString &start, const QString &end)
{
    return {QStringLiteral("web"), start, end, domain};
}

// "name total" per row, domains indented, in the order shown, joined by commas.
std::string rowsOf(const DayTimeline &timeline)
{
    QStringList rows;
    for (const DayTimeline::Row &app : timeline.applications) {
        rows << app.name + u' ' + QString::number(app.totalSeconds);
        for (const DayTimeline::Row &domain : app.domains)
            rows << QStringLiteral("  ") + domain.name + u' ' + QString::number(domain.totalSeconds);
    }
    return rows.join(QStringLiteral(", ")).toStdString();
}

const QTimeZone berlin("Europe/Berlin");

} // namespace

TEST(DayTimeline, PlacesSessionsByTheirInstantsInTheViewersDayWithTotalsLongestFirst)
{
    const QList<StoredAppSession> sessions{
        session("Firefox", "2024-05-06 09:00:00", "2024-05-06 10:30:00", 7200,
                {web("example.org", "2024-05-06 09:00:00", "2024-05-06 09:40:00"), web("docs.test", "2024-05-06 09:40:00", "2024-05-06 10:10:00"),
                 web("example.org", "2024-05-06 10:10:00", "2024-05-06 10:20:00")}),
        session("Terminal", "2024-05-06 10:30:00", "2024-05-06 11:15:00", 7200),
        session("Terminal", "2024-05-06 13:00:00", "2024-05-06 13:20:00", 7200),
        // Over midnight: half an hour on this day, the rest on the next.
        session("Editor", "2024-05-06 23:30:00", "2024-05-07 00:45:00", 7200),
        // Uploaded from a machine on UTC: 08:00 to 08:30 in Berlin.
        session("Mail", "2024-05-06 06:00:00", "2024-05-06 06:30:00", 0),
        // 22:30 UTC is already the next day in Berlin.
        session("Late", "2024-05-06 22:30:00", "2024-05-06 23:00:00", 0),
        // The evening before at UTC-1 is 02:30 in Berlin.
        session("Early", "2024-05-05 23:30:00", "2024-05-06 00:00:00", -3600),
    };
    const DayTimeline day = DayTimeline::of(sessions, QDate(2024, 5, 6), berlin);
    EXPECT_EQ(rowsOf(day), "Firefox 5400,   example.org 3000,   docs.test 1800, Terminal 3900, Early 1800, Editor 1800, Mail 1800");
    EXPECT_EQ(day.totalSeconds, 5400 + 3900 + 3 * 1800);
    ASSERT_EQ(day.hours.size(), 24);
    EXPECT_EQ(day.hours[13].hour, 13);

    const DayTimeline::Row &mail = day.applications.last();
    ASSERT_EQ(mail.bars.size(), 1);
    EXPECT_DOUBLE_EQ(mail.bars[0].from, 8.0 / 24);
    EXPECT_DOUBLE_EQ(mail.bars[0].to, 8.5 / 24);
    EXPECT_EQ(mail.bars[0].label, QStringLiteral("08:00\u201308:30"));
    const DayTimeline::Row &editor = day.applications[3];
    EXPECT_EQ(editor.bars[0].label, QStringLiteral("23:30\u201300:45"));
    EXPECT_DOUBLE_EQ(editor.bars[0].to, 1.0);
    EXPECT_EQ(day.applications[1].bars.size(), 2);

    const DayTimeline next = DayTimeline::of(sessions, QDate(2024, 5, 7), berlin);
    EXPECT_EQ(rowsOf(next), "Editor 2700, Late 1800");
    EXPECT_DOUBLE_EQ(next.applications[0].bars[0].from, 0.0);

    // The same sessions seen from UTC.
    const DayTimeline inUtc = DayTimeline::of(sessions, QDate(2024, 5, 6), QTimeZone::utc());
    EXPECT_EQ(rowsOf(inUtc), "Firefox 5400,   example.org 3000,   docs.test 1800, Editor 4500, Terminal 3900, Early 1800, Late 1800, Mail 1800");
    EXPECT_TRUE(DayTimeline::of(sessions, QDate(2024, 5, 5), berlin).applications.isEmpty());
}

TEST(DayTimeline, SummerTimeDaysHave23Or25HoursKeepTrueDurationsAndTimesTheServicesOwnZoneSkipsAreReadWhileUnreadableOnesAreLeftOut)
{
    // 01:00 to 04:00 written at +1 (before the switch at 02:00): three real hours, ending at
    // 05:00 summer time.
    const DayTimeline spring = DayTimeline::of({session("Terminal", "2024-03-31 01:00:00", "2024-03-31 04:00:00", 3600)},
                                               QDate(2024, 3, 31), berlin);
    ASSERT_EQ(spring.hours.size(), 23);
    EXPECT_EQ(spring.hours[2].hour, 3);
    EXPECT_EQ(spring.totalSeconds, 3 * 3600);
    EXPECT_DOUBLE_EQ(spring.applications[0].bars[0].from, 1.0 / 23);
    EXPECT_DOUBLE_EQ(spring.applications[0].bars[0].to, 4.0 / 23);
    EXPECT_EQ(spring.applications[0].bars[0].label, QStringLiteral("01:00\u201305:00"));

    const DayTimeline autumn = DayTimeline::of({session("Terminal", "2024-10-27 00:00:00", "2024-10-27 04:00:00", 7200)},
                                               QDate(2024, 10, 27), berlin);
    ASSERT_EQ(autumn.hours.size(), 25);
    EXPECT_EQ(autumn.hours[2].hour, 2);
    EXPECT_EQ(autumn.hours[3].hour, 2);
    EXPECT_EQ(autumn.totalSeconds, 4 * 3600);

    // Unreadable and backward sessions are left out.
    const DayTimeline day = DayTimeline::of({session("Backward", "2024-05-06 10:00:00", "2024-05-06 09:00:00", 0),
                                             session("Unreadable", "2024-05-06 25:00:00", "2024-05-06 26:00:00", 0),
                                             session("Empty", "2024-05-06 10:00:00", "2024-05-06 10:00:00", 0)},
                                            QDate(2024, 5, 6), QTimeZone::utc());
    EXPECT_TRUE(day.applications.isEmpty());
    EXPECT_EQ(day.totalSeconds, 0);

    // 02:30 on 31 March does not exist in Berlin; uploaded from UTC it is an ordinary time.
    const hourloom::test::ScopedTimeZone serviceZone("Europe/Berlin");
    const DayTimeline skipped = DayTimeline::of({session("Terminal", "2024-03-31 02:30:00", "2024-03-31 03:00:00", 0)}, QDate(2024, 3, 31),
                                                QTimeZone::utc());
    EXPECT_EQ(rowsOf(skipped), "Terminal 1800");
}

TEST(TimelineView, NamesAndDomainsBecomeTextAndTotalsReadAsTimes)
{
    const QString app = QStringLiteral("<script>alert(\"app\")</script> 'quoted' & more");
    const QString domain = QStringLiteral("\"><img src=x onerror=alert(1)>.example");
    const DayTimeline day = DayTimeline::of({session(app, "2024-05-06 09:00:00", "2024-05-06 10:05:00", 0,
                                                     {web(domain, "2024-05-06 09:00:00", "2024-05-06 09:12:00")})},
                                            QDate(2024, 5, 6), QTimeZone::utc());
    const QString html = TimelineView(day, QStringLiteral("UTC\"><b>"), QDate(2024, 5, 6)).html();
    EXPECT_FALSE(html.contains(QStringLiteral("<b>"))) << html.toStdString();
    EXPECT_FALSE(html.contains(u'\'')) << html.toStdString();
    // Never run as markup in a browser either: AccountPagesInBrowser.
    EXPECT_TRUE(html.contains(QStringLiteral("&lt;script&gt;alert(&quot;app&quot;)&lt;/script&gt; &#39;quoted&#39; &amp; more")));
    EXPECT_TRUE(html.contains(QStringLiteral("&quot;&gt;&lt;img src=x onerror=alert(1)&gt;.example")));
    EXPECT_TRUE(html.contains(QStringLiteral(">1 h 05 min<")));
    EXPECT_TRUE(html.contains(QStringLiteral(">12 min<")));

    EXPECT_EQ(TimelineView::durationText(0), "0 s");
    EXPECT_EQ(TimelineView::durationText(59), "59 s");
    EXPECT_EQ(TimelineView::durationText(60), "1 min");
    EXPECT_EQ(TimelineView::durationText(3599), "59 min");
    EXPECT_EQ(TimelineView::durationText(3600), "1 h 00 min");
    EXPECT_EQ(TimelineView::durationText(26 * 3600 + 5 * 60), "26 h 05 min");
}

TEST(DayTimeline, AFullDayShowsItsLongestRowsAndFewEnoughBarsWithEveryMinuteCounted)
{
    // 5,000 sessions of ten seconds five seconds apart in one application, and 60 more
    // applications of one session each, App 00 the longest.
    QList<StoredAppSession> sessions;
    const QDateTime midnight(QDate(2024, 5, 6), QTime(0, 0), QTimeZone::utc());
    const auto at = [&](int seconds) { return midnight.addSecs(seconds).toString("yyyy-MM-dd HH:mm:ss"); };
    for (int i = 0; i < 5000; ++i)
        sessions.append(session("Busy", at(15 * i), at(15 * i + 10), 0));
    for (int i = 0; i < 60; ++i)
        sessions.append(session(QStringLiteral("App %1").arg(i, 2, 10, QLatin1Char('0')), at(60 * i), at(60 * i + 60 - i), 0));
    const DayTimeline day = DayTimeline::of(sessions, QDate(2024, 5, 6), QTimeZone::utc());
    ASSERT_EQ(day.applications.size(), DayTimeline::shownApplications);
    EXPECT_EQ(day.applications.last().name, QStringLiteral("App 38"));
    EXPECT_EQ(day.moreApplications, 21);
    EXPECT_EQ(day.moreApplicationSeconds, 21 * 22 / 2);
    EXPECT_EQ(day.totalSeconds, 50000 + 60 * 61 / 2);
    // Five seconds apart, the sessions are drawn as one stretch from the first to the last.
    const DayTimeline::Row &busy = day.applications.first();
    EXPECT_EQ(busy.totalSeconds, 50000);
    ASSERT_EQ(busy.bars.size(), 1);
    EXPECT_EQ(busy.bars[0].label, QStringLiteral("00:00\u201320:49"));
}
