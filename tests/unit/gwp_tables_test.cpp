// The three factor tables against the published listing, and the rounding of CAS values.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <iomanip>
#include <limits>
#include <string>
#include <string_view>

#include "co2e/gwp_tables.h"
#include "framework/empty_value.h"

namespace {

constexpr double kNone = EMPTY_VALUE;  // the table has no row for the key

struct ListedGas {
    int casKey;
    double sar;
    double ar4;
    double us;
};

// Every key with its factor in each table, in the order of the published listing (not the
// tables' sorted order), so that a slip in sorting or copying the tables shows here.
constexpr ListedGas kListing[] = {
    {124389, 1, 1, 1},
    {74828, 21, 25, 21},
    {10024972, 310, 298, 310},
    {75467, 11700, 14800, 11700},
    {75105, kNone, 675, 650},
    {354336, 2800, 3500, 2800},
    {811972, 1300, 1430, 1300},
    {420462, 3800, 4470, 3800},
    {75376, 140, 124, 140},
    {431890, 2900, 3220, 2900},
    {690391, 6300, 9810, 6300},
    {460731, kNone, 1030, 1030},
    {406586, kNone, 794, 794},
    {138495428, 1300, 1640, 1300},
    {75730, 6500, 7390, 6500},
    {76164, 9200, 12200, 9200},
    {76197, kNone, 8830, 7000},
    {355259, 7000, 8860, 7000},
    {115253, kNone, 10300, 8700},
    {678262, kNone, 9160, 7500},
    {355420, 7400, 9300, 7400},
    {306945, kNone, 7500, 7500},
    {2551624, 23900, 22800, 23900},
    {373808, kNone, 17700, 17700},
    {7783542, kNone, 17200, 17200},
    {26675467, kNone, 350, 350},
    {3822682, kNone, 14900, 14900},
    {1691174, kNone, 6320, 6320},
    {421147, kNone, 756, 756},
    {22410442, kNone, 708, 708},
    {1885489, kNone, 659, 659},
    {425887, kNone, 359, 359},
    {375031, kNone, 575, 575},
    {406780, kNone, 580, 580},
    {163702076, kNone, 297, 297},
    {163702087, kNone, 297, 297},
    {163702054, kNone, 59, 59},
    {75694, kNone, 4750, kNone},
    {75718, kNone, 10900, kNone},
    {75729, kNone, 14400, kNone},
    {76131, kNone, 6130, kNone},
    {76142, kNone, 10000, kNone},
    {76153, kNone, 7370, kNone},
    {75638, kNone, 7140, kNone},
    {353593, kNone, 1890, kNone},
    {124732, kNone, 1640, kNone},
    {56235, kNone, 1400, kNone},
    {74839, kNone, 5, kNone},
    {71556, kNone, 146, kNone},
    {75456, kNone, 1810, kNone},
    {306832, kNone, 77, kNone},
    {2837890, kNone, 609, kNone},
    {1717006, kNone, 725, kNone},
    {75683, kNone, 2310, kNone},
    {422560, kNone, 122, kNone},
    {507551, kNone, 595, kNone},
    {115106, kNone, 1, kNone},
    {75092, kNone, 8.7, kNone},
    {74873, kNone, 13, kNone},
    {163702065, kNone, 59, 59},
    {593533, kNone, kNone, 150},
    {359353, kNone, kNone, 1000},
    {430660, kNone, kNone, 300},
    {624726, kNone, kNone, 53},
    {353366, kNone, kNone, 12},
    {677565, kNone, kNone, 1340},
    {431630, kNone, kNone, 1370},
    {679867, kNone, kNone, 560},
    {931919, kNone, kNone, 17340},
    {2356629, kNone, kNone, 1540},
    {57041675, kNone, kNone, 989},
    {20193673, kNone, kNone, 487},
    {84011154, kNone, kNone, 286},
    {460435, kNone, kNone, 11},
    {382343, kNone, kNone, 101},
    {35042990, kNone, kNone, 502},
    {512516, kNone, kNone, 557},
    {28523866, kNone, kNone, 345},
    {13171181, kNone, kNone, 27},
    {26103082, kNone, kNone, 380},
    {920661, kNone, kNone, 195},
    {422059, kNone, kNone, 42},
};

TEST(GwpTables, EveryListedKeyGivesItsFactorInEachTable) {
    for (const ListedGas& gas : kListing) {
        SCOPED_TRACE(gas.casKey);
        const double cas = gas.casKey;
        EXPECT_EQ(co2e::LookUpGwpFactor(cas, "SAR"), gas.sar);
        EXPECT_EQ(co2e::LookUpGwpFactor(cas, "AR4"), gas.ar4);
        EXPECT_EQ(co2e::LookUpGwpFactor(cas, "US"), gas.us);
    }
}

TEST(GwpTables, RowCountsMatchTheListing) {
    int sar = 0, ar4 = 0, us = 0;
    for (const ListedGas& gas : kListing) {
        sar += gas.sar != kNone;
        ar4 += gas.ar4 != kNone;
        us += gas.us != kNone;
    }
    EXPECT_EQ(sar, 16);
    EXPECT_EQ(ar4, 60);
    EXPECT_EQ(us, 60);
    EXPECT_EQ(co2e::GwpTable("SAR").size(), 16u);
    EXPECT_EQ(co2e::GwpTable("AR4").size(), 60u);
    EXPECT_EQ(co2e::GwpTable("US").size(), 60u);
}

TEST(GwpTables, KeysInSomeTablesOnly) {
    struct Case {
        double cas;
        std::string_view label;
        double factor;
    };
    const Case cases[] = {
        {76197, "AR4", 8830}, {76197, "US", 7000},  {76197, "SAR", kNone},
        {75105, "SAR", kNone}, {75105, "AR4", 675}, {75105, "US", 650},
        {75694, "AR4", 4750}, {75694, "SAR", kNone}, {75694, "US", kNone},
        {406780, "US", 580},  {406780, "AR4", 580}, {406780, "SAR", kNone},
        {75092, "AR4", 8.7},  {422059, "US", 42},   {422059, "AR4", kNone},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.cas << " " << c.label);
        EXPECT_EQ(co2e::LookUpGwpFactor(c.cas, c.label), c.factor);
    }
}

TEST(GwpTables, CasValueRoundsToTheNearestKeyAndAnExactHalfDoesNotRaise) {
    struct Case {
        double cas;
        double sarFactor;  // 124389 is carbon dioxide (1), 74828 methane (21)
    };
    const Case cases[] = {
        {124389.0, 1},       {124389.3, 1},     {124388.7, 1},       {124389.5, 1},
        {124388.5, kNone},   {124389.5000001, kNone}, {124388.5000001, 1},
        {124389.4999999, 1}, {124390.0, kNone}, {74828.4, 21},       {74827.6, 21},
        {74828.6, kNone},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::setprecision(17) << c.cas);
        EXPECT_EQ(co2e::LookUpGwpFactor(c.cas, "SAR"), c.sarFactor);
    }
}

TEST(GwpTables, KeyOfACasValue) {
    struct Case {
        double cas;
        std::int64_t key;
    };
    const Case cases[] = {
        {0.0, 0},   {0.5, 0},   {0.51, 1},  {2.5, 2},  {2.75, 3},
        {-0.5, 0},  {-1.25, -1}, {-1.75, 0},  // the half is measured in magnitude, then 1 added
        {2147483647.0, 2147483647}, {2147483647.75, 2147483648}, {-2147483648.0, -2147483648},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::setprecision(17) << c.cas);
        std::int64_t key = -99;
        ASSERT_TRUE(co2e::CasKeyOf(c.cas, key));
        EXPECT_EQ(key, c.key);
    }
}

TEST(GwpTables, ValuesWithoutAnIntegerKeyFindNothing) {
    constexpr double inf = std::numeric_limits<double>::infinity();
    const double values[] = {std::numeric_limits<double>::quiet_NaN(), inf, -inf, 1e300, -1e300,
                             2147483648.0, -2147483649.0, EMPTY_VALUE};
    for (double v : values) {
        SCOPED_TRACE(v);
        std::int64_t key = 0;
        if (v != EMPTY_VALUE) {
            EXPECT_FALSE(co2e::CasKeyOf(v, key));
        }
        for (std::string_view label : {"SAR", "AR4", "US"})
            EXPECT_EQ(co2e::LookUpGwpFactor(v, label), EMPTY_VALUE);
    }
}

TEST(GwpTables, LabelIsMatchedExactlyAndCaseSensitively) {
    for (std::string_view label : {"sar", "Ar4", "us", "US ", " SAR", "ar5", "AR6 ", "AR6NF", "AR7", "", "SARX"}) {
        SCOPED_TRACE(label);
        EXPECT_TRUE(co2e::GwpTable(label).empty());
        EXPECT_EQ(co2e::LookUpGwpFactor(124389, label), EMPTY_VALUE);
    }
}

}  // namespace

// AR5 and AR6: a handful of factors as the reports print them (IPCC AR5 WG1 Table 8.A.1,
// AR6 WG1 Table 7.SM.7), a gas of the AR4 table that AR6 leaves out, one no table holds, and
// methane by origin.
TEST(GwpTables, Ar5AndAr6FactorsAndTheMethaneOrigin) {
    struct Case {
        double cas;
        std::string_view label;
        double factor;
    };
    const Case cases[] = {
        {74828, "AR5", 28},        {10024972, "AR5", 265},   {2551624, "AR5", 23500}, {7783542, "AR5", 16100},
        {811972, "AR5", 1300},     {75730, "AR5", 6630},     {425887, "AR5", 301},    {115106, "AR5", 1},
        {74828, "AR6", 29.8},      {74828, "AR6-NF", 27.0},  {10024972, "AR6", 273},  {10024972, "AR6-NF", 273},
        {2551624, "AR6", 24300},   {7783542, "AR6", 17400},  {811972, "AR6", 1530},   {75694, "AR6", 6230},
        {74873, "AR6", 5.54},      {163702076, "AR6", 460},  {124389, "AR6", 1},      {124389, "AR5", 1},
        {115106, "AR6", kNone},    {115106, "AR6-NF", kNone}, {7727379, "AR5", kNone}, {7727379, "AR6", kNone},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.label) + " " + std::to_string(c.cas));
        EXPECT_EQ(co2e::LookUpGwpFactor(c.cas, c.label), c.factor);
    }
    EXPECT_EQ(co2e::GwpTable("AR5").size(), 60u);
    EXPECT_EQ(co2e::GwpTable("AR6").size(), 59u);
    // Non-fossil AR6 differs from fossil AR6 in methane alone.
    const auto fossil = co2e::GwpTable("AR6"), nonFossil = co2e::GwpTable("AR6-NF");
    ASSERT_EQ(fossil.size(), nonFossil.size());
    for (std::size_t i = 0; i < fossil.size(); ++i) {
        EXPECT_EQ(fossil[i].casKey, nonFossil[i].casKey);
        if (fossil[i].casKey != 74828) {
            EXPECT_EQ(fossil[i].factor, nonFossil[i].factor);
        }
    }
    // Every AR5 gas is an AR4 gas, and so is every AR6 gas.
    for (std::string_view label : {"AR5", "AR6"})
        for (const co2e::GwpRow& row : co2e::GwpTable(label)) EXPECT_NE(co2e::LookUpGwpFactor(row.casKey, "AR4"), kNone);
}
