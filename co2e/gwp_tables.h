// Global-warming potentials on a mass basis (carbon dioxide = 1), keyed by CAS registry
// number written without its hyphens (124-38-9 is 124389). Three sets, chosen by label:
//   "SAR" - 100-year values of the IPCC Second Assessment Report (16 gases);
//   "AR4" - 100-year values of the IPCC Fourth Assessment Report (60 gases);
//   "US"  - the SAR values for CO2, CH4 and N2O with a wider set of fluorinated gases (60);
//   "AR5" - 100-year values of the IPCC Fifth Assessment Report (60 gases);
//   "AR6" - 100-year values of the IPCC Sixth Assessment Report, methane of fossil origin (59);
//   "AR6-NF" - the same with methane of non-fossil origin (biomethane, landfill gas).
// The AR5 and AR6 tables hold every gas of the AR4 table that the report lists (NF3 among
// them); the row comments name each gas as the report does.
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

// IPCC AR5, Working Group I, Chapter 8, Table 8.A.1: GWP100 without climate-carbon feedbacks.
// HFE-7100 and HFE-7200 carry the value of the isomer mixture for both isomers' CAS numbers,
// as the AR4 table does.
inline constexpr std::array<GwpRow, 60> kAr5Table{{
    {56235, 1730},      // Carbon tetrachloride CCl4
    {71556, 160},       // Methyl chloroform CH3CCl3
    {74828, 28},        // Methane CH4
    {74839, 2},         // Methyl bromide CH3Br
    {74873, 12},        // Methyl chloride CH3Cl
    {75092, 9},         // Methylene chloride CH2Cl2
    {75105, 677},       // HFC-32 CH2F2
    {75376, 138},       // HFC-152a CH3CHF2
    {75456, 1760},      // HCFC-22 CHClF2
    {75467, 12400},     // HFC-23 CHF3
    {75638, 6290},      // Halon-1301 CBrF3
    {75683, 1980},      // HCFC-142b CH3CClF2
    {75694, 4660},      // CFC-11 CCl3F
    {75718, 10200},     // CFC-12 CCl2F2
    {75729, 13900},     // CFC-13 CClF3
    {75730, 6630},      // PFC-14 CF4
    {76131, 5820},      // CFC-113 CCl2FCClF2
    {76142, 8590},      // CFC-114 CClF2CClF2
    {76153, 7670},      // CFC-115 CClF2CF3
    {76164, 11100},     // PFC-116 C2F6
    {76197, 8900},      // PFC-218 C3F8
    {115106, 1},        // Dimethyl ether CH3OCH3
    {115253, 9540},     // PFC-318 c-C4F8
    {124389, 1},        // Carbon dioxide CO2
    {124732, 1470},     // Halon-2402 CBrF2CBrF2
    {306832, 79},       // HCFC-123 CHCl2CF3
    {306945, 7190},     // PFC-9-1-18 C10F18
    {353593, 1750},     // Halon-1211 CBrClF2
    {354336, 3170},     // HFC-125 CHF2CF3
    {355259, 9200},     // PFC-3-1-10 C4F10
    {355420, 7910},     // PFC-5-1-14 C6F14
    {373808, 17400},    // Trifluoromethyl sulphur pentafluoride SF5CF3
    {375031, 530},      // HFE-347mcc3 (HFE-7000) CH3OCF2CF2CF3
    {406586, 804},      // HFC-365mfc CH3CF2CH2CF3
    {406780, 889},      // HFE-347pcf2 CHF2CF2OCH2CF3
    {420462, 4800},     // HFC-143a CH3CF3
    {421147, 523},      // HFE-143a CH3OCF3
    {422560, 127},      // HCFC-225ca CHCl2CF2CF3
    {425887, 301},      // HFE-254cb1 (AR4: HFE-254cb2) CH3OCF2CHF2
    {431890, 3350},     // HFC-227ea CF3CHFCF3
    {460731, 858},      // HFC-245fa CHF2CH2CF3
    {507551, 525},      // HCFC-225cb CHClFCF2CClF2
    {678262, 8550},     // PFC-4-1-12 C5F12
    {690391, 8060},     // HFC-236fa CF3CH2CF3
    {811972, 1300},     // HFC-134a CH2FCF3
    {1691174, 5560},    // HFE-134 CHF2OCHF2
    {1717006, 782},     // HCFC-141b CH3CCl2F
    {1885489, 812},     // HFE-245fa2 CHF2OCH2CF3
    {2551624, 23500},   // Sulphur hexafluoride SF6
    {2837890, 527},     // HCFC-124 CHClFCF3
    {3822682, 12400},   // HFE-125 CHF2OCF3
    {7783542, 16100},   // Nitrogen trifluoride NF3
    {10024972, 265},    // Nitrous oxide N2O
    {22410442, 654},    // HFE-245cb2 CH3OCF2CF3
    {26675467, 491},    // HCFE-235da2 (isoflurane) CHF2OCHClCF3
    {138495428, 1650},  // HFC-43-10mee CF3CHFCHFCF2CF3
    {163702054, 57},    // HFE-569sf2 (HFE-7200) C4F9OC2H5
    {163702065, 57},    // HFE-569sf2 (HFE-7200) C4F9OC2H5
    {163702076, 421},   // HFE-449sl (HFE-7100) C4F9OCH3
    {163702087, 421},   // HFE-449sl (HFE-7100) C4F9OCH3
}};

// IPCC AR6, Working Group I, Chapter 7, Supplementary Material, Table 7.SM.7: GWP100, methane
// of fossil origin (29.8). Dimethyl ether (115-10-6), whose AR4 and AR5 factor is 1, is left
// out until its entry is checked against the printed table.
inline constexpr std::array<GwpRow, 59> kAr6Table{{
    {56235, 2200},      // Carbon tetrachloride CCl4
    {71556, 161},       // Methyl chloroform CH3CCl3
    {74828, 29.8},      // Methane CH4
    {74839, 2.43},      // Methyl bromide CH3Br
    {74873, 5.54},      // Methyl chloride CH3Cl
    {75092, 11.2},      // Methylene chloride CH2Cl2
    {75105, 771},       // HFC-32 CH2F2
    {75376, 164},       // HFC-152a CH3CHF2
    {75456, 1960},      // HCFC-22 CHClF2
    {75467, 14600},     // HFC-23 CHF3
    {75638, 7200},      // Halon-1301 CBrF3
    {75683, 2300},      // HCFC-142b CH3CClF2
    {75694, 6230},      // CFC-11 CCl3F
    {75718, 12500},     // CFC-12 CCl2F2
    {75729, 16200},     // CFC-13 CClF3
    {75730, 7380},      // PFC-14 CF4
    {76131, 6520},      // CFC-113 CCl2FCClF2
    {76142, 9430},      // CFC-114 CClF2CClF2
    {76153, 9600},      // CFC-115 CClF2CF3
    {76164, 12400},     // PFC-116 C2F6
    {76197, 9290},      // PFC-218 C3F8
    {115253, 10200},    // PFC-318 c-C4F8
    {124389, 1},        // Carbon dioxide CO2
    {124732, 2170},     // Halon-2402 CBrF2CBrF2
    {306832, 90.4},     // HCFC-123 CHCl2CF3
    {306945, 7480},     // PFC-9-1-18 C10F18
    {353593, 1930},     // Halon-1211 CBrClF2
    {354336, 3740},     // HFC-125 CHF2CF3
    {355259, 10000},    // PFC-3-1-10 C4F10
    {355420, 8620},     // PFC-5-1-14 C6F14
    {373808, 18500},    // Trifluoromethyl sulphur pentafluoride SF5CF3
    {375031, 576},      // HFE-347mcc3 (HFE-7000) CH3OCF2CF2CF3
    {406586, 914},      // HFC-365mfc CH3CF2CH2CF3
    {406780, 980},      // HFE-347pcf2 CHF2CF2OCH2CF3
    {420462, 5810},     // HFC-143a CH3CF3
    {421147, 616},      // HFE-143a CH3OCF3
    {422560, 137},      // HCFC-225ca CHCl2CF2CF3
    {425887, 328},      // HFE-254cb1 (AR4: HFE-254cb2) CH3OCF2CHF2
    {431890, 3600},     // HFC-227ea CF3CHFCF3
    {460731, 962},      // HFC-245fa CHF2CH2CF3
    {507551, 568},      // HCFC-225cb CHClFCF2CClF2
    {678262, 9220},     // PFC-4-1-12 C5F12
    {690391, 8690},     // HFC-236fa CF3CH2CF3
    {811972, 1530},     // HFC-134a CH2FCF3
    {1691174, 6630},    // HFE-134 CHF2OCHF2
    {1717006, 860},     // HCFC-141b CH3CCl2F
    {1885489, 878},     // HFE-245fa2 CHF2OCH2CF3
    {2551624, 24300},   // Sulphur hexafluoride SF6
    {2837890, 597},     // HCFC-124 CHClFCF3
    {3822682, 14300},   // HFE-125 CHF2OCF3
    {7783542, 17400},   // Nitrogen trifluoride NF3
    {10024972, 273},    // Nitrous oxide N2O
    {22410442, 747},    // HFE-245cb2 CH3OCF2CF3
    {26675467, 539},    // HCFE-235da2 (isoflurane) CHF2OCHClCF3
    {138495428, 1600},  // HFC-43-10mee CF3CHFCHFCF2CF3
    {163702054, 60.7},  // HFE-569sf2 (HFE-7200) C4F9OC2H5
    {163702065, 60.7},  // HFE-569sf2 (HFE-7200) C4F9OC2H5
    {163702076, 460},   // HFE-449sl (HFE-7100) C4F9OCH3
    {163702087, 460},   // HFE-449sl (HFE-7100) C4F9OCH3
}};

// The methane factor of AR6 Table 7.SM.7 for methane of non-fossil origin.
inline constexpr double kAr6NonFossilMethane = 27.0;
inline constexpr std::int32_t kMethaneCasKey = 74828;

// A copy of a table with one key's factor replaced.
template <std::size_t N>
constexpr std::array<GwpRow, N> WithFactor(std::array<GwpRow, N> rows, std::int32_t casKey, double factor) {
    for (GwpRow& row : rows)
        if (row.casKey == casKey) row.factor = factor;
    return rows;
}

// AR6 with methane of non-fossil origin; every other factor as in kAr6Table.
inline constexpr std::array<GwpRow, 59> kAr6NonFossilTable = WithFactor(kAr6Table, kMethaneCasKey, kAr6NonFossilMethane);

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
static_assert(IsStrictlyAscending(kAr5Table), "AR5 table out of order");
static_assert(IsStrictlyAscending(kAr6Table), "AR6 table out of order");

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
