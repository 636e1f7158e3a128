// The reference host's Peng-Robinson flash on a 13-component pipeline gas with water: a
// two-phase and a three-phase temperature-pressure flash, a flash that cannot be certified
// (it must fail within milliseconds) and the dew-point flash.
#include <benchmark/benchmark.h>

#include <vector>

#include "host/fluid/components.h"
#include "host/thermo/flash.h"

using namespace calorix::host;

namespace {

constexpr double kZeroC = 273.15;

const std::vector<Component>& Components() {
    static const std::vector<Component> components = [] {
        std::vector<Component> c;
        for (const char* name : {"nitrogen", "carbon dioxide", "methane", "ethane", "propane", "isobutane", "n-butane",
                                 "isopentane", "n-pentane", "n-hexane", "n-heptane", "n-octane", "water"})
            c.push_back(ComponentFromRecord(*FindComponentByName(name)));
        return c;
    }();
    return components;
}

// The pipeline gas with 0.1 % water (the gas of bench/wet_pipeline_gas.json).
const std::vector<double> kFeed = {0.00999, 0.014985, 0.894105, 0.04995, 0.017982, 0.0034965, 0.0044955,
                                   0.0014985, 0.0011988, 0.0007992, 0.0003996, 0.0000999, 0.001};

void Flash(benchmark::State& state, double temperatureC, double pressureKPa, int phases) {
    const PengRobinsonFlash flash(Components());
    auto first = flash.FlashTP(temperatureC + kZeroC, pressureKPa, kFeed);
    const int count = first ? first->PresentCount() : 0;
    if (count != phases) {
        state.SkipWithError("the flash does not give the phases this case is about");
        return;
    }
    for (auto _ : state) benchmark::DoNotOptimize(flash.FlashTP(temperatureC + kZeroC, pressureKPa, kFeed));
}

// Vapour and water at 5 degC, 5000 kPa.
void BM_TwoPhaseFlash(benchmark::State& state) { Flash(state, 5.0, 5000.0, 2); }
BENCHMARK(BM_TwoPhaseFlash);

// Vapour, hydrocarbon liquid and water at -40 degC, 3000 kPa.
void BM_ThreePhaseFlash(benchmark::State& state) { Flash(state, -40.0, 3000.0, 3); }
BENCHMARK(BM_ThreePhaseFlash);

// Far below the range of the correlations, at -230 degC and 9000 kPa, the flash finds no
// equilibrium it can certify and fails.
void BM_FailedFlash(benchmark::State& state) { Flash(state, -230.0, 9000.0, 0); }
BENCHMARK(BM_FailedFlash)->Unit(benchmark::kMillisecond);

// The dew-point flash at 5000 kPa (the water dew point of this gas).
void BM_DewPointFlash(benchmark::State& state) {
    const PengRobinsonFlash flash(Components());
    if (!flash.DewPoint(5000.0, kFeed)) {
        state.SkipWithError("no dew point");
        return;
    }
    for (auto _ : state) benchmark::DoNotOptimize(flash.DewPoint(5000.0, kFeed));
}
BENCHMARK(BM_DewPointFlash)->Unit(benchmark::kMillisecond);

}  // namespace
