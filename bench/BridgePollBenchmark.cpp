// One browser poll as the worker thread runs it: the bridge-backed script answering from the
// host's state file. No browser is needed; this process stands in as the running writer.
#include "platform/browser/BridgeScriptLibrary.h"
#include "tracking/WebAppleScriptGenerator.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace hourloom;

namespace {

void bridgePoll(benchmark::State &state)
{
    QTemporaryDir runtime;
    const auto store = std::make_shared<BrowserStateStore>(runtime.path() + "/hourloom/browser");
    store->preparePrivateDirectory();
    store->write("chromium", BrowserState{QStringLiteral("https://www.example.com/some/page?q=1"), true, 1, ProcessIdentity::current()});
    const auto script = BridgeScriptLibrary::type(store)(WebAppleScriptGenerator::generateScript(QStringLiteral("Chromium Web Browser")));
    std::optional<QVariantMap> error;
    script->compileAndReturnError(error);
    for (auto _ : state) {
        const auto response = script->executeAndReturnError(error);
        benchmark::DoNotOptimize(response->stringValue());
    }
}
BENCHMARK(bridgePoll)->Unit(benchmark::kMicrosecond)->MeasureProcessCPUTime();

} // namespace

BENCHMARK_MAIN();
