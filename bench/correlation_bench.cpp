// CHHV Calculate through ICorrelation on a 21-component fluid with three phases present,
// the same four slots computed by the engine alone, and creating and releasing an object;
// the ISO 6976:2016 class and engine beside the 1995 ones; the line-condition classes.
#include <benchmark/benchmark.h>

#include <vector>

#include "bench/gas21.h"
#include "calorific/iso6976_2016.h"
#include "calorific/wobbe_calcs.h"
#include "tests/support/fake_host.h"
#include "tests/support/module_client.h"

using moduleclient::Calorix;

namespace {

using platform::ComPtr;


// Vapour, hydrocarbon liquid and aqueous liquid, each with the overall composition, or with
// distinct compositions: each phase's methane fraction moved a little, so no slot repeats
// another and the engine runs for all four.
void ThreePhaseGas(fakehost::FakeHost& host, bool distinctPhases = false) {
    std::vector<fakehost::Component> components;
    std::vector<double> x;
    for (const auto& c : bench::kGas) {
        components.push_back({c.cas, c.molarMass, c.fraction});
        x.push_back(c.fraction);
    }
    host.SetGas(components);
    const double phaseFractions[] = {0.8, 0.15, 0.05};
    for (int phase = 0; phase < 3; ++phase) {
        if (distinctPhases) x[0] = bench::kGas[0].fraction - 0.001 * (phase + 1);
        host.SetPhase(phase, phaseFractions[phase], x);
    }
    host.recordCalls = false;
}

// Creates the class, attaches it to the host's fluid and times Calculate.
void TimeCalculate(benchmark::State& state, fakehost::FakeHost& host, const CLSID& clsid) {
    ComPtr<ICorrelation> correlation = moduleclient::Create(Calorix(), clsid);
    std::int32_t key = 0;
    IVariableSet* results = nullptr;
    if (!correlation || FAILED(correlation->Attach(host.Source(), 0, &key, &results))) {
        state.SkipWithError("cannot create and attach the correlation");
        return;
    }
    for (auto _ : state) benchmark::DoNotOptimize(correlation->Calculate(key));
}

void CalculateOnThreePhases(benchmark::State& state, const CLSID& clsid, bool distinctPhases = false) {
    fakehost::FakeHost host;
    ThreePhaseGas(host, distinctPhases);
    TimeCalculate(state, host, clsid);
}

void BM_HHVCalculate(benchmark::State& state) { CalculateOnThreePhases(state, CLSID_HHV); }
BENCHMARK(BM_HHVCalculate);

void BM_HHVCalculateDistinctPhases(benchmark::State& state) { CalculateOnThreePhases(state, CLSID_HHV, true); }
BENCHMARK(BM_HHVCalculateDistinctPhases);

// ISO 6976:2016 at its default pair, 15/15 degC.
void BM_HHV2016Calculate(benchmark::State& state) { CalculateOnThreePhases(state, CLSID_HHV2016); }
BENCHMARK(BM_HHV2016Calculate);

void BM_HHV2016CalculateDistinctPhases(benchmark::State& state) {
    CalculateOnThreePhases(state, CLSID_HHV2016, true);
}
BENCHMARK(BM_HHV2016CalculateDistinctPhases);

// ZGERG2008 and ZDetail through ICorrelation: the pipeline gas of line_conditions_bench (methane
// 0.9, nitrogen 0.02, CO2 0.015, ethane 0.045, propane 0.012, isobutane 0.003, n-butane 0.003,
// n-pentane 0.002) as one vapour at 15 degC and 5000 kPa, so the overall and vapour slots.
void CalculateLineConditions(benchmark::State& state, const CLSID& clsid) {
    fakehost::FakeHost host;
    const std::vector<fakehost::Component> gas{{74828, 16.043, 0.9},    {7727379, 28.0135, 0.02},
                                               {124389, 44.0095, 0.015}, {74840, 30.069, 0.045},
                                               {74986, 44.097, 0.012},   {75285, 58.123, 0.003},
                                               {106978, 58.123, 0.003},  {109660, 72.15, 0.002}};
    std::vector<double> x;
    for (const auto& c : gas) x.push_back(c.moleFraction);
    host.SetGas(gas);
    host.SetPhase(0, 1.0, x);
    host.temperature = 15.0;
    host.pressure = 5000.0;
    host.recordCalls = false;
    TimeCalculate(state, host, clsid);
}

void BM_ZGERG2008Calculate(benchmark::State& state) { CalculateLineConditions(state, CLSID_ZGERG2008); }
BENCHMARK(BM_ZGERG2008Calculate);

void BM_ZDetailCalculate(benchmark::State& state) { CalculateLineConditions(state, CLSID_ZDetail); }
BENCHMARK(BM_ZDetailCalculate);

// The gas as the engines' input arrays.
struct GasArrays {
    std::vector<double> x, m, cas;
    GasArrays() {
        for (const auto& c : bench::kGas) {
            x.push_back(c.fraction);
            m.push_back(c.molarMass);
            cas.push_back(c.cas);
        }
    }
};

// The engine's share of the same calculation: four slots, nothing else.
void BM_EngineFourSlots(benchmark::State& state) {
    const GasArrays gas;
    const auto& [x, m, cas] = gas;
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

void BM_Engine2016FourSlots(benchmark::State& state) {
    const GasArrays gas;
    const auto& [x, m, cas] = gas;
    for (auto _ : state) {
        for (int slot = 0; slot < 4; ++slot) {
            Iso2016Calcs engine(static_cast<std::int32_t>(x.size()), x.data(), m.data(), cas.data());
            engine.Calculate(iso6976_2016::kRefConditions[0]);
            benchmark::DoNotOptimize(engine.m_grossCvVolume);
        }
    }
}
BENCHMARK(BM_Engine2016FourSlots);

// The same four slots as the driver runs them: one engine, the rows looked up once, each slot
// only the arithmetic on its fractions.
void BM_EngineFourSlotsRowsOnce(benchmark::State& state) {
    const GasArrays gas;
    const auto& [x, m, cas] = gas;
    FluidComposition record{};
    record.componentCount = static_cast<std::int32_t>(x.size());
    for (auto _ : state) {
        WobbeCalcs engine(&record);
        engine.m_moleFractions = x.data();
        engine.m_molecularWeights = m.data();
        engine.m_casNumbers = cas.data();
        engine.LoadComponentTable();
        for (int slot = 0; slot < 4; ++slot) {
            engine.CalculateMixture(0);
            benchmark::DoNotOptimize(engine.m_grossCvVolume);
        }
    }
}
BENCHMARK(BM_EngineFourSlotsRowsOnce);

void BM_Engine2016FourSlotsRowsOnce(benchmark::State& state) {
    const GasArrays gas;
    const auto& [x, m, cas] = gas;
    for (auto _ : state) {
        Iso2016Calcs engine(static_cast<std::int32_t>(x.size()), x.data(), m.data(), cas.data());
        for (int slot = 0; slot < 4; ++slot) {
            engine.Calculate(iso6976_2016::kRefConditions[0]);
            benchmark::DoNotOptimize(engine.m_grossCvVolume);
        }
    }
}
BENCHMARK(BM_Engine2016FourSlotsRowsOnce);

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
