// One ISO 6976 slot evaluation as the calculation driver runs it: engine, table load, mixture.
#include <benchmark/benchmark.h>

#include <array>

#include "calorific/wobbe_calcs.h"
#include "framework/host_interfaces.h"
#include "bench/gas21.h"

namespace {

using bench::kGas;

void BM_WobbeCalcs21(benchmark::State& state) {
    std::array<double, kGas.size()> fractions{};
    std::array<double, kGas.size()> masses{};
    std::array<double, kGas.size()> cas{};
    for (std::size_t i = 0; i < kGas.size(); ++i) {
        fractions[i] = kGas[i].fraction;
        masses[i] = kGas[i].molarMass;
        cas[i] = kGas[i].cas;
    }
    FluidComposition record{};
    record.componentCount = static_cast<std::int32_t>(kGas.size());
    const std::int32_t option = static_cast<std::int32_t>(state.range(0));

    for (auto _ : state) {
        WobbeCalcs engine(&record);
        engine.m_moleFractions = fractions.data();
        engine.m_molecularWeights = masses.data();
        engine.m_casNumbers = cas.data();
        if (engine.LoadComponentTable() != 0) {
            state.SkipWithError("component records not allocated");
            break;
        }
        engine.CalculateMixture(option);
        benchmark::DoNotOptimize(engine.m_wobbeIndex);
        benchmark::DoNotOptimize(engine.m_grossCvVolume);
    }
}
BENCHMARK(BM_WobbeCalcs21)->Arg(0)->Arg(1);

}  // namespace
