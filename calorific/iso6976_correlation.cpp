#include "calorific/iso6976_correlation.h"

#include <algorithm>

Iso6976Correlation::~Iso6976Correlation() {
    TeardownCore();
    m_refTempOption = nullptr;
}

HRESULT Iso6976Correlation::Initialize() { return InitializeVariables(&m_refTempOption); }

HRESULT Iso6976Correlation::ReadRefTempOption(std::int32_t* option) const {
    *option = 0;
    if (!m_refTempOption) return S_OK;
    platform::ComPtr<IEnumVariable> variable(m_refTempOption.Get());
    return FAILED(variable->GetValue(0, option)) ? E_FAIL : S_OK;
}

HRESULT Iso6976Correlation::EvaluateSlots(IComponentData* data, const FluidComposition& record,
                                          double results[kSlotCount]) {
    std::int32_t count = std::max(record.componentCount, 0);
    TaskArray molecularWeights;
    TaskArray casNumbers;
    if (FAILED(RequestProperty(data, "Molecular Weight", &count, &molecularWeights))) return E_FAIL;
    const std::int32_t weightCount = count;
    if (FAILED(RequestProperty(data, "CAS_Numbers", &count, &casNumbers))) return E_FAIL;
    // The host may report a count that differs from the record's: use the smallest, so that
    // no array is read past its end.
    const std::int32_t usable = std::min({std::max(record.componentCount, 0), weightCount, count});

    TaskArray workFractions;
    if (!workFractions.Allocate(count)) return E_FAIL;
    for (int slot = 0; slot < kSlotCount; ++slot) {
        results[slot] = EMPTY_VALUE;
        if (slot < kPhaseCount && record.phasePresent[slot] != 1) continue;
        const double* fractions = record.moleFractions[slot];
        if (!fractions && usable > 0) continue;  // a present phase without fractions
        // Slightly negative fractions from the host's flash count as 0; NaN passes.
        for (std::int32_t i = 0; i < usable; ++i)
            workFractions.Data()[i] = fractions[i] < 0.0 ? 0.0 : fractions[i];

        WobbeCalcs engine(const_cast<FluidComposition*>(&record));
        engine.m_moleFractions = workFractions.Get();
        engine.m_molecularWeights = molecularWeights.Get();
        engine.m_casNumbers = casNumbers.Get();
        engine.SetAvailableCount(usable);
        if (engine.LoadComponentTable() != 0) return E_OUTOFMEMORY;
        std::int32_t option = 0;
        if (FAILED(ReadRefTempOption(&option))) return E_FAIL;
        engine.CalculateMixture(option);
        const double value = engine.*m_parameter.result;
        results[slot] = value == EMPTY_VALUE ? EMPTY_VALUE : value * m_parameter.factor;
    }
    return S_OK;
}
