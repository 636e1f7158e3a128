// The reference host's component list: every component of the ISO 6976 table, water included,
// with the data the host hands to correlations (molar mass, CAS number, component class) and
// the critical constants its Peng-Robinson flash needs. The rows come from data/components.csv.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace calorix::host {

struct ComponentRecord {
    std::int32_t casKey;               // CAS number as an integer: its digits without hyphens
    const char* cas;                   // CAS number as written, "74-82-8"
    double molarMassKgPerKmol;
    double criticalTemperatureK;
    double criticalPressureKPa;
    double acentricFactor;
    std::int32_t componentClass;       // 200-299 hydrocarbons, 401 methanol, 120 water, ...
    const char* name;                  // lower case, "methane"
};

inline constexpr std::int32_t kWaterCasKey = 7732185;
inline constexpr std::int32_t kWaterClass = 120;

// Every row, sorted by casKey.
std::span<const ComponentRecord> ComponentTable() noexcept;

// The row of a CAS key, or null (binary search).
const ComponentRecord* FindComponentByCas(std::int32_t casKey) noexcept;

// The row of a name, compared without regard to case, spaces, hyphens and commas
// ("n-Butane", "nbutane", "2,2-dimethylbutane", "2 2 dimethylbutane"), or null. A few common
// aliases are understood as well ("i-butane", "CO2", "N2", "H2S", "H2O", "C1" to "C10").
const ComponentRecord* FindComponentByName(std::string_view name) noexcept;

// Parses a CAS registry number written with hyphens ("74-82-8"): two to seven digits, two
// digits, one check digit, the check digit verified. The integer key (74828) or nothing.
std::optional<std::int32_t> ParseCasNumber(std::string_view text) noexcept;

// The CAS number of a key written with hyphens (74828 -> "74-82-8").
std::string FormatCasNumber(std::int32_t casKey);

}  // namespace calorix::host
