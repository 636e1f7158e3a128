#include <algorithm>
#include <array>
#include <optional>

#include "water/water_correlations.h"

namespace {

constexpr double kWaterCas = 7732185.0;
constexpr double kKilogramsToMilligrams = 1000000.0;

// Molar volume of the standard reference condition, chosen by the host's "TempUnitFlag".
struct ReferenceVolume {
    double tempUnitFlag;
    double molarVolume_m3_per_kmol;
};
constexpr std::array<ReferenceVolume, 2> kReferenceVolumes{{
    {0.0, 23.6900231},  // close to the ideal gas at 60 degF and 101.325 kPa
    {1.0, 23.644436},   // close to the ideal gas at 15 degC and 101.325 kPa
}};
static_assert(std::is_sorted(kReferenceVolumes.begin(), kReferenceVolumes.end(),
                             [](const ReferenceVolume& a, const ReferenceVolume& b) {
                                 return a.tempUnitFlag < b.tempUnitFlag;
                             }));

// The reference molar volume of a flag; none for any other value (NaN included).
std::optional<double> ReferenceMolarVolume(double flag) {
    auto it = std::lower_bound(kReferenceVolumes.begin(), kReferenceVolumes.end(), flag,
                               [](const ReferenceVolume& row, double key) { return row.tempUnitFlag < key; });
    if (it == kReferenceVolumes.end() || it->tempUnitFlag != flag) return std::nullopt;
    return it->molarVolume_m3_per_kmol;
}

}  // namespace

WaterContentCorrelation::~WaterContentCorrelation() { TeardownCore(); }

HRESULT WaterContentCorrelation::EvaluateSlots(IComponentData* data, const FluidComposition& record,
                                               double results[kSlotCount]) {
    std::int32_t count = std::max(record.componentCount, 0);
    TaskArray tempUnitFlags;
    TaskArray molecularWeights;
    TaskArray casNumbers;
    if (FAILED(RequestProperty(data, "TempUnitFlag", &count, &tempUnitFlags))) return E_FAIL;
    const std::int32_t flagCount = count;
    if (FAILED(RequestProperty(data, "Molecular Weight", &count, &molecularWeights))) return E_FAIL;
    const std::int32_t weightCount = count;
    if (FAILED(RequestProperty(data, "CAS_Numbers", &count, &casNumbers))) return E_FAIL;
    const std::int32_t casCount = count;

    // The last component with water's CAS number is water.
    m_waterIndex = -1;
    for (std::int32_t i = 0; i < casCount; ++i) {
        if (casNumbers[i] != kWaterCas) continue;
        m_waterIndex = i;
        if (i < weightCount) m_waterMolecularWeight = molecularWeights[i];
    }
    casNumbers.Free();
    molecularWeights.Free();

    // A fluid without water carries none: 0.0 everywhere, absent phases included.
    std::fill(results, results + kSlotCount, 0.0);
    if (m_waterIndex == -1) return S_OK;

    // Only the first flag counts; a host that gives none, or a value without a reference
    // condition, leaves the evaluated slots without a value.
    const std::optional<double> volume = flagCount > 0 ? ReferenceMolarVolume(tempUnitFlags[0]) : std::nullopt;
    // Water must lie within the record's fractions and the molecular weights given.
    const bool waterReadable = m_waterIndex < std::min(std::max(record.componentCount, 0), weightCount);
    for (int slot = 0; slot < kSlotCount; ++slot) {
        if (slot != kOverallSlot && record.phasePresent[slot] != 1) continue;
        const double* fractions = record.moleFractions[slot];
        if (!waterReadable || !fractions || !volume) {
            results[slot] = EMPTY_VALUE;
            continue;
        }
        double x = fractions[m_waterIndex];
        if (!(x > 0.0)) x = 0.0;  // negative, zero or not a number
        results[slot] = ((x * m_waterMolecularWeight) * kKilogramsToMilligrams) / *volume;
    }
    return S_OK;
}
