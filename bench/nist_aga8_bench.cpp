// NIST's public AGA8 code (GERG2008.cpp, Detail.cpp from a local copy, built only by
// scripts/bench_line_conditions.sh) on the cases of line_conditions_bench.cpp: density by its
// gas-phase solver from its own start, then all properties. "MixtureKept" calls it with one
// composition, so that it keeps its composition terms (and, at one temperature, its
// temperature terms) between calls; "SetUpEveryCall" alternates between two compositions that
// differ by 1e-6 in methane and ethane, which its change test (1e-7) sees, so that it forms
// them again on every call, as a new mixture would.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "Detail.h"
#include "GERG2008.h"
#include "bench/line_conditions_gas.h"

namespace {

// NIST's arrays count components from 1.
std::vector<double> NistComposition(double shift) {
    std::vector<double> x(bench::kPipelineGas.begin(), bench::kPipelineGas.end());
    x[0] -= shift;
    x[3] += shift;
    x.insert(x.begin(), 0.0);
    return x;
}

struct Gerg {
    static void Setup() { SetupGERG(); }
    static void Run(const std::vector<double>& x) {
        double d = 0, p = 0, z = 0, dpdd, d2pdd2, d2pdtd, dpdt, u, h, s, cv, cp, w, g, jt, kappa, a;
        int ierr = 0;
        std::string herr;
        DensityGERG(0, bench::kLineTemperature_K, bench::kLinePressure_kPa, x, d, ierr, herr);
        PropertiesGERG(bench::kLineTemperature_K, d, x, p, z, dpdd, d2pdd2, d2pdtd, dpdt, u, h, s, cv, cp, w, g, jt,
                       kappa, a);
        benchmark::DoNotOptimize(w + kappa + cp + jt + h + s);
    }
};

struct Detail {
    static void Setup() { SetupDetail(); }
    static void Run(const std::vector<double>& x) {
        double d = 0, p = 0, z = 0, dpdd, d2pdd2, d2pdtd, dpdt, u, h, s, cv, cp, w, g, jt, kappa;
        int ierr = 0;
        std::string herr;
        DensityDetail(bench::kLineTemperature_K, bench::kLinePressure_kPa, x, d, ierr, herr);
        PropertiesDetail(bench::kLineTemperature_K, d, x, p, z, dpdd, d2pdd2, d2pdtd, dpdt, u, h, s, cv, cp, w, g, jt,
                         kappa);
        benchmark::DoNotOptimize(w + kappa + cp + jt + h + s);
    }
};

template <class Model>
void NistMixtureKept(benchmark::State& state) {
    Model::Setup();
    const auto x = NistComposition(0);
    for (auto _ : state) Model::Run(x);
}

template <class Model>
void NistSetUpEveryCall(benchmark::State& state) {
    Model::Setup();
    const std::vector<double> x[2] = {NistComposition(0), NistComposition(1e-6)};
    int k = 0;
    for (auto _ : state) {
        Model::Run(x[k]);
        k ^= 1;
    }
}

BENCHMARK(NistSetUpEveryCall<Gerg>)->Name("BM_NistGerg2008_SetUpEveryCall");
BENCHMARK(NistMixtureKept<Gerg>)->Name("BM_NistGerg2008_MixtureKept");
BENCHMARK(NistSetUpEveryCall<Detail>)->Name("BM_NistDetail_SetUpEveryCall");
BENCHMARK(NistMixtureKept<Detail>)->Name("BM_NistDetail_MixtureKept");

}  // namespace
