// The property step both ISO 6976 editions share: the per-component properties the engines
// need, and one value per composition slot present, each from the slot's own mole fractions.
#pragma once

#include <algorithm>

#include "framework/correlation_core.h"

// An engine result times the class's factor; EMPTY_VALUE stays EMPTY_VALUE.
inline double ScaledResult(double result, double factor) noexcept {
    return result == EMPTY_VALUE ? EMPTY_VALUE : result * factor;
}

// Requests "Molecular Weight" and "CAS_Numbers", then for the overall fluid and every present
// phase calls slotValue(fractions, molecularWeights, casNumbers, count, &value) with the slot's
// fractions, negative ones counted as 0 (the host's flash leaves some slightly below 0; a
// not-a-number passes). E_FAIL when a request fails; a failing slotValue ends the step with its
// status. The host may report a count that differs from the record's: the smallest is used,
// so that no array is read past its end.
template <typename SlotValue>
HRESULT EvaluateIso6976Slots(IComponentData* data, const FluidComposition& record, double results[kSlotCount],
                             SlotValue slotValue) {
    std::int32_t count = std::max(record.componentCount, 0);
    TaskArray molecularWeights;
    TaskArray casNumbers;
    if (FAILED(RequestProperty(data, "Molecular Weight", &count, &molecularWeights))) return E_FAIL;
    const std::int32_t weightCount = count;
    if (FAILED(RequestProperty(data, "CAS_Numbers", &count, &casNumbers))) return E_FAIL;
    const std::int32_t usable = std::min({std::max(record.componentCount, 0), weightCount, count});

    TaskArray workFractions;
    if (!workFractions.Allocate(count)) return E_FAIL;
    for (int slot = 0; slot < kSlotCount; ++slot) {
        results[slot] = EMPTY_VALUE;
        if (slot < kPhaseCount && record.phasePresent[slot] != 1) continue;
        const double* fractions = record.moleFractions[slot];
        if (!fractions && usable > 0) continue;  // a present phase without fractions
        for (std::int32_t i = 0; i < usable; ++i)
            workFractions.Data()[i] = fractions[i] < 0.0 ? 0.0 : fractions[i];
        const HRESULT hr =
            slotValue(workFractions.Get(), molecularWeights.Get(), casNumbers.Get(), usable, &results[slot]);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}
