// The reference temperatures a correlation's enumeration parameters choose, in the order of
// their options: the pairs of combustion and metering temperatures of "RefConditions" (ISO
// 6976:2016, 5.2) and the temperatures of "RefTempOption" (ISO 6976:1995). The module computes
// with these tables and the host picks an option from them; the option texts of the variable
// definitions (resources/variable_definitions.xml) name the same temperatures in the same order.
#pragma once

#include <array>
#include <cstdint>

namespace reference_conditions {

// Metering (volume) reference temperatures, degC: columns of the 2016 summation factors.
inline constexpr int kMeteringCount = 4;
inline constexpr std::array<double, kMeteringCount> kMeteringTemperature_C{0.0, 15.0, 15.55, 20.0};

// Combustion reference temperatures, degC: columns of the 2016 calorific values.
inline constexpr int kCombustionCount = 5;
inline constexpr std::array<double, kCombustionCount> kCombustionTemperature_C{0.0, 15.0, 15.55, 20.0, 25.0};

// The pairs of reference temperatures the 2016 edition allows, in the order of the
// "RefConditions" options: 15/15 and 0/0 first, then every other pair by combustion, then
// metering temperature.
struct RefConditions {
    int combustion;  // column of the calorific values
    int metering;    // column of the summation factors
};

constexpr std::array<RefConditions, kCombustionCount * kMeteringCount> MakeRefConditions() noexcept {
    std::array<RefConditions, kCombustionCount * kMeteringCount> pairs{};
    pairs[0] = {1, 1};
    pairs[1] = {0, 0};
    std::size_t n = 2;
    for (int c = 0; c < kCombustionCount; ++c)
        for (int m = 0; m < kMeteringCount; ++m)
            if (!(c == 1 && m == 1) && !(c == 0 && m == 0)) pairs[n++] = {c, m};
    return pairs;
}
inline constexpr auto kRefConditions = MakeRefConditions();

// The "RefConditions" option of a pair of temperatures in degC; -1 when the edition does not
// allow the pair.
constexpr std::int32_t RefConditionsOption(double combustionC, double meteringC) noexcept {
    for (std::size_t i = 0; i < kRefConditions.size(); ++i)
        if (kCombustionTemperature_C[static_cast<std::size_t>(kRefConditions[i].combustion)] == combustionC &&
            kMeteringTemperature_C[static_cast<std::size_t>(kRefConditions[i].metering)] == meteringC)
            return static_cast<std::int32_t>(i);
    return -1;
}

// The temperatures of the "RefTempOption" options, degC: option 0 the 15 degC columns of the
// 1995 table, option 1 its 0 degC columns.
inline constexpr std::array<double, 2> kRefTempOption_C{15.0, 0.0};

// The "RefTempOption" option of a temperature in degC; -1 when there is none.
constexpr std::int32_t RefTempOption(double temperatureC) noexcept {
    for (std::size_t i = 0; i < kRefTempOption_C.size(); ++i)
        if (kRefTempOption_C[i] == temperatureC) return static_cast<std::int32_t>(i);
    return -1;
}

}  // namespace reference_conditions
