#include "calorific/iso6976_correlation.h"

#include "calorific/iso6976_slots.h"

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
    // One engine for every slot: the table rows are looked up once; each slot only refills the
    // fractions the engine reads.
    WobbeCalcs engine(const_cast<FluidComposition*>(&record));
    std::int32_t option = 0;
    return EvaluateIso6976Slots(
        data, record, results,
        [&](const double* fractions, const double* molecularWeights, const double* casNumbers,
            std::int32_t count) -> HRESULT {
            engine.m_moleFractions = fractions;
            engine.m_molecularWeights = molecularWeights;
            engine.m_casNumbers = casNumbers;
            engine.SetAvailableCount(count);
            if (engine.LoadComponentTable() != 0) return E_OUTOFMEMORY;
            return FAILED(ReadRefTempOption(&option)) ? E_FAIL : S_OK;
        },
        [&](double* value) -> HRESULT {
            engine.CalculateMixture(option);
            *value = ScaledResult(engine.*m_parameter.result, m_parameter.factor);
            return S_OK;
        });
}
