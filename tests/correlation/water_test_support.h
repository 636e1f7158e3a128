// Helpers of the dew-point and water-content tests: the built module, an attached
// correlation whose "Phase_Values" start at a sentinel, and a scriptable flash.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

#include "tests/support/fake_host.h"
#include "tests/support/module_client.h"

namespace watertest {

using fakehost::Component;
using fakehost::FakeHost;
using platform::ComPtr;

inline constexpr double kSentinel = 4242.5;  // what "Phase_Values" holds before a calculation
inline constexpr double kInf = std::numeric_limits<double>::infinity();
inline constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
inline constexpr double kWater = 7732185.0;
inline constexpr double kLastRefinementStep = 10.0 / 8192.0;  // 10 / 2^13

// "Phase_Values" index of each composition slot: phases 0-3, then the overall fluid.
inline constexpr int kIndexOfSlot[5] = {1, 2, 3, 5, 0};


using moduleclient::Attached;
using moduleclient::Calorix;

// A correlation created through the module and attached to the fake host; every element of
// its "Phase_Values" holds kSentinel.
inline Attached AttachTo(REFCLSID clsid, FakeHost& host) {
    Attached a = moduleclient::Attach(clsid, host.Source());
    if (a.results) moduleclient::FillPhaseValues(a.results.Get(), kSentinel);
    return a;
}

// The value a calculation wrote for a composition slot.
inline double Slot(const Attached& a, int slot) { return a.Values()[static_cast<std::size_t>(kIndexOfSlot[slot])]; }

// A liquid phase a flash reports.
struct Liquid {
    int phase = 1;               // 1 or 2
    std::vector<double> x{};     // its mole fractions
    double fraction = 0.1;       // its phase fraction
};

// The state of the flash record as a flash receives it.
struct FlashEntry {
    const FluidComposition* record;
    const double* feed;
    double temperature;
    double pressure;
    double phaseFraction0;
    std::int32_t present1;
    std::int32_t present2;
    bool slotValues4Empty;
    std::vector<double> feedValues;
};

// A scripted flash. The dew-point flash (temperature EMPTY_VALUE, vapour fraction 1.0) answers
// dewPoint with the liquids listed; a temperature-pressure flash shows the liquid `below`
// at temperatures under `boundary`, and the liquid `always` at every temperature.
struct FlashScript {
    double dewPoint = 20.0;
    std::function<double(const std::vector<double>& feed)> dewPointOfFeed{};  // overrides dewPoint
    HRESULT dewStatus = S_OK;
    std::vector<Liquid> atDewPoint{};
    double boundary = -kInf;
    Liquid below{};
    std::optional<Liquid> always{};
    HRESULT tpStatus = S_OK;
};

class ScriptedFlash {
public:
    explicit ScriptedFlash(FlashScript script) : m_script(std::move(script)), m_log(std::make_shared<std::vector<FlashEntry>>()) {}

    std::function<HRESULT(FluidComposition&)> Function() const {
        return [script = m_script, log = m_log](FluidComposition& r) -> HRESULT {
            const double* feed = r.moleFractions[kOverallSlot];
            const std::size_t n = static_cast<std::size_t>(std::max(r.componentCount, 0));
            log->push_back({&r, feed, r.temperature, r.pressure, r.phaseFraction[0], r.phasePresent[1],
                            r.phasePresent[2],
                            r.slotValuesA[4] == EMPTY_VALUE && r.slotValuesB[4] == EMPTY_VALUE &&
                                r.slotValuesC[4] == EMPTY_VALUE && r.slotValuesD[4] == EMPTY_VALUE,
                            feed ? std::vector<double>(feed, feed + n) : std::vector<double>()});
            auto show = [&](const Liquid& liquid) {
                r.phasePresent[liquid.phase] = 1;
                r.phaseFraction[liquid.phase] = liquid.fraction;
                for (std::size_t i = 0; i < n && i < liquid.x.size(); ++i) r.moleFractions[liquid.phase][i] = liquid.x[i];
            };
            for (int p : {1, 2}) {
                r.phasePresent[p] = 0;
                r.phaseFraction[p] = 0.0;
            }
            if (r.temperature == EMPTY_VALUE && r.phaseFraction[0] == 1.0) {
                r.temperature = script.dewPointOfFeed ? script.dewPointOfFeed(log->back().feedValues) : script.dewPoint;
                for (const Liquid& liquid : script.atDewPoint) show(liquid);
                return script.dewStatus;
            }
            if (script.always) show(*script.always);
            if (r.temperature < script.boundary) show(script.below);
            return script.tpStatus;
        };
    }
    const std::vector<FlashEntry>& Log() const { return *m_log; }
    std::vector<double> Temperatures() const {
        std::vector<double> t;
        for (const FlashEntry& e : *m_log) t.push_back(e.temperature);
        return t;
    }

private:
    FlashScript m_script;
    std::shared_ptr<std::vector<FlashEntry>> m_log;
};

}  // namespace watertest
