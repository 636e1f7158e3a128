// The published ranges for the engines' own model names (framework/line_range.h holds the table,
// which the module and its hosts share).
#pragma once

#include "framework/line_range.h"
#include "lineprops/detail.h"
#include "lineprops/gerg2008.h"
#include "lineprops/line_conditions.h"

namespace calorix::lineprops {

static_assert(kGergMinTemperature_K == 60 && kGergMaxTemperature_K == 700 && kGergMaxPressure_kPa == 70000 &&
                  kDetailMinTemperature_K == 143 && kDetailMaxTemperature_K == 673 && kDetailMaxPressure_kPa == 280000,
              "the extended ranges in framework/line_range.cpp are the engines' bounds");

inline RangeVerdict RangeOf(LineModel model, const std::array<double, 21>& x, double temperature_K,
                            double pressure_kPa) {
    return RangeOf(model == LineModel::Detail ? RangeModel::Detail : RangeModel::Gerg2008, x, temperature_K,
                   pressure_kPa);
}

}  // namespace calorix::lineprops
