// The host calls of the dew-point and water-content classes, in order, and what each class
// does when any one of them fails: its status, nothing written on failure, nothing leaked.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "tests/correlation/water_test_support.h"

using namespace watertest;

namespace {

const HRESULT kHostStatus = static_cast<HRESULT>(0x8004D00DL);  // a failure of the host's own

struct ClassCase {
    const char* word;
    const CLSID* clsid;
    std::vector<Liquid> atDewPoint;  // the single liquid the class seeks
    std::vector<std::string> calls;  // the host calls of a good calculation, in order
    std::vector<double> values;      // its "Phase_Values"
};

// Methane, n-hexane and water; the vapour and the aqueous phase present.
void Fluid(FakeHost& host, ScriptedFlash* flash) {
    host.SetGas({{74828, 16.043, 0.90, 201}, {110543, 86.177, 0.08, 211}, {kWater, 18.01528, 0.02, 0}});
    host.SetProperty("TempUnitFlag", {1});
    host.SetPhase(0, 0.99, {0.9, 0.08, 0.02});
    host.SetPhase(2, 0.01, {0.0, 0.0, 1.0});
    if (flash) host.flash = flash->Function();
}

// The dew-point flash answers 20 degC with a single liquid of the kind the class seeks.
ScriptedFlash DewFlash(const ClassCase& c) { return ScriptedFlash({.dewPoint = 20.0, .atDewPoint = c.atDewPoint}); }

std::vector<std::string> Search() { return {"QueryInterface:IFlashCalculator", "Flash"}; }

std::vector<ClassCase> Classes() {
    const std::vector<std::string> open = {"GetFluidState", "NeedsRecalculation", "GetComponentData", "GetComposition"};
    auto join = [](std::vector<std::string> a, const std::vector<std::vector<std::string>>& rest) {
        for (const auto& r : rest) a.insert(a.end(), r.begin(), r.end());
        return a;
    };
    const double wc = ((0.02 * 18.01528) * 1000000.0) / 23.644436;
    return {
        // One search per evaluated slot: phase 0, phase 2, the overall fluid.
        {"HCDewPt", &CLSID_HCDewPt, {{1, {0.3, 0.7, 0.0}}},
         join(open, {{"GetComponentProperty:CAS_Numbers", "GetComponentProperty:ComponentClass"}, Search(), Search(),
                     Search()}),
         {20.0, 20.0, EMPTY_VALUE, 20.0, kSentinel, EMPTY_VALUE}},
        {"WaterDewPt", &CLSID_WaterDewPt, {{2, {0.0, 0.0, 1.0}}},
         join(open, {{"GetComponentProperty:ComponentIDs", "GetComponentProperty:CAS_Numbers",
                      "GetComponentProperty:ComponentClass"},
                     Search(), Search(), Search()}),
         {20.0, 20.0, EMPTY_VALUE, 20.0, kSentinel, EMPTY_VALUE}},
        {"WaterContentMg", &CLSID_WaterContentMg, {},
         join(open, {{"GetComponentProperty:TempUnitFlag", "GetComponentProperty:Molecular Weight",
                      "GetComponentProperty:CAS_Numbers"}}),
         {wc, ((0.02 * 18.01528) * 1000000.0) / 23.644436, 0.0, ((1.0 * 18.01528) * 1000000.0) / 23.644436, kSentinel,
          0.0}},
    };
}

}  // namespace

TEST(WaterFaultSweep, GoodCalculationCallsTheHostInOrder) {
    for (const ClassCase& c : Classes()) {
        SCOPED_TRACE(c.word);
        FakeHost host;
        ScriptedFlash flash = DewFlash(c);
        Fluid(host, &flash);
        {
            Attached a = AttachTo(*c.clsid, host);
            host.ClearLogs();
            ASSERT_EQ(a.Calculate(), S_OK);
            EXPECT_EQ(host.CallLog(), c.calls);
            EXPECT_EQ(a.Values(), c.values);
        }
        EXPECT_EQ(host.Check(), "");
    }
}

TEST(WaterFaultSweep, EveryFailingHostCallIsHandled) {
    // What a failure of each call does: the status Calculate returns, and whether the result
    // is written (as the good values, or EMPTY_VALUE where a search lost its flash).
    enum class Written { Nothing, Good, EmptySearches };
    struct Outcome {
        HRESULT status;
        Written written;
    };
    auto outcome = [](const std::string& call) -> Outcome {
        if (call == "GetFluidState" || call == "GetComponentData") return {kHostStatus, Written::Nothing};
        if (call == "NeedsRecalculation") return {S_OK, Written::Good};  // counts as "recalculate"
        if (call == "QueryInterface:IFlashCalculator" || call == "Flash") return {S_OK, Written::EmptySearches};
        return {E_FAIL, Written::Nothing};  // GetComposition and every property request
    };
    for (const ClassCase& c : Classes()) {
        const std::set<std::string> calls(c.calls.begin(), c.calls.end());
        for (const std::string& call : calls) {
            SCOPED_TRACE(std::string(c.word) + " failing " + call);
            const Outcome expected = outcome(call);
            FakeHost host;
            ScriptedFlash flash = DewFlash(c);
            Fluid(host, &flash);
            host.Fail(call, kHostStatus);
            {
                Attached a = AttachTo(*c.clsid, host);
                EXPECT_EQ(a.Calculate(), expected.status);
                std::vector<double> values = a.Values();
                switch (expected.written) {
                    case Written::Nothing:
                        EXPECT_EQ(values, std::vector<double>(6, kSentinel));
                        break;
                    case Written::Good:
                        EXPECT_EQ(values, c.values);
                        break;
                    case Written::EmptySearches:
                        EXPECT_EQ(values, (std::vector<double>{EMPTY_VALUE, EMPTY_VALUE, EMPTY_VALUE, EMPTY_VALUE,
                                                               kSentinel, EMPTY_VALUE}));
                        break;
                }
                // A second calculation after the failure is whole again.
                host.ClearFailures();
                EXPECT_EQ(a.Calculate(), S_OK);
                EXPECT_EQ(a.Values(), c.values);
            }
            EXPECT_EQ(host.Check(), "");
        }
    }
}

TEST(WaterFaultSweep, DriverExitsWriteNothing) {
    struct Case {
        const char* name;
        void (*setUp)(FakeHost&);
        bool wrongKey;
        HRESULT status;
    };
    const Case cases[] = {
        {"key not attached", [](FakeHost&) {}, true, CONNECT_E_CANNOTCONNECT},
        {"results current", [](FakeHost& h) { h.needsRecalculation = 0; }, false, S_OK},
        {"no component data interface", [](FakeHost& h) { h.componentDataAnswersQuery = false; }, false, E_FAIL},
        {"property missing", [](FakeHost& h) { h.RemoveProperty("CAS_Numbers"); }, false, E_FAIL},
    };
    for (const ClassCase& c : Classes()) {
        for (const Case& k : cases) {
            SCOPED_TRACE(std::string(c.word) + ": " + k.name);
            FakeHost host;
            ScriptedFlash flash = DewFlash(c);
            Fluid(host, &flash);
            k.setUp(host);
            {
                Attached a = AttachTo(*c.clsid, host);
                EXPECT_EQ(a.correlation->Calculate(k.wrongKey ? a.key + 1 : a.key), k.status);
                EXPECT_EQ(a.Values(), std::vector<double>(6, kSentinel));
                EXPECT_EQ(host.Calls("Flash"), 0);
            }
            EXPECT_EQ(host.Check(), "");
        }
    }
}
