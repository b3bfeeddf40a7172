// Encoding an upload body and handling an app switch: the two pieces of tracking work that run
// on the main loop for every upload and every change of the frontmost application.
#include "agent/TrackingStack.h"
#include "core/Clock.h"
#include "model/AppSession.h"
#include "model/SessionBatch.h"
#include "model/WebSession.h"
#include "tracking/SessionBatchController.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace hourloom;

namespace {

class NoWorkspace final : public WorkspaceProtocol {
public:
    std::optional<RunningApplication> frontmostApplication() const override { return std::nullopt; }
};

class NoEventTracker final : public EventTrackerProtocol {
public:
    std::optional<MonitorToken> addGlobalMonitorForEvents(std::uint64_t, Handler) override { return std::nullopt; }
    void removeMonitor(MonitorToken) override {}
};

class InertTimer final : public TimerProtocol {
public:
    void invalidate() override {}
    bool isValid() const override { return true; }
};

void encodeBatch(benchmark::State &state)
{
    SessionBatch batch;
    for (int i = 0; i < 1000; ++i) {
        auto session = std::make_shared<AppSession>(QStringLiteral("Application %1").arg(i), QStringLiteral("org.example.app%1").arg(i));
        for (int j = 0; j < 5; ++j) {
            auto page = std::make_shared<WebSession>(QStringLiteral("site%1.example.org").arg(j));
            page->end(QDateTime::currentDateTime());
            session->webSessions().append(page);
        }
        session->end(QDateTime::currentDateTime());
        batch.appSessions().append(session);
    }
    for (auto _ : state) {
        QByteArray body = batch.encode();
        benchmark::DoNotOptimize(body);
    }
}
BENCHMARK(encodeBatch)->Unit(benchmark::kMillisecond);

void handleAppSwitch(benchmark::State &state)
{
    qint64 milliseconds = 0;
    const QDateTime start = QDateTime::currentDateTime();
    Clock::Override clock([&] { return start.addMSecs(milliseconds); });
    NotificationCenter center;
    const auto controller = TrackingStack::build({.activations = center,
                                                  .workspace = std::make_shared<NoWorkspace>(),
                                                  .input = std::make_shared<NoEventTracker>(),
                                                  .timerProvider = [](double, bool, TimerBlock) { return std::make_shared<InertTimer>(); }})
                                .controller;
    const std::array<std::pair<QString, QString>, 3> apps{{{"XTerm", "debian-xterm"}, {"Files", "org.gnome.Nautilus"}, {"Editor", "org.gnome.TextEditor"}}};
    std::size_t next = 0;
    for (auto _ : state) {
        milliseconds += 7000;
        const auto &[name, id] = apps[next++ % apps.size()];
        controller->handleAppSwitch(std::make_shared<AppSession>(name, id));
        // Keep the batch the size it has between two uploads.
        if (controller->sessionBatch()->appSessions().size() > 500)
            controller->clearUploadedSessions();
    }
}
BENCHMARK(handleAppSwitch)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir configHome;
    qputenv("XDG_CONFIG_HOME", configHome.path().toUtf8());
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
