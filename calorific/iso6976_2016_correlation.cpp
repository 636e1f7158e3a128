#include "calorific/iso6976_2016_correlation.h"

Iso2016Correlation::~Iso2016Correlation() {
    TeardownCore();
    m_refConditions = nullptr;
}

HRESULT Iso2016Correlation::Initialize() { return InitializeVariables(&m_refConditions, kRefConditionsName); }

HRESULT Iso2016Correlation::ReadRefConditions(iso6976_2016::RefConditions* conditions) const {
    std::int32_t option = 0;
    if (m_refConditions) {
        platform::ComPtr<IEnumVariable> variable(m_refConditions.Get());
        if (FAILED(variable->GetValue(0, &option))) return E_FAIL;
    }
    // The data server accepts only defined options; without definitions it holds any index.
    if (option < 0 || static_cast<std::size_t>(option) >= iso6976_2016::kRefConditions.size()) return E_FAIL;
    *conditions = iso6976_2016::kRefConditions[static_cast<std::size_t>(option)];
    return S_OK;
}

HRESULT Iso2016Correlation::EvaluateSlots(IComponentData* data, const FluidComposition& record,
                                          double results[kSlotCount]) {
    // One engine for every slot, its table rows looked up only when the host's components differ
    // from those of the last calculation; each slot only refills the fractions the engine reads.
    iso6976_2016::RefConditions conditions{};
    return EvaluateIso6976Slots(
        data, record, results,
        [&](const double* fractions, const double* molecularWeights, const double* casNumbers,
            std::int32_t count) -> HRESULT {
            if (FAILED(ReadRefConditions(&conditions))) return E_FAIL;
            if (!m_loaded.Same(molecularWeights, casNumbers, count)) {
                m_loaded.Copy(molecularWeights, casNumbers, count);
                m_engine.emplace(count, fractions, m_loaded.MolecularWeights(), m_loaded.CasNumbers());
                if (!m_engine->Loaded()) return E_OUTOFMEMORY;
                m_loaded.Loaded();
            }
            m_engine->SetMoleFractions(fractions);
            return S_OK;
        },
        [&](double* value) -> HRESULT {
            m_engine->Calculate(conditions);
            *value = ScaledResult((*m_engine).*m_parameter.result, m_parameter.factor);
            return S_OK;
        });
}
