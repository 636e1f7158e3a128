// The certificate every reported split passes, and a split that a missing trial phase of the
// stability test would lose, against a three-phase calculation of the test's own.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

#include "host/fluid/components.h"
#include "host/thermo/flash.h"
#include "host/thermo/flash_certificate.h"

namespace calorix::host {
namespace {

constexpr double kZeroC = 273.15;

std::vector<Component> Named(std::initializer_list<const char*> names) {
    std::vector<Component> out;
    for (const char* n : names) out.push_back(ComponentFromRecord(*FindComponentByName(n)));
    return out;
}

// Vapour, hydrocarbon liquid and water of a feed by plain successive substitution on the public
// fugacity coefficients, the water as reference phase and the two Rachford-Rice equations
// solved by Newton's method: none of the flash's stability starts, extrapolation or Newton split.
struct ThreePhases {
    std::array<double, 3> shares{};
    std::array<std::vector<double>, 3> x;
};
ThreePhases SplitBySubstitution(const PengRobinsonFlash& flash, double t, double p, const std::vector<double>& z,
                                std::array<std::vector<double>, 3> x) {
    const std::size_t n = z.size();
    const RootChoice roots[3] = {RootChoice::Vapour, RootChoice::Liquid, RootChoice::Liquid};
    double b0 = 0.4, b1 = 0.4;
    for (int it = 0; it < 500; ++it) {
        std::array<std::vector<double>, 3> lnPhi;
        for (int k = 0; k < 3; ++k) lnPhi[k] = flash.LnFugacityCoefficients(t, p, x[k], roots[k]).value();
        std::array<std::vector<double>, 2> km;  // K - 1 of vapour and hydrocarbon liquid against water
        for (int k = 0; k < 2; ++k)
            for (std::size_t i = 0; i < n; ++i) km[k].push_back(std::exp(lnPhi[2][i] - lnPhi[k][i]) - 1.0);
        auto denominator = [&](std::size_t i, double c0, double c1) { return 1.0 + c0 * km[0][i] + c1 * km[1][i]; };
        for (int newton = 0; newton < 50; ++newton) {
            double g0 = 0, g1 = 0, j00 = 0, j01 = 0, j11 = 0;
            for (std::size_t i = 0; i < n; ++i) {
                const double e = denominator(i, b0, b1);
                g0 += z[i] * km[0][i] / e;
                g1 += z[i] * km[1][i] / e;
                j00 -= z[i] * km[0][i] * km[0][i] / (e * e);
                j01 -= z[i] * km[0][i] * km[1][i] / (e * e);
                j11 -= z[i] * km[1][i] * km[1][i] / (e * e);
            }
            const double det = j00 * j11 - j01 * j01;
            double d0 = -(j11 * g0 - j01 * g1) / det, d1 = -(j00 * g1 - j01 * g0) / det;
            auto positive = [&] {
                for (std::size_t i = 0; i < n; ++i)
                    if (!(denominator(i, b0 + d0, b1 + d1) > 0.0)) return false;
                return true;
            };
            while (!positive()) d0 *= 0.5, d1 *= 0.5;
            b0 += d0;
            b1 += d1;
        }
        for (std::size_t i = 0; i < n; ++i) {
            x[2][i] = z[i] / denominator(i, b0, b1);
            x[0][i] = (km[0][i] + 1.0) * x[2][i];
            x[1][i] = (km[1][i] + 1.0) * x[2][i];
        }
    }
    return {{b0, b1, 1.0 - b0 - b1}, x};
}

// Methane, n-pentane and water at 15 degC and 150 kPa: vapour, a hydrocarbon liquid of about a
// fifth of the feed, and water. The hydrocarbon liquid is found only from a water-free start.
TEST(FlashCertificate, HydrocarbonLiquidBesideWaterMatchesAnIndependentSplit) {
    const PengRobinsonFlash flash(Named({"methane", "n-pentane", "water"}));
    const std::vector<double> feed{0.50, 0.43, 0.07};
    const double t = kZeroC + 15.0, p = 150.0;
    const ThreePhases own = SplitBySubstitution(flash, t, p, feed, {{{0.9, 0.09, 0.01}, {0.05, 0.94, 0.01}, {1e-6, 1e-6, 1.0 - 2e-6}}});
    EXPECT_NEAR(own.shares[1], 0.195, 0.005);
    const auto r = flash.FlashTP(t, p, feed);
    ASSERT_TRUE(r.has_value());
    ASSERT_EQ(r->PresentCount(), 3);
    for (int k = 0; k < 3; ++k) {
        SCOPED_TRACE(k);
        ASSERT_TRUE(r->phases[k].present);
        EXPECT_NEAR(r->phases[k].fraction, own.shares[k], 1e-7);
        for (std::size_t i = 0; i < feed.size(); ++i) EXPECT_NEAR(r->phases[k].moleFractions[i], own.x[k][i], 1e-7);
    }
}

// The certificate refuses a split whose ln fugacities differ by 1e-6, which the split's own
// stopping rule would never let through, and one whose balance or shares are off.
TEST(FlashCertificate, RefusesSplitsJustOutsideItsBounds) {
    const PengRobinsonFlash flash(Named({"methane", "n-pentane", "water"}));
    const std::vector<double> feed{0.50, 0.43, 0.07};
    const double t = kZeroC + 15.0, p = 150.0;
    const auto r = flash.FlashTP(t, p, feed);
    ASSERT_TRUE(r.has_value());
    struct Phase {
        double share;
        std::vector<double> x, lnPhi;
    };
    std::vector<Phase> split;
    for (const auto& ph : r->phases)
        if (ph.present)
            split.push_back({ph.fraction, ph.moleFractions,
                             flash.LnFugacityCoefficients(t, p, ph.moleFractions, RootChoice::Stable).value()});
    ASSERT_EQ(split.size(), 3u);
    auto certified = [&](const std::vector<Phase>& s) {
        std::vector<CertifiedPhase> view;
        for (const auto& ph : s) view.push_back({ph.share, ph.x, ph.lnPhi});
        return IsCertifiedSplit(feed, view);
    };
    EXPECT_TRUE(certified(split));
    struct Fault {
        const char* what;
        void (*apply)(std::vector<Phase>&);
        bool certified;
    };
    const Fault faults[] = {
        {"ln phi of methane in the liquid +1e-6", [](std::vector<Phase>& s) { s[1].lnPhi[0] += 1e-6; }, false},
        {"ln phi of water in the vapour -1e-6", [](std::vector<Phase>& s) { s[0].lnPhi[2] -= 1e-6; }, false},
        {"ln phi of n-pentane in the water +1e-9", [](std::vector<Phase>& s) { s[2].lnPhi[1] += 1e-9; }, true},
        {"1e-6 of the liquid's share moved to the vapour",
         [](std::vector<Phase>& s) { s[1].share -= 1e-6, s[0].share += 1e-6; }, false},
        {"shares adding to 1 + 1e-9", [](std::vector<Phase>& s) { s[0].share += 1e-9; }, false},
        {"a composition adding to 1 - 1e-9", [](std::vector<Phase>& s) { s[2].x[2] -= 1e-9; }, false},
        {"a negative fraction", [](std::vector<Phase>& s) { s[0].x[1] = -s[0].x[1]; }, false},
    };
    for (const auto& f : faults) {
        SCOPED_TRACE(f.what);
        auto s = split;
        f.apply(s);
        EXPECT_EQ(certified(s), f.certified);
    }
}

}  // namespace
}  // namespace calorix::host
