#include "lineprops/line_correlation.h"

#include <algorithm>
#include <span>

namespace lp = calorix::lineprops;

namespace {

constexpr double kZeroCelsius_K = 273.15;

// Phase slot 0 is the vapour; the hydrocarbon liquid, the aqueous liquid and a third phase
// take the liquid root.
lp::Root RootOfPhase(int slot) { return slot == 0 ? lp::Root::Gas : lp::Root::Liquid; }

// What "Phase_Status" says of an outcome without a value.
double StatusOf(const lp::LineOutcome& outcome) {
    switch (outcome.state.status) {
        case lp::LineStatus::Ok: return EncodeValueStatus(ValueStatus::Ok);
        case lp::LineStatus::ForeignComponent: return EncodeValueStatus(ValueStatus::ForeignComponent, outcome.foreign_cas);
        case lp::LineStatus::OutOfRange: return EncodeValueStatus(ValueStatus::OutOfRange);
        case lp::LineStatus::NoConvergence: return EncodeValueStatus(ValueStatus::NoConvergence);
        case lp::LineStatus::BadInput: break;
    }
    return EncodeValueStatus(ValueStatus::BadInput);
}

}  // namespace

LineCorrelation::~LineCorrelation() {
    TeardownCore();
    m_gergModel = nullptr;
}

HRESULT LineCorrelation::Initialize() {
    if (m_parameter.model != lp::LineModel::Gerg2008) return InitializeVariables(nullptr);
    return InitializeVariables(&m_gergModel, kGergModelName);
}

HRESULT LineCorrelation::EvaluateSlots(IComponentData* data, const FluidComposition& record,
                                       double results[kSlotCount]) {
    // The selected GERG-2008 model; the data server accepts only defined options, without
    // definitions it holds any index, and one that names no model fails the calculation.
    std::int32_t option = 0;
    if (m_gergModel) {
        platform::ComPtr<IEnumVariable> variable(m_gergModel.Get());
        if (FAILED(variable->GetValue(0, &option))) return E_FAIL;
    }
    const auto gergModel = lp::GergModelOfOption(option);
    if (!gergModel) return E_FAIL;

    std::int32_t count = std::max(record.componentCount, 0);
    TaskArray casNumbers;
    if (FAILED(RequestProperty(data, "CAS_Numbers", &count, &casNumbers))) return E_FAIL;
    const auto usable = static_cast<std::size_t>(std::min(std::max(record.componentCount, 0), count));

    std::fill(results, results + kSlotCount, EMPTY_VALUE);
    if (record.pressure == EMPTY_VALUE || record.temperature == EMPTY_VALUE) return S_OK;
    const double temperature = record.temperature + kZeroCelsius_K;
    const std::span<const double> cas(casNumbers.Get(), casNumbers.Get() ? usable : 0);

    const auto value = [&](int slot, lp::Root root) {
        const double* fractions = record.moleFractions[slot];
        if (!fractions && usable > 0) return EMPTY_VALUE;
        const lp::LineOutcome outcome = lp::EvaluateLineState(
            m_parameter.model, std::span<const double>(fractions, fractions ? usable : 0), cas, temperature,
            record.pressure, root, *gergModel);
        m_slotStatus[slot] = StatusOf(outcome);
        return outcome.state.status == lp::LineStatus::Ok ? lp::QuantityOf(outcome.state, m_parameter.quantity)
                                                          : EMPTY_VALUE;
    };

    int present = 0, onlyPhase = -1;
    for (int slot = 0; slot < kPhaseCount; ++slot) {
        if (record.phasePresent[slot] != 1) continue;
        ++present;
        onlyPhase = slot;
        results[slot] = value(slot, RootOfPhase(slot));
    }
    // The overall fluid has a value only as one phase; a host that marks no phase is taken as
    // one gas.
    if (present == 1) {
        results[kOverallSlot] = results[onlyPhase];
        m_slotStatus[kOverallSlot] = m_slotStatus[onlyPhase];
    } else if (present == 0) {
        results[kOverallSlot] = value(kOverallSlot, lp::Root::Gas);
    } else {
        m_slotStatus[kOverallSlot] = EncodeValueStatus(ValueStatus::NotOnePhase);
    }
    return S_OK;
}
