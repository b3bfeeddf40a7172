// The account pages' timeline of the fullest day the local service stores, as one page view
// costs it: reading the day (and the hours around it that other offsets may reach) from the
// SQLite file, placing the sessions and writing the page. Reports the page's bytes beside the
// CPU time; the day before and after are full too.
#include "AccountStore.h"
#include "ActivityStore.h"
#include "DayTimeline.h"
#include "TimelineView.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace hourloom::devserver;

namespace {

QString uuid(int kind, int i)
{
    return QStringLiteral("00000000-0000-4000-800%1-%2").arg(kind).arg(i, 12, 10, QLatin1Char('0'));
}

// Sessions of four seconds, each with a web session, one after another from midnight, under
// `names` application names and as many domains.
void fillDay(ActivityStore &activities, qint64 userId, QDate day, int first, int names)
{
    const QDateTime midnight(day, QTime(0, 0), QTimeZone::utc());
    const auto at = [&](int seconds) { return midnight.addSecs(seconds).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")); };
    constexpr int perUpload = 1000;
    for (int part = 0; part < ActivityStore::maxSessionsPerDay / perUpload; ++part) {
        UploadedActivities upload;
        for (int i = part * perUpload; i < (part + 1) * perUpload; ++i) {
            const QString name = QStringLiteral("Application %1").arg(i % names);
            upload.appSessions.append({uuid(1, first + i), at(4 * i), at(4 * i + 3), name, name,
                                       {{uuid(2, first + i), at(4 * i), at(4 * i + 2), QStringLiteral("site-%1.example").arg(i % names)}}});
        }
        if (activities.store(userId, upload))
            throw std::runtime_error("the day would not take the sessions");
    }
}

void timelinePage(benchmark::State &state, int names)
{
    QTemporaryDir folder;
    AccountStore accounts(folder.filePath("bench.sqlite"), 60, PasswordHasher::Cost::Minimal);
    accounts.seedUser(QStringLiteral("ada@hourloom.test"), QStringLiteral("benchmark"));
    const qint64 userId = *accounts.authenticate(QStringLiteral("ada@hourloom.test"), QStringLiteral("benchmark"));
    ActivityStore activities(accounts);
    const QDate day(2024, 5, 6);
    for (int offset = -1; offset <= 1; ++offset)
        fillDay(activities, userId, day.addDays(offset), (offset + 1) * ActivityStore::maxSessionsPerDay, names);
    const QTimeZone zone("Europe/Berlin");
    qsizetype bytes = 0;
    for (auto _ : state) {
        const auto sessions = activities.appSessionsAround(userId, day.startOfDay(zone), day.addDays(1).startOfDay(zone));
        const DayTimeline timeline = DayTimeline::of(sessions, day, zone);
        bytes = TimelineView(timeline, QStringLiteral("Europe/Berlin"), day).html().toUtf8().size();
    }
    state.counters["page_bytes"] = double(bytes);
}
BENCHMARK_CAPTURE(timelinePage, names_9000, 9000)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK_CAPTURE(timelinePage, one_name, 1)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

} // namespace

BENCHMARK_MAIN();
