#include "host/thermo/peng_robinson.h"

#include <array>
#include <numbers>

namespace calorix::host::pr {

namespace {

double Kappa(double omega) {
    if (omega <= 0.491) return 0.37464 + 1.54226 * omega - 0.26992 * omega * omega;
    return 0.379642 + 1.48503 * omega - 0.164423 * omega * omega + 0.016666 * omega * omega * omega;
}

}  // namespace

Model BuildModel(const std::vector<Component>& components, const std::vector<double>& kij,
                 const std::vector<std::size_t>& active, double temperatureK, double pressureKPa) {
    Model m;
    m.index = active;
    m.n = active.size();
    m.b.resize(m.n);
    m.polar.resize(m.n);
    m.oneMinusK.resize(m.n * m.n);
    const std::size_t full = components.size();
    double heaviestMass = 0.0;
    for (std::size_t i = 0; i < m.n; ++i) {
        const Component& c = components[active[i]];
        m.b[i] = kOmegaB * kGasConstant * c.criticalTemperatureK / c.criticalPressureKPa;
        if (IsWater(c)) m.water = static_cast<int>(i);
        m.polar[i] = IsPolar(c) ? 1 : 0;
        if (!m.polar[i] && c.molarMassKgPerKmol > heaviestMass) {
            heaviestMass = c.molarMassKgPerKmol;
            m.heaviest = static_cast<int>(i);
        }
        for (std::size_t j = 0; j < m.n; ++j) m.oneMinusK[i * m.n + j] = 1.0 - kij[active[i] * full + active[j]];
    }
    SetConditions(m, components, temperatureK, pressureKPa);
    return m;
}

void SetConditions(Model& m, const std::vector<Component>& components, double temperatureK, double pressureKPa) {
    m.temperatureK = temperatureK;
    m.pressureKPa = pressureKPa;
    m.evaluations = 0;
    m.evaluationLimit = kMaxEvaluations + kEvaluationsPerComponent * static_cast<int>(m.n);
    m.sqrtA.resize(m.n);
    m.dSqrtA.resize(m.n);
    m.lnWilsonK.resize(m.n);
    for (std::size_t i = 0; i < m.n; ++i) {
        const Component& c = components[m.index[i]];
        const double tc = c.criticalTemperatureK;
        const double pc = c.criticalPressureKPa;
        const double tr = temperatureK / tc;
        double alphaRoot, dAlphaRoot;
        if (IsWater(c)) {
            // Stryjek and Vera's form (PRSV, Can. J. Chem. Eng. 64, 1986) with their kappa1 of
            // water, -0.06635, below Tr 0.7: the plain form puts water's vapour pressure near
            // 20 degC some 15 % too low.
            const double w = c.acentricFactor, sqrtTr = std::sqrt(tr);
            double kappa = 0.378893 + 1.4897153 * w - 0.17131848 * w * w + 0.0196554 * w * w * w;
            double dKappa = 0.0;
            if (tr < 0.7) {
                kappa += -0.06635 * (1.0 + sqrtTr) * (0.7 - tr);
                dKappa = -0.06635 * (0.5 / sqrtTr * (0.7 - tr) - (1.0 + sqrtTr)) / tc;
            }
            alphaRoot = 1.0 + kappa * (1.0 - sqrtTr);
            dAlphaRoot = dKappa * (1.0 - sqrtTr) - kappa / (2.0 * sqrtTr * tc);
        } else {
            const double kappa = Kappa(c.acentricFactor);
            alphaRoot = 1.0 + kappa * (1.0 - std::sqrt(tr));
            dAlphaRoot = -kappa / (2.0 * std::sqrt(tr) * tc);
        }
        const double aCritRoot = std::sqrt(kOmegaA * kGasConstant * kGasConstant * tc * tc / pc);
        m.sqrtA[i] = aCritRoot * alphaRoot;
        m.dSqrtA[i] = aCritRoot * dAlphaRoot;
        m.lnWilsonK[i] = ClampLn(pmath::Log(pc / pressureKPa) +
                                 5.373 * (1.0 + c.acentricFactor) * (1.0 - tc / temperatureK));
    }
    m.aij.resize(m.n * m.n);
    for (std::size_t i = 0; i < m.n; ++i)
        for (std::size_t j = 0; j < m.n; ++j) m.aij[i * m.n + j] = m.sqrtA[i] * m.sqrtA[j] * m.oneMinusK[i * m.n + j];
}

// Real roots above B of Z^3 + c2 Z^2 + c1 Z + c0, ascending.
int CubicRoots(double c2, double c1, double c0, double lowerBound, double roots[3]) {
    const double shift = c2 / 3.0;
    const double p = c1 - c2 * c2 / 3.0;
    const double q = 2.0 * c2 * c2 * c2 / 27.0 - c2 * c1 / 3.0 + c0;
    const double disc = q * q / 4.0 + p * p * p / 27.0;
    double candidates[3];
    int count = 0;
    if (disc > 0.0) {
        const double s = std::sqrt(disc);
        const double u = pmath::Cbrt(-q / 2.0 - (q >= 0.0 ? s : -s));
        const double v = u != 0.0 ? -p / (3.0 * u) : 0.0;
        candidates[count++] = u + v - shift;
    } else {
        const double r = std::sqrt(std::max(-p / 3.0, 0.0));
        double cosArg = r > 0.0 ? (-q / 2.0) / (r * r * r) : 0.0;
        cosArg = std::clamp(cosArg, -1.0, 1.0);
        const double phi = pmath::Acos(cosArg);
        for (int k = 0; k < 3; ++k)
            candidates[count++] = 2.0 * r * pmath::Cos((phi - 2.0 * std::numbers::pi * k) / 3.0) - shift;
    }
    int found = 0;
    for (int k = 0; k < count; ++k) {
        double z = candidates[k];
        for (int it = 0; it < 4; ++it) {  // polish
            const double f = ((z + c2) * z + c1) * z + c0;
            const double df = (3.0 * z + 2.0 * c2) * z + c1;
            if (df == 0.0 || !std::isfinite(df)) break;
            const double next = z - f / df;
            if (!std::isfinite(next) || next == z) break;
            z = next;
        }
        if (std::isfinite(z) && z > lowerBound) {
            int at = found++;  // insertion keeps the (at most three) roots ascending
            for (; at > 0 && roots[at - 1] > z; --at) roots[at] = roots[at - 1];
            roots[at] = z;
        }
    }
    return found;
}

namespace {

// ln(Z - B) and ln((Z + d1 B) / (Z + d2 B)) of a root of the cubic.
struct RootTerms {
    double z, lnZB, logTerm;
};

// The residual Gibbs energy over RT of a root, c = A / (2 sqrt(2) B): ln phi of a pure fluid.
double ResidualGibbs(const RootTerms& t, double c) { return t.z - 1.0 - t.lnZB - c * t.logTerm; }

// The chosen root of the cubic in Z for A and B; false when it has no root above B.
// *smallest, when asked: the root taken is the smaller of several.
bool ChooseRoot(double bigA, double bigB, RootChoice root, RootTerms& chosen, bool* smallest = nullptr) {
    double roots[3];
    const int count = CubicRoots(bigB - 1.0, bigA - 3.0 * bigB * bigB - 2.0 * bigB,
                                 bigB * bigB + bigB * bigB * bigB - bigA * bigB, bigB, roots);
    if (count == 0) return false;
    const double c = bigA / (2.0 * kSqrt2 * bigB);
    auto terms = [&](double z) {
        return RootTerms{z, pmath::Log(z - bigB), pmath::Log((z + kDelta1 * bigB) / (z + kDelta2 * bigB))};
    };
    if (root == RootChoice::Liquid) {
        chosen = terms(roots[0]);
    } else if (root == RootChoice::Stable && count > 1) {
        const RootTerms low = terms(roots[0]), high = terms(roots[count - 1]);
        chosen = ResidualGibbs(low, c) < ResidualGibbs(high, c) ? low : high;
    } else {
        chosen = terms(roots[count - 1]);
    }
    if (smallest) *smallest = count > 1 && chosen.z == roots[0];
    return true;
}

}  // namespace

// ln phi of every active component for composition x (normalised), with the chosen root.
bool Evaluate(const Model& m, const double* x, RootChoice root, double* lnPhi, PhaseEval* eval,
              std::vector<double>& s) {
    if (++m.evaluations > m.evaluationLimit) return false;
    const std::size_t n = m.n;
    s.resize(n);
    double a = 0.0, b = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        double t = 0.0;
        const double* row = &m.aij[i * n];
        for (std::size_t j = 0; j < n; ++j) t += x[j] * row[j];
        s[i] = t;
    }
    for (std::size_t i = 0; i < n; ++i) {
        a += x[i] * s[i];
        b += x[i] * m.b[i];
    }
    if (!(a > 0.0) || !(b > 0.0) || !std::isfinite(a) || !std::isfinite(b)) return false;
    const double rt = kGasConstant * m.temperatureK;
    const double bigA = a * m.pressureKPa / (rt * rt);
    const double bigB = b * m.pressureKPa / rt;
    RootTerms chosen;
    bool smallest = false;
    if (!ChooseRoot(bigA, bigB, root, chosen, &smallest)) return false;
    const double c = bigA / (2.0 * kSqrt2 * bigB);
    const double z = chosen.z, lnZB = chosen.lnZB, logTerm = chosen.logTerm;
    const double perB = 1.0 / b, twoPerA = 2.0 / a;
    for (std::size_t i = 0; i < n; ++i) {
        const double bi = m.b[i] * perB;
        lnPhi[i] = bi * (z - 1.0) - lnZB - c * (s[i] * twoPerA - bi) * logTerm;
        if (!std::isfinite(lnPhi[i])) return false;
    }
    if (eval) {
        eval->z = z;
        eval->b = bigB;
        eval->smallestRoot = smallest;
    }
    return true;
}

// ln phi of active component k on its own, on the root of lower Gibbs energy (not counted as an
// evaluation: one cubic, no mixing).
std::optional<double> PureLnPhi(const Model& m, std::size_t k) {
    const double rt = kGasConstant * m.temperatureK;
    const double bigA = m.aij[k * m.n + k] * m.pressureKPa / (rt * rt);
    const double bigB = m.b[k] * m.pressureKPa / rt;
    RootTerms t;
    if (!(bigA > 0.0) || !(bigB > 0.0) || !ChooseRoot(bigA, bigB, RootChoice::Stable, t)) return std::nullopt;
    const double lnPhi = ResidualGibbs(t, bigA / (2.0 * kSqrt2 * bigB));
    return std::isfinite(lnPhi) ? std::optional<double>{lnPhi} : std::nullopt;
}

// Venkatarathnam and Oellrich's phase identification parameter (Fluid Phase Equilibria 301,
// 2011): PIP = V [ (d2P/dTdV) / (dP/dT)_V - (d2P/dV2)_T / (dP/dV)_T ]; above 1 the phase is
// liquid-like, below 1 vapour-like.
double PhaseIdentificationParameter(const Model& m, const double* x, double z) {
    const std::size_t n = m.n;
    double a = 0.0, dadT = 0.0, b = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        b += x[i] * m.b[i];
        for (std::size_t j = 0; j < n; ++j) {
            const double w = x[i] * x[j] * m.oneMinusK[i * n + j];
            a += w * m.sqrtA[i] * m.sqrtA[j];
            dadT += w * (m.dSqrtA[i] * m.sqrtA[j] + m.sqrtA[i] * m.dSqrtA[j]);
        }
    }
    const double r = kGasConstant, t = m.temperatureK;
    const double v = z * r * t / m.pressureKPa;
    const double vb = v - b;
    const double d = v * v + 2.0 * b * v - b * b;
    const double dd = 2.0 * v + 2.0 * b;
    const double pT = r / vb - dadT / d;
    const double pTV = -r / (vb * vb) + dadT * dd / (d * d);
    const double pV = -r * t / (vb * vb) + a * dd / (d * d);
    const double pVV = 2.0 * r * t / (vb * vb * vb) + a * (2.0 / (d * d) - 2.0 * dd * dd / (d * d * d));
    return v * (pTV / pT - pVV / pV);
}

}  // namespace calorix::host::pr

namespace calorix::host {

namespace {

// Interaction parameters. Water with methane, ethane, propane, n-butane, nitrogen, carbon
// dioxide and hydrogen sulfide: Soreide and Whitson (Fluid Phase Equilibria 77, 1992), their
// parameters of the non-aqueous phase, used for every phase; the other pairs typical
// Peng-Robinson literature values. Pairs of non-hydrocarbons,
// nitrogen with the two lightest alkanes, water with the lightest alkanes; sorted by key.
struct InteractionPair {
    std::int32_t low, high;  // CAS keys, low < high
    double kij;
};
constexpr std::array kInteractionPairs = {
    InteractionPair{67561, 7732185, -0.08},    // methanol - water
    InteractionPair{74828, 7727379, 0.03},     // methane - nitrogen
    InteractionPair{74828, 7732185, 0.4850},   // methane - water
    InteractionPair{74840, 7727379, 0.05},     // ethane - nitrogen
    InteractionPair{74840, 7732185, 0.4920},   // ethane - water
    InteractionPair{74986, 7732185, 0.5525},   // propane - water
    InteractionPair{106978, 7732185, 0.5091},  // n-butane - water
    InteractionPair{124389, 7727379, -0.02},   // carbon dioxide - nitrogen
    InteractionPair{124389, 7732185, 0.1896},  // carbon dioxide - water
    InteractionPair{124389, 7783064, 0.10},    // carbon dioxide - hydrogen sulfide
    InteractionPair{7727379, 7732185, 0.4778},  // nitrogen - water
    InteractionPair{7727379, 7783064, 0.17},   // nitrogen - hydrogen sulfide
    InteractionPair{7732185, 7783064, 0.19031}, // water - hydrogen sulfide
};
constexpr bool PairLess(const InteractionPair& x, const InteractionPair& y) {
    return x.low < y.low || (x.low == y.low && x.high < y.high);
}
constexpr bool InteractionPairsSorted() {
    for (std::size_t i = 0; i < kInteractionPairs.size(); ++i) {
        if (!(kInteractionPairs[i].low < kInteractionPairs[i].high)) return false;
        if (i > 0 && !PairLess(kInteractionPairs[i - 1], kInteractionPairs[i])) return false;
    }
    return true;
}
static_assert(InteractionPairsSorted());

// A non-hydrocarbon with every hydrocarbon; sorted by key.
struct WithHydrocarbons {
    std::int32_t cas;
    double kij;
};
constexpr std::array kWithHydrocarbons = {
    WithHydrocarbons{67561, 0.20},     // methanol
    WithHydrocarbons{124389, 0.12},    // carbon dioxide
    WithHydrocarbons{7727379, 0.08},   // nitrogen
    WithHydrocarbons{7732185, 0.50},   // water
    WithHydrocarbons{7783064, 0.08},   // hydrogen sulfide
};
constexpr bool WithHydrocarbonsSorted() {
    for (std::size_t i = 1; i < kWithHydrocarbons.size(); ++i)
        if (!(kWithHydrocarbons[i - 1].cas < kWithHydrocarbons[i].cas)) return false;
    return true;
}
static_assert(WithHydrocarbonsSorted());

}  // namespace

double DefaultInteraction(const Component& a, const Component& b) noexcept {
    const std::int32_t low = std::min(a.casKey, b.casKey), high = std::max(a.casKey, b.casKey);
    auto pair = std::lower_bound(kInteractionPairs.begin(), kInteractionPairs.end(), InteractionPair{low, high, 0.0},
                                 PairLess);
    if (pair != kInteractionPairs.end() && pair->low == low && pair->high == high) return pair->kij;

    auto isHydrocarbon = [](const Component& c) { return c.componentClass >= 200 && c.componentClass < 300; };
    const Component* other = nullptr;
    if (isHydrocarbon(a) && !isHydrocarbon(b)) other = &b;
    if (isHydrocarbon(b) && !isHydrocarbon(a)) other = &a;
    if (!other) return 0.0;
    std::int32_t key = other->casKey;
    if (other->componentClass == kWaterClass) key = kWaterCasKey;
    auto row = std::lower_bound(kWithHydrocarbons.begin(), kWithHydrocarbons.end(), key,
                                [](const WithHydrocarbons& x, std::int32_t k) { return x.cas < k; });
    return row != kWithHydrocarbons.end() && row->cas == key ? row->kij : 0.0;
}

}  // namespace calorix::host
