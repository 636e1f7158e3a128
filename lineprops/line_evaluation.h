// One phase of a host fluid through GERG-2008 or DETAIL: the host's components matched to the
// model's 21 by CAS number, the state on the phase's density root. Used by the correlation
// classes and, to explain a missing value, by a host directly.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "lineprops/gerg2008.h"
#include "lineprops/line_conditions.h"

namespace calorix::lineprops {

enum class LineModel { Gerg2008, Detail };
enum class LineQuantity { Compressibility, MassDensity, SpeedOfSound, IsentropicExponent };

struct LineOutcome {
    LineState state;
    std::int64_t foreign_cas = 0;  // with ForeignComponent: the first such CAS number, no hyphens
};

// The CAS number written as an integer without hyphens (74-82-8 is 74828); 0 for one that is
// not a positive whole number.
std::int64_t CasKey(double cas_number) noexcept;

// The GERG-2008 model of option index "Model" (0 the published equation, 1 with the 2021
// hydrogen binaries); nothing for another index.
std::optional<GergModel> GergModelOfOption(std::int32_t option) noexcept;

// fractions and cas_numbers run in parallel over the host's components (the shorter length
// counts). A component with a positive fraction outside the model gives ForeignComponent; a
// fraction that is not finite, BadInput; a negative one counts as 0.
// gerg_model selects the GERG-2008 variant (DETAIL has none).
LineOutcome EvaluateLineState(LineModel model, std::span<const double> fractions,
                              std::span<const double> cas_numbers, double temperature_K, double pressure_kPa,
                              Root root, GergModel gerg_model = GergModel::Gerg2008);

// The quantity of an Ok state (0 for one the model does not give).
double QuantityOf(const LineState& state, LineQuantity quantity) noexcept;

}  // namespace calorix::lineprops
