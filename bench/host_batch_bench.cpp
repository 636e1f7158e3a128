// calorix-host batch work for 10,000 fluids of the default pipeline gas: the eight ISO 6976
// classes on one thread, and every class with the host's flash first on one thread and on two.
// BM_PerFluid puts beside the batch's own per-fluid work (objects set up once, one fluid
// state shared by every class) the work a fluid took before, reproduced here: each class
// read again (display name, class id, result type) and given its own fluid state, component data
// and Peng-Robinson model. BM_SplitCheck puts the check that a fluid taken as one vapour phase
// is one, by the tangent-plane test alone, beside the flash it took before.
#include <benchmark/benchmark.h>

#include <thread>
#include <vector>

#include "host/fluid/fluid_json.h"
#include "host/manager.h"
#include "host/manager/batch.h"
#include "host/manager/fluid.h"

namespace {

using namespace calorix::host;

constexpr std::size_t kFluids = 10000;

struct Run {
    CorrelationManager manager;
    std::vector<const CatalogueEntry*> classes;
    bool optional = false;
    EvaluationSettings settings;
};

bool Prepare(benchmark::State& state, const char* selection, bool flash, Run& run) {
    if (FAILED(run.manager.Load(CALORIX_MODULE_PATH))) {
        state.SkipWithError("Calorix.so not loaded");
        return false;
    }
    std::string problem;
    SelectClasses(selection, IsoEdition{}, run.classes, run.optional, problem);
    run.settings.flash = flash;
    run.settings.refTempOption = 0;
    return true;
}

void Batch(benchmark::State& state, const char* selection, bool flash) {
    Run run;
    if (!Prepare(state, selection, flash, run)) return;
    const std::vector<Fluid> fluids(kFluids, ParseFluidJson(DefaultFluidJson(), "default").fluid);
    const auto threads = static_cast<unsigned>(state.range(0));
    for (auto _ : state) {
        BatchRun done = EvaluateBatch(run.manager, run.classes, run.optional, run.settings, fluids, threads);
        if (!done.results.back().Ok()) state.SkipWithError("a fluid failed");
        benchmark::DoNotOptimize(done);
    }
    state.counters["fluids/s"] = benchmark::Counter(static_cast<double>(kFluids) * state.iterations(),
                                                    benchmark::Counter::kIsRate);
    // Seconds per fluid (shown as "12.3u" for microseconds).
    state.counters["s/fluid"] = benchmark::Counter(static_cast<double>(kFluids) * state.iterations(),
                                                   benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["threads"] = threads;
}

void BM_BatchIso6976(benchmark::State& state) { Batch(state, "iso6976", false); }
void BM_BatchAllWithFlash(benchmark::State& state) { Batch(state, "all", true); }

BENCHMARK(BM_BatchIso6976)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_BatchAllWithFlash)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

// One thread, the eight ISO 6976 classes: range(0) 0 the work per fluid as it was, 1 as it is.
void BM_PerFluid(benchmark::State& state) {
    Run run;
    if (!Prepare(state, "iso6976", false, run)) return;
    const Fluid gas = ParseFluidJson(DefaultFluidJson(), "default").fluid;
    FluidEvaluator evaluator(run.manager, run.classes, false, run.settings);
    std::vector<platform::ComPtr<ICorrelation>> objects(run.classes.size());
    for (std::size_t i = 0; i < objects.size(); ++i) run.manager.Create(*run.classes[i]->classId, &objects[i]);
    const bool before = state.range(0) == 0;
    for (auto _ : state) {
        if (!before) {
            benchmark::DoNotOptimize(evaluator.Evaluate(gas));
            continue;
        }
        FluidResult out;
        out.fluid = gas;
        for (std::size_t i = 0; i < objects.size(); ++i) {
            SelectEnumOption(objects[i].Get(), "RefTempOption", 0);
            auto source = MakeFluidSource({out.fluid});
            PengRobinsonFlash model(out.fluid.components);
            benchmark::DoNotOptimize(model);
            CorrelationResult r;
            r.report = RunCorrelation(objects[i].Get(), run.classes[i]->word, source.Get(), 0);
            out.correlations.push_back(std::move(r));
        }
        benchmark::DoNotOptimize(out);
    }
    state.SetLabel(before ? "before" : "after");
}
BENCHMARK(BM_PerFluid)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// The check of a fluid taken as one vapour phase (no flash asked) that it is one: range(0) 0 by
// the flash, as it was, 1 by the tangent-plane test of the feed alone, as it is.
void BM_SplitCheck(benchmark::State& state) {
    const Fluid gas = ParseFluidJson(DefaultFluidJson(), "default").fluid;
    const bool byFlash = state.range(0) == 0;
    for (auto _ : state) {
        if (byFlash) {
            Fluid probe = gas;
            std::string problem;
            benchmark::DoNotOptimize(Equilibrate(probe, problem) && probe.phases.size() > 1);
        } else {
            benchmark::DoNotOptimize(
                PengRobinsonFlash(gas.components).Splits(gas.temperatureC + 273.15, gas.pressureKPa, gas.moleFractions));
        }
    }
    state.SetLabel(byFlash ? "flash" : "tangent-plane test");
}
BENCHMARK(BM_SplitCheck)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
