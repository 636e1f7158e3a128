// The hydrocarbon and water dew points through the built module, with a scripted flash.
#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "framework/value_status.h"
#include "tests/correlation/water_test_support.h"

using namespace watertest;

namespace {

// Methane and n-hexane (hydrocarbon classes) and water.
std::vector<Component> WetGas() {
    return {{74828, 16.043, 0.90, 201}, {110543, 86.177, 0.08, 211}, {kWater, 18.01528, 0.02, 0}};
}
std::vector<Component> DryGas() { return {{74828, 16.043, 0.92, 201}, {110543, 86.177, 0.08, 211}}; }

const std::vector<double> kHydrocarbonLiquid{0.3, 0.7, 0.0};
const std::vector<double> kAqueousLiquid{0.0, 0.01, 0.99};

// Each dew point with the liquid it seeks (in the host's phase for it) and the other one.
struct DewPointClass {
    const char* word;
    const CLSID* clsid;
    Liquid sought;
    Liquid other;
};
const std::vector<DewPointClass>& DewPointClasses() {
    static const std::vector<DewPointClass> classes = {
        {"HCDewPt", &CLSID_HCDewPt, {1, kHydrocarbonLiquid}, {2, kAqueousLiquid}},
        {"WaterDewPt", &CLSID_WaterDewPt, {2, kAqueousLiquid}, {1, kHydrocarbonLiquid}},
    };
    return classes;
}

// What every flash of one calculation must receive: the same record and feed array, the
// fluid's pressure, no liquid flagged, the overall slot values reset, and the vapour fraction
// 1.0 for a dew-point flash or EMPTY_VALUE for a temperature-pressure flash.
void ExpectFlashEntries(const ScriptedFlash& flash, double pressure) {
    const auto& log = flash.Log();
    for (std::size_t i = 0; i < log.size(); ++i) {
        SCOPED_TRACE("flash " + std::to_string(i));
        EXPECT_EQ(log[i].record, log[0].record);
        EXPECT_EQ(log[i].feed, log[0].feed);
        EXPECT_EQ(log[i].pressure, pressure);
        EXPECT_EQ(log[i].present1, 0);
        EXPECT_EQ(log[i].present2, 0);
        EXPECT_TRUE(log[i].slotValues4Empty);
        const double vapourFraction = log[i].temperature == EMPTY_VALUE ? 1.0 : EMPTY_VALUE;
        EXPECT_EQ(log[i].phaseFraction0, vapourFraction);
    }
}

std::vector<double> Range(double from, double to, double step) {
    std::vector<double> v;
    for (double t = from; t >= to; t -= step) v.push_back(t);
    return v;
}

}  // namespace

// ---------------------------------------------------------------- the search, path by path

TEST(DewPointSearch, FlashSequenceOfEveryPath) {
    enum class Dew { None, Sought, SoughtInOtherPhase, Other, Both };
    enum class Result { T0, Empty, Bracket };
    struct Case {
        const char* name;
        double t0;
        Dew dew;
        double boundary;  // the sought liquid shows below it
        std::vector<double> scan;
        int refinement;
        Result result;
        double soughtFraction = 0.1;
    };
    const std::vector<Case> cases = {
        {"single sought liquid at the dew point", 20, Dew::Sought, -kInf, {}, 0, Result::T0},
        {"single sought liquid in the other liquid slot", 20, Dew::SoughtInOtherPhase, -kInf, {}, 0, Result::T0},
        {"single other liquid: scan from T0 - 10", 20, Dew::Other, -3.3, {10, 0, -10}, 14, Result::Bracket},
        {"two liquids, one sought: scan all the same", 20, Dew::Both, -3.3, {10, 0, -10}, 14, Result::Bracket},
        {"liquid from T0 - 10 up to T0", 20, Dew::Other, 25, {10}, 14, Result::T0},
        {"no liquid down to the floor", 25, Dew::Other, -kInf, Range(15, -275, 10), 0, Result::Empty},
        {"no liquid at the dew-point flash", 20, Dew::None, 100, {}, 0, Result::Empty},
        {"start at the floor, scan needed", -270, Dew::Other, 100, {}, 0, Result::Empty},
        {"start at the floor, sought liquid", -270, Dew::Sought, 100, {}, 0, Result::T0},
        {"start just above the floor", -265, Dew::Other, -kInf, {-275}, 0, Result::Empty},
        {"liquid first found below the floor", -262, Dew::Other, -271, {-272}, 14, Result::Bracket},
        {"liquid without a phase fraction", 20, Dew::Other, 100, Range(10, -270, 10), 0, Result::Empty, 0.0},
        {"start not a number", kNaN, Dew::Other, 100, {}, 0, Result::Empty},
        {"start infinite", kInf, Dew::Other, 100, {}, 0, Result::Empty},
    };
    for (const DewPointClass& dp : DewPointClasses()) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(dp.word) + ": " + c.name);
            FakeHost host;
            host.SetGas(WetGas());
            FlashScript script;
            script.dewPoint = c.t0;
            Liquid sought = dp.sought;
            sought.fraction = c.soughtFraction;
            Liquid soughtElsewhere{dp.other.phase, dp.sought.x};
            if (c.dew == Dew::Sought) script.atDewPoint = {dp.sought};
            if (c.dew == Dew::SoughtInOtherPhase) script.atDewPoint = {soughtElsewhere};
            if (c.dew == Dew::Other) script.atDewPoint = {dp.other};
            if (c.dew == Dew::Both) script.atDewPoint = {dp.sought, dp.other};
            script.boundary = c.boundary;
            script.below = sought;
            script.always = dp.other;  // the other liquid never counts
            ScriptedFlash flash(script);
            host.flash = flash.Function();
            {
                Attached a = AttachTo(*dp.clsid, host);
                ASSERT_EQ(a.Calculate(), S_OK);

                std::vector<double> expected{EMPTY_VALUE};
                expected.insert(expected.end(), c.scan.begin(), c.scan.end());
                const std::vector<double> temperatures = flash.Temperatures();
                ASSERT_EQ(temperatures.size(), expected.size() + static_cast<std::size_t>(c.refinement));
                for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(temperatures[i], expected[i]) << i;
                if (c.refinement > 0) {  // the first refinement flash repeats where liquid was found
                    EXPECT_EQ(temperatures[expected.size()], temperatures[expected.size() - 1]);
                }
                ExpectFlashEntries(flash, host.pressure);

                const double result = Slot(a, kOverallSlot);
                if (c.result == Result::T0) {
                    EXPECT_EQ(result, c.t0);
                }
                if (c.result == Result::Empty) {
                    EXPECT_EQ(result, EMPTY_VALUE);
                }
                if (c.result == Result::Bracket) {
                    EXPECT_GE(result, c.boundary);
                    EXPECT_LT(result, c.boundary + kLastRefinementStep);
                }
                for (int slot = 0; slot < kPhaseCount; ++slot) EXPECT_EQ(Slot(a, slot), EMPTY_VALUE) << slot;
                EXPECT_EQ(a.Values()[4], kSentinel);
            }
            EXPECT_EQ(host.Check(), "");
        }
    }
}

TEST(DewPointSearch, RefinementHalvesFromTenWhileLiquidPersists) {
    // Liquid at T0 - 10 and everywhere up to T0: every trial finds it, the result stays T0,
    // and the trials show the 14 steps 10, 5, ... 10 / 2^13.
    FakeHost host;
    host.SetGas(WetGas());
    ScriptedFlash flash({.dewPoint = 7.0, .atDewPoint = {{2, kAqueousLiquid}}, .boundary = 8.0,
                         .below = {1, kHydrocarbonLiquid}});
    host.flash = flash.Function();
    Attached a = AttachTo(CLSID_HCDewPt, host);
    ASSERT_EQ(a.Calculate(), S_OK);
    const std::vector<double> t = flash.Temperatures();
    ASSERT_EQ(t.size(), 16u);
    double step = 10.0;
    for (std::size_t i = 2; i < t.size(); ++i, step /= 2) EXPECT_EQ(t[i], 7.0 - step) << i;
    EXPECT_EQ(step, 10.0 / 16384.0);
    EXPECT_EQ(Slot(a, kOverallSlot), 7.0);
}

TEST(DewPointSearch, RefinementBracketsBoundariesWithinTheLastStep) {
    for (double boundary : {-3.3, 0.0, 9.99, -200.123456, 5.0 - kLastRefinementStep / 3}) {
        SCOPED_TRACE(boundary);
        for (const DewPointClass& dp : DewPointClasses()) {
            FakeHost host;
            host.SetGas(WetGas());
            ScriptedFlash flash({.dewPoint = 20.0, .atDewPoint = {dp.other}, .boundary = boundary, .below = dp.sought});
            host.flash = flash.Function();
            Attached a = AttachTo(*dp.clsid, host);
            ASSERT_EQ(a.Calculate(), S_OK);
            const double result = Slot(a, kOverallSlot);
            EXPECT_GE(result, boundary) << dp.word;
            EXPECT_LT(result, boundary + kLastRefinementStep) << dp.word;
        }
    }
}

TEST(DewPointSearch, FailedScanFlashIsReadAsItLeftTheRecord) {
    FakeHost host;
    host.SetGas(WetGas());
    ScriptedFlash flash({.dewPoint = 20.0, .atDewPoint = {{2, kAqueousLiquid}}, .boundary = -3.3,
                         .below = {1, kHydrocarbonLiquid}, .tpStatus = E_FAIL});
    host.flash = flash.Function();
    Attached a = AttachTo(CLSID_HCDewPt, host);
    ASSERT_EQ(a.Calculate(), S_OK);
    EXPECT_EQ(flash.Log().size(), 1u + 3u + 14u);
    EXPECT_GE(Slot(a, kOverallSlot), -3.3);
    EXPECT_LT(Slot(a, kOverallSlot), -3.3 + kLastRefinementStep);
}

TEST(DewPointSearch, StartBeyondAnyPhysicalTemperatureIsNotScanned) {
    // A dew-point flash answering a huge start used to scan (T0 + 270) / 10 times, and from
    // about 1e17 on T - 10 == T, for ever. Starts at or above 10000 degC end the search with
    // EMPTY_VALUE after the dew-point flash; a start just below it still scans as ever.
    struct Case {
        double t0;
        std::size_t flashes;
        double result;
    };
    const double kMax = std::numeric_limits<double>::max();
    const Case cases[] = {
        {1e17, 1, EMPTY_VALUE}, {1e300, 1, EMPTY_VALUE}, {kMax, 1, EMPTY_VALUE}, {10000.0, 1, EMPTY_VALUE},
        {9995.0, 1 + 1 + 14, 9995.0},  // liquid from 9985 up to 9995: one scan flash, the refinement
    };
    for (const DewPointClass& dp : DewPointClasses()) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(dp.word) + " at " + std::to_string(c.t0));
            FakeHost host;
            host.SetGas(WetGas());
            ScriptedFlash flash({.dewPoint = c.t0, .atDewPoint = {dp.other}, .boundary = 9996.0, .below = dp.sought});
            host.flash = flash.Function();
            {
                Attached a = AttachTo(*dp.clsid, host);
                ASSERT_EQ(a.Calculate(), S_OK);
                EXPECT_EQ(flash.Log().size(), c.flashes);
                EXPECT_EQ(Slot(a, kOverallSlot), c.result);
            }
            EXPECT_EQ(host.Check(), "");
        }
    }
}

TEST(DewPointSearch, SlotsWithoutAFlashResultReportEmpty) {
    // Pressure unknown, no flash interface, a failing dew-point flash: each slot searched
    // reports EMPTY_VALUE and the calculation succeeds.
    struct Case {
        const char* name;
        double pressure;
        bool flashInterface;
        HRESULT dewStatus;
        int queries;  // per searched slot
        int flashes;  // per searched slot
    };
    const Case cases[] = {
        {"pressure EMPTY_VALUE", EMPTY_VALUE, true, S_OK, 0, 0},
        {"no flash interface", 5000.0, false, S_OK, 1, 0},
        {"failing dew-point flash", 5000.0, true, E_FAIL, 1, 1},
    };
    for (const DewPointClass& dp : DewPointClasses()) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(dp.word) + ": " + c.name);
            FakeHost host;
            host.SetGas(WetGas());
            host.SetPhase(0, 0.9, {0.9, 0.08, 0.02});
            host.SetPhase(2, 0.1, {0.0, 0.0, 1.0});
            host.pressure = c.pressure;
            ScriptedFlash flash({.dewPoint = 20.0, .dewStatus = c.dewStatus, .atDewPoint = {dp.sought}});
            if (c.flashInterface) host.flash = flash.Function();
            {
                Attached a = AttachTo(*dp.clsid, host);
                ASSERT_EQ(a.Calculate(), S_OK);
                EXPECT_EQ(host.Calls("QueryInterface:IFlashCalculator"), 3 * c.queries);
                EXPECT_EQ(host.Calls("Flash"), 3 * c.flashes);
                const std::vector<double> v = a.Values();
                EXPECT_EQ(v, (std::vector<double>{EMPTY_VALUE, EMPTY_VALUE, EMPTY_VALUE, EMPTY_VALUE, kSentinel,
                                                  EMPTY_VALUE}));
            }
            EXPECT_EQ(host.Check(), "");
        }
    }
}

// ---------------------------------------------------------------- slots and the flash record

TEST(HcDewPoint, DryFluidTakesEachSlotsDewPointFlash) {
    FakeHost host;
    host.SetGas(DryGas());
    host.SetPhase(0, 0.8, {0.95, 0.05});
    host.SetPhase(1, 0.2, {0.6, 0.4});
    // Whatever liquids the flash reports, a dry fluid takes the dew-point temperature.
    ScriptedFlash flash({.dewPointOfFeed = [](const std::vector<double>& feed) { return 100.0 * feed[1]; },
                         .atDewPoint = {{1, {0.5, 0.5}}, {2, {0.5, 0.5}}}});
    host.flash = flash.Function();
    {
        Attached a = AttachTo(CLSID_HCDewPt, host);
        ASSERT_EQ(a.Calculate(), S_OK);
        ASSERT_EQ(flash.Log().size(), 3u);  // one dew-point flash per searched slot, no scan
        EXPECT_EQ(flash.Log()[0].feedValues, (std::vector<double>{0.95, 0.05}));
        EXPECT_EQ(flash.Log()[1].feedValues, (std::vector<double>{0.6, 0.4}));
        EXPECT_EQ(flash.Log()[2].feedValues, (std::vector<double>{0.92, 0.08}));
        ExpectFlashEntries(flash, host.pressure);  // one record shared by the three searches
        const std::vector<double> v = a.Values();
        EXPECT_EQ(v[0], 100.0 * 0.08);
        EXPECT_EQ(v[1], 100.0 * 0.05);
        EXPECT_EQ(v[2], 100.0 * 0.4);
        EXPECT_EQ(v[3], EMPTY_VALUE);
        EXPECT_EQ(v[4], kSentinel);
        EXPECT_EQ(v[5], EMPTY_VALUE);
    }
    EXPECT_EQ(host.Check(), "");
}

// A dense hydrocarbon phase that is, with the aqueous liquid, the whole fluid is not a
// condensate: in the scan and its refinement hydrocarbon liquid counts only while the present
// liquids add up to less than 1 - 1e-9. The water dew point is not affected.
TEST(DewPointSearch, HydrocarbonLiquidCountsOnlyBesideAVapour) {
    struct Case {
        const char* name;
        double hydrocarbon, aqueous;  // phase fractions below the boundary
        bool aqueousPresent;
        bool found;
    };
    const Case cases[] = {
        {"liquids are the whole fluid", 0.99, 0.01, true, false},
        {"hydrocarbon liquid alone is the whole fluid", 1.0, 0.0, false, false},
        {"liquids within 1e-9 of the whole fluid", 0.99 - 0.5e-9, 0.01, true, false},
        {"vapour of 1e-8 remains", 0.99 - 1e-8, 0.01, true, true},
        {"vapour remains", 0.6, 0.01, true, true},
    };
    for (const Case& c : cases) {
        for (const DewPointClass& dp : DewPointClasses()) {
            SCOPED_TRACE(std::string(dp.word) + ": " + c.name);
            const bool hc = dp.clsid == &CLSID_HCDewPt;
            FakeHost host;
            host.SetGas(WetGas());
            FlashScript script{.dewPoint = 20.0, .boundary = -3.3};
            // Below the boundary the liquid sought shows with the fractions of the case.
            Liquid hydrocarbon{1, kHydrocarbonLiquid, c.hydrocarbon};
            Liquid aqueous{2, kAqueousLiquid, hc ? c.aqueous : 0.01};
            script.atDewPoint = {hc ? aqueous : hydrocarbon};
            script.below = hc ? hydrocarbon : aqueous;
            if (c.aqueousPresent || !hc) script.always = hc ? aqueous : hydrocarbon;
            ScriptedFlash flash(script);
            host.flash = flash.Function();
            Attached a = AttachTo(*dp.clsid, host);
            ASSERT_EQ(a.Calculate(), S_OK);
            const double result = Slot(a, kOverallSlot);
            if (c.found || !hc) {
                EXPECT_GE(result, -3.3);
                EXPECT_LT(result, -3.3 + kLastRefinementStep);
            } else {
                EXPECT_EQ(result, EMPTY_VALUE);
                EXPECT_EQ(flash.Log().size(), 1u + Range(10, -270, 10).size());  // scanned to the floor
            }
        }
    }
}

TEST(DewPointSearch, PhaseFractionsReachTheFeedUnclamped) {
    for (const DewPointClass& dp : DewPointClasses()) {
        SCOPED_TRACE(dp.word);
        FakeHost host;
        host.SetGas(WetGas());
        host.SetPhase(3, 0.01, {0.5, 0.51, -0.01});
        ScriptedFlash flash({.dewPoint = 12.5, .atDewPoint = {dp.sought}});
        host.flash = flash.Function();
        {
            Attached a = AttachTo(*dp.clsid, host);
            ASSERT_EQ(a.Calculate(), S_OK);
            ASSERT_EQ(flash.Log().size(), 2u);
            EXPECT_EQ(flash.Log()[0].feedValues, (std::vector<double>{0.5, 0.51, -0.01}));
            EXPECT_EQ(flash.Log()[1].feedValues, (std::vector<double>{0.90, 0.08, 0.02}));
            EXPECT_EQ(a.Values(), (std::vector<double>{12.5, EMPTY_VALUE, EMPTY_VALUE, EMPTY_VALUE, kSentinel, 12.5}));
        }
        EXPECT_EQ(host.Check(), "");
    }
}

TEST(WaterDewPoint, FluidWithoutWaterRunsNoFlash) {
    for (const std::vector<Component>& gas : {DryGas(), std::vector<Component>{}}) {
        SCOPED_TRACE(gas.size());
        FakeHost host;
        host.SetGas(gas);
        if (!gas.empty()) host.SetPhase(0, 1.0, {0.92, 0.08});
        ScriptedFlash flash({.dewPoint = 20.0, .atDewPoint = {{2, kAqueousLiquid}}});
        host.flash = flash.Function();
        {
            Attached a = AttachTo(CLSID_WaterDewPt, host);
            ASSERT_EQ(a.Calculate(), S_OK);
            EXPECT_EQ(host.Calls("QueryInterface:IFlashCalculator"), 0);
            EXPECT_EQ(host.Calls("Flash"), 0);
            EXPECT_EQ(a.Values(), (std::vector<double>{EMPTY_VALUE, EMPTY_VALUE, EMPTY_VALUE, EMPTY_VALUE, kSentinel,
                                                       EMPTY_VALUE}));
        }
        EXPECT_EQ(host.Check(), "");
    }
}

// A fluid without a hydrocarbon (no component of a class from 200 to below 300 at a positive
// fraction) has no hydrocarbon dew point: no flash, every slot without a value, and "Phase_Status"
// says why. The dew-point flash would answer with the dew point of its nitrogen or its carbon
// dioxide. A single hydrocarbon anywhere in the fluid, a trace or in a phase present, is enough.
TEST(HcDewPoint, FluidWithoutHydrocarbonsHasNone) {
    constexpr double kNitrogen = 7727379, kCarbonDioxide = 124389;
    struct Case {
        const char* name;
        std::vector<Component> gas;
        std::vector<std::pair<int, std::vector<double>>> phases;   // slot, composition (fraction 0.5)
        bool hydrocarbon;
    };
    const Case cases[] = {
        {"no components", {}, {}, false},
        {"nitrogen and carbon dioxide", {{kNitrogen, 28.0, 0.7, 100}, {kCarbonDioxide, 44.0, 0.3, 110}}, {}, false},
        {"nitrogen and water", {{kNitrogen, 28.0, 0.98, 100}, {kWater, 18.0, 0.02, 120}}, {}, false},
        {"methane listed at fraction 0", {{74828, 16.0, 0.0, 201}, {kNitrogen, 28.0, 1.0, 100}}, {}, false},
        {"a class of 300 is no hydrocarbon", {{kNitrogen, 28.0, 0.9, 100}, {1000, 30.0, 0.1, 300}}, {}, false},
        {"a trace of methane", {{74828, 16.0, 1e-9, 201}, {kNitrogen, 28.0, 1.0 - 1e-9, 100}}, {}, true},
        {"an aromatic", {{71432, 78.1, 0.01, 221}, {kNitrogen, 28.0, 0.99, 100}}, {}, true},
        {"a hydrocarbon in a phase present only",
         {{74828, 16.0, 0.0, 201}, {kNitrogen, 28.0, 1.0, 100}}, {{1, {0.5, 0.5}}}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeHost host;
        host.SetGas(c.gas);
        for (const auto& [slot, x] : c.phases) host.SetPhase(slot, 0.5, x);
        ScriptedFlash flash({.dewPoint = -40.0});
        host.flash = flash.Function();
        {
            Attached a = AttachTo(CLSID_HCDewPt, host);
            ASSERT_EQ(a.Calculate(), S_OK);
            if (c.hydrocarbon) {
                EXPECT_GE(flash.Log().size(), 1u);
                EXPECT_EQ(Slot(a, kOverallSlot), -40.0);
                EXPECT_EQ(a.Statuses()[0], EncodeValueStatus(ValueStatus::Ok));
            } else {
                EXPECT_EQ(host.Calls("Flash"), 0);
                EXPECT_EQ(a.Values(), (std::vector<double>{EMPTY_VALUE, EMPTY_VALUE, EMPTY_VALUE, EMPTY_VALUE, kSentinel,
                                                           EMPTY_VALUE}));
                for (int slot : {kOverallSlot, 0, 1, 2, 3})
                    EXPECT_EQ(a.Statuses()[static_cast<std::size_t>(kIndexOfSlot[slot])],
                              EncodeValueStatus(ValueStatus::NoHydrocarbons)) << slot;
            }
        }
        EXPECT_EQ(host.Check(), "");
    }
}

TEST(DewPointSearch, ComponentClassesAreKeptUntilTheNextCalculation) {
    for (const DewPointClass& dp : DewPointClasses()) {
        SCOPED_TRACE(dp.word);
        FakeHost host;
        host.SetGas(WetGas());
        ScriptedFlash flash({.dewPoint = 20.0, .atDewPoint = {dp.sought}});
        host.flash = flash.Function();
        {
            ComPtr<ICorrelation> c = moduleclient::Create(Calorix(), *dp.clsid);
            ASSERT_TRUE(c);
            for (int round = 0; round < 2; ++round) {
                std::int32_t key = 0;
                IVariableSet* set = nullptr;
                ASSERT_EQ(c->Attach(host.Source(), 0, &key, &set), S_OK);
                ComPtr<IVariableSet> results(set);
                ASSERT_EQ(c->Calculate(key), S_OK);
                EXPECT_EQ(moduleclient::PhaseValues(results.Get())[0], 20.0);
                ASSERT_EQ(c->Detach(key), S_OK);
                // Only the "ComponentClass" array is still held; the next calculation frees
                // the one before.
                EXPECT_EQ(host.Check(1), "");
                EXPECT_NE(host.Check(0), "");
            }
        }
        EXPECT_EQ(host.Check(), "");  // teardown frees the array
    }
}

// ---------------------------------------------------------------- phase tests

namespace {
// Components for the phase-test tables: water (whose own class lies in band A, to show it is
// left out of the sums) and one component at each class of interest.
constexpr double kPhaseTestClasses[] = {200, 250, 299.5, 300, 400, 401, 450, 489, 490, kNaN};
std::vector<Component> PhaseTestGas() {
    std::vector<Component> gas{{kWater, 18.01528, 0.01, 250}};
    double cas = 1000;
    for (double c : kPhaseTestClasses) gas.push_back({cas++, 16.0, 0.99 / std::size(kPhaseTestClasses), c});
    return gas;
}
struct PhaseCase {
    double water;
    std::vector<std::pair<double, double>> byClass;  // class, mole fraction
    bool expected;
};
std::vector<double> PhaseComposition(const PhaseCase& c) {
    std::vector<double> x(1 + std::size(kPhaseTestClasses), 0.0);
    x[0] = c.water;
    for (const auto& [cls, fraction] : c.byClass)
        for (std::size_t i = 0; i < std::size(kPhaseTestClasses); ++i)
            if (kPhaseTestClasses[i] == cls || (std::isnan(cls) && std::isnan(kPhaseTestClasses[i]))) x[i + 1] = fraction;
    return x;
}
// Runs one case: a single liquid at the dew-point flash that passes the test gives T0; one
// that fails starts a scan that finds nothing and ends at the floor.
void RunPhaseCases(REFCLSID clsid, const std::vector<PhaseCase>& cases) {
    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE("case " + std::to_string(i));
        for (int phase : {1, 2}) {
            FakeHost host;
            host.SetGas(PhaseTestGas());
            ScriptedFlash flash({.dewPoint = 20.0, .atDewPoint = {{phase, PhaseComposition(cases[i])}}});
            host.flash = flash.Function();
            Attached a = AttachTo(clsid, host);
            ASSERT_EQ(a.Calculate(), S_OK);
            EXPECT_EQ(Slot(a, kOverallSlot), cases[i].expected ? 20.0 : EMPTY_VALUE) << "phase " << phase;
            EXPECT_EQ(flash.Log().size(), cases[i].expected ? 1u : 30u) << "phase " << phase;
        }
    }
}
}  // namespace

TEST(HcDewPoint, HydrocarbonLiquidTest) {
    // Not hydrocarbon when (w > A and w + A > 0.5) or w + B > 0.5, all strict.
    RunPhaseCases(CLSID_HCDewPt, {
        {0.3, {{200, 0.2}, {450, 0.25}}, false},  // w + B = 0.55
        {0.3, {{200, 0.2}, {450, 0.2}}, true},    // w + A = 0.5 and w + B = 0.5: not above
        {0.3, {{200, 0.25}}, false},              // class 200 is in band A: w + A = 0.55
        {0.3, {{299.5, 0.25}}, false},            // just below 300 is in band A
        {0.3, {{300, 0.25}}, true},               // class 300 is in neither band
        {0.3, {{400, 0.25}}, true},               // class 400 is in neither band
        {0.3, {{401, 0.25}}, false},              // band B
        {0.3, {{489, 0.25}}, false},              // band B
        {0.3, {{490, 0.25}}, true},               // class 490 is in neither band
        {0.3, {{kNaN, 0.25}}, true},              // a class not a number is in neither band
        {0.25, {{250, 0.3}, {450, 0.3}}, false},  // w <= A, but w + B = 0.55
        {0.4, {{250, 0.4}}, true},                // w = A: water does not outweigh band A
        {0.51, {}, false},                        // water alone dominates
        {0.5, {}, true},
        {0.0, {{250, 0.6}, {450, 0.4}}, true},
    });
}

TEST(WaterDewPoint, AqueousLiquidTest) {
    // Aqueous when w > A and (w + A > 0.5 or w + B > 0.5), all strict.
    RunPhaseCases(CLSID_WaterDewPt, {
        {0.3, {{200, 0.2}, {450, 0.25}}, true},   // w > A and w + B = 0.55
        {0.2, {{200, 0.3}, {450, 0.4}}, false},   // w not above A
        {0.3, {{200, 0.2}, {450, 0.2}}, false},   // neither sum above 0.5
        {0.3, {{200, 0.25}}, true},               // class 200 is in band A: w + A = 0.55
        {0.3, {{299.5, 0.25}}, true},
        {0.3, {{300, 0.25}}, false},              // class 300 is in neither band
        {0.3, {{400, 0.25}}, false},              // class 400 is in neither band
        {0.3, {{401, 0.25}}, true},
        {0.3, {{489, 0.25}}, true},
        {0.3, {{490, 0.25}}, false},              // class 490 is in neither band
        {0.3, {{kNaN, 0.25}}, false},
        {0.51, {}, true},
        {0.5, {}, false},
        {0.3, {{250, 0.3}, {450, 0.3}}, false},   // w = A
    });
}

// ---------------------------------------------------------------- water recognition

namespace {
// Whether each class took the candidate for water, seen from outside: the hydrocarbon dew
// point scans (a dry fluid would take T0), the water dew point flashes at all, the water
// content is above 0.
struct Recognised {
    bool hc;
    bool waterDewPoint;
    bool content;
};
Recognised Recognise(double cas, double id) {
    Recognised r{};
    auto fluid = [&](FakeHost& host) {
        host.SetGas({{74828, 16.043, 0.99, 201}, {cas, 18.01528, 0.01, 0}});
        host.SetProperty("ComponentIDs", {74828, id});
        host.SetProperty("TempUnitFlag", {1});
    };
    {
        FakeHost host;
        fluid(host);
        ScriptedFlash flash({.dewPoint = 20.0, .atDewPoint = {{1, {0.0, 1.0}}}});
        host.flash = flash.Function();
        Attached a = AttachTo(CLSID_HCDewPt, host);
        EXPECT_EQ(a.Calculate(), S_OK);
        r.hc = host.Calls("Flash") > 1;
    }
    {
        FakeHost host;
        fluid(host);
        ScriptedFlash flash({.dewPoint = 20.0, .atDewPoint = {{2, {0.0, 1.0}}}});
        host.flash = flash.Function();
        Attached a = AttachTo(CLSID_WaterDewPt, host);
        EXPECT_EQ(a.Calculate(), S_OK);
        r.waterDewPoint = host.Calls("Flash") > 0;
        if (r.waterDewPoint) {
            EXPECT_EQ(Slot(a, kOverallSlot), 20.0);
        }
    }
    {
        FakeHost host;
        fluid(host);
        Attached a = AttachTo(CLSID_WaterContentMg, host);
        EXPECT_EQ(a.Calculate(), S_OK);
        r.content = Slot(a, kOverallSlot) > 0.0;
    }
    return r;
}
}  // namespace

TEST(WaterRecognition, ExactCasRoundedCasAndComponentIds) {
    struct Case {
        const char* name;
        double cas;
        double id;
        Recognised expected;
    };
    const Case cases[] = {
        {"exact CAS", kWater, kWater, {true, true, true}},
        {"CAS 7732185.0001", 7732185.0001, 7732185.0001, {false, true, false}},
        {"CAS a few tenths above", 7732185.3, 0, {false, true, false}},
        {"CAS exactly one half above", 7732185.5, 0, {false, true, false}},
        {"CAS just over one half above", 7732185.5000001, 0, {false, false, false}},
        {"CAS just under one half below", 7732184.5000001, 0, {false, true, false}},
        {"CAS exactly one half below", 7732184.5, 0, {false, false, false}},
        {"ComponentIDs only", 64175, kWater, {false, true, false}},
        {"ComponentIDs not exact", 64175, 7732185.0001, {false, false, false}},
        {"CAS not a number", kNaN, kNaN, {false, false, false}},
        {"CAS beyond 32 bits", 1e20, -1e20, {false, false, false}},
        {"CAS infinite", kInf, 0, {false, false, false}},
        {"negative CAS", -7732185.0, 0, {false, false, false}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Recognised r = Recognise(c.cas, c.id);
        EXPECT_EQ(r.hc, c.expected.hc) << "HCDewPt";
        EXPECT_EQ(r.waterDewPoint, c.expected.waterDewPoint) << "WaterDewPt";
        EXPECT_EQ(r.content, c.expected.content) << "WaterContentMg";
    }
}

TEST(WaterRecognition, LastWaterComponentCounts) {
    // Water at positions 0 and 2: the phase test weighs position 2 as water. The liquid has
    // 0.6 at position 2 and 0.4 at position 0 (class 250): with position 0 as water it would
    // be hydrocarbon liquid (w = 0.4 is not above A = 0.6); with position 2 it is not.
    FakeHost host;
    host.SetGas({{kWater, 18.0, 0.01, 250}, {74828, 16.0, 0.98, 201}, {kWater, 18.0, 0.01, 250}});
    ScriptedFlash flash({.dewPoint = 20.0, .atDewPoint = {{1, {0.4, 0.0, 0.6}}}});
    host.flash = flash.Function();
    Attached a = AttachTo(CLSID_HCDewPt, host);
    ASSERT_EQ(a.Calculate(), S_OK);
    EXPECT_EQ(Slot(a, kOverallSlot), EMPTY_VALUE);
    EXPECT_EQ(flash.Log().size(), 30u);
}

// ---------------------------------------------------------------- short host arrays

TEST(DewPointSearch, ArraysShorterThanTheComponentCountAreNotReadPast) {
    // Water is the third component. A host array that ends before it leaves the slot without
    // a value (the phase test cannot weigh water); a "CAS_Numbers" array that ends before it
    // hides the water from the hydrocarbon dew point, which then sees a two-component dry fluid.
    struct Case {
        const char* name;
        const CLSID* clsid;
        const char* property;  // nullptr: the record's own count
        std::int32_t count;
        double expected;
        std::size_t flashes;
        std::size_t feedSize;
    };
    const Case cases[] = {
        {"HC: classes end before water", &CLSID_HCDewPt, "ComponentClass", 2, EMPTY_VALUE, 0, 0},
        {"HC: record ends before water", &CLSID_HCDewPt, nullptr, 2, EMPTY_VALUE, 0, 0},
        {"HC: CAS numbers end before water", &CLSID_HCDewPt, "CAS_Numbers", 2, 20.0, 1, 2},
        {"HC: classes longer than the record", &CLSID_HCDewPt, "ComponentClass", 6, 20.0, 1, 3},
        {"water: classes end before water", &CLSID_WaterDewPt, "ComponentClass", 2, EMPTY_VALUE, 0, 0},
        {"water: IDs end before water", &CLSID_WaterDewPt, "ComponentIDs", 2, EMPTY_VALUE, 0, 0},
        {"water: record ends before water", &CLSID_WaterDewPt, nullptr, 2, EMPTY_VALUE, 0, 0},
        {"water: CAS numbers end before water", &CLSID_WaterDewPt, "CAS_Numbers", 1, EMPTY_VALUE, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeHost host;
        host.SetGas(WetGas());
        if (c.property)
            host.SetReportedCount(c.property, c.count);
        else
            host.SetComponentCount(c.count);
        const bool hc = c.clsid == &CLSID_HCDewPt;
        ScriptedFlash flash({.dewPoint = 20.0, .atDewPoint = {{hc ? 1 : 2, hc ? kHydrocarbonLiquid : kAqueousLiquid}}});
        host.flash = flash.Function();
        {
            Attached a = AttachTo(*c.clsid, host);
            ASSERT_EQ(a.Calculate(), S_OK);
            EXPECT_EQ(Slot(a, kOverallSlot), c.expected);
            ASSERT_EQ(flash.Log().size(), c.flashes);
            if (c.flashes > 0) {
                EXPECT_EQ(flash.Log()[0].feedValues.size(), c.feedSize);
            }
        }
        EXPECT_EQ(host.Check(), "");
    }
}
