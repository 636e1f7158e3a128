// The ISO 6976:2016 table and engine: lookups, the points where tables go wrong, the pairs of
// reference temperatures, and the engine's empty results.
#include <gtest/gtest.h>

#include <set>
#include <utility>

#include "calorific/iso6976_2016.h"
#include "framework/empty_value.h"

using namespace iso6976_2016;

TEST(Iso6976Table2016, ThePointsWherePublicTablesGoWrong) {
    EXPECT_EQ(kMeteringTemperature_K[2], 273.15 + 140.0 / 9.0);  // 60 degF, not 288.70 K
    for (std::int32_t key : {1333740, 7440597, 7440019})          // hydrogen, helium, neon
        for (double s : FindListed(key)->summationFactor) EXPECT_EQ(s, -0.01) << key;
    EXPECT_EQ(FindListed(124185)->molarMass_kg_per_kmol, 142.28168);   // n-decane
    EXPECT_EQ(FindListed(75285)->summationFactor[2], 0.1717);          // isobutane at 15.55 degC
    for (int c = 0; c < kCombustionCount; ++c) {
        // Water's gross value is the enthalpy of vaporisation; nothing is left of it net.
        EXPECT_EQ(NetMolar_kJ_per_mol(*FindListed(kWaterKey), c), 0.0);
        // Methane forms two molecules of water: net = gross - 2 L.
        const Row& methane = *FindListed(74828);
        EXPECT_EQ(NetMolar_kJ_per_mol(methane, c),
                  methane.grossMolar_kJ_per_mol[c] - 2.0 * kWaterVaporisation_kJ_per_mol[c]);
    }
    // Methane at 15 degC: 891.51 - 2 x 44.431, not the 802.69 of the 1995 edition.
    EXPECT_NEAR(NetMolar_kJ_per_mol(*FindListed(74828), 1), 802.648, 1e-9);
}

TEST(Iso6976Table2016, UnlistedComponentsGetTheNearestNormalAlkane) {
    struct Case {
        double molarMass;
        std::int32_t key;
    };
    const Case cases[] = {
        {0.0, 74828},       {EMPTY_VALUE, 74828}, {-5.0, 74828},   {23.05, 74828},
        {(16.04246 + 30.06904) / 2, 74840},         {44.0, 74986},   {142.0, 124185},
        {156.0, 1120214},   {170.0, 112403},      {205.0, 629594}, {1000.0, 629629},
    };
    for (const Case& c : cases) {
        const Lookup found = LookUp(1234567, c.molarMass);
        EXPECT_FALSE(found.listed);
        EXPECT_EQ(found.row, FindListed(c.key)) << c.molarMass;
    }
    EXPECT_TRUE(LookUp(74828, 99.0).listed);
}

TEST(Iso6976Table2016, TwentyDistinctPairsStartingWith15And0) {
    std::set<std::pair<int, int>> pairs;
    for (const RefConditions& r : kRefConditions) pairs.insert({r.combustion, r.metering});
    EXPECT_EQ(pairs.size(), 20u);
    EXPECT_EQ(kCombustionTemperature_C[kRefConditions[0].combustion], 15.0);
    EXPECT_EQ(kMeteringTemperature_C[kRefConditions[0].metering], 15.0);
    EXPECT_EQ(kCombustionTemperature_C[kRefConditions[1].combustion], 0.0);
    EXPECT_EQ(kMeteringTemperature_C[kRefConditions[1].metering], 0.0);
}

TEST(Iso2016Calcs, EmptyResultsWhereNothingCanBeFormed) {
    const double x[] = {0.0, 0.0}, mw[] = {16.0, 30.0}, cas[] = {74828, 74840};
    Iso2016Calcs none(2, x, mw, cas);
    none.Calculate(kRefConditions[0]);
    EXPECT_EQ(none.m_grossCvVolume, 0.0);  // nothing burns
    EXPECT_EQ(none.m_density, EMPTY_VALUE);
    EXPECT_EQ(none.m_grossCvMolar, EMPTY_VALUE);
    EXPECT_EQ(none.m_wobbeIndex, EMPTY_VALUE);

    // An unlisted component without a molar mass burns as methane and weighs nothing.
    const double one[] = {1.0}, missing[] = {0.0}, unlisted[] = {1234567};
    Iso2016Calcs light(1, one, missing, unlisted);
    light.Calculate(kRefConditions[0]);
    EXPECT_GT(light.m_grossCvVolume, 0.0);
    EXPECT_EQ(light.m_molarMass, EMPTY_VALUE);

    Iso2016Calcs badPair(1, one, mw, cas);
    badPair.Calculate({5, 0});
    EXPECT_EQ(badPair.m_grossCvVolume, EMPTY_VALUE);
    Iso2016Calcs noArrays(3, nullptr, mw, cas);
    noArrays.Calculate(kRefConditions[0]);
    EXPECT_EQ(noArrays.m_grossCvVolume, 0.0);
}
