// Dew points and water content.
//
// The two dew points are one search over the host's flash: a dew-point flash gives a
// starting temperature; when the fluid holds water and that flash does not already show the
// liquid sought, temperature-pressure flashes step down in steps of 10 degC until the liquid
// appears, and a halving refinement narrows the boundary to about a thousandth of a degree.
// The hydrocarbon and the water dew point differ only in their rules (DewPointRules): which
// liquid counts, how water is recognised, and what a fluid without water reports.
//
// The water content needs no flash: it turns the water mole fraction of each composition
// slot into milligrams of water per standard cubic metre of gas.
#pragma once

#include <cstdint>

#include "framework/correlation_core.h"

// What sets one dew point apart from the other.
struct DewPointRules {
    // Whether a liquid phase is the liquid sought, from its water fraction, the sum of its
    // band-A fractions (classes 200 to below 300) and of its band-B fractions (classes above
    // 400 and below 490); water itself counts in neither sum.
    bool (*isSoughtLiquid)(double water, double bandA, double bandB);
    // How the water component is recognised.
    enum class Water {
        ExactCas,        // "CAS_Numbers" equal to 7732185.0
        IdOrRoundedCas,  // "ComponentIDs" equal to 7732185.0, or CAS rounded to 7732185
    } water;
    // A fluid without water: true reports each slot's dew-point flash temperature (any
    // liquid of a dry fluid is hydrocarbon); false reports nothing and runs no flash.
    bool dryFluidTakesDewPointFlash;
    // Whether the liquid sought counts in the scan and its refinement only while a vapour
    // remains beside it (the present liquids' fractions add up to less than 1).
    bool soughtLiquidNeedsVapour;
    // Whether the dew point is that of the fluid's hydrocarbons: a fluid without a component of
    // a hydrocarbon class (band A) at a positive fraction reports none, and runs no flash.
    bool needsHydrocarbon;
};

// The flash-driven dew-point search shared by both dew-point classes.
class DewPointCorrelation : public CorrelationBase {
public:
    ~DewPointCorrelation() override;

    // Both sets and "Phase_Values"; no parameter variable.
    HRESULT Initialize() override { return InitializeVariables(nullptr); }

protected:
    DewPointCorrelation(const ClassIdentity& identity, const DewPointRules& rules)
        : CorrelationBase(identity), m_rules(rules) {}

    HRESULT EvaluateSlots(IComponentData* data, const FluidComposition& record, double results[kSlotCount]) override;

private:
    // Requests the component properties, finds water and leaves in *usable the number of
    // components every array holds.
    HRESULT ReadComponents(IComponentData* data, const FluidComposition& record, std::int32_t* usable);
    // The dew point of the feed in moleFractions[4] of the flash record, or EMPTY_VALUE.
    double SearchDewPoint(FluidComposition& flash, double pressure, std::int32_t count) const;
    // Whether liquid phase p (1 or 2) of the last flash is the liquid sought.
    bool IsSoughtLiquid(const FluidComposition& flash, int phase, std::int32_t count) const;
    // Whether either liquid phase is present, has a positive fraction and is the liquid sought.
    bool SoughtLiquidPresent(const FluidComposition& flash, std::int32_t count) const;
    // Whether one of the first `count` components is of a hydrocarbon class (band A) and has a
    // positive fraction in the overall composition or in a phase present.
    bool HoldsHydrocarbon(const FluidComposition& record, std::int32_t count) const;

    const DewPointRules& m_rules;
    TaskArray m_componentClasses;       // "ComponentClass", kept until the next calculation
    std::int32_t m_waterIndex = -1;     // position of water in the component list, -1 for none
    IComponentData* m_componentData = nullptr;  // during Calculate only, without a reference
};

// The hydrocarbon dew point: the temperature below which liquid not dominated by water forms.
class HcDewPointCorrelation : public DewPointCorrelation {
public:
    struct Parameter {};
    HcDewPointCorrelation(const ClassIdentity& identity, const Parameter&);
};

// The water dew point: the temperature below which a water-dominated liquid forms.
class WaterDewPointCorrelation : public DewPointCorrelation {
public:
    struct Parameter {};
    WaterDewPointCorrelation(const ClassIdentity& identity, const Parameter&);
};

// Water content in mg per standard m3, the reference volume chosen by "TempUnitFlag".
class WaterContentCorrelation : public CorrelationBase {
public:
    struct Parameter {};
    WaterContentCorrelation(const ClassIdentity& identity, const Parameter&) : CorrelationBase(identity) {}
    ~WaterContentCorrelation() override;

    // Both sets and "Phase_Values"; no parameter variable.
    HRESULT Initialize() override { return InitializeVariables(nullptr); }

protected:
    HRESULT EvaluateSlots(IComponentData* data, const FluidComposition& record, double results[kSlotCount]) override;

private:
    std::int32_t m_waterIndex = -1;        // position of water in the component list, -1 for none
    double m_waterMolecularWeight = 0.0;  // kg/kmol, of the water component found
};
