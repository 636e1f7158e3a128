// 10,000 fluids of the default pipeline gas through all fourteen correlations, each fluid
// flashed by the host first, on every hardware thread (and on one, for comparison).
#include <benchmark/benchmark.h>

#include <thread>
#include <vector>

#include "host/manager.h"
#include "host/fluid/fluid_json.h"
#include "host/manager/batch.h"

namespace {

using namespace calorix::host;

constexpr std::size_t kFluids = 10000;

void BM_Batch(benchmark::State& state) {
    CorrelationManager manager;
    if (FAILED(manager.Load(CALORIX_MODULE_PATH))) {
        state.SkipWithError("Calorix.so not loaded");
        return;
    }
    std::vector<const CatalogueEntry*> classes;
    bool optional = false;
    std::string problem;
    SelectClasses("all", IsoEdition{}, classes, optional, problem);
    const std::vector<Fluid> fluids(kFluids, ParseFluidJson(DefaultFluidJson(), "default").fluid);
    EvaluationSettings settings;
    settings.flash = true;
    settings.refTempOption = 0;
    const auto threads = static_cast<unsigned>(state.range(0));
    for (auto _ : state) {
        BatchRun run = EvaluateBatch(manager, classes, optional, settings, fluids, threads);
        if (!run.results.back().Ok()) state.SkipWithError("a fluid failed");
        benchmark::DoNotOptimize(run);
    }
    state.counters["fluids/s"] = benchmark::Counter(static_cast<double>(kFluids) * state.iterations(),
                                                    benchmark::Counter::kIsRate);
    state.counters["threads"] = threads;
}
BENCHMARK(BM_Batch)
    ->Arg(1)
    ->Arg(static_cast<int>(std::max(1u, std::thread::hardware_concurrency())))
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->UseRealTime();

}  // namespace
