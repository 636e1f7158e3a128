#include "framework/line_range.h"

#include <cmath>
#include <cstddef>
#include <cstdio>
#include <initializer_list>
#include <iterator>


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

// AGA Report No. 8 (1994), Table 1: normal minimum, normal maximum, expanded maximum. Where the
// table gives "dew point" as expanded maximum (hexanes and heavier, water) the bound is 100 %.
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
// GERG-2008 after Kunz and Wagner (2012); DETAIL after AGA Report No. 8 (1994): -8 degC and
// 62 degC, 12 MPa; 143 K and 673 K, 280 MPa. The extended bounds are the engines' own
// (lineprops/line_range.h checks that they agree).
constexpr StateLimits kGergLimits{90, 450, 35000, 60, 700, 70000};
constexpr StateLimits kDetailLimits{265.15, 335.15, 12000, 143, 673, 280000};

// The worse of two verdicts (the first at a tie).
RangeVerdict Worse(const RangeVerdict& a, const RangeVerdict& b) { return b.range > a.range ? b : a; }

// Places of the limits: the DETAIL shares' 1 + 3 g + kind (kind 0 normal maximum, 1 expanded
// maximum, 2 normal minimum), then each model's six state limits, kStatePlace + 6 m + kind.
constexpr int kStatePlace = 1 + 3 * 15;
static_assert(std::size(kDetailShares) == 15);

// A model's state limit of kind 0..5: extended T maximum, T minimum, p maximum, then normal.
RangeVerdict StateLimit(const StateLimits& l, int model, int kind, double value) {
    const bool extended = kind < 3;
    const RangeClass range = extended ? RangeClass::Outside : RangeClass::Extended;
    const int place = kStatePlace + 6 * model + kind;
    switch (kind % 3) {
    case 0: return {range, RangeVerdict::Limit::Temperature, "", value, extended ? l.extended_max_K : l.normal_max_K, true, place};
    case 1: return {range, RangeVerdict::Limit::Temperature, "", value, extended ? l.extended_min_K : l.normal_min_K, false, place};
    default: return {range, RangeVerdict::Limit::Pressure, "", value, extended ? l.extended_max_kPa : l.normal_max_kPa, true, place};
    }
}

RangeVerdict ShareLimitOf(std::size_t g, int kind, double share) {
    const ShareLimit& s = kDetailShares[g];
    const double bound = kind == 0 ? s.normal_max : kind == 1 ? s.expanded_max : s.normal_min;
    return {kind == 1 ? RangeClass::Outside : RangeClass::Extended, RangeVerdict::Limit::Component, s.what, share, bound,
            kind != 2, 1 + 3 * static_cast<int>(g) + kind};
}

RangeVerdict OfState(const StateLimits& l, int model, double t, double p) {
    RangeVerdict v;
    if (t > l.extended_max_K) v = Worse(v, StateLimit(l, model, 0, t));
    if (t < l.extended_min_K) v = Worse(v, StateLimit(l, model, 1, t));
    if (p > l.extended_max_kPa) v = Worse(v, StateLimit(l, model, 2, p));
    if (t > l.normal_max_K) v = Worse(v, StateLimit(l, model, 3, t));
    if (t < l.normal_min_K) v = Worse(v, StateLimit(l, model, 4, t));
    if (p > l.normal_max_kPa) v = Worse(v, StateLimit(l, model, 5, p));
    return v;
}

}  // namespace

RangeVerdict RangeOf(RangeModel model, const std::array<double, 21>& x, double temperature_K, double pressure_kPa) {
    if (model == RangeModel::Gerg2008) return OfState(kGergLimits, 0, temperature_K, pressure_kPa);
    RangeVerdict v;
    double sum = 0;
    for (double share : x) sum += share;
    if (!(sum > 0)) return v;
    // A share is compared to its bound with a margin of 1e-12, so that a bound met exactly in
    // the host's fractions is not passed by rounding.
    constexpr double kMargin = 1e-12;
    for (std::size_t g = 0; g < std::size(kDetailShares); ++g) {
        const ShareLimit& s = kDetailShares[g];
        double share = 0;
        for (std::size_t i : s.members) share += x[i] / sum;
        if (share > s.expanded_max + kMargin)
            v = Worse(v, ShareLimitOf(g, 1, share));
        else if (share > s.normal_max + kMargin)
            v = Worse(v, ShareLimitOf(g, 0, share));
        else if (share < s.normal_min - kMargin)
            v = Worse(v, ShareLimitOf(g, 2, share));
    }
    return Worse(v, OfState(kDetailLimits, 1, temperature_K, pressure_kPa));
}

namespace {

// Units of the encoded value: a share in millionths, T in mK, p in units of 10 Pa.
double ScaleOf(RangeVerdict::Limit limit) {
    return limit == RangeVerdict::Limit::Component ? 1e6 : limit == RangeVerdict::Limit::Temperature ? 1e3 : 1e2;
}

}  // namespace

std::int64_t EncodeLimit(const RangeVerdict& v) noexcept {
    if (v.place <= 0) return 0;
    const double scaled = std::round(v.value * ScaleOf(v.limit));
    const double value = scaled > 0 ? (scaled < 1e12 ? scaled : 1e12) : 0;
    return v.place + 64 * static_cast<std::int64_t>(value);
}

RangeVerdict DecodeLimit(std::int64_t code) noexcept {
    const int place = static_cast<int>(code % 64);
    const double raw = static_cast<double>(code / 64);
    if (code <= 0 || place < 1 || place >= kStatePlace + 12) return {};
    if (place < kStatePlace) {
        const auto g = static_cast<std::size_t>((place - 1) / 3);
        return ShareLimitOf(g, (place - 1) % 3, raw / ScaleOf(RangeVerdict::Limit::Component));
    }
    const int model = (place - kStatePlace) / 6, kind = (place - kStatePlace) % 6;
    RangeVerdict v = StateLimit(model == 0 ? kGergLimits : kDetailLimits, model, kind, 0);
    v.value = raw / ScaleOf(v.limit);
    return v;
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
