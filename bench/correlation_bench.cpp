// CHHV Calculate through ICorrelation on a 21-component fluid with three phases present,
// the same four slots computed by the engine alone, and creating and releasing an object.
#include <benchmark/benchmark.h>

#include <vector>

#include "bench/gas21.h"
#include "calorific/wobbe_calcs.h"
#include "tests/support/fake_host.h"
#include "tests/support/module_client.h"

using moduleclient::Calorix;

namespace {

using platform::ComPtr;


// Vapour, hydrocarbon liquid and aqueous liquid, each with the overall composition.
void ThreePhaseGas(fakehost::FakeHost& host) {
    std::vector<fakehost::Component> components;
    std::vector<double> x;
    for (const auto& c : bench::kGas) {
        components.push_back({c.cas, c.molarMass, c.fraction});
        x.push_back(c.fraction);
    }
    host.SetGas(components);
    host.SetPhase(0, 0.8, x);
    host.SetPhase(1, 0.15, x);
    host.SetPhase(2, 0.05, x);
    host.recordCalls = false;
}

void BM_HHVCalculate(benchmark::State& state) {
    fakehost::FakeHost host;
    ThreePhaseGas(host);
    ComPtr<ICorrelation> correlation = moduleclient::Create(Calorix(), CLSID_HHV);
    std::int32_t key = 0;
    IVariableSet* results = nullptr;
    if (!correlation || FAILED(correlation->Attach(host.Source(), 0, &key, &results))) {
        state.SkipWithError("cannot create and attach CHHV");
        return;
    }
    for (auto _ : state) benchmark::DoNotOptimize(correlation->Calculate(key));
}
BENCHMARK(BM_HHVCalculate);

// The engine's share of the same calculation: four slots, nothing else.
void BM_EngineFourSlots(benchmark::State& state) {
    std::vector<double> x, m, cas;
    for (const auto& c : bench::kGas) {
        x.push_back(c.fraction);
        m.push_back(c.molarMass);
        cas.push_back(c.cas);
    }
    FluidComposition record{};
    record.componentCount = static_cast<std::int32_t>(x.size());
    for (auto _ : state) {
        for (int slot = 0; slot < 4; ++slot) {
            WobbeCalcs engine(&record);
            engine.m_moleFractions = x.data();
            engine.m_molecularWeights = m.data();
            engine.m_casNumbers = cas.data();
            engine.LoadComponentTable();
            engine.CalculateMixture(0);
            benchmark::DoNotOptimize(engine.m_grossCvVolume);
        }
    }
}
BENCHMARK(BM_EngineFourSlots);

void BM_CreateRelease(benchmark::State& state) {
    ComPtr<IClassFactory> factory;
    if (!Calorix().getClassObject || FAILED(Calorix().getClassObject(CLSID_HHV, IID_IClassFactory, factory.PutVoid()))) {
        state.SkipWithError("no class object");
        return;
    }
    for (auto _ : state) {
        ComPtr<ICorrelation> correlation;
        benchmark::DoNotOptimize(factory->CreateInstance(nullptr, IID_ICorrelation, correlation.PutVoid()));
    }
}
BENCHMARK(BM_CreateRelease);

}  // namespace
