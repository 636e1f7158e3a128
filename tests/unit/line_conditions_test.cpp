// The GERG-2008 and DETAIL engines against the published 21-component check point, over a
// table of gases across the range, and at the edges: out of range, bad input, liquid roots.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <iomanip>
#include <limits>

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

}  // namespace
