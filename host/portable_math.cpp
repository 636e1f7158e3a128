#include "host/portable_math.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>

namespace calorix::host::pmath {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kPi = std::numbers::pi;
// ln 2 split so that k * kLn2Hi is exact for |k| < 2^11 (the low 21 bits of kLn2Hi are zero).
constexpr double kLn2Hi = 6.93147180369123816490e-01;
constexpr double kLn2Lo = 1.90821492927058770002e-10;

// 2^k for k in [-1022, 1023], built from its bits.
double PowerOfTwo(int k) {
    return std::bit_cast<double>(static_cast<std::uint64_t>(k + 1023) << 52);
}

// x * 2^k by exact multiplications (two where 2^k is no normal double).
double Scale(double x, int k) {
    if (k > 1023) return x * PowerOfTwo(1023) * PowerOfTwo(k - 1023);
    if (k < -1022) return x * PowerOfTwo(-1022) * PowerOfTwo(k + 1022);
    return x * PowerOfTwo(k);
}

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

double Log(double x) {
    if (std::isnan(x) || x < 0.0) return kNaN;
    if (x == 0.0) return -kInf;
    if (x == kInf) return kInf;
    int e = 0;
    double m = std::frexp(x, &e);  // exact: x = m 2^e, m in [0.5, 1)
    if (m < std::numbers::sqrt2 / 2.0) {
        m *= 2.0;
        --e;
    }
    // ln m = 2 atanh(f) with f = (m - 1) / (m + 1), |f| <= 0.172: 2 f (1 + f^2/3 + f^4/5 + ...).
    const double f = (m - 1.0) / (m + 1.0);
    const double f2 = f * f;
    double s = 0.0;
    for (int k = 13; k >= 0; --k) s = 1.0 / (2 * k + 1) + f2 * s;
    return e * kLn2Hi + (e * kLn2Lo + 2.0 * f * s);
}

double Exp(double x) {
    if (std::isnan(x)) return x;
    if (x > 709.782712893384) return kInf;
    if (x < -745.1332191019412) return 0.0;
    // x = k ln2 + r with |r| <= ln2 / 2.
    const double k = std::floor(x / std::numbers::ln2 + 0.5);
    const double r = (x - k * kLn2Hi) - k * kLn2Lo;
    // e^r by its series in Horner form: 1 + r (1 + r/2 (1 + r/3 (...))); |r| <= 0.35.
    double p = 1.0;
    for (int n = 17; n >= 1; --n) p = 1.0 + p * r / n;
    return Scale(p, static_cast<int>(k));
}

double Cbrt(double x) {
    if (x == 0.0 || !std::isfinite(x)) return x;
    const double a = std::fabs(x);
    double y = Exp(Log(a) / 3.0);
    y -= (y * y * y - a) / (3.0 * y * y);  // one Newton step to the last place
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
