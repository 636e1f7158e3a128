#include "host/thermo/portable_math.h"

#include <cmath>
#include <limits>
#include <numbers>

namespace calorix::host::pmath {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kPi = std::numbers::pi;

// atan(t) for t >= 0, +infinity included.
double AtanNonNegative(double t) {
    const bool inverted = t > 1.0;
    if (inverted) t = 1.0 / t;
    double base = 0.0;
    constexpr double kTanPi12 = 0.26794919243112270647;  // 2 - sqrt(3)
    if (t > kTanPi12) {
        // atan(t) = pi/6 + atan((t sqrt3 - 1) / (t + sqrt3)); the new argument is below tan(pi/12).
        base = kPi / 6.0;
        t = (t * std::numbers::sqrt3 - 1.0) / (t + std::numbers::sqrt3);
    }
    // t - t^3/3 + t^5/5 - ...; t^2 <= 0.072, so 18 terms reach far below the last place.
    const double t2 = t * t;
    double s = 0.0;
    for (int k = 17; k >= 0; --k) s = 1.0 / (2 * k + 1) - t2 * s;
    const double result = base + t * s;
    return inverted ? kPi / 2.0 - result : result;
}

// cos and sin by their series on [0, pi/4].
double CosSeries(double a) {
    const double a2 = a * a;
    double c = 1.0;
    for (int n = 10; n >= 1; --n) c = 1.0 - c * a2 / ((2 * n - 1) * (2 * n));
    return c;
}
double SinSeries(double a) {
    const double a2 = a * a;
    double s = 1.0;
    for (int n = 10; n >= 1; --n) s = 1.0 - s * a2 / ((2 * n) * (2 * n + 1));
    return a * s;
}

}  // namespace

double Cbrt(double x) {
    if (x == 0.0 || !std::isfinite(x)) return x;
    double a = std::fabs(x);
    // Subnormal arguments are scaled into the normal range first (2^-300 -> cube root 2^-100).
    const bool tiny = a < 0x1p-1000;
    if (tiny) a *= 0x1p300;
    // A first guess within a few per cent from the exponent bits divided by three, two Halley
    // steps (cubic convergence: 3e-2, 3e-5, 3e-14) and a Newton step to the last place.
    constexpr std::uint64_t kCbrtBias = 0x2A9F7893782DA1CEull;
    double y = std::bit_cast<double>(std::bit_cast<std::uint64_t>(a) / 3 + kCbrtBias);
    for (int i = 0; i < 2; ++i) {
        const double y3 = y * y * y;
        y *= (y3 + 2.0 * a) / (2.0 * y3 + a);
    }
    y -= (y * y * y - a) / (3.0 * y * y);
    if (tiny) y *= 0x1p-100;
    return x < 0.0 ? -y : y;
}

double Acos(double x) {
    if (!(x >= -1.0 && x <= 1.0)) return kNaN;
    // acos x = 2 atan(sqrt((1 - x) / (1 + x))); sqrt is exactly rounded everywhere.
    return 2.0 * AtanNonNegative(std::sqrt((1.0 - x) / (1.0 + x)));
}

double Cos(double x) {
    if (!std::isfinite(x)) return kNaN;
    double a = std::fabs(x);
    if (a > 2.0 * kPi) a -= std::floor(a / (2.0 * kPi)) * (2.0 * kPi);
    if (a > kPi) a = 2.0 * kPi - a;  // cos is even about pi
    double sign = 1.0;
    if (a > kPi / 2.0) {
        a = kPi - a;
        sign = -1.0;
    }
    return sign * (a > kPi / 4.0 ? SinSeries(kPi / 2.0 - a) : CosSeries(a));
}

}  // namespace calorix::host::pmath
