// The property step both ISO 6976 editions share: the per-component properties the engines
// need, and one value per composition slot present, each from the slot's own mole fractions.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "calorific/inline_buffer.h"
#include "framework/correlation_core.h"

// An engine result times the class's factor; EMPTY_VALUE stays EMPTY_VALUE.
inline double ScaledResult(double result, double factor) noexcept {
    return result == EMPTY_VALUE ? EMPTY_VALUE : result * factor;
}

// True when two arrays of count values hold the same bits.
inline bool SameBits(const double* a, const double* b, std::int32_t count) noexcept {
    return count <= 0 || a == b || std::memcmp(a, b, static_cast<std::size_t>(count) * sizeof(double)) == 0;
}

// The components an engine was last loaded for, kept by a correlation object from one Calculate
// to the next: when the host reports the same CAS numbers and molecular weights, bit for bit,
// the engine keeps its table rows instead of looking every component up again (the host's
// component list rarely changes between calculations). The engine reads these copies.
class LoadedComponents {
public:
    bool Same(const double* molecularWeights, const double* casNumbers, std::int32_t count) const noexcept {
        return m_loaded && count == Count() && SameBits(molecularWeights, m_molecularWeights.data(), count) &&
               SameBits(casNumbers, m_casNumbers.data(), count);
    }
    // Copies the arrays; the engine is then loaded from MolecularWeights() and CasNumbers() and,
    // once it is, marked by Loaded(). A failure to copy throws std::bad_alloc.
    void Copy(const double* molecularWeights, const double* casNumbers, std::int32_t count) {
        m_loaded = false;
        m_molecularWeights.assign(molecularWeights, molecularWeights + std::max(count, 0));
        m_casNumbers.assign(casNumbers, casNumbers + std::max(count, 0));
    }
    void Loaded() noexcept { m_loaded = true; }
    const double* MolecularWeights() const noexcept { return m_molecularWeights.data(); }
    const double* CasNumbers() const noexcept { return m_casNumbers.data(); }
    std::int32_t Count() const noexcept { return static_cast<std::int32_t>(m_casNumbers.size()); }

private:
    std::vector<double> m_molecularWeights;
    std::vector<double> m_casNumbers;
    bool m_loaded = false;  // an engine holds the rows of these components
};

// Requests "Molecular Weight" and "CAS_Numbers", then for the overall fluid and every present
// phase fills one work array with the slot's fractions, negative ones counted as 0 (the host's
// flash leaves some slightly below 0; a not-a-number passes), and calls slotValue(&value).
// Before the first slot calculated, prepare(fractions, molecularWeights, casNumbers, count) is
// called once with that work array: what depends only on the components (the table rows, the
// reference conditions) is done there, at most once per calculation (LoadedComponents keeps the
// rows for the next while the components stay), and nothing is allocated per slot.
// A slot whose fractions equal, bit for bit, those of the slot calculated last takes its value.
// E_FAIL when a request fails; a failing prepare or slotValue ends the step with its status.
// The host may report a count that differs from the record's: the smallest is used, so that no
// array is read past its end.
template <typename Prepare, typename SlotValue>
HRESULT EvaluateIso6976Slots(IComponentData* data, const FluidComposition& record, double results[kSlotCount],
                             Prepare prepare, SlotValue slotValue) {
    std::int32_t count = std::max(record.componentCount, 0);
    TaskArray molecularWeights;
    TaskArray casNumbers;
    if (FAILED(RequestProperty(data, "Molecular Weight", &count, &molecularWeights))) return E_FAIL;
    const std::int32_t weightCount = count;
    if (FAILED(RequestProperty(data, "CAS_Numbers", &count, &casNumbers))) return E_FAIL;
    const std::int32_t usable = std::min({std::max(record.componentCount, 0), weightCount, count});

    InlineBuffer<double> workBuffer;
    double* const workFractions = workBuffer.Allocate(static_cast<std::size_t>(count));
    if (!workFractions) return E_FAIL;
    int calculated = -1;  // the last slot calculated
    for (int slot = 0; slot < kSlotCount; ++slot) {
        results[slot] = EMPTY_VALUE;
        if (slot < kPhaseCount && record.phasePresent[slot] != 1) continue;
        const double* fractions = record.moleFractions[slot];
        if (!fractions && usable > 0) continue;  // a present phase without fractions
        if (calculated >= 0 && SameBits(fractions, record.moleFractions[calculated], usable)) {
            // The host's fractions of the slot calculated last, bit for bit (a single-phase
            // fluid's overall and vapour slots): the engine would form the same value again.
            results[slot] = results[calculated];
            continue;
        }
        for (std::int32_t i = 0; i < usable; ++i)
            workFractions[i] = fractions[i] < 0.0 ? 0.0 : fractions[i];
        if (calculated < 0) {
            const HRESULT hr = prepare(workFractions, molecularWeights.Get(), casNumbers.Get(), usable);
            if (FAILED(hr)) return hr;
        }
        const HRESULT hr = slotValue(&results[slot]);
        if (FAILED(hr)) return hr;
        calculated = slot;
    }
    return S_OK;
}
