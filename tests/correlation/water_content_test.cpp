// The water content through the built module.
#include <gtest/gtest.h>

#include "tests/correlation/water_test_support.h"

using namespace watertest;

namespace {

constexpr double kWaterMolarMass = 18.01528;  // kg/kmol

// Methane, ethane and 2 % water.
void WetGas(FakeHost& host, std::vector<double> tempUnitFlags) {
    host.SetGas({{74828, 16.043, 0.90}, {74840, 30.07, 0.08}, {kWater, kWaterMolarMass, 0.02}});
    host.SetProperty("TempUnitFlag", std::move(tempUnitFlags));
}

std::vector<double> Calculate(FakeHost& host) {
    std::vector<double> values;
    {
        Attached a = AttachTo(CLSID_WaterContentMg, host);
        EXPECT_EQ(a.Calculate(), S_OK);
        values = a.Values();
    }
    EXPECT_EQ(host.Check(), "");
    return values;
}

}  // namespace

TEST(WaterContent, MilligramsPerCubicMetreAtBothReferenceConditions) {
    // 0.02 x 18.01528 kg/kmol = 0.3603056 kg of water per kmol of gas, over the molar volume.
    FakeHost at15C;
    WetGas(at15C, {1});
    const double flag1 = Calculate(at15C)[0];
    EXPECT_NEAR(flag1, 15238.494164123855, 15238.5 * 1e-13);

    FakeHost at60F;
    WetGas(at60F, {0});
    const double flag0 = Calculate(at60F)[0];
    EXPECT_NEAR(flag0, 15209.170479871755, 15209.2 * 1e-13);

    // The same fluid reads 0.19 % more at the 15 degC reference: the ratio of the volumes.
    EXPECT_NEAR(flag1 / flag0, 23.6900231 / 23.644436, 1e-15);
    EXPECT_NEAR(flag1 / flag0 - 1.0, 0.0019, 0.00005);
}

TEST(WaterContent, PhasesAbsentOrWithoutWaterGiveZero) {
    FakeHost host;
    WetGas(host, {0});
    host.SetPhase(0, 0.7, {0.8, 0.1, 0.1});
    host.SetPhase(1, 0.1, {0.9, 0.1, -1e-9});  // slightly negative water from the flash
    host.SetPhase(2, 0.2, {0.0, 0.0, kNaN});
    const std::vector<double> v = Calculate(host);
    EXPECT_NEAR(v[0], 15209.170479871755, 1e-9);
    EXPECT_NEAR(v[1], 76045.85239935879, 1e-8);  // phase 0, 10 % water
    EXPECT_EQ(v[2], 0.0);                         // phase 1: negative counts as none
    EXPECT_EQ(v[3], 0.0);                         // phase 2: not a number counts as none
    EXPECT_EQ(v[4], kSentinel);                   // never written
    EXPECT_EQ(v[5], 0.0);                         // phase 3 absent: 0.0, not EMPTY_VALUE
}

TEST(WaterContent, FluidWithoutWaterGivesZeroEverywhere) {
    FakeHost host;
    host.SetGas({{74828, 16.043, 0.9}, {74840, 30.07, 0.1}});
    host.SetProperty("TempUnitFlag", {2});  // no reference volume needed without water
    host.SetPhase(1, 1.0, {0.9, 0.1});
    EXPECT_EQ(Calculate(host), (std::vector<double>{0.0, 0.0, 0.0, 0.0, kSentinel, 0.0}));
}

TEST(WaterContent, LaterWaterEntrySuppliesFractionAndMolarMass) {
    FakeHost host;
    host.SetGas({{kWater, 18.0, 0.01}, {74828, 16.043, 0.96}, {kWater, 20.0, 0.03}});
    host.SetProperty("TempUnitFlag", {0});
    EXPECT_EQ(Calculate(host)[0], ((0.03 * 20.0) * 1000000.0) / 23.6900231);
}

TEST(WaterContent, OnlyTheFirstTempUnitFlagCounts) {
    for (double first : {0.0, 1.0}) {
        FakeHost single;
        WetGas(single, {first});
        FakeHost several;
        WetGas(several, {first, 1.0 - first, 1.0 - first, 7.0});
        EXPECT_EQ(Calculate(several)[0], Calculate(single)[0]) << first;
    }
}

TEST(WaterContent, TempUnitFlagWithoutReferenceVolumeGivesEmpty) {
    // A flag other than 0 or 1, or none at all, has no reference condition: the evaluated
    // slots report EMPTY_VALUE; absent phases keep 0.0.
    const std::vector<std::vector<double>> flags = {{2}, {-1}, {0.5}, {kNaN}, {1e300}, {}};
    for (const auto& f : flags) {
        SCOPED_TRACE(f.empty() ? std::string("none") : std::to_string(f[0]));
        FakeHost host;
        WetGas(host, f);
        host.SetPhase(0, 1.0, {0.9, 0.08, 0.02});
        EXPECT_EQ(Calculate(host), (std::vector<double>{EMPTY_VALUE, EMPTY_VALUE, 0.0, 0.0, kSentinel, 0.0}));
    }
}

TEST(WaterContent, ArraysShorterThanTheComponentCountAreNotReadPast) {
    // Water is the third component.
    struct Case {
        const char* name;
        const char* property;  // nullptr: the record's own count
        std::int32_t count;
        double expected;
    };
    const Case cases[] = {
        {"molecular weights end before water", "Molecular Weight", 2, EMPTY_VALUE},
        {"record ends before water", nullptr, 2, EMPTY_VALUE},
        {"CAS numbers end before water: no water", "CAS_Numbers", 2, 0.0},
        {"flags longer than the record", "TempUnitFlag", 5, ((0.02 * kWaterMolarMass) * 1000000.0) / 23.644436},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeHost host;
        WetGas(host, {1});
        if (c.property)
            host.SetReportedCount(c.property, c.count);
        else
            host.SetComponentCount(c.count);
        EXPECT_EQ(Calculate(host)[0], c.expected);
    }
}
