#include "lineprops/line_evaluation.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "lineprops/detail.h"
#include "lineprops/detail_table.h"
#include "lineprops/gerg2008.h"
#include "lineprops/gerg2008_table.h"

namespace calorix::lineprops {
namespace {

constexpr std::int64_t CasTextKey(const char* cas) {
    std::int64_t key = 0;
    for (; *cas; ++cas)
        if (*cas != '-') key = key * 10 + (*cas - '0');
    return key;
}

// Both models number the same 21 components in the same order.
constexpr auto kKeys = [] {
    std::array<std::int64_t, gerg2008::kComponentCount> keys{};
    for (std::size_t i = 0; i < keys.size(); ++i) keys[i] = CasTextKey(gerg2008::kComponents[i].cas);
    return keys;
}();

constexpr bool SameComponents() {
    for (std::size_t i = 0; i < kKeys.size(); ++i)
        if (CasTextKey(detail::kComponents[i].cas) != kKeys[i]) return false;
    return detail::kComponentCount == kKeys.size();
}
static_assert(SameComponents());

int ModelIndex(std::int64_t key) {
    for (std::size_t i = 0; i < kKeys.size(); ++i)
        if (kKeys[i] == key) return static_cast<int>(i);
    return -1;
}

}  // namespace

std::int64_t CasKey(double cas_number) noexcept {
    if (!std::isfinite(cas_number) || cas_number < 1 || cas_number > 1e12) return 0;
    const double rounded = std::round(cas_number);
    if (std::abs(rounded - cas_number) > 1e-6) return 0;
    return static_cast<std::int64_t>(rounded);
}

std::optional<GergModel> GergModelOfOption(std::int32_t option) noexcept {
    if (option == 0) return GergModel::Gerg2008;
    if (option == 1) return GergModel::Gerg2008Hydrogen2021;
    return std::nullopt;
}

LineOutcome EvaluateLineState(LineModel model, std::span<const double> fractions, std::span<const double> cas_numbers,
                              double temperature_K, double pressure_kPa, Root root, GergModel gerg_model) {
    LineOutcome outcome;
    std::array<double, Gerg2008Mixture::kComponents> x{};
    const std::size_t count = std::min(fractions.size(), cas_numbers.size());
    for (std::size_t i = 0; i < count; ++i) {
        const double fraction = fractions[i];
        if (!std::isfinite(fraction)) return outcome;  // BadInput
        if (fraction <= 0) continue;
        const std::int64_t key = CasKey(cas_numbers[i]);
        const int index = ModelIndex(key);
        if (index < 0) {
            outcome.state.status = LineStatus::ForeignComponent;
            outcome.foreign_cas = key;
            return outcome;
        }
        x[static_cast<std::size_t>(index)] += fraction;
    }
    if (model == LineModel::Gerg2008)
        outcome.state = Gerg2008Mixture(x, gerg_model).State(temperature_K, pressure_kPa, root);
    else
        outcome.state = DetailMixture(x).State(temperature_K, pressure_kPa, root);
    return outcome;
}

double QuantityOf(const LineState& state, LineQuantity quantity) noexcept {
    switch (quantity) {
    case LineQuantity::Compressibility: return state.compressibility;
    case LineQuantity::MassDensity: return state.mass_density_kg_m3;
    case LineQuantity::SpeedOfSound: return state.speed_of_sound_m_s;
    case LineQuantity::IsentropicExponent: return state.isentropic_exponent;
    }
    return 0;
}

}  // namespace calorix::lineprops
