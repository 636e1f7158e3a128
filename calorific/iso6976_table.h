// ISO 6976 per-component data: summation factor and ideal calorific values on a volume basis
// at 15 degC and 0 degC (101.325 kPa), keyed by the CAS registry number written as an integer
// without hyphens (74-82-8 is 74828). A component that is not listed gets the row of the normal
// alkane nearest to its molar mass.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

#include "calorific/cas_key_index.h"
#include "framework/empty_value.h"

struct Iso6976Row {
    double sqrtB15;    // summation factor sqrt(b) at 15 degC, dimensionless (signed)
    double sqrtB0;     // summation factor sqrt(b) at 0 degC
    double grossCv15;  // ideal gross (superior) calorific value, MJ/m3 at 15 degC
    double grossCv0;   // ideal gross calorific value, MJ/m3 at 0 degC
    double netCv15;    // ideal net (inferior) calorific value, MJ/m3 at 15 degC
    double netCv0;     // ideal net calorific value, MJ/m3 at 0 degC

    friend constexpr bool operator==(const Iso6976Row&, const Iso6976Row&) = default;
};

// How a row was found.
inline constexpr std::int32_t kIso6976OriginListed = 0;        // the key is in the table
inline constexpr std::int32_t kIso6976OriginByMolarMass = 1;   // normal alkane by molar mass
inline constexpr std::int32_t kIso6976OriginAboveUndecane = 3; // the same, molar mass > C11H24

struct Iso6976Lookup {
    Iso6976Row row;
    std::int32_t origin;
};

namespace iso6976 {

struct Entry {
    std::int32_t casKey;
    Iso6976Row row;
};

// Argon and oxygen carry identical data: one row, two keys.
inline constexpr Iso6976Row kArgonOxygenRow{0.0283, 0.031622777, 0, 0, 0, 0};

// The 0 degC calorific values are molar values at 0 degC (kJ/mol) divided by the ideal-gas
// molar volume 8.31451 * 273.15 / 101.325 m3/kmol; they carry every digit written here.
inline constexpr std::array<Entry, 55> kTable{{
    // key      sqrtB15  sqrtB0       grossCv15  grossCv0  netCv15  netCv0
    {67561, {0.3578, 0.47644517, 32.36, 34.201243554773484, 28.6, 30.179221213674815}},  // methanol
    {71432, {0.272, 0.301662063, 139.69, 147.45318356074696, 134.05, 141.42037312299473}},  // benzene
    {74828, {0.0447, 0.048989795, 37.706, 39.83965934476849, 33.948, 35.81763700366982}},  // methane
    {74840, {0.0922, 0.1, 66.07, 69.79268362811196, 60.43, 63.75987319035975}},  // ethane
    {74851, {0.08, 0.08660254, 59.72, 63.06343648770251, 55.96, 59.041414146603834}},  // ethylene
    {74862, {0.0837, 0.09486833, 55.04, 58.08219639470565, 53.16, 56.071408298052106}},  // acetylene
    {74908, {0.2966, 0.336154726, 28.41, 29.976670116297242, 27.47, 28.972837585241003}},  // hydrogen cyanide
    {74931, {0.1517, 0.167332005, 52.45, 55.395048246015996, 48.7, 51.37302590491733}},  // methanethiol
    {74986, {0.1338, 0.14525839, 93.94, 99.22371499530621, 86.42, 91.17967031310886}},  // propane
    {75150, {0.1949, 0.214476106, 46.7, 49.25739307724235, 46.7, 49.25739307724235}},  // carbon disulfide
    {75285, {0.1789, 0.204939015, 121.4, 128.23179825608204, 112.01, 118.17696547723118}},  // isobutane
    {75832, {0.2627, 0.289827535, 176.82, 186.7503271909535, 163.66, 172.67347207100394}},  // 2,2-dimethylbutane
    {78784, {0.228, 0.250998008, 149.36, 157.7569668072998, 138.09, 145.69134593179535}},  // isopentane
    {79298, {0.2739, 0.3, 177.15, 187.09787632059474, 163.99, 173.02102120064518}},  // 2,3-dimethylbutane
    {95476, {0.4427, 0.512835256, 194.49, 205.3247981978266, 185.09, 195.26996541897572}},  // o-xylene
    {96140, {0.2881, 0.319374388, 177.34, 187.30355045251338, 164.19, 173.22669533256382}},  // 3-methylpentane
    {96377, {0.2811, 0.313049517, 168, 177.43476130275158, 156.73, 165.36914042724715}},  // methylcyclopentane
    {100414, {0.4207, 0.485798312, 194.95, 205.81422232519046, 185.55, 195.75938954633958}},  // ethylbenzene
    {106978, {0.1871, 0.206881609, 121.79, 128.66099243158257, 112.4, 118.60615965273166}},  // n-butane
    {106989, {0.1732, 0.187082869, 114.98, 121.42135221760495, 107.46, 113.37730753540761}},  // 1-butene
    {106990, {0.1703, 0.184390889, 107.51, 113.5057980993828, 101.87, 107.47298766163058}},  // 1,3-butadiene
    {107835, {0.2933, 0.319374388, 177.23, 187.18621358332769, 164.08, 173.10935846337813}},  // 2-methylpentane
    {108872, {0.3376, 0.380788655, 194.72, 205.64468616438984, 181.56, 191.56783104444028}},  // methylcyclohexane
    {108883, {0.3421, 0.388587185, 167.05, 176.34972987362767, 159.53, 168.30568519143034}},  // toluene
    {109660, {0.251, 0.286356421, 149.66, 158.06525493128194, 138.38, 145.9996340557775}},  // n-pentane
    {109671, {0.2258, 0.248997992, 142.85, 150.85550661934025, 133.46, 140.80067384048937}},  // 1-pentene
    {110543, {0.295, 0.328633535, 177.55, 187.52617820051205, 164.4, 173.44932308056252}},  // n-hexane
    {110827, {0.2864, 0.320936131, 167.31, 176.7044173679342, 156.03, 164.63879649242978}},  // cyclohexane
    {111659, {0.445, 0.507937004, 233.28, 246.38065642244365, 216.37, 228.28177896139542}},  // n-octane
    {111842, {0.5385, 0.622093241, 261.19, 275.84916420413066, 242.4, 255.7394986464289}},  // n-nonane
    {115071, {0.1265, 0.137840488, 87.1, 91.97649026887173, 81.46, 85.9436798311195}},  // propylene
    {115117, {0.1703, 0.187082869, 114.27, 120.67405466670753, 106.76, 112.63000998451018}},  // isobutene
    {124185, {0.645, 0.752329715, 289.06, 305.28510319703224, 268.39, 283.16464954267695}},  // n-decane
    {124389, {0.0748, 0.081853528, 0, 0, 0, 0}},  // carbon dioxide
    {142825, {0.3661, 0.412310563, 205.42, 216.95587112433157, 190.39, 200.86822790772845}},  // n-heptane
    {287923, {0.2302, 0.254950976, 140.5, 148.39500154877348, 131.11, 138.3401687699226}},  // cyclopentane
    {463490, {0.1304, 0.141421356, 82.21, 86.78689915720675, 78.46, 82.76487681610807}},  // propadiene
    {463581, {0.114, 0.122474487, 23.18, 24.44934512640579, 23.18, 24.44934512640579}},  // carbonyl sulfide
    {463821, {0.2121, 0.238746728, 148.76, 157.1207600565059, 137.49, 145.0551391810015}},  // neopentane
    {590181, {0.1817, 0.197484177, 114.69, 121.12466393620389, 107.18, 113.08061925400654}},  // cis-2-butene
    {590192, {0.1924, 0.212132034, 109.75, 115.87038139475973, 104.12, 109.8375709570075}},  // 1,2-butadiene
    {624646, {0.1789, 0.197484177, 114.54, 120.95512777540327, 107.02, 112.91108309320593}},  // trans-2-butene
    {630080, {0.0224, 0.026457513, 11.96, 12.617059545897991, 11.96, 12.617059545897991}},  // carbon monoxide
    {1333740, {-0.0048, 0, 12.102, 12.787934150073342, 10.223, 10.777146053419798}},  // hydrogen
    {1640897, {0.3521, 0.398748041, 195.9, 206.89077694627434, 182.74, 192.81392182632476}},  // ethylcyclopentane
    {1678917, {0.4195, 0.479583152, 222.75, 235.24837672692576, 207.72, 219.16073351032264}},  // ethylcyclohexane
    {7440019, {0.0002, 0.0002, 0, 0, 0, 0}},  // neon
    {7440371, kArgonOxygenRow},  // argon
    {7440597, {0.0002, 0, 0, 0, 0, 0}},  // helium
    {7446095, {0.1449, 0.154919334, 0, 0, 0, 0}},  // sulfur dioxide
    {7664417, {0.1095, 0.122474487, 16.22, 17.15750562081326, 13.4, 14.141100401937154}},  // ammonia
    {7727379, {0.0173, 0.02236068, 0, 0, 0, 0}},  // nitrogen
    {7732185, {0.2345, 0.264575131, 1.88, 2.010966555770177, 0, 0}},  // water
    {7782447, kArgonOxygenRow},  // oxygen
    {7783064, {0.1, 0.1, 23.78, 25.11544377923556, 21.91, 23.10465568258201}},  // hydrogen sulfide
}};

static_assert(std::ranges::adjacent_find(kTable, [](const Entry& a, const Entry& b) {
                  return a.casKey >= b.casKey;
              }) == kTable.end(),
              "ISO 6976 table must be sorted by strictly increasing CAS key");

// Normal alkanes chosen by molar mass: the first bound the molar mass is strictly below wins;
// each bound lies halfway between the molar masses (kg/kmol) of two successive normal alkanes.
struct AlkaneBound {
    double molarMassBelow;  // kg/kmol
    std::int32_t casKey;
};

inline constexpr std::array<AlkaneBound, 9> kAlkaneBounds{{
    {23.0565, 74828},    // methane
    {37.0835, 74840},    // ethane
    {51.11, 74986},      // propane
    {65.1365, 106978},   // n-butane
    {79.1635, 109660},   // n-pentane
    {93.1905, 110543},   // n-hexane
    {107.2175, 142825},  // n-heptane
    {121.2445, 111659},  // n-octane
    {135.2715, 111842},  // n-nonane
}};
inline constexpr std::int32_t kHeaviestAlkaneKey = 124185;  // n-decane, above every bound
inline constexpr double kUndecaneMolarMass = 156.312;         // kg/kmol

static_assert(std::ranges::adjacent_find(kAlkaneBounds, [](const AlkaneBound& a,
                                                           const AlkaneBound& b) {
                  return a.molarMassBelow >= b.molarMassBelow;
              }) == kAlkaneBounds.end(),
              "alkane bounds must increase");

inline constexpr std::size_t kNotListed = kTable.size();

inline constexpr cas_key_index::Index kKeyIndex = cas_key_index::MakeIndex(kTable);
static_assert(cas_key_index::FindsEveryKey(kTable, kKeyIndex), "every key of the table must find its row");

// Position of a listed key in kTable, or kNotListed.
constexpr std::size_t FindIndex(std::int32_t casKey) noexcept {
    return cas_key_index::Find(kTable, kKeyIndex, casKey);
}

constexpr std::int32_t AlkaneKeyForMolarMass(double molarMass) noexcept {
    // A missing molar mass (0, negative, EMPTY_VALUE, not a number) counts as methane.
    if (!(molarMass > 0.0)) {
        return kAlkaneBounds.front().casKey;
    }
    for (const AlkaneBound& bound : kAlkaneBounds) {
        if (molarMass < bound.molarMassBelow) {
            return bound.casKey;
        }
    }
    return kHeaviestAlkaneKey;
}

static_assert(FindIndex(kHeaviestAlkaneKey) != kNotListed);
static_assert(std::ranges::all_of(kAlkaneBounds, [](const AlkaneBound& b) {
    return FindIndex(b.casKey) != kNotListed;
}));

}  // namespace iso6976

// The row of casKey, or of the normal alkane chosen by molarMass (kg/kmol) when the key is not
// listed. Never fails.
constexpr Iso6976Lookup LookUpIso6976Row(std::int32_t casKey, double molarMass) noexcept {
    if (const std::size_t listed = iso6976::FindIndex(casKey); listed != iso6976::kNotListed) {
        return {iso6976::kTable[listed].row, kIso6976OriginListed};
    }
    const std::int32_t origin = molarMass > iso6976::kUndecaneMolarMass
                                    ? kIso6976OriginAboveUndecane
                                    : kIso6976OriginByMolarMass;
    return {iso6976::kTable[iso6976::FindIndex(iso6976::AlkaneKeyForMolarMass(molarMass))].row,
            origin};
}
