// One browser poll as the worker thread runs it: the bridge-backed script answering from the
// host's state file. No browser is needed; this process stands in as the running writer.
#include "platform/services/browser/BridgeScriptLibrary.h"
#include "tracking/WebAppleScriptGenerator.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace hourloom;

namespace {

void bridgePoll(benchmark::State &state, const char *familyId, const char *browserName)
{
    QTemporaryDir runtime;
    const auto store = std::make_shared<BrowserStateStore>(runtime.path() + "/hourloom/browser");
    store->preparePrivateDirectory();
    store->write(familyId, BrowserState{QStringLiteral("https://www.example.com"), true, false, 1, ProcessIdentity::current()});
    const auto script = BridgeScriptLibrary::type(store)(WebAppleScriptGenerator::generateScript(QString::fromUtf8(browserName)));
    std::optional<QVariantMap> error;
    script->compileAndReturnError(error);
    for (auto _ : state) {
        const auto response = script->executeAndReturnError(error);
        benchmark::DoNotOptimize(response->stringValue());
    }
}
BENCHMARK_CAPTURE(bridgePoll, chromium, "chromium", "Chromium")->Unit(benchmark::kMicrosecond)->MeasureProcessCPUTime();
BENCHMARK_CAPTURE(bridgePoll, firefox, "firefox", "Firefox ESR")->Unit(benchmark::kMicrosecond)->MeasureProcessCPUTime();

} // namespace

BENCHMARK_MAIN();
