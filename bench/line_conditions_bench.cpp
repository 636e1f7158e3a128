// GERG-2008 and DETAIL at 288.15 K and 5000 kPa for an 8-component pipeline gas: the mixture
// set-up, the density solve and Z, speed of sound and isentropic exponent, per iteration.
#include <benchmark/benchmark.h>

#include <array>

#include "lineprops/detail.h"
#include "lineprops/gerg2008.h"

namespace {

using calorix::lineprops::DetailMixture;
using calorix::lineprops::Gerg2008Mixture;

// methane 0.9, nitrogen 0.02, CO2 0.015, ethane 0.045, propane 0.012, isobutane 0.003,
// n-butane 0.003, n-pentane 0.002, in the models' component order.
constexpr std::array<double, 21> kPipelineGas{0.9, 0.02, 0.015, 0.045, 0.012, 0.003, 0.003, 0.0, 0.002};

void BM_GergDensityAndProperties(benchmark::State& state) {
    for (auto _ : state) {
        Gerg2008Mixture gas(kPipelineGas);
        benchmark::DoNotOptimize(gas.State(288.15, 5000.0));
    }
}
BENCHMARK(BM_GergDensityAndProperties);

// The same gas kept between calls: a new density solve at the same temperature.
void BM_GergDensityAndPropertiesSameMixture(benchmark::State& state) {
    Gerg2008Mixture gas(kPipelineGas);
    for (auto _ : state) benchmark::DoNotOptimize(gas.State(288.15, 5000.0));
}
BENCHMARK(BM_GergDensityAndPropertiesSameMixture);

void BM_DetailDensity(benchmark::State& state) {
    for (auto _ : state) {
        DetailMixture gas(kPipelineGas);
        benchmark::DoNotOptimize(gas.State(288.15, 5000.0));
    }
}
BENCHMARK(BM_DetailDensity);

// The pipeline gas blended with 20 % hydrogen, set up on every call: argument 0 GERG-2008 as
// published, 1 GERG-2008 with the 2021 hydrogen binaries.
void BM_GergHydrogenBlend(benchmark::State& state) {
    std::array<double, 21> blend{};
    for (std::size_t i = 0; i < blend.size(); ++i) blend[i] = 0.8 * kPipelineGas[i];
    blend[14] = 0.2;
    const auto model = state.range(0) == 0 ? calorix::lineprops::GergModel::Gerg2008
                                           : calorix::lineprops::GergModel::Gerg2008Hydrogen2021;
    for (auto _ : state) {
        Gerg2008Mixture gas(blend, model);
        benchmark::DoNotOptimize(gas.State(288.15, 5000.0));
    }
}
BENCHMARK(BM_GergHydrogenBlend)->Arg(0)->Arg(1);

}  // namespace
