// What the outbox costs: writing one ended app session (the write at every session end), with
// an empty store and with 10,000 sessions waiting; opening a store that holds 10,000 sessions
// (on the way to the tray icon); and reading them back for the first upload after a start.
#include "platform/services/store/SqliteOutbox.h"
#include "upload/SessionOutbox.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace hourloom;

namespace {

const OutboxKey key{QStringLiteral("bench@hourloom.test"), QStringLiteral("Development")};

OutboxAppSession endedSession(qint64 index)
{
    const QDateTime start = QDateTime::currentDateTime().addSecs(-3600 * 24 + index);
    OutboxAppSession session{QUuid::createUuid(), start, start.addSecs(30), QStringLiteral("Chromium Web Browser"),
                             QStringLiteral("chromium"), {}};
    for (int web = 0; web < 3; ++web)
        session.webSessions.append({QUuid::createUuid(), start.addSecs(web * 10), start.addSecs(web * 10 + 9), QStringLiteral("example.org")});
    return session;
}

void fill(SqliteOutbox &outbox, qint64 count)
{
    QList<OutboxAppSession> sessions;
    for (qint64 i = 0; i < count; ++i)
        sessions.append(endedSession(i));
    outbox.save(key, sessions);
}

void WriteOneEndedSession(benchmark::State &state)
{
    QTemporaryDir folder;
    SqliteOutbox outbox(folder.filePath(QStringLiteral("outbox.sqlite")));
    fill(outbox, state.range(0));
    qint64 index = state.range(0);
    for (auto _ : state) {
        state.PauseTiming();
        const OutboxAppSession session = endedSession(index++);
        state.ResumeTiming();
        if (!outbox.save(key, {session}))
            state.SkipWithError("the store did not take the session");
    }
}
BENCHMARK(WriteOneEndedSession)->Arg(0)->Arg(10000)->Unit(benchmark::kMicrosecond);

void OpenStoreHolding10000(benchmark::State &state)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("outbox.sqlite"));
    {
        SqliteOutbox outbox(path);
        fill(outbox, 10000);
    }
    for (auto _ : state) {
        SqliteOutbox outbox(path);
        benchmark::DoNotOptimize(outbox.isOpen());
    }
}
BENCHMARK(OpenStoreHolding10000)->Unit(benchmark::kMillisecond);

void Restore10000ForTheFirstUpload(benchmark::State &state)
{
    QTemporaryDir folder;
    auto store = std::make_shared<SqliteOutbox>(folder.filePath(QStringLiteral("outbox.sqlite")));
    fill(*store, 10000);
    for (auto _ : state) {
        SessionOutbox outbox(store, [] { return key; });
        benchmark::DoNotOptimize(outbox.restore({}));
    }
}
BENCHMARK(Restore10000ForTheFirstUpload)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
