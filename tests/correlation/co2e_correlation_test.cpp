// The three CO2-equivalent classes through the built module, with the real data server and
// the fake host: the values of "Phase_Values" per factor table, the failures of the host,
// the order of the calculation, and the process-wide calculator's hold on the host's
// component data.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "framework/value_status.h"
#include "tests/support/fake_host.h"
#include "tests/support/module_client.h"

using fakehost::FakeHost;
using platform::ComPtr;

using moduleclient::Attached;
using moduleclient::Calorix;

namespace {

constexpr double kCO2 = 124389;      // carbon dioxide, factor 1 in every table
constexpr double kCH4 = 74828;       // methane: 21 SAR, 25 AR4, 21 US
constexpr double kN2 = 7727379;      // nitrogen, in no table
constexpr double kEthane = 74840;    // in no table
constexpr double kWater = 7732185;   // in no table
constexpr double kUnset = 123.25;    // what the vector holds before a calculation


const moduleclient::Module& DataServer() {
    static moduleclient::Module module = moduleclient::Load("varbank2.dll");
    return module;
}

// The three classes, in the order of the expected values in the tables below.
struct Co2eClass {
    const CLSID* clsid;
    const char* label;
};
constexpr std::array<Co2eClass, 3> kClasses{{
    {&CLSID_CO2ESAR, "SAR"},
    {&CLSID_CO2EAR4, "AR4"},
    {&CLSID_CO2EUS, "US"},
}};




std::vector<double> Unwritten() { return std::vector<double>(6, kUnset); }

// "Phase_Status" beside values written at indexes 0-3 and 5: Ok where there is a value, NoValue
// where there is none (phase slot 3's always); index 4 is no slot's.
void ExpectStatusesOf(const Attached& a, const std::vector<double>& values) {
    const std::vector<double> statuses = a.Statuses();
    for (std::size_t i : {0u, 1u, 2u, 3u, 5u})
        EXPECT_EQ(statuses[i], EncodeValueStatus(values[i] == EMPTY_VALUE ? ValueStatus::NoValue : ValueStatus::Ok))
            << "index " << i;
}

std::string Show(const std::vector<double>& values) {
    std::string s;
    for (double v : values) s += std::to_string(v) + " ";
    return s;
}

// A fluid: components, the phases present with their fraction and composition, molar flow.
struct Phase {
    int slot;
    double fraction;
    std::vector<double> moleFractions;
};

struct Fluid {
    std::vector<fakehost::Component> components;
    std::vector<Phase> phases;
    double molarFlow;
};

void Script(FakeHost& host, const Fluid& fluid) {
    host.SetGas(fluid.components);
    for (const Phase& p : fluid.phases) host.SetPhase(p.slot, p.fraction, p.moleFractions);
    host.SetProperty("MolarFlow", {fluid.molarFlow});
}

// Carbon dioxide and methane, half and half in phase slot 0.
const Fluid kTwoGases{{{kCO2, 44, 0.5}, {kCH4, 16, 0.5}}, {{0, 1.0, {0.5, 0.5}}}, 10};

// Every test starts with a calculator that refers to no host and ends by bringing it back
// there, so that each fake host can be checked (and destroyed) on its own.
class Co2eCorrelationTest : public ::testing::Test {
protected:
    void TearDown() override {
        Settle();
        for (FakeHost* h : {&host, &other}) {
            EXPECT_EQ(h->OutstandingReferences(), 0);
            EXPECT_EQ(Problems(*h), "");
        }
    }

    // Leaked references or blocks, references released too often, blocks freed twice. After
    // Settle() the calculator holds nothing of the test's hosts.
    static std::string Problems(const FakeHost& h) { return h.Check(); }

    // A calculation of an empty fluid frees what the calculator loaded from the test's
    // hosts; one whose "Phase_Values" is gone makes it let go of the component data.
    void Settle() {
        janitor.SetGas({});
        janitor.SetProperty("MolarFlow", {0.0});
        Attached a = moduleclient::Attach(CLSID_CO2EUS, janitor.Source());
        ASSERT_TRUE(a.correlation);
        EXPECT_EQ(a.correlation->Calculate(a.key), S_OK);
        EXPECT_EQ(a.results->RemoveVariable(OLESTR("Phase_Values")), S_OK);
        EXPECT_EQ(a.correlation->Calculate(a.key), E_FAIL);
        a = {};
        EXPECT_EQ(janitor.OutstandingReferences(), 0);
    }

    FakeHost janitor;  // first, so that its construction resets the double-free count only once
    FakeHost host;
    FakeHost other;
};

// ---------------------------------------------------------------- values

struct ValueCase {
    const char* name;
    Fluid fluid;
    bool phasesMarkedAbsent;
    // Indexes 0-3 of "Phase_Values" for SAR, AR4, US. Index 4 keeps what it held, index 5
    // is EMPTY_VALUE.
    std::array<std::array<double, 4>, 3> expected;
};

// Molar flow F, phase fraction b, mole fraction x, molecular weight M: a component adds
// factor x ((F b) x) M to its phase; index 0 is the sum of phase slots 0-3.
const ValueCase kValueCases[] = {
    {"carbon dioxide counts once in every table",
     {{{kCO2, 44, 1}}, {{0, 1.0, {1}}}, 10},
     false,
     {{{440, 440, 0, 0}, {440, 440, 0, 0}, {440, 440, 0, 0}}}},
    {"methane weighs 21 : 25 : 21",  // t = 10 x 0.5 x 16 = 80
     {{{kCH4, 16, 1}}, {{1, 0.5, {1}}}, 10},
     false,
     {{{1680, 0, 1680, 0}, {2000, 0, 2000, 0}, {1680, 0, 1680, 0}}}},
    {"a mixture over three phases",
     // phase 0: CO2 88, CH4 16 t; phase 1: CH4 32 t; phase 2: CO2 22
     {{{kCO2, 44, 0.3}, {kCH4, 16, 0.3}, {kN2, 28, 0.4}},
      {{0, 0.5, {0.5, 0.25, 0.25}}, {1, 0.25, {0, 1, 0}}, {2, 0.25, {0.25, 0, 0.75}}},
      8},
     false,
     {{{1118, 424, 672, 22}, {1310, 488, 800, 22}, {1118, 424, 672, 22}}}},
    {"CAS values round to the nearest key; an exact half does not raise it",
     // 124389.4, 124388.6 and 124389.5 find carbon dioxide; 124388.5 is key 124388
     {{{124389.4, 1, 0.25}, {124388.6, 2, 0.25}, {124389.5, 4, 0.25}, {124388.5, 8, 0.25}},
      {{0, 1.0, {1, 1, 1, 1}}},
      1},
     false,
     {{{7, 7, 0, 0}, {7, 7, 0, 0}, {7, 7, 0, 0}}}},
    {"components in no table give 0, not EMPTY_VALUE",
     {{{kN2, 28, 0.5}, {kEthane, 30, 0.25}, {kWater, 18, 0.25}}, {{0, 1.0, {0.5, 0.25, 0.25}}}, 10},
     false,
     {{{0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}}}},
    {"a molar flow of EMPTY_VALUE gives 0",
     {{{kCO2, 44, 0.5}, {kCH4, 16, 0.5}}, {{0, 0.5, {0.5, 0.5}}, {1, 0.5, {0.5, 0.5}}}, EMPTY_VALUE},
     false,
     {{{0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}}}},
    {"a phase fraction of EMPTY_VALUE or 0 gives 0 for that phase",
     {{{kCO2, 44, 0.5}, {kCH4, 16, 0.5}}, {{0, EMPTY_VALUE, {1, 0}}, {1, 1.0, {0, 1}}, {2, 0.0, {1, 0}}}, 1},
     false,
     {{{336, 0, 336, 0}, {400, 0, 400, 0}, {336, 0, 336, 0}}}},
    {"keys that some tables only list",
     // 76197: AR4 8830, US 7000; 75105: AR4 675, US 650; 75694: AR4 4750; none in SAR
     {{{76197, 1, 0.25}, {75105, 1, 0.25}, {75694, 1, 0.5}},
      {{0, 1.0, {1, 0, 0}}, {1, 1.0, {0, 1, 0}}, {2, 1.0, {0, 0, 1}}},
      1},
     false,
     {{{0, 0, 0, 0}, {14255, 8830, 675, 4750}, {7650, 7000, 650, 0}}}},
    {"phase slot 3 counts in index 0 only",
     // slot 3: methane t = 16 and key 406780 (AR4 and US 580, not SAR) t = 1
     {{{kCO2, 44, 0.5}, {kCH4, 16, 0.25}, {406780, 1, 0.25}}, {{0, 1.0, {1, 0, 0}}, {3, 1.0, {0, 1, 1}}}, 1},
     false,
     {{{380, 44, 0, 0}, {1024, 44, 0, 0}, {960, 44, 0, 0}}}},
    {"phases the host marks absent are summed all the same",
     {{{kCO2, 44, 1}}, {{0, 1.0, {1}}, {1, 0.5, {1}}}, 2},
     true,
     {{{132, 88, 44, 0}, {132, 88, 44, 0}, {132, 88, 44, 0}}}},
};

TEST_F(Co2eCorrelationTest, PhaseValuesPerFactorTable) {
    for (const ValueCase& c : kValueCases) {
        Script(host, c.fluid);
        if (c.phasesMarkedAbsent)
            for (std::int32_t& present : host.phasePresent) present = 0;
        for (std::size_t k = 0; k < kClasses.size(); ++k) {
            SCOPED_TRACE(std::string(c.name) + " / " + kClasses[k].label);
            Attached a = moduleclient::Attach(*kClasses[k].clsid, host.Source());
            ASSERT_TRUE(a.correlation);
            moduleclient::FillPhaseValues(a.results.Get(), kUnset);
            ASSERT_EQ(a.correlation->Calculate(a.key), S_OK);
            const auto& e = c.expected[k];
            const std::vector<double> expected{e[0], e[1], e[2], e[3], kUnset, EMPTY_VALUE};
            EXPECT_EQ(moduleclient::PhaseValues(a.results.Get()), expected);
            ExpectStatusesOf(a, expected);
        }
    }
}

TEST_F(Co2eCorrelationTest, SameFluidGivesTheSameCarbonDioxideAndMethaneInTheRatio21To25To21) {
    Script(host, {{{kCO2, 44.0095, 0.7}, {kCH4, 16.043, 0.3}}, {{0, 1.0, {1, 0}}, {1, 1.0, {0, 1}}}, 3.5});
    std::vector<std::vector<double>> values;
    for (const Co2eClass& k : kClasses) {
        Attached a = moduleclient::Attach(*k.clsid, host.Source());
        ASSERT_EQ(a.correlation->Calculate(a.key), S_OK);
        values.push_back(moduleclient::PhaseValues(a.results.Get()));
    }
    // Phase slot 0 holds only carbon dioxide, phase slot 1 only methane.
    EXPECT_EQ(values[0][1], values[1][1]);
    EXPECT_EQ(values[0][1], values[2][1]);
    EXPECT_DOUBLE_EQ(values[0][2] / 21, values[1][2] / 25);
    EXPECT_EQ(values[0][2], values[2][2]);
}

// ---------------------------------------------------------------- failures

struct FailureCase {
    const char* name;
    std::function<void(FakeHost&)> script;
    std::array<double, 4> expected;  // indexes 0-3; index 5 is EMPTY_VALUE in every row
};

const FailureCase kFailureCases[] = {
    {"the composition fill fails", [](FakeHost& h) { h.Fail("GetComposition"); },
     {EMPTY_VALUE, 0, 0, 0}},
    {"no molar flow", [](FakeHost& h) { h.RemoveProperty("MolarFlow"); },
     {EMPTY_VALUE, 0, EMPTY_VALUE, EMPTY_VALUE}},
    {"no molecular weights", [](FakeHost& h) { h.RemoveProperty("Molecular Weight"); },
     {EMPTY_VALUE, 0, EMPTY_VALUE, EMPTY_VALUE}},
    {"no CAS numbers", [](FakeHost& h) { h.RemoveProperty("CAS_Numbers"); },
     {EMPTY_VALUE, EMPTY_VALUE, EMPTY_VALUE, EMPTY_VALUE}},
};

TEST_F(Co2eCorrelationTest, FluidDataTheHostCannotGiveStillWritesEveryIndex) {
    for (const FailureCase& c : kFailureCases) {
        for (const Co2eClass& k : kClasses) {
            SCOPED_TRACE(std::string(c.name) + " / " + k.label);
            host.ClearFailures();
            Script(host, kTwoGases);
            c.script(host);
            Attached a = moduleclient::Attach(*k.clsid, host.Source());
            moduleclient::FillPhaseValues(a.results.Get(), kUnset);
            ASSERT_EQ(a.correlation->Calculate(a.key), S_OK);
            const std::vector<double> expected{c.expected[0], c.expected[1], c.expected[2], c.expected[3],
                                               kUnset, EMPTY_VALUE};
            EXPECT_EQ(moduleclient::PhaseValues(a.results.Get()), expected);
            ExpectStatusesOf(a, expected);
        }
    }
    host.ClearFailures();
}

struct StatusCase {
    const char* name;
    std::function<void(FakeHost&)> script;
    HRESULT status;
    bool written;
    bool componentDataAsked;
    long heldByCalculator;  // references the calculator keeps on the host afterwards
};

const StatusCase kStatusCases[] = {
    {"results current", [](FakeHost& h) { h.needsRecalculation = 0; }, S_OK, false, false, 0},
    {"recalculation test fails", [](FakeHost& h) { h.Fail("NeedsRecalculation"); }, S_OK, true, true, 1},
    {"no fluid state", [](FakeHost& h) { h.Fail("GetFluidState", E_UNEXPECTED); }, E_UNEXPECTED, false, false, 0},
    {"no component data", [](FakeHost& h) { h.Fail("GetComponentData", E_ACCESSDENIED); }, E_ACCESSDENIED, false,
     true, 0},
    {"component data without IComponentData", [](FakeHost& h) { h.componentDataAnswersQuery = false; }, E_FAIL,
     false, true, 0},
};

TEST_F(Co2eCorrelationTest, HostFailuresAndCurrentResults) {
    for (const StatusCase& c : kStatusCases) {
        SCOPED_TRACE(c.name);
        FakeHost h;
        Script(h, kTwoGases);
        c.script(h);
        {
            Attached a = moduleclient::Attach(CLSID_CO2EAR4, h.Source());
            moduleclient::FillPhaseValues(a.results.Get(), kUnset);
            EXPECT_EQ(a.correlation->Calculate(a.key), c.status);
            const std::vector<double> values = moduleclient::PhaseValues(a.results.Get());
            if (c.written)
                EXPECT_EQ(values[1], 2220) << Show(values);
            else
                EXPECT_EQ(values, Unwritten());
            EXPECT_EQ(h.Calls("GetComponentData"), c.componentDataAsked ? 1 : 0);
            // The attachment holds the fluid source; the calculator what the row says.
            EXPECT_EQ(h.OutstandingReferences(), 1 + c.heldByCalculator);
            EXPECT_EQ(a.correlation->Calculate(a.key + 1), CONNECT_E_CANNOTCONNECT);
        }
        Settle();
        EXPECT_EQ(h.OutstandingReferences(), 0);
        EXPECT_EQ(Problems(h), "");
    }
}

TEST_F(Co2eCorrelationTest, FailedLookupOfPhaseValuesDropsTheComponentData) {
    Script(host, kTwoGases);
    Attached a = moduleclient::Attach(CLSID_CO2ESAR, host.Source());
    ASSERT_EQ(a.correlation->Calculate(a.key), S_OK);
    EXPECT_EQ(host.OutstandingReferences(), 2);  // the attachment's source, the calculator's data

    ASSERT_EQ(a.results->RemoveVariable(OLESTR("Phase_Values")), S_OK);
    host.ClearLogs();
    EXPECT_EQ(a.correlation->Calculate(a.key), E_FAIL);
    EXPECT_EQ(host.OutstandingReferences(), 1);
    // The vector is looked up before the fluid is read.
    EXPECT_EQ(host.Calls("GetComposition"), 0);
    EXPECT_EQ(host.Calls("GetComponentProperty:CAS_Numbers"), 0);
}

TEST_F(Co2eCorrelationTest, PhaseValuesThatAreNoNumericVectorGetNothing) {
    Script(host, kTwoGases);
    Attached a = moduleclient::Attach(CLSID_CO2EUS, host.Source());
    ASSERT_EQ(a.results->RemoveVariable(OLESTR("Phase_Values")), S_OK);
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(DataServer().getClassObject(CLSID_EnumVariable, IID_IClassFactory, factory.PutVoid()), S_OK);
    ComPtr<IEnumVariable> impostor;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IEnumVariable, impostor.PutVoid()), S_OK);
    ASSERT_EQ(impostor->SetTaggedName(OLESTR("Phase_Values")), S_OK);
    ASSERT_EQ(a.results->AddVariable(impostor.Get()), S_OK);

    EXPECT_EQ(a.correlation->Calculate(a.key), S_OK);
    EXPECT_EQ(host.Calls("GetComposition"), 0);
    // The calculator took the component data before the lookup and keeps it.
    EXPECT_EQ(host.OutstandingReferences(), 2);
}

// ---------------------------------------------------------------- order of the calculation

TEST_F(Co2eCorrelationTest, OverallValueLoadsPerPhaseAndThePhaseValuesReuseOnlyOnce) {
    // Two components: the four phase sums of index 0 load the fluid each; index 1 finds it
    // loaded; indexes 2 and 3 load again. Every phase sum asks once per component for the
    // CAS numbers.
    Script(host, kTwoGases);
    Attached a = moduleclient::Attach(CLSID_CO2ESAR, host.Source());
    ASSERT_EQ(a.correlation->Calculate(a.key), S_OK);
    EXPECT_EQ(host.Calls("GetComposition"), 6);
    EXPECT_EQ(host.Calls("GetComponentProperty:Molecular Weight"), 6);
    EXPECT_EQ(host.Calls("GetComponentProperty:MolarFlow"), 6);
    EXPECT_EQ(host.Calls("GetComponentProperty:CAS_Numbers"), 2 * 7);

    // Without components the phase values stay on the data index 0 loaded.
    other.SetGas({});
    other.SetProperty("MolarFlow", {5.0});
    Attached empty = moduleclient::Attach(CLSID_CO2EAR4, other.Source());
    moduleclient::FillPhaseValues(empty.results.Get(), kUnset);
    ASSERT_EQ(empty.correlation->Calculate(empty.key), S_OK);
    EXPECT_EQ(other.Calls("GetComposition"), 4);
    EXPECT_EQ(other.Calls("GetComponentProperty:CAS_Numbers"), 0);
    EXPECT_EQ(moduleclient::PhaseValues(empty.results.Get()),
              (std::vector<double>{0, 0, 0, 0, kUnset, EMPTY_VALUE}));

    // The calculation ends with the calculator unloaded: the next one reads its own fluid.
    host.ClearLogs();
    ASSERT_EQ(a.correlation->Calculate(a.key), S_OK);
    EXPECT_EQ(host.Calls("GetComposition"), 6);
    EXPECT_EQ(moduleclient::PhaseValues(a.results.Get())[0], 1900);
}

TEST_F(Co2eCorrelationTest, CalculatorHoldsTheComponentDataOfTheLastCalculation) {
    Script(host, kTwoGases);
    Script(other, {{{kCH4, 16, 1}}, {{0, 1.0, {1}}}, 1});
    {
        Attached first = moduleclient::Attach(CLSID_CO2ESAR, host.Source());
        Attached second = moduleclient::Attach(CLSID_CO2EAR4, other.Source());
        ASSERT_EQ(first.correlation->Calculate(first.key), S_OK);
        EXPECT_EQ(host.OutstandingReferences(), 2);
        EXPECT_EQ(other.OutstandingReferences(), 1);
        ASSERT_EQ(second.correlation->Calculate(second.key), S_OK);
        EXPECT_EQ(moduleclient::PhaseValues(second.results.Get())[0], 400);
        EXPECT_EQ(host.OutstandingReferences(), 1);
        EXPECT_EQ(other.OutstandingReferences(), 2);
    }
    // The objects are gone; the calculator's reference is not.
    EXPECT_EQ(host.OutstandingReferences(), 0);
    EXPECT_EQ(other.OutstandingReferences(), 1);
}

// ---------------------------------------------------------------- identity

TEST_F(Co2eCorrelationTest, MassFlowResultTypeAndNoParameters) {
    for (const Co2eClass& k : kClasses) {
        SCOPED_TRACE(k.label);
        ComPtr<ICorrelation> c = moduleclient::Create(Calorix(), *k.clsid);
        ASSERT_TRUE(c);
        std::int32_t type2 = -1, type3 = -1;
        EXPECT_EQ(c->GetIntProperty2(&type2), S_OK);
        EXPECT_EQ(c->GetIntProperty3(&type3), S_OK);
        EXPECT_EQ(type2, 4);
        EXPECT_EQ(type3, 4);
        ComPtr<IVariableSet> parameters;
        ASSERT_EQ(c->GetParameters(parameters.Put()), S_OK);
        ASSERT_TRUE(parameters);
        std::int32_t count = -1;
        EXPECT_EQ(parameters->GetCount(&count), S_OK);
        EXPECT_EQ(count, 0);
    }
}

}  // namespace

// ---------------------------------------------------------------- AR5 and AR6

namespace {

// Selects option of the enumeration parameter "MethaneOrigin".
HRESULT SetMethaneOrigin(ICorrelation* correlation, std::int32_t option) {
    ComPtr<IVariableSet> parameters;
    if (FAILED(correlation->GetParameters(parameters.Put())) || !parameters) return E_FAIL;
    ComPtr<IVariable> variable;
    if (FAILED(parameters->GetVariable(OLESTR("MethaneOrigin"), variable.Put())) || !variable) return E_FAIL;
    ComPtr<IEnumVariable> enumeration;
    if (FAILED(variable.As(&enumeration))) return E_FAIL;
    return enumeration->SetValue(0, option);
}

}  // namespace

TEST_F(Co2eCorrelationTest, VentGasWithAr5AndAr6ByHandArithmetic) {
    // Methane 16, carbon dioxide 44, nitrous oxide 44 kg/kmol in three phases; molar flow 2.
    constexpr double kN2O = 10024972;
    const Fluid vent{{{kCH4, 16, 0.6}, {kCO2, 44, 0.3}, {kN2O, 44, 0.1}},
                     {{0, 0.5, {0.8, 0.15, 0.05}}, {1, 0.3, {0.5, 0.4, 0.1}}, {2, 0.2, {0.2, 0.5, 0.3}}},
                     2};
    // Per phase: molar flow x phase fraction x sum of x M GWP.
    const auto perPhase = [&](double ch4, double n2o) {
        std::vector<double> v;
        for (const Phase& p : vent.phases)
            v.push_back(2 * p.fraction *
                        (p.moleFractions[0] * 16 * ch4 + p.moleFractions[1] * 44 + p.moleFractions[2] * 44 * n2o));
        return v;
    };
    struct Case {
        const CLSID* clsid;
        std::int32_t origin;  // -1: the class has no "MethaneOrigin"
        double ch4, n2o;
    };
    const Case cases[] = {
        {&CLSID_CO2EAR5, -1, 28, 265}, {&CLSID_CO2EAR6, -1, 29.8, 273},
        {&CLSID_CO2EAR6, 0, 29.8, 273}, {&CLSID_CO2EAR6, 1, 27.0, 273},
    };
    Script(host, vent);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.origin);
        Attached a = moduleclient::Attach(*c.clsid, host.Source());
        ASSERT_TRUE(a.correlation);
        if (c.origin >= 0) {
            ASSERT_EQ(SetMethaneOrigin(a.correlation.Get(), c.origin), S_OK);
        }
        ASSERT_EQ(a.correlation->Calculate(a.key), S_OK);
        const std::vector<double> values = moduleclient::PhaseValues(a.results.Get());
        const std::vector<double> expected = perPhase(c.ch4, c.n2o);
        for (int slot = 0; slot < 3; ++slot) EXPECT_NEAR(values[slot + 1], expected[slot], 1e-9 * expected[slot]);
        EXPECT_NEAR(values[0], expected[0] + expected[1] + expected[2], 1e-9 * values[0]);
        EXPECT_EQ(values[5], EMPTY_VALUE);
    }
    // Only the AR6 class has the parameter, with its two origins.
    Attached ar5 = moduleclient::Attach(CLSID_CO2EAR5, host.Source());
    EXPECT_EQ(SetMethaneOrigin(ar5.correlation.Get(), 0), E_FAIL);
    Attached ar6 = moduleclient::Attach(CLSID_CO2EAR6, host.Source());
    EXPECT_NE(SetMethaneOrigin(ar6.correlation.Get(), 2), S_OK);
}
