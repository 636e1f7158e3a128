#include "lineprops/line_range.h"

#include <cstddef>
#include <cstdio>
#include <initializer_list>

#include "lineprops/detail.h"
#include "lineprops/gerg2008.h"

namespace calorix::lineprops {
namespace {

// Component numbers of both models (lineprops/gerg2008_table.h).
enum : std::size_t {
    kMethane, kNitrogen, kCarbonDioxide, kEthane, kPropane, kIsobutane, kButane, kIsopentane, kPentane, kHexane,
    kHeptane, kOctane, kNonane, kDecane, kHydrogen, kOxygen, kCarbonMonoxide, kWater, kHydrogenSulfide, kHelium,
    kArgon
};

// A component or group of components with its normal and expanded share, mole fractions.
struct ShareLimit {
    const char* what;
    std::initializer_list<std::size_t> members;
    double normal_min, normal_max, expanded_max;
};

// AGA Report No. 8 (1994), Table 1.
const ShareLimit kDetailShares[] = {
    {"methane", {kMethane}, 0.45, 1.0, 1.0},
    {"nitrogen", {kNitrogen}, 0, 0.50, 1.0},
    {"carbon dioxide", {kCarbonDioxide}, 0, 0.30, 1.0},
    {"ethane", {kEthane}, 0, 0.10, 1.0},
    {"propane", {kPropane}, 0, 0.04, 0.12},
    {"butanes", {kIsobutane, kButane}, 0, 0.01, 0.06},
    {"pentanes", {kIsopentane, kPentane}, 0, 0.003, 0.04},
    {"hexanes and heavier", {kHexane, kHeptane, kOctane, kNonane, kDecane}, 0, 0.002, 1.0},
    {"helium", {kHelium}, 0, 0.002, 0.03},
    {"hydrogen", {kHydrogen}, 0, 0.10, 1.0},
    {"carbon monoxide", {kCarbonMonoxide}, 0, 0.03, 0.03},
    {"argon", {kArgon}, 0, 0, 0.01},
    {"oxygen", {kOxygen}, 0, 0, 0.21},
    {"water", {kWater}, 0, 0.0005, 1.0},
    {"hydrogen sulfide", {kHydrogenSulfide}, 0, 0.0002, 1.0},
};

struct StateLimits {
    double normal_min_K, normal_max_K, normal_max_kPa, extended_min_K, extended_max_K, extended_max_kPa;
};
constexpr StateLimits kGergLimits{90, 450, 35000, kGergMinTemperature_K, kGergMaxTemperature_K, kGergMaxPressure_kPa};
constexpr StateLimits kDetailLimits{265.15, 335.15, 12000, kDetailMinTemperature_K, kDetailMaxTemperature_K,
                                    kDetailMaxPressure_kPa};

// The worse of two verdicts (the first at a tie).
RangeVerdict Worse(const RangeVerdict& a, const RangeVerdict& b) { return b.range > a.range ? b : a; }

RangeVerdict OfState(const StateLimits& l, double t, double p) {
    RangeVerdict v;
    const auto pass = [&](RangeClass range, RangeVerdict::Limit limit, double value, double bound, bool above) {
        v = Worse(v, RangeVerdict{range, limit, "", value, bound, above});
    };
    if (t > l.extended_max_K) pass(RangeClass::Outside, RangeVerdict::Limit::Temperature, t, l.extended_max_K, true);
    if (t < l.extended_min_K) pass(RangeClass::Outside, RangeVerdict::Limit::Temperature, t, l.extended_min_K, false);
    if (p > l.extended_max_kPa) pass(RangeClass::Outside, RangeVerdict::Limit::Pressure, p, l.extended_max_kPa, true);
    if (t > l.normal_max_K) pass(RangeClass::Extended, RangeVerdict::Limit::Temperature, t, l.normal_max_K, true);
    if (t < l.normal_min_K) pass(RangeClass::Extended, RangeVerdict::Limit::Temperature, t, l.normal_min_K, false);
    if (p > l.normal_max_kPa) pass(RangeClass::Extended, RangeVerdict::Limit::Pressure, p, l.normal_max_kPa, true);
    return v;
}

}  // namespace

RangeVerdict RangeOf(LineModel model, const std::array<double, 21>& x, double temperature_K, double pressure_kPa) {
    if (model == LineModel::Gerg2008) return OfState(kGergLimits, temperature_K, pressure_kPa);
    RangeVerdict v;
    double sum = 0;
    for (double share : x) sum += share;
    if (!(sum > 0)) return v;
    // A share is compared to its bound with a margin of 1e-12, so that a bound met exactly in
    // the host's fractions is not passed by rounding.
    constexpr double kMargin = 1e-12;
    for (const ShareLimit& s : kDetailShares) {
        double share = 0;
        for (std::size_t i : s.members) share += x[i] / sum;
        if (share > s.expanded_max + kMargin)
            v = Worse(v, {RangeClass::Outside, RangeVerdict::Limit::Component, s.what, share, s.expanded_max, true});
        else if (share > s.normal_max + kMargin)
            v = Worse(v, {RangeClass::Extended, RangeVerdict::Limit::Component, s.what, share, s.normal_max, true});
        else if (share < s.normal_min - kMargin)
            v = Worse(v, {RangeClass::Extended, RangeVerdict::Limit::Component, s.what, share, s.normal_min, false});
    }
    return Worse(v, OfState(kDetailLimits, temperature_K, pressure_kPa));
}

std::string DescribeLimit(const RangeVerdict& v) {
    const char* side = v.above ? "above" : "below";
    char text[128] = "";
    switch (v.limit) {
    case RangeVerdict::Limit::None: break;
    case RangeVerdict::Limit::Component:
        std::snprintf(text, sizeof text, "%s %.4g %% %s %.4g %%", v.what, 100 * v.value, side, 100 * v.bound);
        break;
    case RangeVerdict::Limit::Temperature:
        std::snprintf(text, sizeof text, "T %.2f K %s %.2f K", v.value, side, v.bound);
        break;
    case RangeVerdict::Limit::Pressure:
        std::snprintf(text, sizeof text, "p %.4g MPa %s %.4g MPa", v.value / 1000, side, v.bound / 1000);
        break;
    }
    return text;
}

}  // namespace calorix::lineprops
