// One hydrocarbon dew-point calculation through the module over a flash that costs next to
// nothing: what remains is the library's own work per flash (record set-up, phase tests) plus
// the fake host's bookkeeping, which BM_FakeHostFlashOnly measures alone for subtraction.
#include <benchmark/benchmark.h>

#include <array>
#include <vector>

#include "tests/support/fake_host.h"
#include "tests/support/module_client.h"

using moduleclient::Calorix;

namespace {

using fakehost::Component;
using fakehost::FakeHost;
using platform::ComPtr;

// A 21-component wet natural gas: CAS number, molar mass (kg/kmol), mole fraction, class.
const std::vector<Component> kGas = {
    {74828, 16.043, 0.8611, 201},   {74840, 30.070, 0.0520, 202},   {74986, 44.097, 0.0210, 203},
    {75285, 58.123, 0.0040, 204},   {106978, 58.123, 0.0060, 205},  {463821, 72.150, 0.0002, 206},
    {78784, 72.150, 0.0015, 207},   {109660, 72.150, 0.0013, 208},  {110543, 86.177, 0.0008, 209},
    {142825, 100.204, 0.0004, 210}, {111659, 114.231, 0.0002, 211}, {111842, 128.258, 0.0001, 212},
    {124185, 142.285, 0.0001, 213}, {7727379, 28.0135, 0.0300, 100}, {124389, 44.010, 0.0180, 101},
    {7783064, 34.082, 0.0001, 102}, {1333740, 2.0159, 0.0005, 103}, {7440597, 4.0026, 0.0005, 104},
    {7782447, 31.9988, 0.0002, 105}, {107211, 62.068, 0.0010, 450}, {7732185, 18.0153, 0.0010, 0},
};
constexpr std::size_t kWaterIndex = 20;

// The dew-point flash answers 15 degC with an aqueous liquid, so the search scans; hydrocarbon
// liquid appears below -12.3 degC: 3 scan flashes and 14 refinement flashes follow.
HRESULT CheapFlash(FluidComposition& r) {
    const std::size_t n = static_cast<std::size_t>(r.componentCount);
    r.phasePresent[1] = 0;
    r.phasePresent[2] = 0;
    if (r.temperature == EMPTY_VALUE && r.phaseFraction[0] == 1.0) {
        r.temperature = 15.0;
        r.phasePresent[2] = 1;
        r.phaseFraction[2] = 0.001;
        for (std::size_t i = 0; i < n; ++i) r.moleFractions[2][i] = i == kWaterIndex ? 1.0 : 0.0;
        return S_OK;
    }
    if (r.temperature < -12.3) {
        r.phasePresent[1] = 1;
        r.phaseFraction[1] = 0.01;
        for (std::size_t i = 0; i < n; ++i) r.moleFractions[1][i] = i == kWaterIndex ? 0.0 : 1.0 / 20.0;
    }
    return S_OK;
}

constexpr int kFlashesPerCalculation = 1 + 3 + 14;


void BM_HcDewPointCalculate(benchmark::State& state) {
    FakeHost host;
    host.SetGas(kGas);
    host.flash = CheapFlash;
    ComPtr<ICorrelation> correlation = moduleclient::Create(Calorix(), CLSID_HCDewPt);
    if (!correlation) {
        state.SkipWithError("cannot create HCDewPt");
        return;
    }
    std::int32_t key = 0;
    IVariableSet* set = nullptr;
    correlation->Attach(host.Source(), 0, &key, &set);
    ComPtr<IVariableSet> results(set);
    for (auto _ : state) {
        benchmark::DoNotOptimize(correlation->Calculate(key));
        host.ClearLogs();
    }
    if (moduleclient::PhaseValues(results.Get())[0] == EMPTY_VALUE) state.SkipWithError("no dew point found");
    state.counters["per_flash"] = benchmark::Counter(static_cast<double>(state.iterations()) * kFlashesPerCalculation,
                                                     benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_HcDewPointCalculate);

// The same number of flashes straight through the fake host's flash interface.
void BM_FakeHostFlashOnly(benchmark::State& state) {
    FakeHost host;
    host.SetGas(kGas);
    host.flash = CheapFlash;
    ComPtr<IFlashCalculator> calculator;
    ComPtr<IFluidState> fluidState;
    ComPtr<IFluidSource> source;
    ComPtr<IUnknown>(host.Source()).As(&source);
    source->GetFluidState(0, fluidState.Put());
    ComPtr<IUnknown> data;
    fluidState->GetComponentData(data.Put());
    data.As(&calculator);
    std::array<std::vector<double>, 5> arrays;
    FluidComposition record{};
    record.componentCount = static_cast<std::int32_t>(kGas.size());
    for (int s = 0; s < 5; ++s) {
        arrays[static_cast<std::size_t>(s)].assign(kGas.size(), 0.0);
        record.moleFractions[s] = arrays[static_cast<std::size_t>(s)].data();
    }
    for (auto _ : state) {
        record.temperature = EMPTY_VALUE;
        record.phaseFraction[0] = 1.0;
        calculator->Flash(&record);
        record.phaseFraction[0] = EMPTY_VALUE;
        for (int i = 1; i < kFlashesPerCalculation; ++i) {
            record.temperature = 5.0 - i;
            calculator->Flash(&record);
        }
        host.ClearLogs();
    }
    state.counters["per_flash"] = benchmark::Counter(static_cast<double>(state.iterations()) * kFlashesPerCalculation,
                                                     benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_FakeHostFlashOnly);

}  // namespace
