#include "co2e/gwp_tables.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "framework/empty_value.h"

namespace co2e {

std::span<const GwpRow> GwpTable(std::string_view label) noexcept {
    if (label == "SAR") return kSarTable;
    if (label == "AR4") return kAr4Table;
    if (label == "US") return kUsTable;
    if (label == "AR5") return kAr5Table;
    if (label == "AR6") return kAr6Table;
    if (label == "AR6-NF") return kAr6NonFossilTable;
    return {};
}

bool CasKeyOf(double casValue, std::int64_t& key) noexcept {
    // NaN fails both comparisons; the bounds keep the conversion below defined.
    constexpr double lowest = std::numeric_limits<std::int32_t>::min();
    constexpr double highest = std::numeric_limits<std::int32_t>::max();
    const double whole = std::trunc(casValue);
    if (!(whole >= lowest && whole <= highest)) return false;
    key = static_cast<std::int64_t>(whole);
    // v - trunc(v) is exact in binary floating point, so an exact half stays an exact half.
    if (std::fabs(casValue - whole) > 0.5) key += 1;
    return true;
}

double LookUpGwpFactor(double casValue, std::string_view label) noexcept {
    const std::span<const GwpRow> table = GwpTable(label);
    std::int64_t key = 0;
    if (table.empty() || !CasKeyOf(casValue, key)) return EMPTY_VALUE;
    const auto row = std::lower_bound(table.begin(), table.end(), key,
                                      [](const GwpRow& r, std::int64_t k) { return r.casKey < k; });
    if (row == table.end() || row->casKey != key) return EMPTY_VALUE;
    return row->factor;
}

}  // namespace co2e
