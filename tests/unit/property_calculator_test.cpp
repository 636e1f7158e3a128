// CPropertyCalculator against a scripted host component-data object: phase sums, the loaded
// flag across a calculation, failures of the host, arrays shorter than the component count,
// and ownership of the host's reference and of every task-allocator block.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "co2e/property_calculator.h"
#include "framework/empty_value.h"
#include "platform/export.h"
#include "platform/task_allocator.h"

namespace {

// Watches every task-allocator block: what is still live, and frees of unknown blocks.
class AllocationSpy final : public platform::TaskAllocatorSpy {
public:
    void OnAlloc(void* block, std::size_t) override { m_live.insert(block); }
    bool OnFree(void* block) override {
        if (m_live.erase(block) == 0) {
            ++m_badFrees;
            return false;
        }
        return true;
    }
    void OnRealloc(void* oldBlock, void* newBlock, std::size_t) override {
        if (oldBlock) m_live.erase(oldBlock);
        m_live.insert(newBlock);
    }
    std::size_t LiveBlocks() const { return m_live.size(); }
    bool IsLive(const void* block) const { return m_live.count(const_cast<void*>(block)) != 0; }
    int BadFrees() const { return m_badFrees; }

private:
    std::set<void*> m_live;
    int m_badFrees = 0;
};

AllocationSpy& Spy() {
    static AllocationSpy* spy = new AllocationSpy;  // outlives every static of the program
    return *spy;
}

}  // namespace

extern "C" CALORIX_EXPORT platform::TaskAllocatorSpy* CalorixTaskAllocatorSpy() { return &Spy(); }

namespace {

[[maybe_unused]] const bool kSpyInstalled = (platform::InstallTaskAllocatorSpy(&Spy()), true);

constexpr double kCO2 = 124389;     // carbon dioxide
constexpr double kCH4 = 74828;      // methane
constexpr double kN2O = 10024972;   // nitrous oxide
constexpr double kSF6 = 2551624;    // sulphur hexafluoride
constexpr double kN2 = 7727379;     // nitrogen, in no table
constexpr double kWater = 7732185;  // in no table
constexpr double kEthane = 74840;   // in no table

struct Component {
    double cas;
    double molecularWeight;  // kg/kmol
};

// What the host knows about one fluid.
struct FluidScript {
    std::vector<Component> components;
    double molarFlow = 100.0;                        // kmol/h
    std::array<double, kPhaseCount> phaseFraction{};
    std::array<std::vector<double>, kSlotCount> moleFractions;  // per slot, component order
    std::array<bool, kSlotCount> nullFractions{};    // slots handed out without an array
};

// One component, all of it in phase slot `phase`.
FluidScript PureFluid(double cas, double molecularWeight, int phase, double molarFlow = 12.5) {
    FluidScript f;
    f.components = {{cas, molecularWeight}};
    f.molarFlow = molarFlow;
    f.phaseFraction[static_cast<std::size_t>(phase)] = 1.0;
    for (auto& x : f.moleFractions) x = {1.0};
    return f;
}

// Scriptable IComponentData. Answers properties by name with task-allocator arrays,
// alternately growing the array handed in with CoTaskMemRealloc and freeing it for a new
// one; checks that every request hands in null, the previous answer or another live
// task-allocator block, and that GetComposition gets a record with null arrays. Can fail or throw per request.
class FakeComponentData final : public IComponentData {
public:
    explicit FakeComponentData(const FluidScript& fluid) : m_fluid(fluid) {
        std::vector<double> cas, weights;
        for (const Component& c : fluid.components) {
            cas.push_back(c.cas);
            weights.push_back(c.molecularWeight);
        }
        properties["CAS_Numbers"] = cas;
        properties["Molecular Weight"] = weights;
        properties["MolarFlow"] = {fluid.molarFlow};
    }
    FakeComponentData(const FakeComponentData&) = delete;
    FakeComponentData& operator=(const FakeComponentData&) = delete;
    ~FakeComponentData() {
        EXPECT_EQ(refs, 0) << "references still held";
        EXPECT_TRUE(violations.empty()) << violations.front();
    }

    HRESULT COMCALL QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (riid != IID_IUnknown && riid != IID_IComponentData) return E_NOINTERFACE;
        *ppv = static_cast<IComponentData*>(this);
        AddRef();
        return S_OK;
    }
    ULONG COMCALL AddRef() override {
        ++addRefs;
        return static_cast<ULONG>(++refs);
    }
    ULONG COMCALL Release() override {
        ++releases;
        if (refs <= 0) violations.push_back("Release without a reference");
        return static_cast<ULONG>(--refs);
    }

    HRESULT COMCALL GetComponentProperty(const char* name, std::int32_t* count,
                                         double** values) override {
        if (!name || !count || !values) return E_POINTER;
        const std::string key = name;
        ++propertyCalls[key];
        // Null at first, then this host's last answer or (after a change of host) the array
        // another host left with the caller: a live task-allocator block either way.
        if (*values != m_lastAnswer && !Spy().IsLive(*values))
            violations.push_back("array handed in is neither the last answer nor a live block");
        if (throwing.count(key)) throw std::runtime_error("host failure");
        if (failing.count(key)) return E_FAIL;
        const auto it = properties.find(key);
        if (it == properties.end()) return E_INVALIDARG;
        const std::vector<double>& answer = it->second;
        // Never 0 bytes: like the system's, a reallocation to nothing frees the block.
        const std::size_t bytes = std::max<std::size_t>(answer.size(), 1) * sizeof(double);
        double* block = nullptr;
        if (*values && m_reallocNext) {
            block = static_cast<double*>(CoTaskMemRealloc(*values, bytes));
        } else {
            CoTaskMemFree(*values);
            block = static_cast<double*>(CoTaskMemAlloc(bytes));
        }
        m_reallocNext = !m_reallocNext;
        if (!answer.empty()) std::memcpy(block, answer.data(), answer.size() * sizeof(double));
        if (answerWithoutArray.count(key)) {
            CoTaskMemFree(block);
            block = nullptr;
        }
        *values = block;
        *count = static_cast<std::int32_t>(answer.size());
        m_lastAnswer = block;
        return S_OK;
    }

    HRESULT COMCALL GetComposition(FluidComposition* record) override {
        if (!record) return E_POINTER;
        ++compositionCalls;
        for (std::size_t s = 0; s < kSlotCount; ++s)  // packed record: no references into it
            if (record->moleFractions[s]) violations.push_back("record handed in with an array");
        if (throwComposition) throw std::runtime_error("host failure");
        if (failComposition) return E_FAIL;
        record->temperature = 15.0;
        record->pressure = 101.325;
        record->componentCount = static_cast<std::int32_t>(m_fluid.components.size());
        for (std::size_t s = 0; s < kSlotCount; ++s) {
            if (m_fluid.nullFractions[s]) continue;
            const std::vector<double>& x = m_fluid.moleFractions[s];
            auto* block = static_cast<double*>(CoTaskMemAlloc(x.size() * sizeof(double)));
            if (!x.empty()) std::memcpy(block, x.data(), x.size() * sizeof(double));
            record->moleFractions[s] = block;
        }
        for (std::size_t p = 0; p < kPhaseCount; ++p) {
            record->phaseFraction[p] = m_fluid.phaseFraction[p];
            record->phasePresent[p] = m_fluid.phaseFraction[p] > 0.0 ? 1 : 0;
        }
        return S_OK;
    }

    // Script.
    std::map<std::string, std::vector<double>> properties;
    std::set<std::string> failing, throwing, answerWithoutArray;
    bool failComposition = false;
    bool throwComposition = false;

    // Observations.
    const double* LastAnswer() const { return m_lastAnswer; }
    int refs = 0, addRefs = 0, releases = 0;
    int compositionCalls = 0;
    std::map<std::string, int> propertyCalls;
    std::vector<std::string> violations;

private:
    FluidScript m_fluid;
    double* m_lastAnswer = nullptr;
    bool m_reallocNext = true;
};

// A host and a calculator holding it; the calculator goes first.
struct Rig {
    explicit Rig(const FluidScript& fluid) : host(fluid) { calc.SetComponentData(&host); }
    FakeComponentData host;
    CPropertyCalculator calc;
};

// Index values of "Phase_Values" in the order a CO2-equivalent Calculate forms them: the
// overall value, then the loaded flag set, phase slots 0, 1, 2, the flag cleared.
std::array<double, 4> CalculateSequence(CPropertyCalculator& calc, std::string_view label) {
    std::array<double, 4> v{};
    v[0] = calc.CalculateCO2E(4, label);
    calc.SetLoaded(1);
    v[1] = calc.CalculateCO2E(0, label);
    v[2] = calc.CalculateCO2E(1, label);
    v[3] = calc.CalculateCO2E(2, label);
    calc.SetLoaded(0);
    return v;
}

// Every test leaves the task allocator as it found it and frees nothing twice.
class PropertyCalculator : public testing::Test {
protected:
    void SetUp() override {
        m_liveAtStart = Spy().LiveBlocks();
        m_badFreesAtStart = Spy().BadFrees();
    }
    void TearDown() override {
        EXPECT_EQ(Spy().LiveBlocks(), m_liveAtStart) << "task-allocator blocks leaked";
        EXPECT_EQ(Spy().BadFrees(), m_badFreesAtStart) << "unknown or freed block freed";
    }

private:
    std::size_t m_liveAtStart = 0;
    int m_badFreesAtStart = 0;
};

TEST_F(PropertyCalculator, SpySeesTheTaskAllocator) {
    const std::size_t before = Spy().LiveBlocks();
    void* block = CoTaskMemAlloc(8);
    EXPECT_EQ(Spy().LiveBlocks(), before + 1);
    CoTaskMemFree(block);
}

TEST_F(PropertyCalculator, PureGasGivesFactorTimesMassFlowInItsPhaseOnly) {
    struct Case {
        double cas;
        double molecularWeight;
        std::string_view label;
        double factor;
    };
    // Carbon dioxide 1 everywhere; methane 21 : 25 : 21.
    const Case cases[] = {
        {kCO2, 44.0095, "SAR", 1}, {kCO2, 44.0095, "AR4", 1}, {kCO2, 44.0095, "US", 1},
        {kCH4, 16.0425, "SAR", 21}, {kCH4, 16.0425, "AR4", 25}, {kCH4, 16.0425, "US", 21},
    };
    constexpr double flow = 12.5;
    for (const Case& c : cases) {
        for (int phase = 0; phase < kPhaseCount; ++phase) {
            SCOPED_TRACE(testing::Message() << c.cas << " " << c.label << " phase " << phase);
            Rig rig(PureFluid(c.cas, c.molecularWeight, phase, flow));
            const double expected = c.factor * (flow * c.molecularWeight);
            for (int slot = 0; slot < kPhaseCount; ++slot)
                EXPECT_EQ(rig.calc.CalculateCO2E(slot, c.label), slot == phase ? expected : 0.0);
            EXPECT_EQ(rig.calc.CalculateCO2E(4, c.label), expected);
            EXPECT_EQ(rig.calc.Loaded(), 0);
        }
    }
}

TEST_F(PropertyCalculator, CasValueIsRoundedBeforeTheLookUp) {
    struct Case {
        double cas;
        bool foundAsCarbonDioxide;
    };
    const Case cases[] = {
        {124389.3, true}, {124388.7, true}, {124389.5, true}, {124388.5, false}, {124389.6, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.cas);
        Rig rig(PureFluid(c.cas, 44.0, 0, 2.0));
        for (std::string_view label : {"SAR", "AR4", "US"})
            EXPECT_EQ(rig.calc.CalculateCO2E(0, label), c.foundAsCarbonDioxide ? 88.0 : 0.0);
    }
}

TEST_F(PropertyCalculator, KeysInSomeTablesOnly) {
    struct Case {
        double cas;
        double sar, ar4, us;  // factor, 0 where the table has no row
    };
    const Case cases[] = {
        {76197, 0, 8830, 7000},
        {75105, 0, 675, 650},
        {75694, 0, 4750, 0},
        {406780, 0, 580, 580},
        {kN2O, 310, 298, 310},
        {kSF6, 23900, 22800, 23900},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.cas);
        Rig rig(PureFluid(c.cas, 100.0, 1, 3.0));
        EXPECT_EQ(rig.calc.CalculateCO2E(1, "SAR"), c.sar * 300.0);
        EXPECT_EQ(rig.calc.CalculateCO2E(1, "AR4"), c.ar4 * 300.0);
        EXPECT_EQ(rig.calc.CalculateCO2E(1, "US"), c.us * 300.0);
    }
}

TEST_F(PropertyCalculator, MissingOrZeroInputsGiveZeroNotEmpty) {
    struct Case {
        const char* what;
        void (*change)(FluidScript&);
    };
    const Case cases[] = {
        {"no listed component",
         [](FluidScript& f) { f.components = {{kN2, 28.0134}, {kWater, 18.0153}, {kEthane, 30.069}}; }},
        {"molar flow EMPTY_VALUE", [](FluidScript& f) { f.molarFlow = EMPTY_VALUE; }},
        {"molar flow 0", [](FluidScript& f) { f.molarFlow = 0.0; }},
        {"phase fraction 0", [](FluidScript& f) { f.phaseFraction.fill(0.0); }},
        {"phase fraction EMPTY_VALUE", [](FluidScript& f) { f.phaseFraction.fill(EMPTY_VALUE); }},
        {"mole fraction EMPTY_VALUE",
         [](FluidScript& f) { for (auto& x : f.moleFractions) x.assign(3, EMPTY_VALUE); }},
        {"molecular weight EMPTY_VALUE",
         [](FluidScript& f) { for (auto& c : f.components) c.molecularWeight = EMPTY_VALUE; }},
        {"no mole-fraction arrays", [](FluidScript& f) { f.nullFractions.fill(true); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FluidScript fluid;
        fluid.components = {{kCO2, 44.0095}, {kCH4, 16.0425}, {kSF6, 146.0554}};
        fluid.phaseFraction = {0.4, 0.3, 0.2, 0.1};
        for (auto& x : fluid.moleFractions) x = {0.5, 0.3, 0.2};
        c.change(fluid);
        Rig rig(fluid);
        for (std::string_view label : {"SAR", "AR4", "US"})
            for (int slot = 0; slot <= kOverallSlot; ++slot)
                EXPECT_EQ(rig.calc.CalculateCO2E(slot, label), 0.0) << label << " slot " << slot;
    }
}

TEST_F(PropertyCalculator, MixtureOverAllFourPhasesAndTheOverallSum) {
    FluidScript fluid;
    fluid.components = {{kCO2, 44.0095}, {kCH4, 16.0425}, {kN2, 28.0134}, {kSF6, 146.0554}};
    fluid.molarFlow = 250.0;
    fluid.phaseFraction = {0.55, 0.25, 0.15, 0.05};
    fluid.moleFractions = {{{0.10, 0.80, 0.09, 0.01},
                            {0.05, 0.30, 0.05, 0.60},
                            {0.90, 0.02, 0.03, 0.05},
                            {0.25, 0.25, 0.25, 0.25},
                            {0.0, 0.0, 0.0, 1.0}}};  // overall slot: deliberately not used
    struct Table {
        std::string_view label;
        std::array<double, 4> factor;  // per component, 0 where not listed
    };
    const Table tables[] = {
        {"SAR", {1, 21, 0, 23900}}, {"AR4", {1, 25, 0, 22800}}, {"US", {1, 21, 0, 23900}}};
    for (const Table& t : tables) {
        SCOPED_TRACE(t.label);
        Rig rig(fluid);
        std::array<double, kPhaseCount> phase{};
        for (int p = 0; p < kPhaseCount; ++p) {
            const auto up = static_cast<std::size_t>(p);
            double expected = 0.0;
            for (std::size_t i = 0; i < fluid.components.size(); ++i)
                expected += t.factor[i] * (fluid.molarFlow * fluid.phaseFraction[up] *
                                           fluid.moleFractions[up][i] *
                                           fluid.components[i].molecularWeight);
            phase[up] = rig.calc.CalculateCO2E(p, t.label);
            EXPECT_DOUBLE_EQ(phase[up], expected) << "phase " << p;
        }
        EXPECT_GT(phase[3], 0.0);
        EXPECT_EQ(rig.calc.CalculateCO2E(4, t.label), ((phase[0] + phase[1]) + phase[2]) + phase[3]);
    }
}

TEST_F(PropertyCalculator, SlotsOutsideTheRangeGiveEmpty) {
    Rig rig(PureFluid(kCO2, 44.0, 0));
    for (int slot : {-1, 5, 100}) EXPECT_EQ(rig.calc.CalculateCO2E(slot, "SAR"), EMPTY_VALUE);
    for (int phase : {-1, 4}) EXPECT_EQ(rig.calc.SumPhase(phase, "SAR"), EMPTY_VALUE);
}

TEST_F(PropertyCalculator, WithoutComponentDataNothingIsLoaded) {
    CPropertyCalculator calc;
    EXPECT_EQ(calc.ComponentData(), nullptr);
    EXPECT_EQ(calc.Loaded(), 0);
    EXPECT_EQ(calc.MolarFlow(), EMPTY_VALUE);
    EXPECT_EQ(calc.GetPropertyArray("CAS_Numbers", 0), nullptr);
    EXPECT_EQ(calc.LoadFluid(), 0);
    calc.SetLoaded(1);  // not even a set flag makes a fluid appear
    EXPECT_EQ(calc.LoadFluid(), 0);
    EXPECT_EQ(calc.SumPhase(0, "SAR"), EMPTY_VALUE);
    EXPECT_EQ(calc.CalculateCO2E(4, "SAR"), EMPTY_VALUE);
}

// The values a CO2-equivalent Calculate writes to indexes 0-3 when the host fails part way.
TEST_F(PropertyCalculator, HostFailuresAcrossACalculation) {
    struct Case {
        const char* what;
        void (*fail)(FakeComponentData&);
        std::array<double, 4> values;
    };
    constexpr double E = EMPTY_VALUE;
    const Case cases[] = {
        {"composition fill fails", [](FakeComponentData& h) { h.failComposition = true; },
         {E, 0.0, 0.0, 0.0}},
        {"Molecular Weight missing", [](FakeComponentData& h) { h.failing.insert("Molecular Weight"); },
         {E, 0.0, E, E}},
        {"MolarFlow missing", [](FakeComponentData& h) { h.failing.insert("MolarFlow"); },
         {E, 0.0, E, E}},
        {"MolarFlow empty", [](FakeComponentData& h) { h.properties["MolarFlow"] = {}; },
         {E, 0.0, E, E}},
        {"CAS_Numbers missing", [](FakeComponentData& h) { h.failing.insert("CAS_Numbers"); },
         {E, E, E, E}},
        {"GetComposition throws", [](FakeComponentData& h) { h.throwComposition = true; },
         {E, 0.0, 0.0, 0.0}},
        {"Molecular Weight throws", [](FakeComponentData& h) { h.throwing.insert("Molecular Weight"); },
         {E, 0.0, E, E}},
        {"CAS_Numbers throws", [](FakeComponentData& h) { h.throwing.insert("CAS_Numbers"); },
         {E, E, E, E}},
        {"CAS_Numbers answered without array",
         [](FakeComponentData& h) { h.answerWithoutArray.insert("CAS_Numbers"); }, {E, E, E, E}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Rig rig(PureFluid(kCO2, 44.0, 0));
        c.fail(rig.host);
        EXPECT_EQ(CalculateSequence(rig.calc, "SAR"), c.values);
        EXPECT_EQ(rig.calc.Loaded(), 0);
    }
}

TEST_F(PropertyCalculator, FailedCompositionFillLeavesAZeroRecordThatALoadedSumReuses) {
    Rig rig(PureFluid(kCO2, 44.0, 0));
    rig.host.failComposition = true;
    EXPECT_EQ(rig.calc.CalculateCO2E(4, "AR4"), EMPTY_VALUE);
    EXPECT_EQ(rig.calc.Composition().componentCount, 0);
    EXPECT_EQ(rig.calc.MolarFlow(), EMPTY_VALUE);
    const int calls = rig.host.compositionCalls;
    rig.calc.SetLoaded(1);
    EXPECT_EQ(rig.calc.SumPhase(0, "AR4"), 0.0);
    EXPECT_EQ(rig.calc.Loaded(), 1);  // no component, so no CAS request clears it
    EXPECT_EQ(rig.host.compositionCalls, calls);
}

TEST_F(PropertyCalculator, MissingMolarFlowIsReusedOnceThenLoadedAgain) {
    Rig rig(PureFluid(kCO2, 44.0, 0));
    rig.host.failing.insert("MolarFlow");
    EXPECT_EQ(rig.calc.CalculateCO2E(4, "US"), EMPTY_VALUE);
    rig.calc.SetLoaded(1);
    EXPECT_EQ(rig.calc.SumPhase(0, "US"), 0.0);  // the component is skipped: no molar flow
    EXPECT_EQ(rig.calc.Loaded(), 0);
    EXPECT_EQ(rig.calc.SumPhase(0, "US"), EMPTY_VALUE);  // loads again and fails again
}

TEST_F(PropertyCalculator, MissingCasNumbersGiveEmptyWhateverTheFlag) {
    Rig rig(PureFluid(kCO2, 44.0, 0));
    rig.host.failing.insert("CAS_Numbers");
    for (std::int32_t loaded : {0, 1}) {
        rig.calc.SetLoaded(loaded);
        EXPECT_EQ(rig.calc.SumPhase(0, "SAR"), EMPTY_VALUE) << "loaded " << loaded;
        EXPECT_EQ(rig.calc.Loaded(), 0);
    }
}

TEST_F(PropertyCalculator, ACalculationLoadsTheFluidOncePerPhaseSumExceptTheFirstPhaseValue) {
    struct Case {
        const char* what;
        std::vector<Component> components;
        int loads;  // four for the overall value, none for phase 0, one each for phases 1, 2
        std::array<double, 4> values;
    };
    const Case cases[] = {
        {"one component", {{kCH4, 16.0}}, 6, {21 * 160.0, 21 * 160.0, 0.0, 0.0}},
        // Without components the CAS numbers are never requested, the flag stays set and the
        // phase values all reuse the last load.
        {"no component", {}, 4, {0.0, 0.0, 0.0, 0.0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FluidScript fluid = PureFluid(kCH4, 16.0, 0, 10.0);
        fluid.components = c.components;
        Rig rig(fluid);
        EXPECT_EQ(CalculateSequence(rig.calc, "SAR"), c.values);
        EXPECT_EQ(rig.host.compositionCalls, c.loads);
        EXPECT_EQ(rig.host.propertyCalls["Molecular Weight"], c.loads);
        EXPECT_EQ(rig.host.propertyCalls["MolarFlow"], c.loads);
    }
}

TEST_F(PropertyCalculator, CasNumbersAreRequestedPerComponentWithTheFlagSet) {
    FluidScript fluid = PureFluid(kCO2, 44.0, 0);
    fluid.components = {{kCO2, 44.0}, {kN2, 28.0}, {kCH4, 16.0}};
    for (auto& x : fluid.moleFractions) x = {0.2, 0.3, 0.5};
    Rig rig(fluid);
    rig.calc.SumPhase(0, "SAR");
    EXPECT_EQ(rig.host.propertyCalls["CAS_Numbers"], 3);
    EXPECT_EQ(rig.host.compositionCalls, 1);
}

TEST_F(PropertyCalculator, GetPropertyArrayOwnArrayOrCopy) {
    Rig rig(PureFluid(kCO2, 44.0, 0));
    rig.host.properties["ComponentIDs"] = {1, 2, 3, 4, 5};

    const double* own = rig.calc.GetPropertyArray("ComponentIDs", 0);
    ASSERT_NE(own, nullptr);
    EXPECT_EQ(rig.calc.PropertyCount(), 5);
    EXPECT_EQ(std::vector<double>(own, own + 5), (std::vector<double>{1, 2, 3, 4, 5}));
    EXPECT_EQ(own, rig.host.LastAnswer());

    double* copy = rig.calc.GetPropertyArray("ComponentIDs", 1);
    ASSERT_NE(copy, nullptr);
    const double* ownNow = rig.calc.GetPropertyArray("ComponentIDs", 0);
    EXPECT_NE(copy, ownNow);
    EXPECT_EQ(std::vector<double>(copy, copy + 5), std::vector<double>(ownNow, ownNow + 5));
    CoTaskMemFree(copy);

    // A failed request answers null and leaves the last array to be handed in next time.
    rig.host.failing.insert("ComponentIDs");
    EXPECT_EQ(rig.calc.GetPropertyArray("ComponentIDs", 0), nullptr);
    EXPECT_EQ(rig.calc.GetPropertyArray("ComponentIDs", 1), nullptr);
    rig.host.throwing.insert("TempUnitFlag");
    EXPECT_EQ(rig.calc.GetPropertyArray("TempUnitFlag", 0), nullptr);
    EXPECT_EQ(rig.calc.GetPropertyArray("Unknown", 1), nullptr);
    EXPECT_NE(rig.calc.GetPropertyArray("MolarFlow", 0), nullptr);
}

TEST_F(PropertyCalculator, ShorterHostArraysAreNeverReadPast) {
    // Carbon dioxide, methane, nitrous oxide, each 1 kmol/h at 10 kg/kmol in phase 0.
    FluidScript fluid;
    fluid.components = {{kCO2, 10.0}, {kCH4, 10.0}, {kN2O, 10.0}};
    fluid.molarFlow = 3.0;
    fluid.phaseFraction = {1.0, 0.0, 0.0, 0.0};
    for (auto& x : fluid.moleFractions) x = {1.0 / 3.0, 1.0 / 3.0, 1.0 / 3.0};
    const double perGas = ((3.0 * 1.0) * (1.0 / 3.0)) * 10.0;
    struct Case {
        const char* what;
        void (*shorten)(FakeComponentData&);
        double sar;
    };
    const Case cases[] = {
        {"all arrays complete", [](FakeComponentData&) {}, (1 + 21 + 310) * perGas},
        {"two molecular weights",
         [](FakeComponentData& h) { h.properties["Molecular Weight"].resize(2); }, (1 + 21) * perGas},
        {"no molecular weight",
         [](FakeComponentData& h) { h.properties["Molecular Weight"].clear(); }, 0.0},
        {"one CAS number", [](FakeComponentData& h) { h.properties["CAS_Numbers"].resize(1); },
         1 * perGas},
        {"no CAS number", [](FakeComponentData& h) { h.properties["CAS_Numbers"].clear(); }, 0.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Rig rig(fluid);
        c.shorten(rig.host);
        EXPECT_DOUBLE_EQ(rig.calc.CalculateCO2E(0, "SAR"), c.sar);
        EXPECT_DOUBLE_EQ(rig.calc.CalculateCO2E(4, "SAR"), c.sar);
    }
}

TEST_F(PropertyCalculator, PhaseWithoutMoleFractionArrayContributesNothing) {
    FluidScript fluid = PureFluid(kCO2, 44.0, 0, 1.0);
    fluid.phaseFraction = {0.5, 0.5, 0.0, 0.0};
    fluid.nullFractions[1] = true;
    Rig rig(fluid);
    EXPECT_EQ(rig.calc.CalculateCO2E(0, "SAR"), 22.0);
    EXPECT_EQ(rig.calc.CalculateCO2E(1, "SAR"), 0.0);
    EXPECT_EQ(rig.calc.CalculateCO2E(4, "SAR"), 22.0);
}

TEST_F(PropertyCalculator, ResetFluidDropsTheFluidButKeepsHostAndLastArray) {
    Rig rig(PureFluid(kCO2, 44.0, 2));
    const std::size_t liveBefore = Spy().LiveBlocks();
    rig.calc.SetLoaded(0);
    ASSERT_EQ(rig.calc.LoadFluid(), 1);
    EXPECT_EQ(rig.calc.Composition().componentCount, 1);
    EXPECT_EQ(rig.calc.MolarFlow(), 12.5);
    // The record's five arrays, the molecular weights and the host's last answer.
    EXPECT_EQ(Spy().LiveBlocks(), liveBefore + 7);

    rig.calc.SetLoaded(1);
    rig.calc.ResetFluid();
    EXPECT_EQ(Spy().LiveBlocks(), liveBefore + 1);
    const FluidComposition zero{};
    EXPECT_EQ(std::memcmp(&rig.calc.Composition(), &zero, sizeof zero), 0);
    EXPECT_EQ(rig.calc.MolarFlow(), EMPTY_VALUE);
    EXPECT_EQ(rig.calc.ComponentData(), &rig.host);
    EXPECT_EQ(rig.calc.Loaded(), 1);
    EXPECT_EQ(rig.calc.PropertyCount(), 1);
}

TEST_F(PropertyCalculator, ComponentDataReferenceIsTakenOnceAndReleasedOnce) {
    FakeComponentData first(PureFluid(kCO2, 44.0, 0));
    FakeComponentData second(PureFluid(kCH4, 16.0, 0));
    {
        auto calc = std::make_unique<CPropertyCalculator>();
        calc->SetComponentData(&first);
        EXPECT_EQ(first.refs, 1);
        calc->SetComponentData(&first);  // the same object again: still one reference
        EXPECT_EQ(first.refs, 1);
        EXPECT_EQ(calc->CalculateCO2E(4, "SAR"), 12.5 * 44.0);

        calc->SetComponentData(&second);  // hands over: the first is released
        EXPECT_EQ(first.refs, 0);
        EXPECT_EQ(second.refs, 1);
        EXPECT_EQ(calc->ComponentData(), &second);
        EXPECT_EQ(calc->CalculateCO2E(4, "SAR"), 21 * 12.5 * 16.0);

        const int releasesBefore = second.releases;
        calc.reset();  // destruction releases the held reference exactly once
        EXPECT_EQ(second.releases, releasesBefore + 1);
        EXPECT_EQ(second.refs, 0);
    }
    {
        CPropertyCalculator calc;
        calc.SetComponentData(&first);
        calc.SetComponentData(nullptr);  // dropped, as when "Phase_Values" cannot be found
        EXPECT_EQ(first.refs, 0);
        EXPECT_EQ(calc.CalculateCO2E(4, "SAR"), EMPTY_VALUE);
    }
    EXPECT_EQ(first.addRefs, first.releases);
    EXPECT_EQ(second.addRefs, second.releases);
}

// The process-wide calculator: the only test of this program that touches it.
TEST(ProcessWideCalculator, OneObjectInItsStartStateThatLetsTheHostGo) {
    CPropertyCalculator& calc = GetPropertyCalculator();
    EXPECT_EQ(&calc, &GetPropertyCalculator());
    EXPECT_EQ(calc.ComponentData(), nullptr);
    EXPECT_EQ(calc.Loaded(), 0);
    EXPECT_EQ(calc.MolarFlow(), EMPTY_VALUE);
    EXPECT_EQ(calc.PropertyCount(), 0);
    EXPECT_EQ(calc.Composition().componentCount, 0);

    FakeComponentData host(PureFluid(kCH4, 16.0, 3, 2.0));
    {
        std::lock_guard lock(PropertyCalculatorLock());
        calc.SetComponentData(&host);
        EXPECT_EQ(calc.CalculateCO2E(4, "AR4"), 25 * 32.0);
        EXPECT_EQ(calc.CalculateCO2E(3, "AR4"), 25 * 32.0);
        calc.SetComponentData(nullptr);
        calc.ResetFluid();
    }
    EXPECT_EQ(host.refs, 0);
    EXPECT_EQ(&PropertyCalculatorLock(), &PropertyCalculatorLock());
}

}  // namespace
