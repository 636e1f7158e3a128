// One phase of a host fluid through GERG-2008 or DETAIL: the host's components matched to the
// model's 21 by CAS number, the state on the phase's density root. Used by the correlation
// classes and, to explain a missing value, by a host directly.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>

#include "lineprops/detail.h"
#include "lineprops/gerg2008.h"
#include "lineprops/line_conditions.h"
#include "lineprops/line_range.h"

namespace calorix::lineprops {

// What a line class reports, in the unit of its catalogue row: Z, kg/m3, m/s, kappa, heat
// capacities and entropy in kJ/(kg K), Joule-Thomson coefficient in K/MPa, enthalpy in kJ/kg.
enum class LineQuantity {
    Compressibility,
    MassDensity,
    SpeedOfSound,
    IsentropicExponent,
    IsobaricHeatCapacity,
    IsochoricHeatCapacity,
    JouleThomson,
    Enthalpy,
    Entropy,
};

struct LineOutcome {
    LineState state;
    RangeVerdict range;  // where the composition, T and p lie in the model's published ranges
    std::int64_t foreign_cas = 0;  // with ForeignComponent: the first such CAS number, no hyphens
};

// The CAS number written as an integer without hyphens (74-82-8 is 74828); 0 for one that is
// not a positive whole number.
std::int64_t CasKey(double cas_number) noexcept;

// The host's composition on the models' 21 components. fractions and cas_numbers run in parallel
// over the host's components (the shorter length counts). A component with a positive fraction
// outside the models gives ForeignComponent (with its CAS number); a fraction that is not
// finite, BadInput; a negative one counts as 0.
struct ModelComposition {
    LineStatus status = LineStatus::Ok;
    std::array<double, 21> x{};
    std::int64_t foreign_cas = 0;
};
ModelComposition MapComposition(std::span<const double> fractions, std::span<const double> cas_numbers);

// A model's mixture kept from one call to the next: formed again only when the composition
// differs, bit for bit, from the last one (its temperature terms are kept too while the
// temperature stays).
class LineMixture {
public:
    LineState State(LineModel model, GergModel gerg_model, const std::array<double, 21>& x, double temperature_K,
                    double pressure_kPa, Root root);

private:
    LineModel model_ = LineModel::Gerg2008;
    GergModel gerg_model_ = GergModel::Gerg2008;
    std::array<double, 21> x_{};
    std::optional<Gerg2008Mixture> gerg_;
    std::optional<DetailMixture> detail_;
};

// The GERG-2008 model of option index "Model" (0 the published equation, 1 with the 2021
// hydrogen binaries); nothing for another index.
std::optional<GergModel> GergModelOfOption(std::int32_t option) noexcept;

// MapComposition, the range class, and a mixture formed for the one call; a state outside the
// model's range is OutOfRange without a solve. gerg_model selects the GERG-2008 variant (DETAIL
// has none).
LineOutcome EvaluateLineState(LineModel model, std::span<const double> fractions,
                              std::span<const double> cas_numbers, double temperature_K, double pressure_kPa,
                              Root root, GergModel gerg_model = GergModel::Gerg2008);

// The quantity of an Ok state in the class's unit (0 for one the model does not give).
double QuantityOf(const LineState& state, LineQuantity quantity) noexcept;

}  // namespace calorix::lineprops
