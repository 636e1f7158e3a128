#include "calorific/iso6976_correlation.h"

#include "framework/reference_conditions.h"

// The options of "RefTempOption" pick the columns of the table the host reads them from.
static_assert(reference_conditions::kRefTempOption_C[WobbeCalcs::kRefTemp15C] == 15.0);
static_assert(reference_conditions::kRefTempOption_C[WobbeCalcs::kRefTemp0C] == 0.0);

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
    // One engine for every slot, its table rows looked up only when the host's components differ
    // from those of the last calculation; each slot only refills the fractions the engine reads.
    std::int32_t option = 0;
    return EvaluateIso6976Slots(
        data, record, results,
        [&](const double* fractions, const double* molecularWeights, const double* casNumbers,
            std::int32_t count) -> HRESULT {
            m_engine.m_moleFractions = fractions;
            if (!m_loaded.Same(molecularWeights, casNumbers, count)) {
                m_loaded.Copy(molecularWeights, casNumbers, count);
                m_engineRecord.componentCount = count;
                m_engine.m_molecularWeights = m_loaded.MolecularWeights();
                m_engine.m_casNumbers = m_loaded.CasNumbers();
                m_engine.SetAvailableCount(count);
                if (m_engine.LoadComponentTable() != 0) return E_OUTOFMEMORY;
                m_loaded.Loaded();
            }
            return FAILED(ReadRefTempOption(&option)) ? E_FAIL : S_OK;
        },
        [&](double* value) -> HRESULT {
            m_engine.CalculateMixture(option);
            *value = ScaledResult(m_engine.*m_parameter.result, m_parameter.factor);
            return S_OK;
        });
}
