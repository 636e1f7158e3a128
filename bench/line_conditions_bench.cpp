// GERG-2008 and DETAIL at 288.15 K and 5000 kPa for an 8-component pipeline gas: the density
// solve and every property of the state (Z, density, speed of sound, isentropic exponent, heat
// capacities, Joule-Thomson coefficient, enthalpy, entropy), per iteration; each model with its
// mixture kept between calls and with the mixture set up on every call. With a local copy of
// NIST's public AGA8 code given to scripts/bench_line_conditions.sh, the same cases of that
// code run in the same program (nist_aga8_bench.cpp).
#include <benchmark/benchmark.h>

#include "bench/line_conditions_gas.h"
#include "lineprops/detail.h"
#include "lineprops/gerg2008.h"

namespace {

using calorix::lineprops::DetailMixture;
using calorix::lineprops::Gerg2008Mixture;
using bench::kPipelineGas;

template <class Mixture>
void SetUpEveryCall(benchmark::State& state) {
    for (auto _ : state) {
        Mixture gas(kPipelineGas);
        benchmark::DoNotOptimize(gas.State(bench::kLineTemperature_K, bench::kLinePressure_kPa));
    }
}

// The same gas kept between calls: a new density solve at the same temperature.
template <class Mixture>
void MixtureKept(benchmark::State& state) {
    Mixture gas(kPipelineGas);
    for (auto _ : state) benchmark::DoNotOptimize(gas.State(bench::kLineTemperature_K, bench::kLinePressure_kPa));
}

BENCHMARK(SetUpEveryCall<Gerg2008Mixture>)->Name("BM_Gerg2008_SetUpEveryCall");
BENCHMARK(MixtureKept<Gerg2008Mixture>)->Name("BM_Gerg2008_MixtureKept");
BENCHMARK(SetUpEveryCall<DetailMixture>)->Name("BM_Detail_SetUpEveryCall");
BENCHMARK(MixtureKept<DetailMixture>)->Name("BM_Detail_MixtureKept");

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
