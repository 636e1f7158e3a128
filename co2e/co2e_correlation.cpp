#include "co2e/co2e_correlation.h"

#include <algorithm>
#include <iterator>
#include <mutex>
#include <string_view>

#include "co2e/property_calculator.h"

namespace {

// Clears the calculator's loaded flag however the writing of the phase values ends, so that
// no later calculation mistakes this fluid's data for its own.
class LoadedFlagReset {
public:
    explicit LoadedFlagReset(CPropertyCalculator& calculator) noexcept : m_calculator(calculator) {}
    ~LoadedFlagReset() { m_calculator.SetLoaded(0); }
    LoadedFlagReset(const LoadedFlagReset&) = delete;
    LoadedFlagReset& operator=(const LoadedFlagReset&) = delete;

private:
    CPropertyCalculator& m_calculator;
};

}  // namespace

Co2eCorrelation::~Co2eCorrelation() {
    TeardownCore();
    m_methaneOrigin = nullptr;
}

HRESULT Co2eCorrelation::Initialize() {
    if (!m_parameter.nonFossilLabel) return InitializeVariables(nullptr);
    return InitializeVariables(&m_methaneOrigin, kMethaneOriginName);
}

const char* Co2eCorrelation::SelectedLabel() const {
    if (!m_parameter.nonFossilLabel) return m_parameter.label;
    std::int32_t option = 0;
    if (m_methaneOrigin) {
        platform::ComPtr<IEnumVariable> variable(m_methaneOrigin.Get());
        if (FAILED(variable->GetValue(0, &option))) return nullptr;
    }
    // The data server accepts only defined options; without definitions it holds any index.
    if (option == 0) return m_parameter.label;
    if (option == 1) return m_parameter.nonFossilLabel;
    return nullptr;
}

HRESULT Co2eCorrelation::Calculate(std::int32_t key) {
    return GuardedCall([&]() -> HRESULT {
        // One calculator serves every CO2-equivalent object of the process: objects living
        // in different threads take turns, each for a whole calculation.
        std::lock_guard lock(PropertyCalculatorLock());
        const char* selected = SelectedLabel();
        if (!selected) return E_FAIL;

        // The attachment, the fluid state, the recalculation test and the component data.
        // When the results are current only the state was obtained, and it goes here.
        Fluid fluid;
        const HRESULT opened = OpenFluid(key, &fluid);
        if (opened != S_OK) return SUCCEEDED(opened) ? S_OK : opened;

        CPropertyCalculator& calculator = GetPropertyCalculator();
        calculator.SetComponentData(fluid.data.Get());

        // The result vector is found before anything is read from the fluid.
        platform::ComPtr<INumericVectorVariable> phaseValues;
        if (FAILED(FindPhaseValues(fluid.results, &phaseValues))) {
            calculator.SetComponentData(nullptr);
            return E_FAIL;
        }
        if (!phaseValues) return S_OK;  // not a numeric vector: nothing to write to

        // Each value goes into the vector as soon as it is formed; the statuses of the
        // writes are not the calculation's.
        const std::string_view label = selected;
        LoadedFlagReset reset(calculator);
        double values[kSlotCount];
        values[kOverallSlot] = calculator.CalculateCO2E(kOverallSlot, label);
        phaseValues->SetValue(kPhaseValuesIndex[kOverallSlot], values[kOverallSlot]);
        // The phase values start from the fluid data the overall value loaded.
        calculator.SetLoaded(1);
        for (int slot : {0, 1, 2}) {
            values[slot] = calculator.CalculateCO2E(slot, label);
            phaseValues->SetValue(kPhaseValuesIndex[slot], values[slot]);
        }
        // Phase slot 3 counts in the overall value only.
        values[3] = EMPTY_VALUE;
        phaseValues->SetValue(kPhaseValuesIndex[3], EMPTY_VALUE);
        // Each slot's status beside its value, as every class writes them: a value the fluid
        // data could not give, and phase slot 3's, have none.
        std::fill(std::begin(m_slotStatus), std::end(m_slotStatus), EncodeValueStatus(ValueStatus::NoValue));
        WritePhaseStatus(fluid.results, values);
        return S_OK;
    });
}
