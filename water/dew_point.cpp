#include <algorithm>
#include <cmath>
#include <optional>

#include "water/water_correlations.h"

namespace {

constexpr double kWaterCas = 7732185.0;
constexpr std::int32_t kWaterCasKey = 7732185;

constexpr double kScanStep_degC = 10.0;
constexpr double kFloor_degC = -270.0;  // just above absolute zero
// No natural gas forms liquid anywhere near this (the critical temperatures of the heaviest
// hydrocarbons and of water lie below 1000 degC). A dew-point flash answering a start above
// it is broken; refusing it bounds the scan to (10000 + 270) / 10 flashes, and keeps a start
// so large that T - 10 == T from scanning for ever.
constexpr double kCeiling_degC = 10000.0;
constexpr double kRefinementStart_degC = 10.0;
constexpr double kRefinementFactor = 0.5;
constexpr double kRefinementEnd_degC = 0.001;

// Component class bands of the phase tests: A = [200, 300), B = (400, 490).
constexpr double kBandALow = 200.0;
constexpr double kBandAHigh = 300.0;
constexpr double kBandBLow = 400.0;
constexpr double kBandBHigh = 490.0;
constexpr double kDominance = 0.5;  // mole fraction
constexpr double kVapourMargin = 1e-9;  // liquids adding up to more than 1 - this leave no vapour

constexpr int kLiquidPhases[] = {1, 2};

// A liquid counts as hydrocarbon unless water dominates it, alone with band A or with band B.
bool IsHydrocarbonLiquid(double water, double bandA, double bandB) {
    return !((water > bandA && water + bandA > kDominance) || (water + bandB > kDominance));
}

// A liquid is aqueous when water outweighs band A and, with band A or with band B, dominates.
bool IsAqueousLiquid(double water, double bandA, double bandB) {
    return water > bandA && (water + bandA > kDominance || water + bandB > kDominance);
}

// A dense hydrocarbon phase beside water, with no vapour left, is no condensate: a hydrocarbon
// dew point needs a vapour to condense from. A fluid without hydrocarbons has no hydrocarbon dew
// point (the dew-point flash would answer with that of its nitrogen or carbon dioxide).
constexpr DewPointRules kHydrocarbonRules{&IsHydrocarbonLiquid, DewPointRules::Water::ExactCas, true, true, true};
constexpr DewPointRules kWaterRules{&IsAqueousLiquid, DewPointRules::Water::IdOrRoundedCas, false, false, false};

// The 32-bit CAS key of a host value: truncated toward zero, plus one when the dropped
// fraction is greater than one half (an exact half is dropped). NaN and values outside the
// 32-bit range have no key.
std::optional<std::int32_t> RoundedCasKey(double value) {
    if (!(value >= -2147483648.0 && value < 2147483647.0)) return std::nullopt;
    auto key = static_cast<std::int32_t>(value);
    if (value - static_cast<double>(key) > 0.5) ++key;
    return key;
}

// Sets the flash record up for a temperature-pressure flash and runs it. The status is not
// examined: the record as the flash leaves it decides the next step.
void FlashAt(IFlashCalculator* calculator, FluidComposition& flash, double temperature, double pressure) {
    flash.temperature = temperature;
    flash.pressure = pressure;
    flash.phaseFraction[0] = EMPTY_VALUE;
    flash.slotValuesA[kOverallSlot] = EMPTY_VALUE;
    flash.slotValuesB[kOverallSlot] = EMPTY_VALUE;
    flash.slotValuesC[kOverallSlot] = EMPTY_VALUE;
    flash.slotValuesD[kOverallSlot] = EMPTY_VALUE;
    flash.phasePresent[1] = 0;
    flash.phasePresent[2] = 0;
    calculator->Flash(&flash);
}

// Sets the flash record up: count components, every array and value EMPTY_VALUE, no phase
// present. False when memory runs out.
bool BuildFlashRecord(OwnedComposition* owned, std::int32_t count) {
    FluidComposition& flash = owned->Record();
    flash.temperature = EMPTY_VALUE;
    flash.pressure = EMPTY_VALUE;
    flash.componentCount = count;
    const std::size_t n = static_cast<std::size_t>(std::max(count, 0));
    for (int slot = 0; slot < kSlotCount; ++slot) {
        auto* array = static_cast<double*>(CoTaskMemAlloc(std::max<std::size_t>(n, 1) * sizeof(double)));
        if (!array) return false;
        std::fill(array, array + n, EMPTY_VALUE);
        flash.moleFractions[slot] = array;
        flash.slotValuesA[slot] = EMPTY_VALUE;
        flash.slotValuesB[slot] = EMPTY_VALUE;
        flash.slotValuesC[slot] = EMPTY_VALUE;
        flash.slotValuesD[slot] = EMPTY_VALUE;
    }
    for (int phase = 0; phase < kPhaseCount; ++phase) {
        flash.phaseFraction[phase] = EMPTY_VALUE;
        flash.phasePresent[phase] = 0;
    }
    return true;
}

}  // namespace

HcDewPointCorrelation::HcDewPointCorrelation(const ClassIdentity& identity, const Parameter&)
    : DewPointCorrelation(identity, kHydrocarbonRules) {}

WaterDewPointCorrelation::WaterDewPointCorrelation(const ClassIdentity& identity, const Parameter&)
    : DewPointCorrelation(identity, kWaterRules) {}

DewPointCorrelation::~DewPointCorrelation() {
    TeardownCore();
    m_componentClasses.Free();
}

HRESULT DewPointCorrelation::ReadComponents(IComponentData* data, const FluidComposition& record,
                                            std::int32_t* usable) {
    const bool byIdOrRounded = m_rules.water == DewPointRules::Water::IdOrRoundedCas;
    std::int32_t count = std::max(record.componentCount, 0);
    TaskArray ids;
    TaskArray cas;
    std::int32_t idCount = 0;
    if (byIdOrRounded) {
        if (FAILED(RequestProperty(data, "ComponentIDs", &count, &ids))) return E_FAIL;
        idCount = count;
    }
    if (FAILED(RequestProperty(data, "CAS_Numbers", &count, &cas))) return E_FAIL;
    const std::int32_t casCount = count;
    if (FAILED(RequestProperty(data, "ComponentClass", &count, &m_componentClasses))) return E_FAIL;
    const std::int32_t classCount = count;

    // The last component that matches is water; each array is read within its own count.
    m_waterIndex = -1;
    const std::int32_t scanned = std::max(idCount, casCount);
    for (std::int32_t i = 0; i < scanned; ++i) {
        bool water = false;
        if (byIdOrRounded) {
            water = (i < idCount && ids[i] == kWaterCas) || (i < casCount && RoundedCasKey(cas[i]) == kWaterCasKey);
        } else {
            water = cas[i] == kWaterCas;
        }
        if (water) m_waterIndex = i;
    }
    ids.Free();
    cas.Free();

    // A host may report a property count different from the record's: searches use only
    // the components that every array holds.
    *usable = std::min({std::max(record.componentCount, 0), casCount, classCount});
    if (byIdOrRounded) *usable = std::min(*usable, idCount);
    return S_OK;
}

HRESULT DewPointCorrelation::EvaluateSlots(IComponentData* data, const FluidComposition& record,
                                           double results[kSlotCount]) {
    // The component data is the driver's; it is only borrowed for this calculation.
    m_componentData = data;
    struct Forget {
        IComponentData*& held;
        ~Forget() { held = nullptr; }
    } forget{m_componentData};

    std::int32_t count = 0;
    if (FAILED(ReadComponents(data, record, &count))) return E_FAIL;
    std::fill(results, results + kSlotCount, EMPTY_VALUE);

    if (m_waterIndex == -1 && !m_rules.dryFluidTakesDewPointFlash) {
        std::fill(m_slotStatus, m_slotStatus + kSlotCount, EncodeValueStatus(ValueStatus::NoWater));
        return S_OK;
    }
    if (m_rules.needsHydrocarbon && !HoldsHydrocarbon(record, count)) {
        std::fill(m_slotStatus, m_slotStatus + kSlotCount, EncodeValueStatus(ValueStatus::NoHydrocarbons));
        return S_OK;
    }
    if (!m_rules.dryFluidTakesDewPointFlash && count <= 0) return S_OK;
    // Water beyond the components every array holds cannot be weighed by the phase test.
    if (m_waterIndex >= count) return S_OK;

    OwnedComposition flash;
    if (!BuildFlashRecord(&flash, count)) return E_OUTOFMEMORY;
    FluidComposition& flashRecord = flash.Record();
    for (int slot = 0; slot < kSlotCount; ++slot) {
        if (slot != kOverallSlot && record.phasePresent[slot] != 1) continue;
        const double* fractions = record.moleFractions[slot];
        double* feed = flashRecord.moleFractions[kOverallSlot];
        if (count > 0 && (!fractions || !feed)) continue;
        // The feed is the slot's composition as the host gives it, negative values included.
        std::copy(fractions, fractions + count, feed);
        flashRecord.slotValuesA[kOverallSlot] = EMPTY_VALUE;
        flashRecord.slotValuesB[kOverallSlot] = EMPTY_VALUE;
        flashRecord.slotValuesC[kOverallSlot] = EMPTY_VALUE;
        flashRecord.slotValuesD[kOverallSlot] = EMPTY_VALUE;
        results[slot] = SearchDewPoint(flashRecord, record.pressure, count);
        const bool dry = m_waterIndex >= 0 && !(fractions[m_waterIndex] > 0.0);
        m_slotStatus[slot] = EncodeValueStatus(dry && !m_rules.dryFluidTakesDewPointFlash ? ValueStatus::NoWater
                                                                                          : ValueStatus::NoDewPoint);
    }
    return S_OK;
}

double DewPointCorrelation::SearchDewPoint(FluidComposition& flash, double pressure, std::int32_t count) const {
    if (m_waterIndex == -1 && !m_rules.dryFluidTakesDewPointFlash) return EMPTY_VALUE;
    if (pressure == EMPTY_VALUE) return EMPTY_VALUE;

    // The dew-point flash: the temperature at which the vapour is the whole fluid.
    flash.pressure = pressure;
    flash.phaseFraction[0] = 1.0;
    flash.temperature = EMPTY_VALUE;
    platform::ComPtr<IFlashCalculator> calculator;
    if (!m_componentData ||
        FAILED(m_componentData->QueryInterface(IID_IFlashCalculator, calculator.PutVoid())) || !calculator)
        return EMPTY_VALUE;
    flash.phasePresent[1] = 0;
    flash.phasePresent[2] = 0;
    if (FAILED(calculator->Flash(&flash))) return EMPTY_VALUE;
    const double start = flash.temperature;

    // Without water every liquid is hydrocarbon: the dew-point flash answers.
    if (m_waterIndex == -1) return start;

    const bool present1 = flash.phasePresent[1] == 1;
    const bool present2 = flash.phasePresent[2] == 1;
    if (present1 != present2 && IsSoughtLiquid(flash, present1 ? 1 : 2, count)) return start;
    if (!present1 && !present2) return EMPTY_VALUE;
    // Not a number, at the floor or beyond any physical start: nothing to scan.
    if (!(start > kFloor_degC) || !(start < kCeiling_degC)) return EMPTY_VALUE;

    // Scan down until the liquid appears; temperature stays the last one without it.
    double temperature = start;
    for (;;) {
        const double trial = temperature - kScanStep_degC;
        FlashAt(calculator.Get(), flash, trial, pressure);
        if (SoughtLiquidPresent(flash, count)) break;
        if (!(trial > kFloor_degC)) return EMPTY_VALUE;
        temperature = trial;
    }

    // Halve the distance to the boundary: 14 flashes, steps 10 down to 10 / 2^13.
    double step = kRefinementStart_degC;
    do {
        const double trial = temperature - step;
        FlashAt(calculator.Get(), flash, trial, pressure);
        if (!SoughtLiquidPresent(flash, count)) temperature = trial;
        step *= kRefinementFactor;
    } while (step > kRefinementEnd_degC);
    return temperature;
}

bool DewPointCorrelation::HoldsHydrocarbon(const FluidComposition& record, std::int32_t count) const {
    for (std::int32_t i = 0; i < count; ++i) {
        const double c = m_componentClasses[i];
        if (!(c >= kBandALow && c < kBandAHigh)) continue;
        for (int slot = 0; slot < kSlotCount; ++slot) {
            if (slot != kOverallSlot && record.phasePresent[slot] != 1) continue;
            const double* fractions = record.moleFractions[slot];
            if (fractions && fractions[i] > 0.0) return true;
        }
    }
    return false;
}

bool DewPointCorrelation::SoughtLiquidPresent(const FluidComposition& flash, std::int32_t count) const {
    if (m_rules.soughtLiquidNeedsVapour) {
        double liquids = 0.0;
        for (int phase : kLiquidPhases)
            if (flash.phasePresent[phase] == 1) liquids += flash.phaseFraction[phase];
        if (!(liquids < 1.0 - kVapourMargin)) return false;
    }
    for (int phase : kLiquidPhases)
        if (flash.phasePresent[phase] == 1 && flash.phaseFraction[phase] > 0.0 && IsSoughtLiquid(flash, phase, count))
            return true;
    return false;
}

bool DewPointCorrelation::IsSoughtLiquid(const FluidComposition& flash, int phase, std::int32_t count) const {
    const double* fractions = flash.moleFractions[phase];
    if (!fractions || m_waterIndex < 0 || m_waterIndex >= count) return false;
    const double* classes = m_componentClasses.Get();
    double bandA = 0.0;
    double bandB = 0.0;
    for (std::int32_t i = 0; i < count; ++i) {
        if (i == m_waterIndex) continue;
        const double c = classes[i];  // a class that is not a number falls in neither band
        if (c >= kBandALow && c < kBandAHigh)
            bandA += fractions[i];
        else if (c > kBandBLow && c < kBandBHigh)
            bandB += fractions[i];
    }
    return m_rules.isSoughtLiquid(fractions[m_waterIndex], bandA, bandB);
}
