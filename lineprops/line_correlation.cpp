#include "lineprops/line_correlation.h"

#include <algorithm>
#include <span>

namespace lp = calorix::lineprops;

namespace {

constexpr double kZeroCelsius_K = 273.15;

// Phase slot 0 is the vapour; the hydrocarbon liquid, the aqueous liquid and a third phase
// take the liquid root.
lp::Root RootOfPhase(int slot) { return slot == 0 ? lp::Root::Gas : lp::Root::Liquid; }

}  // namespace

HRESULT LineCorrelation::EvaluateSlots(IComponentData* data, const FluidComposition& record,
                                       double results[kSlotCount]) {
    std::int32_t count = std::max(record.componentCount, 0);
    TaskArray casNumbers;
    if (FAILED(RequestProperty(data, "CAS_Numbers", &count, &casNumbers))) return E_FAIL;
    const auto usable = static_cast<std::size_t>(std::min(std::max(record.componentCount, 0), count));

    std::fill(results, results + kSlotCount, EMPTY_VALUE);
    if (record.pressure == EMPTY_VALUE || record.temperature == EMPTY_VALUE) return S_OK;
    const double temperature = record.temperature + kZeroCelsius_K;
    const std::span<const double> cas(casNumbers.Get(), casNumbers.Get() ? usable : 0);

    std::unique_lock<std::mutex> kept(m_mixturesInUse, std::try_to_lock);
    const auto value = [&](int slot, lp::Root root) {
        const double* fractions = record.moleFractions[slot];
        if (!fractions && usable > 0) return EMPTY_VALUE;
        const lp::ModelComposition mapped =
            lp::MapComposition(std::span<const double>(fractions, fractions ? usable : 0), cas);
        if (mapped.status != lp::LineStatus::Ok) return EMPTY_VALUE;
        if (lp::RangeOf(m_parameter.model, mapped.x, temperature, record.pressure).range == lp::RangeClass::Outside)
            return EMPTY_VALUE;
        lp::LineMixture own;
        lp::LineMixture& mixture = kept.owns_lock() ? m_mixtures[static_cast<std::size_t>(slot)] : own;
        const lp::LineState state = mixture.State(m_parameter.model, mapped.x, temperature, record.pressure, root);
        return state.status == lp::LineStatus::Ok ? lp::QuantityOf(state, m_parameter.quantity) : EMPTY_VALUE;
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
    if (present == 1)
        results[kOverallSlot] = results[onlyPhase];
    else if (present == 0)
        results[kOverallSlot] = value(kOverallSlot, lp::Root::Gas);
    return S_OK;
}
