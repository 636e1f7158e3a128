// Global-warming potentials on a mass basis (carbon dioxide = 1), keyed by CAS registry
// number written without its hyphens (124-38-9 is 124389). Three sets, chosen by label:
//   "SAR" - 100-year values of the IPCC Second Assessment Report (16 gases);
//   "AR4" - 100-year values of the IPCC Fourth Assessment Report (60 gases);
//   "US"  - the SAR values for CO2, CH4 and N2O with a wider set of fluorinated gases (60).
// Each table is sorted by key (checked at compile time) and searched by bisection.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace co2e {

struct GwpRow {
    std::int32_t casKey;  // CAS number without hyphens
    double factor;        // dimensionless, kg CO2 per kg of the gas
};

// IPCC Second Assessment Report, 100-year horizon.
inline constexpr std::array<GwpRow, 16> kSarTable{{
    {74828, 21},
    {75376, 140},
    {75467, 11700},
    {75730, 6500},
    {76164, 9200},
    {124389, 1},
    {354336, 2800},
    {355259, 7000},
    {355420, 7400},
    {420462, 3800},
    {431890, 2900},
    {690391, 6300},
    {811972, 1300},
    {2551624, 23900},
    {10024972, 310},
    {138495428, 1300},
}};

// IPCC Fourth Assessment Report, 100-year horizon.
inline constexpr std::array<GwpRow, 60> kAr4Table{{
    {56235, 1400},
    {71556, 146},
    {74828, 25},
    {74839, 5},
    {74873, 13},
    {75092, 8.7},
    {75105, 675},
    {75376, 124},
    {75456, 1810},
    {75467, 14800},
    {75638, 7140},
    {75683, 2310},
    {75694, 4750},
    {75718, 10900},
    {75729, 14400},
    {75730, 7390},
    {76131, 6130},
    {76142, 10000},
    {76153, 7370},
    {76164, 12200},
    {76197, 8830},
    {115106, 1},
    {115253, 10300},
    {124389, 1},
    {124732, 1640},
    {306832, 77},
    {306945, 7500},
    {353593, 1890},
    {354336, 3500},
    {355259, 8860},
    {355420, 9300},
    {373808, 17700},
    {375031, 575},
    {406586, 794},
    {406780, 580},
    {420462, 4470},
    {421147, 756},
    {422560, 122},
    {425887, 359},
    {431890, 3220},
    {460731, 1030},
    {507551, 595},
    {678262, 9160},
    {690391, 9810},
    {811972, 1430},
    {1691174, 6320},
    {1717006, 725},
    {1885489, 659},
    {2551624, 22800},
    {2837890, 609},
    {3822682, 14900},
    {7783542, 17200},
    {10024972, 298},
    {22410442, 708},
    {26675467, 350},
    {138495428, 1640},
    {163702054, 59},
    {163702065, 59},
    {163702076, 297},
    {163702087, 297},
}};

// SAR values for carbon dioxide, methane and nitrous oxide, with a wider list of
// fluorinated gases. The list this table comes from carries key 406780 twice, 580 and after
// it 265; a search that takes the first matching row never reaches the 265, so with unique
// keys that repeat is left out.
inline constexpr std::array<GwpRow, 60> kUsTable{{
    {74828, 21},
    {75105, 650},
    {75376, 140},
    {75467, 11700},
    {75730, 6500},
    {76164, 9200},
    {76197, 7000},
    {115253, 8700},
    {124389, 1},
    {306945, 7500},
    {353366, 12},
    {354336, 2800},
    {355259, 7000},
    {355420, 7400},
    {359353, 1000},
    {373808, 17700},
    {375031, 575},
    {382343, 101},
    {406586, 794},
    {406780, 580},
    {420462, 3800},
    {421147, 756},
    {422059, 42},
    {425887, 359},
    {430660, 300},
    {431630, 1370},
    {431890, 2900},
    {460435, 11},
    {460731, 1030},
    {512516, 557},
    {593533, 150},
    {624726, 53},
    {677565, 1340},
    {678262, 7500},
    {679867, 560},
    {690391, 6300},
    {811972, 1300},
    {920661, 195},
    {931919, 17340},
    {1691174, 6320},
    {1885489, 659},
    {2356629, 1540},
    {2551624, 23900},
    {3822682, 14900},
    {7783542, 17200},
    {10024972, 310},
    {13171181, 27},
    {20193673, 487},
    {22410442, 708},
    {26103082, 380},
    {26675467, 350},
    {28523866, 345},
    {35042990, 502},
    {57041675, 989},
    {84011154, 286},
    {138495428, 1300},
    {163702054, 59},
    {163702065, 59},
    {163702076, 297},
    {163702087, 297},
}};

// Keys strictly increasing: sorted, and no key twice.
template <std::size_t N>
constexpr bool IsStrictlyAscending(const std::array<GwpRow, N>& rows) {
    for (std::size_t i = 1; i < N; ++i)
        if (!(rows[i - 1].casKey < rows[i].casKey)) return false;
    return true;
}

static_assert(kSarTable.size() == 16 && IsStrictlyAscending(kSarTable), "SAR table out of order");
static_assert(kAr4Table.size() == 60 && IsStrictlyAscending(kAr4Table), "AR4 table out of order");
static_assert(kUsTable.size() == 60 && IsStrictlyAscending(kUsTable), "US table out of order");

// The table of a label, compared exactly and case-sensitively; an empty span for any other
// label.
std::span<const GwpRow> GwpTable(std::string_view label) noexcept;

// The integer key of a CAS value as the host gives it (a double): the integer part, plus one
// when the value lies more than one half above it in magnitude (an exact half does not raise
// the key). False when the value is NaN or outside the 32-bit range, which no row can match.
bool CasKeyOf(double casValue, std::int64_t& key) noexcept;

// The factor of the component with this CAS value in the labelled table, or EMPTY_VALUE when
// the label is unknown or the table has no row for it.
double LookUpGwpFactor(double casValue, std::string_view label) noexcept;

}  // namespace co2e
