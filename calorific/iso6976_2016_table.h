// ISO 6976:2016 per-component data and reference conditions, keyed by the CAS registry number
// written as an integer without hyphens (74-82-8 is 74828).
//
// Numbers, exactly as printed in ISO 6976:2016: molar masses (Table 1, kg/kmol, formed from
// the atomic weights of Table A.2), summation factors s at the metering temperatures 0, 15,
// 15.55 and 20 degC (Table 2, 101.325 kPa), ideal gross calorific values on a molar basis at
// the combustion temperatures 0, 15, 15.55, 20 and 25 degC (Table 3, kJ/mol), R (Table A.1),
// the molar mass of dry air (Table A.3), its compression factors (Table A.4). Water's "gross
// calorific value" is the standard enthalpy of vaporisation of water (Table A.5).
//
// Taken from the standard as reproduced by two open implementations, the R package
// ISO6976.2016 (src/iso6976.cpp) and the Python package iso6976 (src/iso6976/_tables.py), and
// checked by script, number by number, against both, against NeqSim's 2016 table
// (ISO6976constants2016.csv), against a further open Python transcription of the gross values
// and molar masses, and against the atomic weights of Table A.2 (this last check is
// scripts/check_iso6976_2016_table.py, run by the test suite). All 600 numbers agree between
// the two packages and every molar mass equals its atomic-weight sum; each 15.55 degC value lies
// between its 15 and 20 degC neighbours. The other tables differ only where they are wrong:
// NeqSim has n-decane at 42.28168 kg/kmol, an isobutane s(15.55) of 0.177, hydrogen at s = 0,
// 1995 summation factors for water and argon, 1995 data for most components after n-decane,
// and 1995 net values (methane 802.69 kJ/mol at 15 degC, where the 2016 rule gives 802.648);
// the further transcription has cyclopentane's 15 and 15.55 degC gross values as 3222.19 and
// 3222.05.
//
// Pitfalls kept out: 15.55 degC is 60 degF, 273.15 + 140/9 K, with columns of its own; net values
// are formed from the gross by the water each molecule forms (never taken from a 1995 table);
// hydrogen, helium and neon have s = -0.01 at every metering temperature.
//
// A component the table does not list gets the row of the normal alkane nearest to its molar
// mass, with bounds halfway between successive normal alkanes, as the 1995 table does; here the
// normal alkanes run from methane to n-pentadecane. It keeps the host's molecular weight.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

#include "calorific/cas_key_index.h"
#include "framework/reference_conditions.h"

namespace iso6976_2016 {

inline constexpr double kGasConstant_J_per_molK = 8.3144621;     // Table A.1
inline constexpr double kRefPressure_kPa = 101.325;
inline constexpr double kAirMolarMass_kg_per_kmol = 28.96546;    // Table A.3

// Metering (volume) reference temperatures: columns of the summation factors (the table shared
// with the host, framework/reference_conditions.h).
using reference_conditions::kMeteringCount;
using reference_conditions::kMeteringTemperature_C;
inline constexpr std::array<double, kMeteringCount> kMeteringTemperature_K{273.15, 288.15, 273.15 + 140.0 / 9.0,
                                                                            293.15};
inline constexpr std::array<double, kMeteringCount> kAirCompressionFactor{0.999419, 0.999595, 0.999601,
                                                                           0.999645};  // Table A.4

// Combustion reference temperatures: columns of the calorific values.
using reference_conditions::kCombustionCount;
using reference_conditions::kCombustionTemperature_C;

struct Row {
    double molarMass_kg_per_kmol;
    std::int32_t hydrogenAtoms;  // per molecule; b/2 molecules of water form in combustion
    std::array<double, kMeteringCount> summationFactor;          // s, dimensionless (signed)
    std::array<double, kCombustionCount> grossMolar_kJ_per_mol;  // ideal gross calorific value
};

struct Entry {
    std::int32_t casKey;
    Row row;
};

inline constexpr std::array<Entry, 60> kTable{{
    // key      M         H   s(0, 15, 15.55, 20 degC)     gross (0, 15, 15.55, 20, 25 degC)
    {67561, {32.04186, 4, {0.5806, 0.4464, 0.4423, 0.4117}, {766.6, 765.09, 765.03, 764.59, 764.09}}},  // methanol (67-56-1)
    {71432, {78.11184, 6, {0.2752, 0.2527, 0.252, 0.246}, {3305.12, 3302.9, 3302.81, 3302.16, 3301.43}}},  // benzene (71-43-2)
    {74828, {16.04246, 4, {0.04886, 0.04452, 0.04437, 0.04317}, {892.92, 891.51, 891.46, 891.05, 890.58}}},  // methane (74-82-8)
    {74840, {30.06904, 6, {0.0997, 0.0919, 0.0916, 0.0895}, {1564.35, 1562.14, 1562.06, 1561.42, 1560.69}}},  // ethane (74-84-0)
    {74851, {28.05316, 4, {0.0868, 0.0799, 0.0797, 0.0778}, {1413.55, 1412.12, 1412.07, 1411.65, 1411.18}}},  // ethylene (74-85-1)
    {74862, {26.03728, 2, {0.0936, 0.0836, 0.0833, 0.0808}, {1301.86, 1301.37, 1301.35, 1301.21, 1301.05}}},  // acetylene (74-86-2)
    {74908, {27.02534, 1, {0.3175, 0.2765, 0.2751, 0.2644}, {671.92, 671.67, 671.66, 671.58, 671.5}}},  // hydrogen cyanide (74-90-8)
    {74931, {48.10746, 4, {0.1909, 0.17, 0.1693, 0.164}, {1241.64, 1240.28, 1240.23, 1239.84, 1239.39}}},  // methanethiol (74-93-1)
    {74986, {44.09562, 8, {0.1465, 0.1344, 0.134, 0.1308}, {2224.03, 2221.1, 2220.99, 2220.13, 2219.17}}},  // propane (74-98-6)
    {75150, {76.1407, 0, {0.2182, 0.1958, 0.1951, 0.1894}, {1104.05, 1104.32, 1104.33, 1104.4, 1104.49}}},  // carbon disulfide (75-15-0)
    {75285, {58.1222, 10, {0.1885, 0.1722, 0.1717, 0.1673}, {2874.21, 2870.58, 2870.45, 2869.39, 2868.2}}},  // isobutane (75-28-5)
    {75832, {86.17536, 14, {0.253, 0.235, 0.2344, 0.2295}, {4185.86, 4180.83, 4180.65, 4179.17, 4177.52}}},  // 2,2-dimethylbutane (75-83-2)
    {78784, {72.14878, 12, {0.2458, 0.2251, 0.2244, 0.2189}, {3536.01, 3531.68, 3531.52, 3530.25, 3528.83}}},  // isopentane (78-78-4)
    {79298, {86.17536, 14, {0.2836, 0.2632, 0.2625, 0.2569}, {4193.68, 4188.61, 4188.43, 4186.94, 4185.28}}},  // 2,3-dimethylbutane (79-29-8)
    {95476, {106.165, 10, {0.4852, 0.4411, 0.4396, 0.4277}, {4602.18, 4598.64, 4598.52, 4597.48, 4596.31}}},  // o-xylene (95-47-6)
    {96140, {86.17536, 14, {0.2997, 0.2762, 0.2754, 0.269}, {4198.27, 4193.22, 4193.04, 4191.56, 4189.9}}},  // 3-methylpentane (96-14-0)
    {96377, {84.15948, 12, {0.2817, 0.2612, 0.2605, 0.2548}, {3977.05, 3972.46, 3972.29, 3970.95, 3969.44}}},  // methylcyclopentane (96-37-7)
    {100414, {106.165, 10, {0.4129, 0.3797, 0.3785, 0.3694}, {4613.16, 4609.54, 4609.4, 4608.34, 4607.15}}},  // ethylbenzene (100-41-4)
    {106978, {58.1222, 10, {0.2022, 0.184, 0.1834, 0.1785}, {2883.35, 2879.76, 2879.63, 2878.58, 2877.4}}},  // n-butane (106-97-8)
    {106989, {56.10632, 8, {0.1964, 0.1776, 0.177, 0.1721}, {2721.57, 2718.71, 2718.6, 2717.76, 2716.82}}},  // 1-butene (106-98-9)
    {106990, {54.09044, 6, {0.1993, 0.1739, 0.1731, 0.1673}, {2544.14, 2542.11, 2542.03, 2541.44, 2540.77}}},  // 1,3-butadiene (106-99-0)
    {107835, {86.17536, 14, {0.3114, 0.2826, 0.2816, 0.274}, {4195.64, 4190.62, 4190.44, 4188.97, 4187.32}}},  // 2-methylpentane (107-83-5)
    {108872, {98.18606, 14, {0.3667, 0.3317, 0.3305, 0.3213}, {4609.33, 4604.08, 4603.89, 4602.36, 4600.64}}},  // methylcyclohexane (108-87-2)
    {108883, {92.13842, 8, {0.3726, 0.3359, 0.3347, 0.3251}, {3952.77, 3949.83, 3949.72, 3948.86, 3947.89}}},  // toluene (108-88-3)
    {109660, {72.14878, 12, {0.2586, 0.2361, 0.2354, 0.2295}, {3542.91, 3538.6, 3538.45, 3537.19, 3535.77}}},  // n-pentane (109-66-0)
    {109671, {70.1329, 10, {0.2622, 0.2297, 0.2287, 0.2208}, {3381.32, 3377.76, 3377.63, 3376.59, 3375.42}}},  // 1-pentene (109-67-1)
    {110543, {86.17536, 14, {0.3319, 0.3001, 0.299, 0.2907}, {4203.24, 4198.24, 4198.06, 4196.6, 4194.95}}},  // n-hexane (110-54-3)
    {110827, {84.15948, 12, {0.2939, 0.2686, 0.2677, 0.261}, {3960.68, 3956.02, 3955.85, 3954.49, 3952.96}}},  // cyclohexane (110-82-7)
    {111659, {114.22852, 18, {0.4845, 0.4346, 0.4329, 0.4198}, {5522.41, 5516.01, 5515.78, 5513.9, 5511.8}}},  // n-octane (111-65-9)
    {111842, {128.2551, 20, {0.5617, 0.503, 0.501, 0.4856}, {6182.92, 6175.82, 6175.56, 6173.48, 6171.15}}},  // n-nonane (111-84-2)
    {112403, {170.33484, 26, {0.8567, 0.7615, 0.7583, 0.7335}, {8162.43, 8153.24, 8152.91, 8150.21, 8147.19}}},  // n-dodecane (112-40-3)
    {115071, {42.07974, 6, {0.1381, 0.1267, 0.1263, 0.1232}, {2061.57, 2059.43, 2059.35, 2058.73, 2058.02}}},  // propylene (115-07-1)
    {115117, {56.10632, 8, {0.1966, 0.1777, 0.177, 0.1721}, {2704.88, 2702.06, 2701.96, 2701.13, 2700.2}}},  // isobutene (115-11-7)
    {124185, {142.28168, 22, {0.6713, 0.5991, 0.5967, 0.5778}, {6842.69, 6834.9, 6834.62, 6832.33, 6829.77}}},  // n-decane (124-18-5)
    {124389, {44.0095, 0, {0.0821, 0.0752, 0.0749, 0.073}, {0, 0, 0, 0, 0}}},  // carbon dioxide (124-38-9)
    {142825, {100.20194, 16, {0.4076, 0.3668, 0.3654, 0.3547}, {4862.88, 4857.18, 4856.98, 4855.31, 4853.43}}},  // n-heptane (142-82-5)
    {287923, {70.1329, 10, {0.2409, 0.2221, 0.2215, 0.2164}, {3326.14, 3322.19, 3322.05, 3320.89, 3319.59}}},  // cyclopentane (287-92-3)
    {463490, {40.06386, 4, {0.1417, 0.1313, 0.131, 0.1282}, {1945.26, 1943.97, 1943.92, 1943.54, 1943.11}}},  // propadiene (463-49-0)
    {463581, {60.0751, 0, {0.1211, 0.1114, 0.111, 0.1084}, {548.01, 548.14, 548.15, 548.19, 548.23}}},  // carbonyl sulfide (463-58-1)
    {463821, {72.14878, 12, {0.2245, 0.204, 0.2033, 0.1979}, {3521.75, 3517.44, 3517.28, 3516.02, 3514.61}}},  // neopentane (463-82-1)
    {590181, {56.10632, 8, {0.2075, 0.187, 0.1863, 0.181}, {2714.88, 2711.94, 2711.83, 2710.97, 2710}}},  // cis-2-butene (590-18-1)
    {590192, {54.09044, 6, {0.2063, 0.1862, 0.1855, 0.1803}, {2597.15, 2595.12, 2595.05, 2594.46, 2593.79}}},  // 1,2-butadiene (590-19-2)
    {624646, {56.10632, 8, {0.2072, 0.1868, 0.1862, 0.1809}, {2711.09, 2708.26, 2708.16, 2707.33, 2706.4}}},  // trans-2-butene (624-64-6)
    {629505, {184.36142, 28, {0.9129, 0.8061, 0.8026, 0.7748}, {8821.88, 8811.99, 8811.63, 8808.73, 8805.48}}},  // n-tridecane (629-50-5)
    {629594, {198.388, 30, {1.0135, 0.894, 0.89, 0.8589}, {9481.71, 9471.12, 9470.73, 9467.63, 9464.15}}},  // n-tetradecane (629-59-4)
    {629629, {212.41458, 32, {1.1176, 0.9849, 0.9804, 0.9459}, {10141.65, 10130.23, 10129.82, 10126.52, 10122.82}}},  // n-pentadecane (629-62-9)
    {630080, {28.0101, 0, {0.0258, 0.0217, 0.0215, 0.0203}, {282.8, 282.91, 282.91, 282.95, 282.98}}},  // carbon monoxide (630-08-0)
    {1120214, {156.30826, 24, {0.7228, 0.6402, 0.6374, 0.6159}, {7502.22, 7493.73, 7493.42, 7490.93, 7488.14}}},  // n-undecane (1120-21-4)
    {1333740, {2.01588, 2, {-0.01, -0.01, -0.01, -0.01}, {286.64, 286.15, 286.13, 285.99, 285.83}}},  // hydrogen (1333-74-0)
    {1640897, {98.18606, 14, {0.4227, 0.3684, 0.3666, 0.3531}, {4637.2, 4631.93, 4631.74, 4630.2, 4628.47}}},  // ethylcyclopentane (1640-89-7)
    {1678917, {112.21264, 16, {0.5275, 0.4547, 0.4524, 0.4345}, {5272.76, 5266.9, 5266.69, 5264.97, 5263.05}}},  // ethylcyclohexane (1678-91-7)
    {7440019, {20.1797, 0, {-0.01, -0.01, -0.01, -0.01}, {0, 0, 0, 0, 0}}},  // neon (7440-01-9)
    {7440371, {39.948, 0, {0.0307, 0.0273, 0.0272, 0.0262}, {0, 0, 0, 0, 0}}},  // argon (7440-37-1)
    {7440597, {4.002602, 0, {-0.01, -0.01, -0.01, -0.01}, {0, 0, 0, 0, 0}}},  // helium (7440-59-7)
    {7446095, {64.0638, 0, {0.1579, 0.1406, 0.14, 0.1356}, {0, 0, 0, 0, 0}}},  // sulfur dioxide (7446-09-5)
    {7664417, {17.03052, 3, {0.123, 0.11, 0.1096, 0.1062}, {384.57, 383.51, 383.47, 383.16, 382.81}}},  // ammonia (7664-41-7)
    {7727379, {28.0134, 0, {0.0214, 0.017, 0.0169, 0.0156}, {0, 0, 0, 0, 0}}},  // nitrogen (7727-37-9)
    {7732185, {18.01528, 2, {0.3093, 0.2562, 0.2546, 0.2419}, {45.064, 44.431, 44.408, 44.222, 44.013}}},  // water (7732-18-5)
    {7782447, {31.9988, 0, {0.0311, 0.0276, 0.0275, 0.0265}, {0, 0, 0, 0, 0}}},  // oxygen (7782-44-7)
    {7783064, {34.08088, 2, {0.1006, 0.0923, 0.092, 0.0898}, {562.93, 562.38, 562.36, 562.19, 562.01}}},  // hydrogen sulfide (7783-06-4)
}};

static_assert(std::is_sorted(kTable.begin(), kTable.end(),
                             [](const Entry& a, const Entry& b) { return a.casKey <= b.casKey; }),
              "the ISO 6976:2016 table must be sorted by strictly increasing CAS key");

inline constexpr std::int32_t kWaterKey = 7732185;

inline constexpr cas_key_index::Index kKeyIndex = cas_key_index::MakeIndex(kTable);
static_assert(cas_key_index::FindsEveryKey(kTable, kKeyIndex), "every key of the table must find its row");

constexpr const Row* FindListed(std::int32_t casKey) noexcept {
    const std::size_t at = cas_key_index::Find(kTable, kKeyIndex, casKey);
    return at < kTable.size() ? &kTable[at].row : nullptr;
}

// Standard enthalpy of vaporisation of water, kJ/mol, at each combustion temperature.
inline constexpr std::array<double, kCombustionCount> kWaterVaporisation_kJ_per_mol =
    FindListed(kWaterKey)->grossMolar_kJ_per_mol;

// Ideal net calorific value: the gross value less the enthalpy of vaporisation of the water
// formed (b/2 per molecule). Zero for water itself.
constexpr double NetMolar_kJ_per_mol(const Row& row, int combustion) noexcept {
    return row.grossMolar_kJ_per_mol[static_cast<std::size_t>(combustion)] -
           row.hydrogenAtoms / 2.0 * kWaterVaporisation_kJ_per_mol[static_cast<std::size_t>(combustion)];
}

// The normal alkanes, lightest first, for components the table does not list.
inline constexpr std::array<std::int32_t, 15> kNormalAlkaneKeys{74828,  74840,  74986,  106978, 109660,
                                                                110543, 142825, 111659, 111842, 124185,
                                                                1120214, 112403, 629505, 629594, 629629};

struct Lookup {
    const Row* row;  // never null
    bool listed;     // false: a normal alkane chosen by molar mass
};

// The row of a CAS key; an unlisted key gets the normal alkane nearest to molarMass (the bound
// between two alkanes is halfway between their molar masses; a mass on a bound goes to the
// heavier). A missing molar mass (0, negative, EMPTY_VALUE) gives methane.
constexpr Lookup LookUp(std::int32_t casKey, double molarMass) noexcept {
    if (const Row* row = FindListed(casKey)) return {row, true};
    for (std::size_t i = 0; i + 1 < kNormalAlkaneKeys.size(); ++i) {
        const Row* lighter = FindListed(kNormalAlkaneKeys[i]);
        const Row* heavier = FindListed(kNormalAlkaneKeys[i + 1]);
        if (molarMass < (lighter->molarMass_kg_per_kmol + heavier->molarMass_kg_per_kmol) / 2.0) return {lighter, false};
    }
    return {FindListed(kNormalAlkaneKeys.back()), false};
}

// The pairs of reference temperatures the edition allows, in the order of the "RefConditions"
// options (framework/reference_conditions.h).
using reference_conditions::RefConditions;
using reference_conditions::kRefConditions;

}  // namespace iso6976_2016
