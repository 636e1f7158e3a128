// The eight ISO 6976 correlations through ICorrelation, with the fake host: the figures for
// pure components, the result layout, the calculation driver's exits and its failures.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <set>

#include "tests/support/fake_host.h"
#include "tests/support/module_client.h"

using fakehost::Component;
using fakehost::FakeHost;
using platform::ComPtr;

using moduleclient::Calorix;

namespace {

constexpr double kMethane = 74828, kNitrogen = 7727379, kCarbonDioxide = 124389, kArgon = 7440371,
                 kEthane = 74840;
constexpr double M = 16.043;  // methane, kg/kmol
constexpr double kSentinel = 99.0;
const double kNaN = std::numeric_limits<double>::quiet_NaN();


// A correlation attached to a fake host, its "Phase_Values" pre-filled with a sentinel.
moduleclient::Attached AttachFilled(REFCLSID clsid, FakeHost& host) {
    moduleclient::Attached a = moduleclient::Attach(clsid, host.Source());
    if (a.results) moduleclient::FillPhaseValues(a.results.Get(), kSentinel);
    return a;
}

// The closed forms for one pure component of molar mass m at fraction 1.
struct Pure {
    double sqrtB, gross, net, temperature, zAir;
    double m;
    double Z() const { return 1 - (0.0 + sqrtB * 1.0) * (0.0 + sqrtB * 1.0); }
    double Gross() const { return (0.0 + gross * 1.0) / Z(); }
    double Net() const { return (0.0 + net * 1.0) / Z(); }
    double Density() const { return (0.0 + m * 1.0) * 101.325 / 8.31451 / temperature / Z(); }
    double Wobbe() const { return Gross() / std::sqrt((0.0 + (m * 1.0) / 28.962) * zAir / Z()); }
};

const Pure kMethane15{0.0447, 37.706, 33.948, 288.15, 0.99958, M};
const Pure kMethane0{0.048989795, 39.83965934476849, 35.81763700366982, 273.15, 0.99941, M};

struct Figure {
    const char* name;
    const CLSID* clsid;
    std::function<double(const Pure&)> value;
};

const std::vector<Figure> kFigures = {
    {"Density", &CLSID_Density, [](const Pure& p) { return p.Density(); }},
    {"HHV", &CLSID_HHV, [](const Pure& p) { return p.Gross(); }},
    {"LHV", &CLSID_LHV, [](const Pure& p) { return p.Net(); }},
    {"WobbleIndex", &CLSID_WobbleIndex, [](const Pure& p) { return p.Wobbe(); }},
    {"MassHHV", &CLSID_MassHHV, [](const Pure& p) { return (p.Gross() / p.Density()) * 1000; }},
    {"MassLHV", &CLSID_MassLHV, [](const Pure& p) { return (p.Net() / p.Density()) * 1000; }},
    {"MolarHHV", &CLSID_MolarHHV, [](const Pure& p) { return ((p.Gross() / p.Density()) * p.m) * 1000; }},
    {"MolarLHV", &CLSID_MolarLHV, [](const Pure& p) { return ((p.Net() / p.Density()) * p.m) * 1000; }},
};

void OneVapour(FakeHost& host, const std::vector<Component>& components) {
    host.SetGas(components);
    std::vector<double> x;
    for (const auto& c : components) x.push_back(c.moleFraction);
    host.SetPhase(0, 1.0, x);
}

}  // namespace

TEST(Iso6976, PureMethaneGivesTheClosedFormsAtBothReferenceTemperatures) {
    for (const Figure& f : kFigures) {
        for (int option : {0, 1}) {
            SCOPED_TRACE(std::string(f.name) + " option " + std::to_string(option));
            FakeHost host;
            OneVapour(host, {{kMethane, M, 1.0}});
            auto a = AttachFilled(*f.clsid, host);
            ASSERT_EQ(moduleclient::SetRefTempOption(a.correlation.Get(), option), S_OK);
            ASSERT_EQ(a.Calculate(), S_OK);
            const double expected = f.value(option == 0 ? kMethane15 : kMethane0);
            auto v = a.Values();
            EXPECT_DOUBLE_EQ(v[0], expected);
            EXPECT_DOUBLE_EQ(v[1], expected);
            EXPECT_EQ(v[2], EMPTY_VALUE);
            EXPECT_EQ(v[3], EMPTY_VALUE);
            EXPECT_EQ(v[4], kSentinel);  // index 4 is never written
            EXPECT_EQ(v[5], EMPTY_VALUE);
        }
    }
}

TEST(Iso6976, MolarValuesOfAPureComponentDoNotDependOnItsMolarMassOrZ) {
    // gross per mole = column value x ideal molar volume (up to rounding)
    for (double molarMass : {16.043, 20.0, 1.0}) {
        FakeHost host;
        OneVapour(host, {{kMethane, molarMass, 1.0}});
        auto a = AttachFilled(CLSID_MolarHHV, host);
        ASSERT_EQ(a.Calculate(), S_OK);
        EXPECT_NEAR(a.Values()[0], 37.706 * 8.31451 * 288.15 / 101.325 * 1000, 1e-6);
    }
}

TEST(Iso6976, InertFluidsGiveZeroAndMissingMolarMassesGiveEmpty) {
    struct Case {
        const char* name;
        std::vector<Component> gas;
        std::set<std::string> empty;  // classes whose value is EMPTY_VALUE
    };
    const std::vector<Case> cases = {
        {"inert only", {{kNitrogen, 28.0134, 0.5}, {kCarbonDioxide, 44.01, 0.3}, {kArgon, 39.948, 0.2}}, {}},
        {"molecular weights 0",
         {{kMethane, 0.0, 0.9}, {kEthane, 0.0, 0.1}},
         {"Density", "WobbleIndex", "MassHHV", "MassLHV", "MolarHHV", "MolarLHV"}},
    };
    for (const Case& c : cases) {
        for (const Figure& f : kFigures) {
            SCOPED_TRACE(std::string(c.name) + " / " + f.name);
            FakeHost host;
            OneVapour(host, c.gas);
            auto a = AttachFilled(*f.clsid, host);
            ASSERT_EQ(a.Calculate(), S_OK);
            auto v = a.Values();
            if (c.empty.count(f.name)) {
                EXPECT_EQ(v[0], EMPTY_VALUE);
            } else if (c.empty.empty() && std::string(f.name) != "Density") {
                EXPECT_EQ(v[0], 0.0);
            } else {
                EXPECT_GT(v[0], 0.0);
            }
            EXPECT_EQ(v[0], v[1]);
        }
    }
}

TEST(Iso6976, OnlyPresentPhasesAreEvaluatedEachFromItsOwnComposition) {
    FakeHost host;
    host.SetGas({{kMethane, M, 0.8}, {kEthane, 30.07, 0.2}});
    host.SetPhase(1, 1.0, {0.5, 0.5});
    auto a = AttachFilled(CLSID_HHV, host);
    ASSERT_EQ(a.Calculate(), S_OK);
    auto v = a.Values();
    const double z = [](double s) { return 1 - s * s; }(0.0447 * 0.5 + 0.0922 * 0.5);
    EXPECT_DOUBLE_EQ(v[2], (37.706 * 0.5 + 66.07 * 0.5) / z);  // phase 1 at index 2
    const double zOverall = [](double s) { return 1 - s * s; }(0.0447 * 0.8 + 0.0922 * 0.2);
    EXPECT_DOUBLE_EQ(v[0], (37.706 * 0.8 + 66.07 * 0.2) / zOverall);
    EXPECT_EQ(v[1], EMPTY_VALUE);
    EXPECT_EQ(v[3], EMPTY_VALUE);
    EXPECT_EQ(v[4], kSentinel);
    EXPECT_EQ(v[5], EMPTY_VALUE);
}

// A slot whose fractions repeat those of the slot calculated before it takes that slot's value;
// a slot differing only in its last fraction, or repeating an earlier slot, is calculated anew.
// Every slot must carry exactly the value of a fluid of its own composition alone.
TEST(Iso6976, EverySlotHasTheValueOfItsOwnCompositionWhereSlotsRepeatFractions) {
    const std::vector<double> overall{0.9, 0.06, 0.04}, lastDiffers{0.9, 0.06, 0.0400001};
    const auto withFractions = [](const std::vector<double>& x) {
        return std::vector<Component>{{kMethane, M, x[0]}, {kEthane, 30.07, x[1]}, {kNitrogen, 28.0135, x[2]}};
    };
    FakeHost host;
    host.SetGas(withFractions(overall));
    host.SetPhase(0, 0.5, overall);      // calculated first
    host.SetPhase(1, 0.3, lastDiffers);  // differs from phase 0 in its last fraction only
    host.SetPhase(2, 0.2, overall);      // repeats phase 0, after a different slot
    // The overall fluid comes last and repeats phase 2.
    for (const Figure& figure : kFigures) {
        SCOPED_TRACE(figure.name);
        auto a = AttachFilled(*figure.clsid, host);
        ASSERT_EQ(a.Calculate(), S_OK);
        const auto v = a.Values();
        double alone[2];
        for (int i = 0; i < 2; ++i) {
            FakeHost single;
            OneVapour(single, withFractions(i == 0 ? overall : lastDiffers));
            auto b = AttachFilled(*figure.clsid, single);
            ASSERT_EQ(b.Calculate(), S_OK);
            alone[i] = b.Values()[0];
        }
        EXPECT_NE(alone[0], alone[1]);
        EXPECT_EQ(v[0], alone[0]);
        EXPECT_EQ(v[1], alone[0]);
        EXPECT_EQ(v[2], alone[1]);
        EXPECT_EQ(v[3], alone[0]);
    }
}

// A fluid of more components than a calculation holds in place (32) has its records and work
// array on the heap: padded with components of zero fraction, it gives the bits of the fluid
// without them, in both editions.
TEST(Iso6976, AFluidOfManyComponentsGivesTheBitsOfTheComponentsTakingPart) {
    const std::vector<Component> gas{{kMethane, M, 0.9}, {kEthane, 30.07, 0.06}, {kNitrogen, 28.0135, 0.04}};
    std::vector<Component> padded = gas;
    for (int i = 0; i < 40; ++i) padded.push_back({kCarbonDioxide, 44.0095, 0.0});
    for (const CLSID* clsid : {&CLSID_HHV, &CLSID_WobbleIndex, &CLSID_MolarLHV, &CLSID_HHV2016, &CLSID_Density2016}) {
        FakeHost few, many;
        OneVapour(few, gas);
        OneVapour(many, padded);
        auto a = AttachFilled(*clsid, few), b = AttachFilled(*clsid, many);
        ASSERT_EQ(a.Calculate(), S_OK);
        ASSERT_EQ(b.Calculate(), S_OK);
        EXPECT_NE(a.Values()[0], EMPTY_VALUE);
        EXPECT_EQ(a.Values()[0], b.Values()[0]);
        EXPECT_EQ(a.Values()[1], b.Values()[1]);
    }
}

// An object keeps its engine's table rows from one calculation to the next while the host's
// components stay the same; a changed CAS number, molecular weight or component count loads
// them anew. After every change the object gives the bits of a new object on that fluid.
TEST(Iso6976, ACalculationAfterTheHostChangesItsComponentsUsesTheNewOnes) {
    const auto gas = [](double thirdCas, double thirdMass) {
        return std::vector<Component>{{kMethane, M, 0.9}, {kEthane, 30.07, 0.06}, {thirdCas, thirdMass, 0.04}};
    };
    const std::vector<std::vector<Component>> sequence{
        gas(kNitrogen, 28.0135),       gas(kNitrogen, 28.0135),  // unchanged
        gas(kCarbonDioxide, 28.0135),                            // another CAS number
        gas(kCarbonDioxide, 44.0095),                            // another molecular weight
        gas(888888, 70.0),             gas(888888, 100.0),       // unlisted: the row goes by the weight
        {{kMethane, M, 1.0}},                                    // fewer components
        gas(kNitrogen, 28.0135)};
    for (const CLSID* clsid : {&CLSID_HHV, &CLSID_Density, &CLSID_HHV2016, &CLSID_Density2016}) {
        FakeHost host;
        OneVapour(host, sequence.front());
        auto a = AttachFilled(*clsid, host);
        for (std::size_t step = 0; step < sequence.size(); ++step) {
            SCOPED_TRACE(step);
            OneVapour(host, sequence[step]);
            ASSERT_EQ(a.Calculate(), S_OK);
            FakeHost fresh;
            OneVapour(fresh, sequence[step]);
            auto b = AttachFilled(*clsid, fresh);
            ASSERT_EQ(b.Calculate(), S_OK);
            EXPECT_EQ(a.Values()[0], b.Values()[0]);
        }
    }
}

TEST(Iso6976, NegativeFractionsCountAsZeroAndNaNPassesThrough) {
    FakeHost clamped, zero, nan;
    OneVapour(clamped, {{kMethane, M, 1.0}, {kEthane, 30.07, -0.001}});
    OneVapour(zero, {{kMethane, M, 1.0}, {kEthane, 30.07, 0.0}});
    OneVapour(nan, {{kMethane, M, 1.0}, {kEthane, 30.07, kNaN}});
    auto a = AttachFilled(CLSID_Density, clamped), b = AttachFilled(CLSID_Density, zero),
         c = AttachFilled(CLSID_Density, nan);
    ASSERT_EQ(a.Calculate(), S_OK);
    ASSERT_EQ(b.Calculate(), S_OK);
    ASSERT_EQ(c.Calculate(), S_OK);
    EXPECT_EQ(a.Values()[0], b.Values()[0]);
    EXPECT_TRUE(std::isnan(c.Values()[0]));
}

TEST(Iso6976, CurrentResultsAreNotRecalculated) {
    FakeHost host;
    OneVapour(host, {{kMethane, M, 1.0}});
    auto a = AttachFilled(CLSID_LHV, host);
    host.needsRecalculation = 0;
    EXPECT_EQ(a.Calculate(), S_OK);  // also on the very first calculation
    EXPECT_EQ(a.Values()[0], kSentinel);
    EXPECT_EQ(host.Calls("GetComposition"), 0);
    host.Fail("NeedsRecalculation");  // a failing test counts as "recalculate"
    EXPECT_EQ(a.Calculate(), S_OK);
    EXPECT_DOUBLE_EQ(a.Values()[0], kMethane15.Net());
}

TEST(Iso6976, ARenumberedKeyCalculatesTheAttachmentThatNowCarriesIt) {
    FakeHost first, second;
    OneVapour(first, {{kMethane, M, 1.0}});
    OneVapour(second, {{kEthane, 30.07, 1.0}});
    ComPtr<ICorrelation> c = moduleclient::Create(Calorix(), CLSID_HHV);
    std::int32_t key = 0;
    IVariableSet* sets[2] = {};
    ASSERT_EQ(c->Attach(first.Source(), 0, &key, &sets[0]), S_OK);
    ASSERT_EQ(c->Attach(second.Source(), 0, &key, &sets[1]), S_OK);
    ComPtr<IVariableSet> secondResults(sets[1]);
    ASSERT_EQ(c->Detach(1), S_OK);
    ASSERT_EQ(c->Calculate(1), S_OK);
    EXPECT_EQ(first.Calls("GetFluidState"), 0);
    EXPECT_DOUBLE_EQ(moduleclient::PhaseValues(secondResults.Get())[0], 66.07 / (1 - 0.0922 * 0.0922));
}

TEST(Iso6976, HostCountsThatDifferFromTheRecordAreNeverReadPast) {
    struct Case {
        const char* property;
        std::int32_t count;
    };
    for (Case c : {Case{"Molecular Weight", 1}, Case{"CAS_Numbers", 1}, Case{"Molecular Weight", 0},
                   Case{"CAS_Numbers", -3}, Case{"Molecular Weight", 3}}) {
        SCOPED_TRACE(std::string(c.property) + " " + std::to_string(c.count));
        FakeHost host;
        OneVapour(host, {{kMethane, M, 0.5}, {kEthane, 30.07, 0.5}});
        host.SetReportedCount(c.property, c.count);
        {
            auto a = AttachFilled(CLSID_HHV, host);
            ASSERT_EQ(a.Calculate(), S_OK);
            // With one usable component only methane's half enters the sums.
            if (c.count == 1) {
                EXPECT_DOUBLE_EQ(a.Values()[0], 37.706 * 0.5 / (1 - (0.0447 * 0.5) * (0.0447 * 0.5)));
            }
            if (c.count <= 0) {
                EXPECT_EQ(a.Values()[0], 0.0);
            }
        }
        EXPECT_EQ(host.Check(), "");
    }
}

TEST(Iso6976, EveryFailingHostCallFailsWithItsStatusWritesNothingAndLeaksNothing) {
    const HRESULT kHostStatus = static_cast<HRESULT>(0x80041234u);
    std::vector<std::string> calls;
    {
        FakeHost host;
        OneVapour(host, {{kMethane, M, 1.0}});
        auto a = AttachFilled(CLSID_MassHHV, host);
        ASSERT_EQ(a.Calculate(), S_OK);
        calls = host.CallLog();
    }
    ASSERT_GE(calls.size(), 6u);
    std::set<std::string> swept(calls.begin(), calls.end());
    for (const std::string& call : swept) {
        SCOPED_TRACE(call);
        FakeHost host;
        OneVapour(host, {{kMethane, M, 1.0}});
        host.Fail(call, kHostStatus);
        {
            auto a = AttachFilled(CLSID_MassHHV, host);
            HRESULT hr = a.Calculate();
            if (call == "NeedsRecalculation") {
                EXPECT_EQ(hr, S_OK);
                continue;
            }
            const bool passedOn = call == "GetFluidState" || call == "GetComponentData";
            EXPECT_EQ(hr, passedOn ? kHostStatus : E_FAIL);
            EXPECT_EQ(a.Values(), std::vector<double>(6, kSentinel));
        }
        EXPECT_EQ(host.Check(), "");
    }
    // A component data object without IComponentData.
    FakeHost host;
    OneVapour(host, {{kMethane, M, 1.0}});
    host.componentDataAnswersQuery = false;
    {
        auto a = AttachFilled(CLSID_MassHHV, host);
        EXPECT_EQ(a.Calculate(), E_FAIL);
        EXPECT_EQ(a.Values(), std::vector<double>(6, kSentinel));
    }
    EXPECT_EQ(host.Check(), "");
}

TEST(Iso6976, MolarHeatingValueOfAMixtureAgreesWithThePublishedMolarValues) {
    // Ideal gross calorific values on a molar basis at 15 degC, kJ/mol, as published in
    // ISO 6976:1995, Table 3. The correlation forms the same quantity from the volume-basis
    // values, the density and the molar mass; the two agree to the rounding of the volume
    // values (two decimals in MJ/m3, up to 6e-5 relative for one component).
    struct Published {
        double cas, molarMass, fraction, grossKjPerMol;
    };
    const Published gas[] = {
        {kMethane, 16.043, 0.900, 891.56},  {kEthane, 30.070, 0.050, 1562.14},
        {74986, 44.097, 0.020, 2221.10},    {106978, 58.123, 0.010, 2879.76},
        {kNitrogen, 28.0135, 0.012, 0.0},   {kCarbonDioxide, 44.010, 0.008, 0.0},
    };
    std::vector<Component> components;
    double expected = 0.0;  // kJ/kmol
    for (const Published& p : gas) {
        components.push_back({p.cas, p.molarMass, p.fraction});
        expected += p.fraction * p.grossKjPerMol * 1000.0;
    }
    FakeHost host;
    OneVapour(host, components);
    auto a = AttachFilled(CLSID_MolarHHV, host);
    ASSERT_EQ(a.Calculate(), S_OK);
    EXPECT_NEAR(a.Values()[0], expected, expected * 2e-5);  // found: 3.4e-6
}
