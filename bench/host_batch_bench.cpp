// calorix-host batch work for 10,000 fluids of the default pipeline gas: the eight ISO 6976
// classes on one thread, and every class with the host's flash first on one thread and on two;
// then the command line's own path (the stream: fluids read and rows written in order by the
// calling thread, evaluated by the workers) for fluids at 200 conditions, each row formatted as
// the command line's CSV. BM_PerFluid puts beside the batch's own per-fluid work (objects set up
// once, one fluid state shared by every class) the work a fluid took before, reproduced here:
// each class read again (display name, class id, result type) and given its own fluid state,
// component data and Peng-Robinson model. BM_SplitCheck puts the check that a fluid taken as one
// vapour phase is one, by the tangent-plane test alone, beside the flash it took before.
//
// On a machine shared with other work the wall time of two threads says little about what two
// processors give, so each batch also reports, from the scheduler's accounting of every thread
// (/proc/thread-self/schedstat): "cpu/fluid", the processor time of all threads; "busiest/fluid",
// that of the busiest thread; "blocked/fluid", the time threads waited on one another (a lock, an
// empty queue, the writer) rather than for a processor; and "alone/fluid", the busiest thread's
// processor time and blocked time together: what a fluid takes when the run has its processors
// to itself. The speed-up of two threads over one is alone/fluid of one over that of two.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <dirent.h>
#include <unistd.h>

#include "host/cli/report.h"
#include "host/fluid/fluid_json.h"
#include "host/manager.h"
#include "host/manager/batch.h"
#include "host/manager/fluid.h"
#include "platform/program.h"

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

// A thread's time from the scheduler: on a processor and waiting for one (seconds), and the
// clock.
struct ThreadTime {
    double onCpu = 0.0, waiting = 0.0, wall = 0.0;
};
ThreadTime ReadSchedstat(const char* path) {
    ThreadTime t;
    if (FILE* f = std::fopen(path, "r")) {
        unsigned long long on = 0, waiting = 0;
        if (std::fscanf(f, "%llu %llu", &on, &waiting) == 2) {
            t.onCpu = 1e-9 * static_cast<double>(on);
            t.waiting = 1e-9 * static_cast<double>(waiting);
        }
        std::fclose(f);
    }
    t.wall = std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
    return t;
}
ThreadTime Since(const ThreadTime& a, const ThreadTime& b) {
    return {b.onCpu - a.onCpu, b.waiting - a.waiting, b.wall - a.wall};
}
// Every thread of the process, by id.
std::map<std::string, ThreadTime> ProcessThreads() {
    std::map<std::string, ThreadTime> threads;
    if (DIR* dir = opendir("/proc/self/task")) {
        while (const dirent* e = readdir(dir))
            if (e->d_name[0] != '.')
                threads[e->d_name] = ReadSchedstat(("/proc/self/task/" + std::string(e->d_name) + "/schedstat").c_str());
        closedir(dir);
    }
    return threads;
}

// The counters of a batch's threads (see the head of the file), per fluid.
// The rate of a batch of `fluids` per iteration on `threads`, and each thread's share of it.
void BatchCounters(benchmark::State& state, const std::vector<ThreadTime>& spent, std::size_t fluids,
                   unsigned threads) {
    const auto done = static_cast<double>(fluids) * static_cast<double>(state.iterations());
    state.counters["fluids/s"] = benchmark::Counter(done, benchmark::Counter::kIsRate);
    // Seconds per fluid (shown as "12.3u" for microseconds).
    state.counters["s/fluid"] = benchmark::Counter(done, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["threads"] = threads;
    double cpu = 0.0, busiest = 0.0, blocked = 0.0, alone = 0.0;
    for (const ThreadTime& t : spent) {
        const double waitedOnOthers = std::max(0.0, t.wall - t.onCpu - t.waiting);
        cpu += t.onCpu;
        blocked += waitedOnOthers;
        busiest = std::max(busiest, t.onCpu);
        alone = std::max(alone, t.onCpu + waitedOnOthers);
    }
    const auto n = static_cast<double>(fluids);
    state.counters["cpu/fluid"] = cpu / n;
    state.counters["busiest/fluid"] = busiest / n;
    state.counters["blocked/fluid"] = blocked / n;
    state.counters["alone/fluid"] = alone / n;
}

void Batch(benchmark::State& state, const char* selection, bool flash) {
    Run run;
    if (!Prepare(state, selection, flash, run)) return;
    const std::vector<Fluid> fluids(kFluids, ParseFluidJson(DefaultFluidJson(), "default").fluid);
    const auto threads = static_cast<unsigned>(state.range(0));
    std::vector<ThreadTime> spent;
    for (auto _ : state) {
        // EvaluateBatch, with each thread's time taken from its start to its end.
        spent.clear();
        std::mutex lock;
        auto timed = [&](const std::function<void()>& task) {
            const ThreadTime start = ReadSchedstat("/proc/thread-self/schedstat");
            task();
            const ThreadTime end = ReadSchedstat("/proc/thread-self/schedstat");
            std::lock_guard guard(lock);
            spent.push_back(Since(start, end));
        };
        BatchRun done;
        done.results.resize(fluids.size());
        done.leftOut = EvaluateEach(
            run.manager, run.classes, run.optional, run.settings, fluids.size(),
            [&](std::size_t i, FluidEvaluator& evaluator) { done.results[i] = evaluator.Evaluate(fluids[i]); },
            EachOptions{threads, {}, {}, [&](unsigned helpers, const std::function<void()>& task) {
                            std::vector<std::thread> others;
                            for (unsigned t = 0; t < helpers; ++t)
                                others.emplace_back([&] {
                                    platform::ComApartment apartment;
                                    timed(task);
                                });
                            timed(task);
                            for (auto& o : others) o.join();
                        }});
        if (!done.results.back().Ok()) state.SkipWithError("a fluid failed");
        benchmark::DoNotOptimize(done);
    }
    BatchCounters(state, spent, kFluids, threads);
}

void BM_BatchIso6976(benchmark::State& state) { Batch(state, "iso6976", false); }
void BM_BatchAllWithFlash(benchmark::State& state) { Batch(state, "all", true); }

BENCHMARK(BM_BatchIso6976)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_BatchAllWithFlash)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

// The command line's batch of every class with the flash, as StreamBatch runs it: fluids at 200
// temperatures and pressures (flashes and dew points of unequal work), read by the calling thread
// and written by it in order as CSV rows, on range(0) worker threads with a window of range(1)
// fluids per thread (16 as the command line runs it; 4, the window it had). The thread counters
// are the workers'; "writer/fluid" is the calling thread's processor time.
void BM_StreamAllWithFlash(benchmark::State& state) {
    Run run;
    if (!Prepare(state, "all", true, run)) return;
    const Fluid gas = ParseFluidJson(DefaultFluidJson(), "default").fluid;
    std::vector<Fluid> fluids(kFluids, gas);
    for (std::size_t i = 0; i < fluids.size(); ++i) {
        fluids[i].temperatureC = -20.0 + 0.25 * static_cast<double>(i % 200);
        fluids[i].pressureKPa = 500.0 + 50.0 * static_cast<double>((i * 7) % 200);
    }
    const RunDescription description = DescribeRun(run.settings, run.classes);
    const auto threads = static_cast<unsigned>(state.range(0));
    std::vector<ThreadTime> spent;
    double writer = 0.0;
    for (auto _ : state) {
        std::size_t read = 0, written = 0, bytes = 0;
        std::map<std::string, ThreadTime> first;
        ThreadTime writerStart;
        StreamBatch(
            run.manager, run.classes, run.optional, run.settings,
            [&](BatchEntry& entry) {
                if (read == 0) {
                    first = ProcessThreads();
                    writerStart = ReadSchedstat("/proc/thread-self/schedstat");
                }
                if (read == fluids.size()) return false;
                entry.fluid = fluids[read++];
                return true;
            },
            [&](const BatchEntry&, const FluidResult* result) {
                bytes += CsvRows(description, *result, ++written).size();
                if (written < fluids.size()) return;
                // The last fluid: every worker is still there, waiting for more.
                spent.clear();
                const std::string self = std::to_string(gettid());
                for (const auto& [id, end] : ProcessThreads())
                    if (const auto it = first.find(id); it != first.end() && id != self)
                        spent.push_back(Since(it->second, end));
                writer = Since(writerStart, ReadSchedstat("/proc/thread-self/schedstat")).onCpu;
            },
            StreamOptions{threads, static_cast<std::size_t>(state.range(1))});
        benchmark::DoNotOptimize(bytes);
    }
    BatchCounters(state, spent, kFluids, threads);
    state.counters["writer/fluid"] = writer / static_cast<double>(kFluids);
    state.counters["window"] = static_cast<double>(state.range(1));
}
BENCHMARK(BM_StreamAllWithFlash)
    ->Args({1, 16})
    ->Args({2, 16})
    ->Args({1, 4})
    ->Args({2, 4})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->UseRealTime();

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
