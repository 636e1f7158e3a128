// Elementary functions computed from IEEE additions, multiplications, divisions and exact
// scalings only, so that the flash gives the same bits on every platform. The C libraries of
// Linux and of MinGW-w64 round exp, log and their kin differently in the last place; an
// iterative flash turns such a difference into different converged digits, and calorix-host
// would print different numbers for the same fluid. Accuracy is within a few units in the last
// place, far inside the flash's certificate (1e-8 in ln f).
//
// Exp and Log are inline: the flash calls them thousands of times per equilibrium, mostly in
// loops over the components.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <limits>

namespace calorix::host::pmath {

namespace detail {

// Tables for the argument reductions, generated once with 60-digit decimal arithmetic and
// rounded to the nearest double (ln 2 and 2^(j/64) to the last place).
// 2^(j/64), j = 0..63, correctly rounded.
constexpr std::array<double, 64> kExp2Table = {
    0x1.0000000000000p+0, 0x1.02c9a3e778061p+0, 0x1.059b0d3158574p+0,
    0x1.0874518759bc8p+0, 0x1.0b5586cf9890fp+0, 0x1.0e3ec32d3d1a2p+0,
    0x1.11301d0125b51p+0, 0x1.1429aaea92de0p+0, 0x1.172b83c7d517bp+0,
    0x1.1a35beb6fcb75p+0, 0x1.1d4873168b9aap+0, 0x1.2063b88628cd6p+0,
    0x1.2387a6e756238p+0, 0x1.26b4565e27cddp+0, 0x1.29e9df51fdee1p+0,
    0x1.2d285a6e4030bp+0, 0x1.306fe0a31b715p+0, 0x1.33c08b26416ffp+0,
    0x1.371a7373aa9cbp+0, 0x1.3a7db34e59ff7p+0, 0x1.3dea64c123422p+0,
    0x1.4160a21f72e2ap+0, 0x1.44e086061892dp+0, 0x1.486a2b5c13cd0p+0,
    0x1.4bfdad5362a27p+0, 0x1.4f9b2769d2ca7p+0, 0x1.5342b569d4f82p+0,
    0x1.56f4736b527dap+0, 0x1.5ab07dd485429p+0, 0x1.5e76f15ad2148p+0,
    0x1.6247eb03a5585p+0, 0x1.6623882552225p+0, 0x1.6a09e667f3bcdp+0,
    0x1.6dfb23c651a2fp+0, 0x1.71f75e8ec5f74p+0, 0x1.75feb564267c9p+0,
    0x1.7a11473eb0187p+0, 0x1.7e2f336cf4e62p+0, 0x1.82589994cce13p+0,
    0x1.868d99b4492edp+0, 0x1.8ace5422aa0dbp+0, 0x1.8f1ae99157736p+0,
    0x1.93737b0cdc5e5p+0, 0x1.97d829fde4e50p+0, 0x1.9c49182a3f090p+0,
    0x1.a0c667b5de565p+0, 0x1.a5503b23e255dp+0, 0x1.a9e6b5579fdbfp+0,
    0x1.ae89f995ad3adp+0, 0x1.b33a2b84f15fbp+0, 0x1.b7f76f2fb5e47p+0,
    0x1.bcc1e904bc1d2p+0, 0x1.c199bdd85529cp+0, 0x1.c67f12e57d14bp+0,
    0x1.cb720dcef9069p+0, 0x1.d072d4a07897cp+0, 0x1.d5818dcfba487p+0,
    0x1.da9e603db3285p+0, 0x1.dfc97337b9b5fp+0, 0x1.e502ee78b3ff6p+0,
    0x1.ea4afa2a490dap+0, 0x1.efa1bee615a27p+0, 0x1.f50765b6e4540p+0,
    0x1.fa7c1819e90d8p+0,
};
// ln(j/64), j = 48..96, as a correctly rounded leading part and the rounded remainder.
constexpr std::array<double, 49> kLnTableHi = {
    -0x1.269621134db92p-2, -0x1.1178e8227e47cp-2, -0x1.f991c6cb3b379p-3,
    -0x1.d1037f2655e7bp-3, -0x1.a93ed3c8ad9e3p-3, -0x1.823c16551a3c2p-3,
    -0x1.5bf406b543db2p-3, -0x1.365fcb0159016p-3, -0x1.1178e8227e47cp-3,
    -0x1.da727638446a2p-4, -0x1.9335e5d594989p-4, -0x1.4d3115d207eacp-4,
    -0x1.08598b59e3a07p-4, -0x1.894aa149fb343p-5, -0x1.0415d89e74444p-5,
    -0x1.0205658935847p-6, 0x0.0p+0, 0x1.fc0a8b0fc03e4p-7,
    0x1.f829b0e783300p-6, 0x1.77458f632dcfcp-5, 0x1.f0a30c01162a6p-5,
    0x1.341d7961bd1d1p-4, 0x1.6f0d28ae56b4cp-4, 0x1.a926d3a4ad563p-4,
    0x1.e27076e2af2e6p-4, 0x1.0d77e7cd08e59p-3, 0x1.29552f81ff523p-3,
    0x1.44d2b6ccb7d1ep-3, 0x1.5ff3070a793d4p-3, 0x1.7ab890210d909p-3,
    0x1.9525a9cf456b4p-3, 0x1.af3c94e80bff3p-3, 0x1.c8ff7c79a9a22p-3,
    0x1.e27076e2af2e6p-3, 0x1.fb9186d5e3e2bp-3, 0x1.0a324e27390e3p-2,
    0x1.1675cababa60ep-2, 0x1.22941fbcf7966p-2, 0x1.2e8e2bae11d31p-2,
    0x1.3a64c556945eap-2, 0x1.4618bc21c5ec2p-2, 0x1.51aad872df82dp-2,
    0x1.5d1bdbf5809cap-2, 0x1.686c81e9b14afp-2, 0x1.739d7f6bbd007p-2,
    0x1.7eaf83b82afc3p-2, 0x1.89a3386c1425bp-2, 0x1.947941c2116fbp-2,
    0x1.9f323ecbf984cp-2,
};
constexpr std::array<double, 49> kLnTableLo = {
    -0x1.e0efadd9db02bp-56, 0x1.0e63a5f01c691p-57, -0x1.f665066f980a2p-57,
    -0x1.60629242471a2p-57, -0x1.bcafa9de97203p-57, 0x1.1232ce70be781p-57,
    0x1.1f5b44c0df7e7p-61, -0x1.7d411a5b944adp-58, 0x1.0e63a5f01c691p-58,
    -0x1.401fa71733019p-58, 0x1.478a85704ccb7p-58, -0x1.769f42c7842ccp-58,
    0x1.dd7009902bf32p-58, -0x1.a8be97660a23dp-60, -0x1.c05cf1d753622p-59,
    -0x1.27c8e8416e71fp-60, 0x0.0p+0, -0x1.83092c59642a1p-62,
    0x1.33e3f04f1ef23p-60, 0x1.18d3ca87b9296p-59, 0x1.85f325c5bbacdp-59,
    -0x1.b599f227becbbp-58, -0x1.906d99184b992p-58, 0x1.942f48aa70ea9p-58,
    -0x1.61578001e0162p-60, 0x1.9a5dc5e9030acp-57, 0x1.301771c407dbfp-57,
    0x1.9f4f6543e1f88p-57, -0x1.bc60efafc6f6ep-58, 0x1.be36b2d6a0608p-59,
    0x1.d904c1d4e2e26p-57, -0x1.398cff3641985p-58, -0x1.4f689f8434012p-57,
    -0x1.61578001e0162p-59, -0x1.caaae64f21acbp-57, 0x1.7dcfde8061c03p-56,
    0x1.ce63eab883717p-61, -0x1.76f5eb09628afp-56, -0x1.8f4cdb95ebdf9p-56,
    -0x1.c68651945f97cp-57, 0x1.f42decdeccf1dp-56, 0x1.3927ac19f55e3p-59,
    0x1.4236383dc7fe1p-56, -0x1.ddea0f7f58e3dp-57, -0x1.8c76ceb014b04p-56,
    0x1.92ce979ed2950p-56, -0x1.29639dfbbf0fbp-56, -0x1.16cc8bae0bbe4p-56,
    -0x1.a92e513217f5cp-59,
};
constexpr double kLn2Over64Hi = 0x1.62e42fefa0000p-7;
constexpr double kLn2Over64Lo = 0x1.cf79abc9e3b3ap-46;
constexpr double k64OverLn2 = 0x1.71547652b82fep+6;

// ln 2 split so that e * kLn2Hi is exact for |e| < 2^11 (the low 21 bits of kLn2Hi are zero).
constexpr double kLn2Hi = 6.93147180369123816490e-01;
constexpr double kLn2Lo = 1.90821492927058770002e-10;

// x * 2^k for k in [-2044, 2046], by exact multiplications with powers of two built from their
// bits (two where 2^k is no normal double).
inline double PowerOfTwo(int k) { return std::bit_cast<double>(static_cast<std::uint64_t>(k + 1023) << 52); }
inline double Scale(double x, int k) {
    if (k > 1023) return x * PowerOfTwo(1023) * PowerOfTwo(k - 1023);
    if (k < -1022) return x * PowerOfTwo(-1022) * PowerOfTwo(k + 1022);
    return x * PowerOfTwo(k);
}

}  // namespace detail

// Natural logarithm: NaN below 0, -infinity at 0, +infinity at +infinity.
inline double Log(double x) {
    using namespace detail;
    if (!(x > 0.0)) return x == 0.0 ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::quiet_NaN();
    if (x == std::numeric_limits<double>::infinity()) return x;
    int e = 0;
    if (x < std::numeric_limits<double>::min()) {  // subnormal: scaled exactly into the normal range
        x *= 0x1p54;
        e = -54;
    }
    // x = m 2^e with m in [1, 2), from the bits; then m in [0.75, 1.5).
    const auto bits = std::bit_cast<std::uint64_t>(x);
    e += static_cast<int>(bits >> 52) - 1023;
    double m = std::bit_cast<double>((bits & 0x000FFFFFFFFFFFFFull) | 0x3FF0000000000000ull);
    if (m >= 1.5) {
        m *= 0.5;
        ++e;
    }
    // m lies within 1/128 of c = j/64, and ln m = ln c + 2 atanh(f) with f = (m - c) / (m + c),
    // |f| <= 0.0053; m - c is exact. Next to 1, c = 1 and ln c = 0, so a logarithm near 0 keeps
    // its relative accuracy.
    const int j = static_cast<int>(m * 64.0 + 0.5);
    const double c = j * (1.0 / 64.0);
    const double f = (m - c) / (m + c);
    const double f2 = f * f;
    // 2 f (1 + f^2/3 + f^4/5 + f^6/7 + f^8/9); the next term is below 1e-22.
    const double series =
        2.0 * f * (1.0 + f2 * (1.0 / 3.0 + f2 * (1.0 / 5.0 + f2 * (1.0 / 7.0 + f2 * (1.0 / 9.0)))));
    const auto t = static_cast<std::size_t>(j - 48);
    return (e * kLn2Hi + kLnTableHi[t]) + (e * kLn2Lo + kLnTableLo[t] + series);
}

// Exponential: 0 far below, +infinity far above the range of a double.
inline double Exp(double x) {
    using namespace detail;
    if (x != x) return x;
    if (x > 709.782712893384) return std::numeric_limits<double>::infinity();
    if (x < -745.1332191019412) return 0.0;
    // x = (64 m + j) ln2/64 + r with j in [0, 64) and |r| <= ln2/128; k ln2/64 is exact in the
    // leading part (|k| < 2^17), so r keeps every bit.
    const double t = x * k64OverLn2;
    const int k = static_cast<int>(t < 0.0 ? t - 0.5 : t + 0.5);
    const double r = (x - k * kLn2Over64Hi) - k * kLn2Over64Lo;
    // e^r - 1 by its series to r^6 (the next term is below 3e-20).
    const double q =
        r + r * r * (1.0 / 2.0 + r * (1.0 / 6.0 + r * (1.0 / 24.0 + r * (1.0 / 120.0 + r * (1.0 / 720.0)))));
    const double base = kExp2Table[static_cast<std::size_t>(k & 63)];
    return Scale(base + base * q, k >> 6);  // arithmetic shift: floor(k / 64)
}

// Real cube root, of either sign.
double Cbrt(double x);
// Arc cosine of x in [-1, 1], in [0, pi]; NaN outside.
double Acos(double x);
// Cosine of any finite angle in radians.
double Cos(double x);

}  // namespace calorix::host::pmath
