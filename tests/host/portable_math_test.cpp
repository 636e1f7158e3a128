// The flash's own elementary functions against the C library's, over their whole working
// range, and at the points where a reduction changes branch.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

#include "host/thermo/portable_math.h"

namespace pmath = calorix::host::pmath;

namespace {

// Within a few units in the last place of the C library's value (or an absolute 1e-300 near 0).
void ExpectClose(double ours, double reference, double x, const char* name) {
    const double tolerance = 4.0 * std::numeric_limits<double>::epsilon() * std::fabs(reference) + 1e-300;
    EXPECT_NEAR(ours, reference, tolerance) << name << "(" << x << ")";
}

std::vector<double> Sweep(double from, double to, int points) {
    std::vector<double> xs;
    for (int i = 0; i <= points; ++i) xs.push_back(from + (to - from) * i / points);
    return xs;
}

}  // namespace

TEST(PortableMath, AgreesWithTheCLibraryToTheLastPlaces) {
    for (double x : Sweep(-740.0, 709.0, 20011)) ExpectClose(pmath::Exp(x), std::exp(x), x, "Exp");
    for (double e = -300.0; e <= 300.0; e += 0.0731) {
        const double x = std::pow(10.0, e);
        ExpectClose(pmath::Log(x), std::log(x), x, "Log");
        ExpectClose(pmath::Cbrt(x), std::cbrt(x), x, "Cbrt");
        ExpectClose(pmath::Cbrt(-x), std::cbrt(-x), -x, "Cbrt");
    }
    // Near 1 the logarithm is small and must keep its relative accuracy.
    for (double x : Sweep(0.999, 1.001, 2001)) ExpectClose(pmath::Log(x), std::log(x), x, "Log");
    for (double x : Sweep(-1.0, 1.0, 20000)) {
        EXPECT_NEAR(pmath::Acos(x), std::acos(x), 4e-16 * std::numbers::pi) << "Acos(" << x << ")";
    }
    for (double x : Sweep(-20.0, 20.0, 40001)) EXPECT_NEAR(pmath::Cos(x), std::cos(x), 1e-15) << "Cos(" << x << ")";
}

TEST(PortableMath, EdgesOfTheDomain) {
    constexpr double inf = std::numeric_limits<double>::infinity();
    EXPECT_TRUE(std::isnan(pmath::Log(-1.0)));
    EXPECT_EQ(pmath::Log(0.0), -inf);
    EXPECT_EQ(pmath::Log(inf), inf);
    EXPECT_EQ(pmath::Log(1.0), 0.0);
    EXPECT_EQ(pmath::Exp(0.0), 1.0);
    EXPECT_EQ(pmath::Exp(710.0), inf);
    EXPECT_EQ(pmath::Exp(-746.0), 0.0);
    EXPECT_GT(pmath::Exp(-744.0), 0.0);  // a subnormal result, not 0
    EXPECT_EQ(pmath::Cbrt(0.0), 0.0);
    EXPECT_EQ(pmath::Cbrt(-27.0), -3.0);
    EXPECT_EQ(pmath::Acos(1.0), 0.0);
    EXPECT_DOUBLE_EQ(pmath::Acos(-1.0), std::numbers::pi);
    EXPECT_TRUE(std::isnan(pmath::Acos(1.0000001)));
    EXPECT_DOUBLE_EQ(pmath::Cos(std::numbers::pi), -1.0);
}
