// The pipeline gas and line conditions of the GERG-2008 and DETAIL benchmarks.
#pragma once

#include <array>

namespace bench {

// methane 0.9, nitrogen 0.02, CO2 0.015, ethane 0.045, propane 0.012, isobutane 0.003,
// n-butane 0.003, n-pentane 0.002, in the models' component order.
inline constexpr std::array<double, 21> kPipelineGas{0.9, 0.02, 0.015, 0.045, 0.012, 0.003, 0.003, 0.0, 0.002};
inline constexpr double kLineTemperature_K = 288.15;
inline constexpr double kLinePressure_kPa = 5000.0;

}  // namespace bench
