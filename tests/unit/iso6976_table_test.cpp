// ISO 6976 component table: listed keys, the shared argon/oxygen row, and the choice of a
// normal-alkane row by molar mass for keys that are not listed.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <ostream>
#include <set>
#include <tuple>

#include "calorific/iso6976_table.h"
#include "framework/empty_value.h"

// Readable rows in failure messages.
void PrintTo(const Iso6976Row& row, std::ostream* os) {
    *os << "{" << row.sqrtB15 << ", " << row.sqrtB0 << ", " << row.grossCv15 << ", "
        << row.grossCv0 << ", " << row.netCv15 << ", " << row.netCv0 << "}";
}

namespace {

constexpr std::int32_t kMethane = 74828;
constexpr std::int32_t kEthane = 74840;
constexpr std::int32_t kPropane = 74986;
constexpr std::int32_t kDecane = 124185;
constexpr std::int32_t kHydrogen = 1333740;
constexpr std::int32_t kArgon = 7440371;
constexpr std::int32_t kOxygen = 7782447;
constexpr std::int32_t kUnlisted = 12345;

static_assert(iso6976::kTable.size() == 55, "55 listed CAS keys");
// The lookup is usable at compile time.
static_assert(LookUpIso6976Row(kMethane, 0.0).origin == kIso6976OriginListed);
static_assert(LookUpIso6976Row(kUnlisted, 44.0).row == LookUpIso6976Row(kPropane, 0.0).row);
static_assert(LookUpIso6976Row(kOxygen, 0.0).row == LookUpIso6976Row(kArgon, 0.0).row);

Iso6976Row ListedRow(std::int32_t key) {
    const std::size_t index = iso6976::FindIndex(key);
    EXPECT_NE(index, iso6976::kNotListed) << key;
    return index != iso6976::kNotListed ? iso6976::kTable[index].row : Iso6976Row{};
}

struct LookupCase {
    const char* name;
    std::int32_t casKey;
    double molarMass;
    std::int32_t expectedRowKey;
    std::int32_t expectedOrigin;
};

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

const LookupCase kLookupCases[] = {
    {"listed methane", kMethane, 16.043, kMethane, 0},
    {"listed key ignores molar mass", kMethane, 170.0, kMethane, 0},
    {"listed key with missing molar mass", kPropane, EMPTY_VALUE, kPropane, 0},
    {"oxygen shares argon's row", kOxygen, 31.9988, kArgon, 0},
    {"hydrogen", kHydrogen, 2.0159, kHydrogen, 0},
    {"unlisted 44.0 is propane", kUnlisted, 44.0, kPropane, 1},
    {"just below the first bound is methane", kUnlisted, std::nextafter(23.0565, 0.0), kMethane,
     1},
    {"first bound is strict: ethane", kUnlisted, 23.0565, kEthane, 1},
    {"last bound is strict: decane", kUnlisted, 135.2715, kDecane, 1},
    {"undecane's molar mass keeps origin 1", kUnlisted, 156.312, kDecane, 1},
    {"just above undecane gives origin 3", kUnlisted, std::nextafter(156.312, 200.0), kDecane, 3},
    {"170.0 gives origin 3", kUnlisted, 170.0, kDecane, 3},
    {"infinite molar mass", kUnlisted, kInf, kDecane, 3},
    {"molar mass 0 is methane", kUnlisted, 0.0, kMethane, 1},
    {"negative molar mass is methane", kUnlisted, -5.0, kMethane, 1},
    {"EMPTY_VALUE molar mass is methane", kUnlisted, EMPTY_VALUE, kMethane, 1},
    {"NaN molar mass counts as missing", kUnlisted, kNaN, kMethane, 1},
    {"key 0 is not listed", 0, 30.07, kEthane, 1},
    {"negative key", -74828, 30.07, kEthane, 1},
    {"largest key", std::numeric_limits<std::int32_t>::max(), 58.12, 106978, 1},
    {"smallest key", std::numeric_limits<std::int32_t>::min(), 100.0, 142825, 1},
};

TEST(Iso6976TableTest, LookUpCases) {
    for (const LookupCase& c : kLookupCases) {
        SCOPED_TRACE(c.name);
        const Iso6976Lookup found = LookUpIso6976Row(c.casKey, c.molarMass);
        EXPECT_EQ(found.origin, c.expectedOrigin);
        EXPECT_EQ(found.row, ListedRow(c.expectedRowKey));
    }
}

TEST(Iso6976TableTest, EveryBoundSelectsTheNextAlkane) {
    // At a bound the next heavier alkane is chosen; just below it, the alkane of that bound.
    const auto& bounds = iso6976::kAlkaneBounds;
    for (std::size_t i = 0; i < bounds.size(); ++i) {
        SCOPED_TRACE(bounds[i].molarMassBelow);
        const std::int32_t next =
            i + 1 < bounds.size() ? bounds[i + 1].casKey : iso6976::kHeaviestAlkaneKey;
        EXPECT_EQ(LookUpIso6976Row(kUnlisted, bounds[i].molarMassBelow).row, ListedRow(next));
        EXPECT_EQ(LookUpIso6976Row(kUnlisted, std::nextafter(bounds[i].molarMassBelow, 0.0)).row,
                  ListedRow(bounds[i].casKey));
    }
}

TEST(Iso6976TableTest, ArgonAndOxygenShareOneRow) {
    const Iso6976Row argon = LookUpIso6976Row(kArgon, 0.0).row;
    const Iso6976Row oxygen = LookUpIso6976Row(kOxygen, 0.0).row;
    EXPECT_EQ(argon.sqrtB15, oxygen.sqrtB15);
    EXPECT_EQ(argon.sqrtB0, oxygen.sqrtB0);
    EXPECT_EQ(argon.grossCv15, oxygen.grossCv15);
    EXPECT_EQ(argon.grossCv0, oxygen.grossCv0);
    EXPECT_EQ(argon.netCv15, oxygen.netCv15);
    EXPECT_EQ(argon.netCv0, oxygen.netCv0);
    EXPECT_EQ(argon.sqrtB15, 0.0283);

    // 55 keys, 54 distinct rows.
    std::set<std::tuple<double, double, double, double, double, double>> rows;
    for (const iso6976::Entry& e : iso6976::kTable) {
        rows.emplace(e.row.sqrtB15, e.row.sqrtB0, e.row.grossCv15, e.row.grossCv0, e.row.netCv15,
                     e.row.netCv0);
    }
    EXPECT_EQ(rows.size(), 54u);
}

TEST(Iso6976TableTest, EveryListedKeyFindsItsOwnRow) {
    for (const iso6976::Entry& e : iso6976::kTable) {
        SCOPED_TRACE(e.casKey);
        const Iso6976Lookup found = LookUpIso6976Row(e.casKey, 500.0);
        EXPECT_EQ(found.origin, kIso6976OriginListed);
        EXPECT_EQ(found.row, e.row);
    }
}

TEST(Iso6976TableTest, SpecialRows) {
    const Iso6976Row hydrogen = ListedRow(kHydrogen);
    EXPECT_EQ(hydrogen.sqrtB15, -0.0048);
    EXPECT_EQ(hydrogen.sqrtB0, 0.0);

    const Iso6976Row water = ListedRow(7732185);
    EXPECT_EQ(water.grossCv15, 1.88);
    EXPECT_EQ(water.grossCv0, 2.010966555770177);
    EXPECT_EQ(water.netCv15, 0.0);
    EXPECT_EQ(water.netCv0, 0.0);

    // Inert and non-combustible components: no calorific value, a summation factor all the same
    // (helium at 0 degC excepted).
    const std::int32_t nonCombustible[] = {124389, 7440019, kArgon, kOxygen,
                                           7440597, 7446095, 7727379};
    for (std::int32_t key : nonCombustible) {
        SCOPED_TRACE(key);
        const Iso6976Row row = ListedRow(key);
        EXPECT_EQ(row.grossCv15, 0.0);
        EXPECT_EQ(row.grossCv0, 0.0);
        EXPECT_EQ(row.netCv15, 0.0);
        EXPECT_EQ(row.netCv0, 0.0);
        EXPECT_GT(row.sqrtB15, 0.0);
        if (key != 7440597) {
            EXPECT_GT(row.sqrtB0, 0.0);
        }
    }
    int zeroCvRows = 0;
    for (const iso6976::Entry& e : iso6976::kTable) {
        zeroCvRows += e.row.grossCv15 == 0.0 && e.row.grossCv0 == 0.0 && e.row.netCv15 == 0.0 &&
                      e.row.netCv0 == 0.0;
    }
    EXPECT_EQ(zeroCvRows, 7);
}

// Each 0 degC calorific value is a molar value (kJ/mol, two decimals; three for water) over the
// ideal-gas molar volume at 0 degC: multiplied back it must land on that rounded value. This
// catches a mistyped digit in the long 0 degC columns.
TEST(Iso6976TableTest, ZeroDegreeValuesComeFromRoundedMolarValues) {
    const double molarVolume = 8.31451 * 273.15 / 101.325;  // m3/kmol
    for (const iso6976::Entry& e : iso6976::kTable) {
        SCOPED_TRACE(e.casKey);
        const double scale = e.casKey == 7732185 ? 1000.0 : 100.0;
        for (double cv : {e.row.grossCv0, e.row.netCv0}) {
            const double molar = cv * molarVolume;  // kJ/mol
            EXPECT_NEAR(molar * scale, std::round(molar * scale), 1e-7) << cv;
        }
    }
}

// The 0 degC summation factors are square roots, rounded to nine decimals, of b values with at
// most three significant figures.
TEST(Iso6976TableTest, ZeroDegreeSummationFactorsAreRoundedRoots) {
    for (const iso6976::Entry& e : iso6976::kTable) {
        SCOPED_TRACE(e.casKey);
        const double sqrtB = e.row.sqrtB0;
        if (sqrtB == 0.0) {
            continue;  // helium and hydrogen
        }
        const double b = sqrtB * sqrtB;
        const double scale = std::pow(10.0, 2.0 - std::floor(std::log10(b)));
        const double b3 = std::round(b * scale) / scale;
        EXPECT_NEAR(sqrtB, std::round(std::sqrt(b3) * 1e9) / 1e9, 1e-12) << b3;
    }
}

}  // namespace
