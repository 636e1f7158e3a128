// The reference host's fluid: temperature, pressure, molar flow, components with their
// properties, the overall composition and the phases present.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/fluid/components.h"

namespace calorix::host {

struct Component {
    std::string name;
    std::int32_t casKey = 0;             // digits of the CAS number without hyphens
    double molarMassKgPerKmol = 0.0;
    double criticalTemperatureK = 0.0;
    double criticalPressureKPa = 0.0;
    double acentricFactor = 0.0;
    std::int32_t componentClass = 0;     // codes of data/components.csv
};

// A component of the host's list.
Component ComponentFromRecord(const ComponentRecord& record);

// Phase slots of the host: 0 vapour, 1 hydrocarbon liquid, 2 aqueous liquid, 3 a second
// non-aqueous liquid.
inline constexpr int kVapourSlot = 0;
inline constexpr int kHydrocarbonLiquidSlot = 1;
inline constexpr int kAqueousSlot = 2;
inline constexpr int kPhase3Slot = 3;

struct Phase {
    int slot = kVapourSlot;              // 0 to 3
    double fraction = 1.0;               // share of the fluid's moles in this phase
    std::vector<double> moleFractions;   // one per component
};

struct Fluid {
    std::string id;                      // the user's label of the fluid (batches), may be empty
    double temperatureC = 15.0;
    double pressureKPa = 101.325;
    double molarFlowKmolPerH = 0.0;
    std::vector<Component> components;
    std::vector<double> moleFractions;   // overall composition, one per component
    std::vector<Phase> phases;           // empty: one vapour phase equal to the overall composition
    bool needsRecalculation = true;      // what IFluidState::NeedsRecalculation answers
};

}  // namespace calorix::host
