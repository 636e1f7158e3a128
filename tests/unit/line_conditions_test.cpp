// The GERG-2008 and DETAIL engines against the published 21-component check point, over a
// table of gases across the range, and at the edges: out of range, bad input, liquid roots.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <iomanip>
#include <limits>
#include <initializer_list>
#include <utility>

#include "lineprops/detail.h"
#include "lineprops/gerg2008.h"
#include "lineprops/line_range.h"

namespace {

using calorix::lineprops::DescribeLimit;
using calorix::lineprops::DetailMixture;
using calorix::lineprops::LineModel;
using calorix::lineprops::RangeClass;
using calorix::lineprops::RangeOf;
using calorix::lineprops::Gerg2008Mixture;
using calorix::lineprops::LineStatus;
using calorix::lineprops::Root;

// The 21-component mixture of NIST's AGA8 check program, in the models' component order.
constexpr std::array<double, 21> kCheckGas{0.77824, 0.02,    0.06,    0.08,   0.03,   0.0015, 0.003,
                                           0.0005,  0.00165, 0.00215, 0.00088, 0.00024, 0.00015, 0.00009,
                                           0.004,   0.005,   0.002,   0.0001, 0.0025, 0.007,  0.001};

void ExpectRelative(double actual, double expected, double tolerance, const char* what) {
    EXPECT_LE(std::abs(actual / expected - 1), tolerance)
        << what << ": " << std::setprecision(17) << actual << " vs " << expected;
}

TEST(Gerg2008, CheckPointOfTheReferenceImplementation) {
    Gerg2008Mixture gas(kCheckGas);
    const auto state = gas.State(400.0, 50000.0);
    ASSERT_EQ(state.status, LineStatus::Ok);
    ExpectRelative(state.molar_mass_g_mol, 20.5427445016, 1e-10, "molar mass");
    ExpectRelative(state.molar_density_mol_l, 12.79828626082062, 1e-9, "molar density");
    ExpectRelative(state.compressibility, 1.174690666383717, 1e-9, "Z");
    ExpectRelative(state.speed_of_sound_m_s, 714.4248840596024, 1e-9, "speed of sound");
    ExpectRelative(state.isentropic_exponent, 2.683820255058032, 1e-9, "isentropic exponent");
    ExpectRelative(state.isochoric_heat_capacity_J_molK, 39.02948218156372, 1e-9, "cv");
    ExpectRelative(state.isobaric_heat_capacity_J_molK, 58.45522051000366, 1e-9, "cp");
    ExpectRelative(state.joule_thomson_K_kPa, 7.155629581480913e-05, 1e-9, "Joule-Thomson coefficient");
    // Enthalpy and entropy hang on the ideal-gas reference constants, which the reference
    // implementation carries to ten digits (about 1e-4 J/mol); here they are exact.
    EXPECT_NEAR(state.enthalpy_J_mol, 1160.280160510973, 2e-3);
    EXPECT_NEAR(state.entropy_J_molK, -38.57590392409089, 1e-6);
}

TEST(Detail, CheckPointOfTheReferenceImplementation) {
    DetailMixture gas(kCheckGas);
    const auto state = gas.State(400.0, 50000.0);
    ASSERT_EQ(state.status, LineStatus::Ok);
    ExpectRelative(state.molar_mass_g_mol, 20.54333051, 1e-10, "molar mass");
    ExpectRelative(state.molar_density_mol_l, 12.80792403648801, 1e-9, "molar density");
    ExpectRelative(state.compressibility, 1.173801364147326, 1e-9, "Z");
    ExpectRelative(state.speed_of_sound_m_s, 712.6393684057903, 1e-9, "speed of sound");
    ExpectRelative(state.isentropic_exponent, 2.672509225184606, 1e-9, "isentropic exponent");
    ExpectRelative(state.isochoric_heat_capacity_J_molK, 39.12076154430332, 1e-9, "cv");
    ExpectRelative(state.isobaric_heat_capacity_J_molK, 58.54617672380667, 1e-9, "cp");
    ExpectRelative(state.joule_thomson_K_kPa, 7.432969304794577e-05, 1e-9, "Joule-Thomson coefficient");
}

// The range class and its reason after the published ranges (line_range.h), each case with the
// first limit it passes: components and groups of DETAIL, T and p of both models.
TEST(LineRange, ClassAndReasonAfterThePublishedRanges) {
    // methane, nitrogen, CO2, ethane, propane, isobutane, n-butane, ..., hydrogen (14)
    const std::array<double, 21> pipeline{0.9, 0.02, 0.015, 0.045, 0.012, 0.003, 0.003, 0.0, 0.002};
    std::array<double, 21> hydrogen20 = pipeline;
    hydrogen20[14] = 0.25;  // 20 % of the whole once scaled
    std::array<double, 21> propane15{0.85, 0, 0, 0, 0.15};
    std::array<double, 21> butanes{0.968, 0.02, 0, 0, 0, 0.006, 0.006};
    std::array<double, 21> lean{0.4, 0.6};
    struct Case {
        LineModel model;
        const std::array<double, 21>* x;
        double t_K, p_kPa;
        RangeClass range;
        const char* reason;
    };
    const Case cases[] = {
        {LineModel::Detail, &pipeline, 288.15, 5000, RangeClass::Normal, ""},
        {LineModel::Detail, &hydrogen20, 288.15, 5000, RangeClass::Extended, "hydrogen 20 % above 10 %"},
        {LineModel::Detail, &propane15, 288.15, 5000, RangeClass::Outside, "propane 15 % above 12 %"},
        {LineModel::Detail, &butanes, 288.15, 5000, RangeClass::Extended, "butanes 1.2 % above 1 %"},
        {LineModel::Detail, &lean, 288.15, 5000, RangeClass::Extended, "methane 40 % below 45 %"},
        {LineModel::Detail, &pipeline, 288.15, 20000, RangeClass::Extended, "p 20 MPa above 12 MPa"},
        {LineModel::Detail, &pipeline, 700, 5000, RangeClass::Outside, "T 700.00 K above 673.00 K"},
        // An outside component weighs more than an extended state.
        {LineModel::Detail, &propane15, 400, 20000, RangeClass::Outside, "propane 15 % above 12 %"},
        {LineModel::Gerg2008, &hydrogen20, 288.15, 5000, RangeClass::Normal, ""},
        {LineModel::Gerg2008, &pipeline, 500, 5000, RangeClass::Extended, "T 500.00 K above 450.00 K"},
        {LineModel::Gerg2008, &pipeline, 80, 1000, RangeClass::Extended, "T 80.00 K below 90.00 K"},
        {LineModel::Gerg2008, &pipeline, 300, 50000, RangeClass::Extended, "p 50 MPa above 35 MPa"},
        {LineModel::Gerg2008, &pipeline, 750, 5000, RangeClass::Outside, "T 750.00 K above 700.00 K"},
    };
    for (const Case& c : cases) {
        const auto verdict = RangeOf(c.model, *c.x, c.t_K, c.p_kPa);
        EXPECT_EQ(verdict.range, c.range) << c.reason;
        EXPECT_EQ(DescribeLimit(verdict), c.reason);
        // As "Phase_Status" carries it to a host.
        const auto carried = calorix::lineprops::DecodeLimit(calorix::lineprops::EncodeLimit(verdict));
        EXPECT_EQ(DescribeLimit(carried), c.reason);
        if (verdict.range != RangeClass::Normal) {
            EXPECT_EQ(carried.range, c.range) << c.reason;
        }
    }
}

// Every kind of bound of the published ranges, each with a gas or state just inside it and one
// just outside: DETAIL's normal and expanded maximum of a component and of a group (the group
// summed over its members), the normal minimum of methane, a component whose normal range is
// none at all, and both models' temperature and pressure bounds. A share met exactly lies inside.
TEST(LineRange, EachBoundJustInsideAndJustOutside) {
    enum : std::size_t { kMethane = 0, kNitrogen = 1, kCarbonDioxide = 2, kPropane = 4, kIsobutane = 5, kButane = 6, kHexane = 9,
                         kOctane = 11, kHydrogen = 14, kOxygen = 15, kCarbonMonoxide = 16, kWater = 17, kHelium = 19,
                         kArgon = 20 };
    // Methane with the given shares of other components (nitrogen instead of methane as the rest
    // where methane itself is tested).
    const auto gas = [](std::initializer_list<std::pair<std::size_t, double>> shares, std::size_t rest = kMethane) {
        std::array<double, 21> x{};
        double sum = 0;
        for (const auto& [i, share] : shares) {
            x[i] += share;
            sum += share;
        }
        x[rest] += 1 - sum;
        return x;
    };
    struct Case {
        LineModel model;
        std::array<double, 21> x;
        double t_K, p_kPa;
        RangeClass range;
        const char* reason;
    };
    const Case cases[] = {
        // A component's normal maximum (hydrogen 10 %), met exactly and passed.
        {LineModel::Detail, gas({{kHydrogen, 0.10}}), 288.15, 5000, RangeClass::Normal, ""},
        {LineModel::Detail, gas({{kHydrogen, 0.1001}}), 288.15, 5000, RangeClass::Extended, "hydrogen 10.01 % above 10 %"},
        // A component's expanded maximum (helium 3 %).
        {LineModel::Detail, gas({{kHelium, 0.0299}}), 288.15, 5000, RangeClass::Extended, "helium 2.99 % above 0.2 %"},
        {LineModel::Detail, gas({{kHelium, 0.0301}}), 288.15, 5000, RangeClass::Outside, "helium 3.01 % above 3 %"},
        // Normal and expanded maximum the same (carbon monoxide 3 %).
        {LineModel::Detail, gas({{kCarbonMonoxide, 0.03}}), 288.15, 5000, RangeClass::Normal, ""},
        {LineModel::Detail, gas({{kCarbonMonoxide, 0.0301}}), 288.15, 5000, RangeClass::Outside,
         "carbon monoxide 3.01 % above 3 %"},
        // A group, summed over its members (butanes 1 % normal, 6 % expanded).
        {LineModel::Detail, gas({{kIsobutane, 0.005}, {kButane, 0.005}}), 288.15, 5000, RangeClass::Normal, ""},
        {LineModel::Detail, gas({{kIsobutane, 0.005}, {kButane, 0.0051}}), 288.15, 5000, RangeClass::Extended,
         "butanes 1.01 % above 1 %"},
        {LineModel::Detail, gas({{kIsobutane, 0.03}, {kButane, 0.0301}}), 288.15, 5000, RangeClass::Outside,
         "butanes 6.01 % above 6 %"},
        // Hexanes and heavier, every member counted (0.2 % normal, no expanded maximum below 100 %).
        {LineModel::Detail, gas({{kHexane, 0.001}, {kOctane, 0.001}}), 288.15, 5000, RangeClass::Normal, ""},
        {LineModel::Detail, gas({{kHexane, 0.001}, {kOctane, 0.0011}}), 288.15, 5000, RangeClass::Extended,
         "hexanes and heavier 0.21 % above 0.2 %"},
        // Propane 4 % normal, 12 % expanded; water 0.05 % normal.
        {LineModel::Detail, gas({{kPropane, 0.04}}), 288.15, 5000, RangeClass::Normal, ""},
        {LineModel::Detail, gas({{kPropane, 0.1201}}), 288.15, 5000, RangeClass::Outside, "propane 12.01 % above 12 %"},
        {LineModel::Detail, gas({{kWater, 0.0005}}), 288.15, 5000, RangeClass::Normal, ""},
        {LineModel::Detail, gas({{kWater, 0.0006}}), 288.15, 5000, RangeClass::Extended, "water 0.06 % above 0.05 %"},
        // No normal range at all: any argon or oxygen is extended; argon above 1 % outside.
        {LineModel::Detail, gas({{kArgon, 0.0001}}), 288.15, 5000, RangeClass::Extended, "argon 0.01 % above 0 %"},
        {LineModel::Detail, gas({{kArgon, 0.0101}}), 288.15, 5000, RangeClass::Outside, "argon 1.01 % above 1 %"},
        {LineModel::Detail, gas({{kOxygen, 0.21}}), 288.15, 5000, RangeClass::Extended, "oxygen 21 % above 0 %"},
        {LineModel::Detail, gas({{kOxygen, 0.2101}}), 288.15, 5000, RangeClass::Outside, "oxygen 21.01 % above 21 %"},
        // Methane's normal minimum (45 %), beside nitrogen at its normal maximum (50 %).
        {LineModel::Detail, gas({{kMethane, 0.45}, {kCarbonDioxide, 0.05}}, kNitrogen), 288.15, 5000, RangeClass::Normal, ""},
        {LineModel::Detail, gas({{kMethane, 0.4499}, {kCarbonDioxide, 0.0501}}, kNitrogen), 288.15, 5000, RangeClass::Extended,
         "methane 44.99 % below 45 %"},
        // DETAIL's temperature and pressure: normal -8 degC to 62 degC and 12 MPa, expanded 143 K
        // to 673 K and 280 MPa.
        {LineModel::Detail, gas({}), 265.2, 5000, RangeClass::Normal, ""},
        {LineModel::Detail, gas({}), 265.1, 5000, RangeClass::Extended, "T 265.10 K below 265.15 K"},
        {LineModel::Detail, gas({}), 335.1, 5000, RangeClass::Normal, ""},
        {LineModel::Detail, gas({}), 335.2, 5000, RangeClass::Extended, "T 335.20 K above 335.15 K"},
        {LineModel::Detail, gas({}), 288.15, 12000, RangeClass::Normal, ""},
        {LineModel::Detail, gas({}), 288.15, 12100, RangeClass::Extended, "p 12.1 MPa above 12 MPa"},
        {LineModel::Detail, gas({}), 143.1, 50, RangeClass::Extended, "T 143.10 K below 265.15 K"},
        {LineModel::Detail, gas({}), 142.9, 50, RangeClass::Outside, "T 142.90 K below 143.00 K"},
        {LineModel::Detail, gas({}), 672.9, 5000, RangeClass::Extended, "T 672.90 K above 335.15 K"},
        {LineModel::Detail, gas({}), 673.1, 5000, RangeClass::Outside, "T 673.10 K above 673.00 K"},
        {LineModel::Detail, gas({}), 300, 280000, RangeClass::Extended, "p 280 MPa above 12 MPa"},
        {LineModel::Detail, gas({}), 300, 281000, RangeClass::Outside, "p 281 MPa above 280 MPa"},
        // GERG-2008: normal 90 K to 450 K and 35 MPa, extended 60 K to 700 K and 70 MPa.
        {LineModel::Gerg2008, gas({}), 90.1, 50, RangeClass::Normal, ""},
        {LineModel::Gerg2008, gas({}), 89.9, 50, RangeClass::Extended, "T 89.90 K below 90.00 K"},
        {LineModel::Gerg2008, gas({}), 449.9, 5000, RangeClass::Normal, ""},
        {LineModel::Gerg2008, gas({}), 450.1, 5000, RangeClass::Extended, "T 450.10 K above 450.00 K"},
        {LineModel::Gerg2008, gas({}), 300, 35000, RangeClass::Normal, ""},
        {LineModel::Gerg2008, gas({}), 300, 35100, RangeClass::Extended, "p 35.1 MPa above 35 MPa"},
        {LineModel::Gerg2008, gas({}), 60.1, 10, RangeClass::Extended, "T 60.10 K below 90.00 K"},
        {LineModel::Gerg2008, gas({}), 59.9, 10, RangeClass::Outside, "T 59.90 K below 60.00 K"},
        {LineModel::Gerg2008, gas({}), 699.9, 5000, RangeClass::Extended, "T 699.90 K above 450.00 K"},
        {LineModel::Gerg2008, gas({}), 700.1, 5000, RangeClass::Outside, "T 700.10 K above 700.00 K"},
        {LineModel::Gerg2008, gas({}), 300, 70000, RangeClass::Extended, "p 70 MPa above 35 MPa"},
        {LineModel::Gerg2008, gas({}), 300, 70100, RangeClass::Outside, "p 70.1 MPa above 70 MPa"},
    };
    for (const Case& c : cases) {
        const auto verdict = RangeOf(c.model, c.x, c.t_K, c.p_kPa);
        EXPECT_EQ(verdict.range, c.range) << c.reason;
        EXPECT_EQ(DescribeLimit(verdict), c.reason);
        const auto carried = calorix::lineprops::DecodeLimit(calorix::lineprops::EncodeLimit(verdict));
        EXPECT_EQ(DescribeLimit(carried), c.reason);
    }
}

}  // namespace
