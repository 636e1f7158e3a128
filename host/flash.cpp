#include "host/flash.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>
#include <numbers>

#include <Eigen/Dense>

#include "framework/empty_value.h"
#include "host/flash_certificate.h"
#include "host/portable_math.h"

namespace calorix::host {

namespace {

constexpr double kGasConstant = 8.31446261815324;  // kPa m3/(kmol K)
constexpr double kSqrt2 = 1.4142135623730951;
constexpr double kDelta1 = 1.0 + kSqrt2;
constexpr double kDelta2 = 1.0 - kSqrt2;
constexpr double kOmegaA = 0.45723552892138218;
constexpr double kOmegaB = 0.077796073903888455;
constexpr double kCelsiusZeroK = 273.15;

constexpr double kLnLimit = 690.0;              // logarithms are kept within +-kLnLimit
constexpr double kTinyFraction = 1e-300;
constexpr double kUnstableTm = -1e-8;           // tangent-plane distance counted as negative
constexpr double kNearlyStationary = 1e-5;     // ln W step of a trial that is nearly converged
constexpr double kClearlyStableTm = 1e-3;      // tangent-plane distance of a trial that is no threat
constexpr double kUnboundedLnSum = 50.0;       // ln sum W of a trial that grows without bound
constexpr double kSameComposition = 1e-4;       // a stationary point this close is a known phase
constexpr double kJoinsFoundPoint = 1e-3;       // a trial contracting this close to a stationary point found ends there
constexpr double kPureTrialFraction = 1e-2;     // components of the feed with a trial phase of their own
constexpr double kPureTrialLnIdealLiquid = -2.302585092994046;  // when x_k / K_k of Wilson exceeds 0.1

// Bounds of the work: a flash that cannot be certified within them fails.
constexpr int kMaxStabilityIterations = 150;
constexpr int kSubstitutionsBeforeNewton = 20;
constexpr int kMaxSubstitutions = 100;
constexpr int kMaxNewtonIterations = 12;
constexpr int kMaxPhaseFractionIterations = 100;
constexpr int kMaxRounds = 4;                   // stability tests of one flash
constexpr int kMaxCandidates = 2;               // unstable trial phases tried per round
constexpr int kMaxPhases = 4;
// Matrices over the phases of a split (at most kMaxPhases and a trial phase), kept off the heap.
using PhaseMatrix = Eigen::Matrix<double, Eigen::Dynamic, Eigen::Dynamic, 0, kMaxPhases + 1, kMaxPhases + 1>;
using PhaseVector = Eigen::Matrix<double, Eigen::Dynamic, 1, 0, kMaxPhases + 1, 1>;
constexpr int kAccelerationPeriod = 5;          // every 5th substitution is extrapolated
constexpr int kMaxEvaluations = 3000;           // fugacity evaluations of one flash, and
constexpr int kEvaluationsPerComponent = 600;   // this for each component, for its trial phase

double SafeLog(double x) { return x > kTinyFraction ? pmath::Log(x) : pmath::Log(kTinyFraction); }
double ClampLn(double v) { return std::isnan(v) ? -kLnLimit : std::clamp(v, -kLnLimit, kLnLimit); }

double Kappa(double omega) {
    if (omega <= 0.491) return 0.37464 + 1.54226 * omega - 0.26992 * omega * omega;
    return 0.379642 + 1.48503 * omega - 0.164423 * omega * omega + 0.016666 * omega * omega * omega;
}

bool IsWater(const Component& c) { return c.casKey == kWaterCasKey || c.componentClass == kWaterClass; }
// Water, alcohols and glycols: the components of an aqueous phase.
bool IsPolar(const Component& c) { return IsWater(c) || (c.componentClass > 400 && c.componentClass < 490); }

// Peng-Robinson parameters of the active components (those with a positive feed fraction) at
// one temperature and pressure.
struct Model {
    std::vector<std::size_t> index;   // position in the full component list
    std::vector<double> b;            // covolume, m3/kmol
    std::vector<double> sqrtA;        // sqrt of the attraction parameter a_i(T)
    std::vector<double> dSqrtA;       // its temperature derivative
    std::vector<double> oneMinusK;    // 1 - kij, n x n
    std::vector<double> aij;          // sqrt(a_i a_j) (1 - kij), n x n
    std::vector<double> lnWilsonK;    // Wilson's K estimate
    std::vector<char> polar;          // water, alcohol or glycol
    int water = -1;                   // active position of water
    int heaviest = -1;                // active position of the heaviest non-polar component
    double temperatureK = 0.0;
    double pressureKPa = 0.0;
    std::size_t n = 0;
    mutable int evaluations = 0;      // the work done with this model, bounded by kMaxEvaluations
};

Model BuildModel(const std::vector<Component>& components, const std::vector<double>& kij,
                 const std::vector<std::size_t>& active, double temperatureK, double pressureKPa) {
    Model m;
    m.index = active;
    m.n = active.size();
    m.temperatureK = temperatureK;
    m.pressureKPa = pressureKPa;
    m.b.resize(m.n);
    m.sqrtA.resize(m.n);
    m.dSqrtA.resize(m.n);
    m.lnWilsonK.resize(m.n);
    m.polar.resize(m.n);
    m.oneMinusK.resize(m.n * m.n);
    const std::size_t full = components.size();
    double heaviestMass = 0.0;
    for (std::size_t i = 0; i < m.n; ++i) {
        const Component& c = components[active[i]];
        const double tc = c.criticalTemperatureK;
        const double pc = c.criticalPressureKPa;
        m.b[i] = kOmegaB * kGasConstant * tc / pc;
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
            m.water = static_cast<int>(i);
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
        m.polar[i] = IsPolar(c) ? 1 : 0;
        if (!m.polar[i] && c.molarMassKgPerKmol > heaviestMass) {
            heaviestMass = c.molarMassKgPerKmol;
            m.heaviest = static_cast<int>(i);
        }
        for (std::size_t j = 0; j < m.n; ++j) m.oneMinusK[i * m.n + j] = 1.0 - kij[active[i] * full + active[j]];
    }
    m.aij.resize(m.n * m.n);
    for (std::size_t i = 0; i < m.n; ++i)
        for (std::size_t j = 0; j < m.n; ++j) m.aij[i * m.n + j] = m.sqrtA[i] * m.sqrtA[j] * m.oneMinusK[i * m.n + j];
    return m;
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

struct PhaseEval {
    double z = 0.0;
    double b = 0.0;             // dimensionless covolume B of the phase
    bool smallestRoot = false;  // Z is the smallest of several roots
};

// ln phi of every active component for composition x (normalised), with the chosen root.
bool Evaluate(const Model& m, const double* x, RootChoice root, double* lnPhi, PhaseEval* eval,
              std::vector<double>& s) {
    if (++m.evaluations > kMaxEvaluations + kEvaluationsPerComponent * static_cast<int>(m.n)) return false;
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
    double roots[3];
    const int count = CubicRoots(bigB - 1.0, bigA - 3.0 * bigB * bigB - 2.0 * bigB,
                                 bigB * bigB + bigB * bigB * bigB - bigA * bigB, bigB, roots);
    if (count == 0) return false;
    const double c = bigA / (2.0 * kSqrt2 * bigB);
    // ln(Z - B) and ln((Z + d1 B) / (Z + d2 B)) of a root, and its residual Gibbs energy.
    struct RootTerms {
        double z, lnZB, logTerm;
    };
    auto terms = [&](double z) {
        return RootTerms{z, pmath::Log(z - bigB), pmath::Log((z + kDelta1 * bigB) / (z + kDelta2 * bigB))};
    };
    auto gibbs = [&](const RootTerms& t) { return t.z - 1.0 - t.lnZB - c * t.logTerm; };
    RootTerms chosen;
    if (root == RootChoice::Liquid) {
        chosen = terms(roots[0]);
    } else if (root == RootChoice::Stable && count > 1) {
        const RootTerms low = terms(roots[0]), high = terms(roots[count - 1]);
        chosen = gibbs(low) < gibbs(high) ? low : high;
    } else {
        chosen = terms(roots[count - 1]);
    }
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
        eval->smallestRoot = count > 1 && z == roots[0];
    }
    return true;
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

// Normalised composition exp(lnW) / sum; returns ln of the sum.
double Normalise(const std::vector<double>& lnW, std::vector<double>& w) {
    const double top = *std::max_element(lnW.begin(), lnW.end());
    double sum = 0.0;
    w.resize(lnW.size());
    for (std::size_t i = 0; i < lnW.size(); ++i) {
        w[i] = pmath::Exp(lnW[i] - top);
        sum += w[i];
    }
    const double scale = 1.0 / sum;
    for (double& v : w) v *= scale;
    return top + pmath::Log(sum);
}

double Distance(const std::vector<double>& a, const std::vector<double>& b) {
    double d = 0.0;
    for (std::size_t i = 0; i < a.size(); ++i) d = std::max(d, std::fabs(a[i] - b[i]));
    return d;
}

// Extrapolation of a linearly converging substitution along its dominant eigenvalue
// (Crowe and Nishio, 1975): x += dx lambda / (1 - lambda), lambda from the last two steps.
void Accelerate(std::vector<double>& x, const std::vector<double>& step, const std::vector<double>& previousStep) {
    double num = 0.0, den = 0.0;
    for (std::size_t i = 0; i < step.size(); ++i) {
        num += step[i] * step[i];
        den += previousStep[i] * step[i];
    }
    if (!(den > 0.0)) return;
    const double lambda = num / den;
    if (!(lambda > 0.0 && lambda < 0.98)) return;
    const double factor = lambda / (1.0 - lambda);
    for (std::size_t i = 0; i < x.size(); ++i) x[i] = ClampLn(x[i] + factor * step[i]);
}

// Whether the trial phase W = w exp(lnSum), one substitution step short of a stationary point,
// has a tangent-plane distance clearly above 0: tm = 1 - sum W_i - sum W_i step_i, since
// ln W_i + ln phi_i - d_i = -step_i. Near a stationary point tm differs from its value there
// only in the second order of the distance (1e-4 in ln W gives some 1e-8), so a trial with tm
// above kClearlyStableTm there cannot reveal an instability and need not be converged further.
bool ClearlyStable(const std::vector<double>& w, const std::vector<double>& step, double lnSum) {
    if (lnSum > kUnboundedLnSum) return false;
    double weighted = 0.0;
    for (std::size_t i = 0; i < w.size(); ++i) weighted += w[i] * step[i];
    const double sum = pmath::Exp(lnSum);
    return 1.0 - sum - sum * weighted > kClearlyStableTm;
}

struct StationaryPoint {
    std::vector<double> w;   // normalised trial composition
    double tm = 0.0;         // modified tangent-plane distance
};

// Stationary points of the tangent-plane distance of a phase with d_i = ln x_i + ln phi_i,
// reached by accelerated successive substitution from each start. Trivial points (the phase
// itself) are left out.
std::vector<StationaryPoint> StationaryPoints(const Model& m, const std::vector<double>& reference,
                                              const std::vector<double>& d,
                                              const std::vector<std::vector<double>>& starts,
                                              std::vector<StationaryPoint> points = {}) {
    std::vector<double> lnW, w, lnPhi(m.n), scratch, scratchW, step(m.n), previousStep(m.n);
    for (const auto& start : starts) {
        lnW = start;
        bool usable = true;
        bool trivial = false;
        bool converged = false;
        bool joined = false;
        for (int it = 0; it < kMaxStabilityIterations && !joined; ++it) {
            const double lnSumHere = Normalise(lnW, w);
            if (!Evaluate(m, w.data(), RootChoice::Stable, lnPhi.data(), nullptr, scratch)) {
                usable = false;
                break;
            }
            double delta = 0.0, previousDelta = 0.0, distance = 0.0;
            for (std::size_t i = 0; i < m.n; ++i) {
                const double next = ClampLn(d[i] - lnPhi[i]);
                previousStep[i] = step[i];
                step[i] = next - lnW[i];
                delta = std::max(delta, std::fabs(step[i]));
                previousDelta = std::max(previousDelta, std::fabs(previousStep[i]));
                lnW[i] = next;
                distance += (w[i] - reference[i]) * (w[i] - reference[i]);
            }
            // The phase itself, unless it lies on another root (a metastable pure vapour).
            if (distance < 1e-12 && std::fabs(Normalise(lnW, scratchW)) < 1e-8) {
                trivial = true;
                break;
            }
            // Converged; or nearly, still contracting (so that the point itself lies within ten
            // more steps, 1e-4) and clearly no threat to stability.
            if (delta < 1e-12 || (it > 0 && delta < kNearlyStationary && delta < 0.9 * previousDelta &&
                                  ClearlyStable(w, step, lnSumHere))) {
                converged = true;
                break;
            }
            // Contracting onto a point found already (from an earlier start): nothing new.
            if (it > 0 && delta < 0.9 * previousDelta)
                for (const auto& p : points) joined = joined || Distance(w, p.w) < kJoinsFoundPoint;
            if (it % kAccelerationPeriod == kAccelerationPeriod - 1) Accelerate(lnW, step, previousStep);
        }
        if (!usable || trivial || joined) continue;
        // Converged, the last fugacity coefficients hold for w within the last step; otherwise w
        // is evaluated afresh.
        const double lnSum = Normalise(lnW, w);
        if (!converged && !Evaluate(m, w.data(), RootChoice::Stable, lnPhi.data(), nullptr, scratch)) continue;
        double distance = 0.0;
        for (std::size_t i = 0; i < m.n; ++i) distance += (w[i] - reference[i]) * (w[i] - reference[i]);
        if (distance < 1e-12 && std::fabs(lnSum) < 1e-8) continue;
        double tm;
        if (lnSum > kUnboundedLnSum) {
            tm = -std::numeric_limits<double>::max();
        } else {
            tm = 1.0;
            for (std::size_t i = 0; i < m.n; ++i) {
                const double wi = pmath::Exp(lnW[i]);
                tm += wi * (lnW[i] + lnPhi[i] - d[i] - 1.0);
            }
        }
        if (!std::isfinite(tm)) continue;
        points.push_back({w, tm});
    }
    return points;
}

// A trial phase of nearly pure component k, the others sharing 0.1 %.
std::vector<double> NearlyPure(const Model& m, std::size_t k) {
    std::vector<double> lnW(m.n);
    for (std::size_t i = 0; i < m.n; ++i) lnW[i] = i == k ? pmath::Log(0.999) : pmath::Log(0.001 / double(m.n));
    return lnW;
}

// Starting points of the stability analysis of a phase x of a fluid that may hold water
// (Michelsen's choice for natural gas): Wilson's vapour- and liquid-like estimates, nearly pure
// water, and a water-free hydrocarbon liquid (Wilson's liquid estimate without the polar
// components) or, in a fluid without water, alcohols or glycols, the nearly pure heaviest
// component.
std::vector<std::vector<double>> TrialStarts(const Model& m, const std::vector<double>& x) {
    std::vector<std::vector<double>> starts;
    for (double f : {1.0, -1.0}) {
        std::vector<double> lnW(m.n);
        for (std::size_t i = 0; i < m.n; ++i) lnW[i] = ClampLn(SafeLog(x[i]) + f * m.lnWilsonK[i]);
        starts.push_back(std::move(lnW));
    }
    bool polar = false;
    for (char p : m.polar) polar = polar || p;
    if (m.water >= 0 && m.n > 1) starts.push_back(NearlyPure(m, static_cast<std::size_t>(m.water)));
    if (polar && m.heaviest >= 0) {
        std::vector<double> lnW(m.n);
        for (std::size_t i = 0; i < m.n; ++i)
            lnW[i] = m.polar[i] ? pmath::Log(1e-8) : ClampLn(SafeLog(x[i]) - m.lnWilsonK[i]);
        starts.push_back(std::move(lnW));
    }
    else if (m.heaviest >= 0 && m.n > 1) starts.push_back(NearlyPure(m, static_cast<std::size_t>(m.heaviest)));
    return starts;
}

// Further starting points, for certifying a phase x that the starts above find stable
// (Michelsen advises a trial from every pure component): the nearly pure form of every other
// component that makes up more than kPureTrialFraction of the feed z and could condense into a
// liquid of its own, so that a liquid rich in carbon dioxide, hydrogen sulfide, nitrogen or
// methane is found too. A component could when its fugacity in x is at least a tenth of its
// vapour pressure by Wilson's estimate, x_k P > 0.1 P_sat,k, or x_k / K_k > 0.1: a margin of
// ten for the non-ideality of its liquid (a component far from that, such as carbon dioxide at
// 1.5 % in a gas at 5 degC and 5000 kPa, is left to the other starts). A liquid-like phase x
// gets the trial of every such component: a vapour rich in a light gas may boil off it, and
// Wilson's estimate, which puts helium's K near 1 at 6 MPa, does not point there.
std::vector<std::vector<double>> PureTrialStarts(const Model& m, const std::vector<double>& x,
                                                 const std::vector<double>& z, bool liquid) {
    std::vector<std::vector<double>> starts;
    if (m.n < 2) return starts;
    const bool polar = std::any_of(m.polar.begin(), m.polar.end(), [](char p) { return p != 0; });
    for (std::size_t k = 0; k < m.n; ++k) {
        const int at = static_cast<int>(k);
        if (z[k] > kPureTrialFraction && (liquid || SafeLog(x[k]) - m.lnWilsonK[k] > kPureTrialLnIdealLiquid) &&
            at != m.water &&
            (polar || at != m.heaviest))
            starts.push_back(NearlyPure(m, k));
    }
    return starts;
}

// One phase of a split: composition, share, and the state of its last evaluation.
struct SplitPhase {
    std::vector<double> x;
    double beta = 0.0;
    std::vector<double> lnPhi;
    PhaseEval eval;
};

// Phase fractions and compositions for fixed fugacity coefficients: the minimum over beta >= 0
// of Q = sum_k beta_k - sum_i z_i ln(sum_k beta_k / phi_ik), a convex function; Newton steps on
// the phases that are free, with a line search. Compositions x_ik = z_i / (phi_ik E_i).
bool SolvePhaseFractions(const std::vector<double>& z, std::vector<SplitPhase>& phases) {
    const std::size_t np = phases.size();
    const std::size_t n = z.size();
    if (np == 0 || np > kMaxPhases + 1) return false;
    // e_ik = phi_i,min / phi_ik, so that every component has one term equal to 1.
    std::vector<double> e(np * n);
    for (std::size_t i = 0; i < n; ++i) {
        double lo = phases[0].lnPhi[i];
        for (std::size_t k = 1; k < np; ++k) lo = std::min(lo, phases[k].lnPhi[i]);
        for (std::size_t k = 0; k < np; ++k) e[k * n + i] = pmath::Exp(std::max(lo - phases[k].lnPhi[i], -kLnLimit));
    }
    std::vector<double> beta(np);
    double total = 0.0;
    for (std::size_t k = 0; k < np; ++k) {
        beta[k] = std::isfinite(phases[k].beta) ? std::max(phases[k].beta, 0.0) : 0.0;
        total += beta[k];
    }
    // Start from the shares given when every phase has one (the last substitution step), else
    // inside: every phase a share, so that every sum below is positive.
    const bool inside = std::all_of(beta.begin(), beta.end(), [](double b) { return b > 0.0; });
    for (std::size_t k = 0; k < np; ++k)
        beta[k] = !(total > 0.0) ? 1.0 / static_cast<double>(np)
                  : inside       ? beta[k] / total
                                 : 0.9 * beta[k] / total + 0.1 / static_cast<double>(np);

    std::vector<double> s(n), g(np), h(np * np), trial(np);
    auto objective = [&](const std::vector<double>& bt) {
        double q = 0.0;
        for (std::size_t k = 0; k < np; ++k) q += bt[k];
        for (std::size_t i = 0; i < n; ++i) {
            double si = 0.0;
            for (std::size_t k = 0; k < np; ++k) si += bt[k] * e[k * n + i];
            if (!(si > 0.0)) return std::numeric_limits<double>::infinity();
            q -= z[i] * pmath::Log(si);
        }
        return q;
    };
    double q0 = std::numeric_limits<double>::quiet_NaN();  // objective at beta, once known
    std::vector<std::size_t> free;
    free.reserve(np);
    for (int it = 0; it < kMaxPhaseFractionIterations; ++it) {
        for (std::size_t i = 0; i < n; ++i) {
            double si = 0.0;
            for (std::size_t k = 0; k < np; ++k) si += beta[k] * e[k * n + i];
            s[i] = si;
        }
        std::fill(h.begin(), h.end(), 0.0);
        for (std::size_t k = 0; k < np; ++k) {
            double sum = 0.0;
            for (std::size_t i = 0; i < n; ++i) {
                if (z[i] == 0.0) continue;
                sum += z[i] * e[k * n + i] / s[i];
                for (std::size_t l = k; l < np; ++l)
                    h[k * np + l] += z[i] * e[k * n + i] * e[l * n + i] / (s[i] * s[i]);
            }
            g[k] = 1.0 - sum;
        }
        for (std::size_t k = 0; k < np; ++k)
            for (std::size_t l = 0; l < k; ++l) h[k * np + l] = h[l * np + k];
        free.clear();
        bool done = true;
        for (std::size_t k = 0; k < np; ++k) {
            if (beta[k] > 0.0 || g[k] < 0.0) free.push_back(k);
            if (beta[k] > 0.0 ? std::fabs(g[k]) > 1e-12 : g[k] < -1e-12) done = false;
        }
        if (done || free.empty()) break;
        // Newton step on the free shares; a share at 0 that the step would lower stays bound
        // (else the step length would be 0 and the iteration would stall).
        PhaseVector d;
        for (;;) {
            const std::size_t k = free.size();
            PhaseMatrix hf(k, k);
            PhaseVector rf(k);
            double trace = 0.0;
            for (std::size_t a = 0; a < k; ++a) trace += h[free[a] * np + free[a]];
            for (std::size_t a = 0; a < k; ++a) {
                rf(Eigen::Index(a)) = -g[free[a]];
                for (std::size_t b = 0; b < k; ++b) hf(Eigen::Index(a), Eigen::Index(b)) = h[free[a] * np + free[b]];
                hf(Eigen::Index(a), Eigen::Index(a)) += 1e-14 * trace;
            }
            const Eigen::LDLT<PhaseMatrix> ldlt(hf);
            if (ldlt.info() != Eigen::Success) return false;
            d = ldlt.solve(rf);
            if (!d.allFinite()) return false;
            std::size_t bound = k;
            for (std::size_t a = 0; a < k && bound == k; ++a)
                if (!(beta[free[a]] > 0.0) && d(Eigen::Index(a)) < 0.0) bound = a;
            if (bound == k || k == 1) break;
            free.erase(free.begin() + std::ptrdiff_t(bound));
        }
        const std::size_t k = free.size();
        double maxStep = 1.0;
        std::size_t blocking = np;
        for (std::size_t a = 0; a < k; ++a) {
            const std::size_t p = free[a];
            if (d(Eigen::Index(a)) < 0.0 && beta[p] + d(Eigen::Index(a)) < 0.0) {
                const double limit = -beta[p] / d(Eigen::Index(a));
                if (limit < maxStep) {
                    maxStep = limit;
                    blocking = p;
                }
            }
        }
        if (!std::isfinite(q0)) q0 = objective(beta);
        double slope = 0.0;
        for (std::size_t a = 0; a < k; ++a) slope += g[free[a]] * d(Eigen::Index(a));
        double step = maxStep;
        bool accepted = false, flat = false;
        double q1 = q0;
        for (int ls = 0; ls < 30; ++ls) {
            trial = beta;
            for (std::size_t a = 0; a < k; ++a) trial[free[a]] = std::max(beta[free[a]] + step * d(Eigen::Index(a)), 0.0);
            if (step == maxStep && blocking < np) trial[blocking] = 0.0;
            q1 = objective(trial);
            flat = std::fabs(q1 - q0) < 1e-15 * std::max(1.0, std::fabs(q0));
            if (q1 <= q0 + 1e-4 * step * slope || flat) {
                accepted = true;
                break;
            }
            step *= 0.5;
        }
        if (!accepted) break;  // no further decrease possible: as good as it gets
        beta = trial;
        q0 = q1;
        if (flat) break;       // the objective no longer changes in double precision
    }
    double sumBeta = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        double si = 0.0;
        for (std::size_t k = 0; k < np; ++k) si += beta[k] * e[k * n + i];
        s[i] = si;
    }
    for (std::size_t k = 0; k < np; ++k) {
        double sum = 0.0;
        for (std::size_t i = 0; i < n; ++i) {
            phases[k].x[i] = s[i] > 0.0 ? z[i] * e[k * n + i] / s[i] : 0.0;
            sum += phases[k].x[i];
        }
        if (!(sum > 0.0) || !std::isfinite(sum)) return false;
        for (double& v : phases[k].x) v /= sum;
        phases[k].beta = beta[k];
        sumBeta += beta[k];
    }
    if (!(sumBeta > 0.0)) return false;
    for (auto& p : phases) p.beta /= sumBeta;
    return true;
}


bool EvaluatePhase(const Model& m, SplitPhase& p, RootChoice root, std::vector<double>& scratch) {
    p.lnPhi.resize(m.n);
    return Evaluate(m, p.x.data(), root, p.lnPhi.data(), &p.eval, scratch);
}

// Largest |ln f_ik - ln f_i0| over the components and phases.
double FugacityResidual(const Model& m, const std::vector<SplitPhase>& phases) {
    double r = 0.0;
    for (std::size_t k = 1; k < phases.size(); ++k)
        for (std::size_t i = 0; i < m.n; ++i)
            r = std::max(r, std::fabs(SafeLog(phases[k].x[i]) + phases[k].lnPhi[i] - SafeLog(phases[0].x[i]) -
                                      phases[0].lnPhi[i]));
    return std::isfinite(r) ? r : std::numeric_limits<double>::infinity();
}

// Successive substitution on the fugacity coefficients, every few steps extrapolated. False
// when a phase cannot be evaluated; *residual is the fugacity residual of the last evaluation.
bool Substitute(const Model& m, const std::vector<double>& z, std::vector<SplitPhase>& phases, int maxIterations,
                double* residual, int* iterations) {
    std::vector<double> scratch, all, step, previousStep, previous;
    *residual = std::numeric_limits<double>::infinity();
    for (int it = 0; it < maxIterations; ++it) {
        for (auto& p : phases)
            if (!EvaluatePhase(m, p, RootChoice::Stable, scratch)) return false;
        *residual = FugacityResidual(m, phases);
        if (*residual < 1e-11) return true;
        ++*iterations;
        all.clear();
        for (const auto& p : phases) all.insert(all.end(), p.lnPhi.begin(), p.lnPhi.end());
        if (previous.size() == all.size()) {
            previousStep = step;
            step.resize(all.size());
            for (std::size_t i = 0; i < all.size(); ++i) step[i] = all[i] - previous[i];
            previous = all;
            if (previousStep.size() == step.size() && it % kAccelerationPeriod == kAccelerationPeriod - 1) {
                Accelerate(all, step, previousStep);
                std::size_t offset = 0;
                for (auto& p : phases) {
                    std::copy(all.begin() + std::ptrdiff_t(offset), all.begin() + std::ptrdiff_t(offset + m.n),
                              p.lnPhi.begin());
                    offset += m.n;
                }
            }
        } else {
            previous = all;
            step.clear();
        }
        if (!SolvePhaseFractions(z, phases)) return false;
        // Two phases that became one.
        for (std::size_t k = 0; k < phases.size(); ++k)
            for (std::size_t l = k + 1; l < phases.size();) {
                if (Distance(phases[k].x, phases[l].x) < 1e-7 && std::fabs(phases[k].eval.z - phases[l].eval.z) < 1e-6) {
                    phases[k].beta += phases[l].beta;
                    phases.erase(phases.begin() + static_cast<std::ptrdiff_t>(l));
                    previous.clear();
                } else {
                    ++l;
                }
            }
    }
    return true;
}

// Newton's method on the mole numbers of all phases but the largest, whose mole numbers close
// the material balance (Michelsen and Mollerup, "Thermodynamic Models", ch. 10). The Jacobian
// is the sum of the phases' Hessians of ln f, their ln phi part by forward differences; each
// phase keeps the root it converged on. Every phase must have a positive share.
bool NewtonSplit(const Model& m, const std::vector<double>& z, std::vector<SplitPhase>& phases) {
    const std::size_t np = phases.size(), n = m.n;
    if (np < 2) return true;
    std::size_t ref = 0;
    for (std::size_t k = 1; k < np; ++k)
        if (phases[k].beta > phases[ref].beta) ref = k;
    std::vector<RootChoice> roots(np);
    std::vector<std::vector<double>> moles(np, std::vector<double>(n));
    for (std::size_t k = 0; k < np; ++k) {
        if (!(phases[k].beta > 1e-14)) return false;
        roots[k] = phases[k].eval.smallestRoot ? RootChoice::Liquid : RootChoice::Vapour;
        for (std::size_t i = 0; i < n; ++i) moles[k][i] = phases[k].beta * phases[k].x[i];
    }
    auto closeBalance = [&](std::vector<std::vector<double>>& nk) {
        for (std::size_t i = 0; i < n; ++i) {
            double rest = z[i];
            for (std::size_t k = 0; k < np; ++k)
                if (k != ref) rest -= nk[k][i];
            nk[ref][i] = rest;
        }
    };
    closeBalance(moles);
    std::vector<double> scratch, x(n), lnPhiPlus(n);
    std::vector<std::vector<double>> lnPhi(np, std::vector<double>(n));
    // ln f of every phase; false when a mole number is not positive or a phase cannot be evaluated.
    auto fugacities = [&](const std::vector<std::vector<double>>& nk, Eigen::VectorXd& g) {
        std::vector<std::vector<double>> lnF(np, std::vector<double>(n));
        for (std::size_t k = 0; k < np; ++k) {
            double total = 0.0;
            for (double v : nk[k]) {
                if (!(v > 0.0)) return false;
                total += v;
            }
            for (std::size_t i = 0; i < n; ++i) x[i] = nk[k][i] / total;
            if (!Evaluate(m, x.data(), roots[k], lnPhi[k].data(), nullptr, scratch)) return false;
            for (std::size_t i = 0; i < n; ++i) lnF[k][i] = pmath::Log(x[i]) + lnPhi[k][i];
        }
        g.resize(Eigen::Index(n * (np - 1)));
        Eigen::Index row = 0;
        for (std::size_t k = 0; k < np; ++k)
            if (k != ref)
                for (std::size_t i = 0; i < n; ++i) g(row++) = lnF[k][i] - lnF[ref][i];
        return g.allFinite();
    };
    Eigen::VectorXd g;
    if (!fugacities(moles, g)) return false;
    double norm = g.lpNorm<Eigen::Infinity>();
    for (int it = 0; it < kMaxNewtonIterations && norm >= 1e-11; ++it) {
        // Hessian of ln f of each phase with respect to its own mole numbers.
        std::vector<Eigen::MatrixXd> hessian(np, Eigen::MatrixXd(Eigen::Index(n), Eigen::Index(n)));
        for (std::size_t k = 0; k < np; ++k) {
            double total = 0.0;
            for (double v : moles[k]) total += v;
            for (std::size_t i = 0; i < n; ++i) x[i] = moles[k][i] / total;
            std::vector<double> base(n);
            if (!Evaluate(m, x.data(), roots[k], base.data(), nullptr, scratch)) return false;
            const double h = 1e-7 * total;
            for (std::size_t j = 0; j < n; ++j) {
                for (std::size_t i = 0; i < n; ++i) x[i] = (moles[k][i] + (i == j ? h : 0.0)) / (total + h);
                if (!Evaluate(m, x.data(), roots[k], lnPhiPlus.data(), nullptr, scratch)) return false;
                for (std::size_t i = 0; i < n; ++i)
                    hessian[k](Eigen::Index(i), Eigen::Index(j)) =
                        (lnPhiPlus[i] - base[i]) / h + (i == j ? 1.0 / moles[k][i] : 0.0) - 1.0 / total;
            }
        }
        const auto size = Eigen::Index(n * (np - 1));
        Eigen::MatrixXd jacobian = Eigen::MatrixXd::Zero(size, size);
        std::vector<std::size_t> others;
        for (std::size_t k = 0; k < np; ++k)
            if (k != ref) others.push_back(k);
        for (std::size_t a = 0; a < others.size(); ++a)
            for (std::size_t b = 0; b < others.size(); ++b) {
                auto block = jacobian.block(Eigen::Index(a * n), Eigen::Index(b * n), Eigen::Index(n), Eigen::Index(n));
                block = hessian[ref];
                if (a == b) block += hessian[others[a]];
            }
        const Eigen::VectorXd delta = jacobian.partialPivLu().solve(-g);
        if (!delta.allFinite()) return false;
        // The longest step that keeps every mole number positive, then halving until the
        // residual falls.
        double alpha = 1.0;
        for (std::size_t a = 0; a < others.size(); ++a)
            for (std::size_t i = 0; i < n; ++i) {
                const double d = delta(Eigen::Index(a * n + i));
                if (d < 0.0) alpha = std::min(alpha, 0.9 * moles[others[a]][i] / -d);
            }
        for (std::size_t i = 0; i < n; ++i) {
            double d = 0.0;
            for (std::size_t a = 0; a < others.size(); ++a) d -= delta(Eigen::Index(a * n + i));
            if (d < 0.0) alpha = std::min(alpha, 0.9 * moles[ref][i] / -d);
        }
        bool accepted = false;
        for (int ls = 0; ls < 6 && !accepted; ++ls, alpha *= 0.5) {
            auto trial = moles;
            for (std::size_t a = 0; a < others.size(); ++a)
                for (std::size_t i = 0; i < n; ++i) trial[others[a]][i] += alpha * delta(Eigen::Index(a * n + i));
            closeBalance(trial);
            Eigen::VectorXd trialG;
            if (!fugacities(trial, trialG)) continue;
            const double trialNorm = trialG.lpNorm<Eigen::Infinity>();
            if (trialNorm < norm) {
                moles = std::move(trial);
                g = std::move(trialG);
                norm = trialNorm;
                accepted = true;
            }
        }
        if (!accepted) return false;
    }
    if (!(norm < 1e-11)) return false;
    for (std::size_t k = 0; k < np; ++k) {
        double total = 0.0;
        for (double v : moles[k]) total += v;
        phases[k].beta = total;
        for (std::size_t i = 0; i < n; ++i) phases[k].x[i] = moles[k][i] / total;
        if (!EvaluatePhase(m, phases[k], roots[k], scratch)) return false;
    }
    return true;
}

// The split of the feed over the given phases: substitution, then Newton; more substitution
// if Newton fails. A phase whose share is 0 stays a trial phase while the substitution goes on
// and is dropped when it has converged (or the work for it is spent) without a share.
bool Converge(const Model& m, const std::vector<double>& z, std::vector<SplitPhase>& phases, int* iterations) {
    int budget = kSubstitutionsBeforeNewton;
    for (int attempt = 0; attempt < 4; ++attempt) {
        double residual = 0.0;
        if (!Substitute(m, z, phases, budget, &residual, iterations)) return false;
        budget = kMaxSubstitutions;
        const bool shareless = std::any_of(phases.begin(), phases.end(), [](const SplitPhase& p) { return !(p.beta > 0.0); });
        if (shareless) {
            if (residual > 1e-9 && attempt == 0) continue;
            phases.erase(std::remove_if(phases.begin(), phases.end(), [](const SplitPhase& p) { return !(p.beta > 0.0); }),
                         phases.end());
            if (phases.size() <= 1) return !phases.empty();
            continue;
        }
        if (residual < 1e-11 || NewtonSplit(m, z, phases)) return true;
    }
    return false;
}

// A certified equilibrium: shares in [0, 1] adding to 1, compositions in [0, 1] adding to 1,
// the material balance closed and equal fugacities of every component in every phase, each
// phase on the root of lowest Gibbs energy. (The tangent-plane test is the caller's.)
bool Certify(const Model& m, const std::vector<double>& z, std::vector<SplitPhase>& phases) {
    std::vector<double> scratch;
    std::vector<CertifiedPhase> certified;
    for (auto& p : phases) {
        if (!EvaluatePhase(m, p, RootChoice::Stable, scratch)) return false;
        certified.push_back({p.beta, p.x, p.lnPhi});
    }
    return IsCertifiedSplit(z, certified);
}

double PolarFraction(const Model& m, const std::vector<double>& x) {
    double s = 0.0;
    for (std::size_t i = 0; i < m.n; ++i)
        if (m.polar[i]) s += x[i];
    return s;
}

// a / (b R T) of a phase over its value at the critical point of a pure Peng-Robinson fluid,
// Omega_a / Omega_b: below 1 the phase lies above its own pseudo-critical temperature (the
// temperature at which a pure fluid with the phase's mixed parameters would be critical), a
// supercritical fluid however dense. 0.89 for the methane-rich phase of methane / n-butane at
// -60 degC and 7000 kPa; 1.15 for methane compressed at -100 degC; 5.7 for the methane-rich
// liquid of a natural gas at -220 degC.
double InverseReducedTemperature(const Model& m, const std::vector<double>& x) {
    double a = 0.0, b = 0.0;
    for (std::size_t i = 0; i < m.n; ++i) {
        b += x[i] * m.b[i];
        for (std::size_t j = 0; j < m.n; ++j) a += x[i] * x[j] * m.aij[i * m.n + j];
    }
    return a / (b * kGasConstant * m.temperatureK) / (kOmegaA / kOmegaB);
}

// Hydrocarbons heavier than methane in a phase.
constexpr std::int32_t kMethaneCasKey = 74828;
double HeavierHydrocarbonFraction(const Model& m, const std::vector<Component>& components,
                                  const std::vector<double>& x) {
    double s = 0.0;
    for (std::size_t i = 0; i < m.n; ++i) {
        const Component& c = components[m.index[i]];
        if (c.componentClass >= 200 && c.componentClass < 300 && c.casKey != kMethaneCasKey) s += x[i];
    }
    return s;
}

// Slots of the phases of an equilibrium. One phase: by its phase identification parameter,
// vapour-like to the vapour slot, a liquid to the aqueous slot when water, alcohols and
// glycols make up most of it, else to the hydrocarbon-liquid slot. Several phases: the most
// polar liquid that is mostly polar goes to the aqueous slot. Of the others the lightest goes
// to the vapour slot when it is a vapour: vapour-like by the phase identification parameter,
// or liquid-like but above its own pseudo-critical temperature (the dense methane-rich phase
// of a near-critical split, which that parameter counts as liquid-like). Every other
// phase is a liquid: one goes to the hydrocarbon-liquid slot, two to the hydrocarbon-liquid
// slot (the one richer in hydrocarbons heavier than methane) and the phase-3 slot (the other,
// such as a liquid rich in carbon dioxide, hydrogen sulfide or methane). More liquids than
// that have no slot (-1 for every phase).
std::vector<int> ClassifyPhases(const Model& m, const std::vector<Component>& components,
                                const std::vector<SplitPhase>& phases) {
    const std::size_t np = phases.size();
    std::vector<int> slot(np, kHydrocarbonLiquidSlot);
    std::vector<double> polar(np), pip(np);
    for (std::size_t k = 0; k < np; ++k) {
        polar[k] = PolarFraction(m, phases[k].x);
        pip[k] = PhaseIdentificationParameter(m, phases[k].x.data(), phases[k].eval.z);
    }
    auto vapourLike = [&](std::size_t k) { return !(pip[k] > 1.0); };
    if (np == 1) {
        slot[0] = vapourLike(0) ? kVapourSlot : polar[0] > 0.5 ? kAqueousSlot : kHydrocarbonLiquidSlot;
        return slot;
    }
    std::vector<std::size_t> order(np);  // lightest (largest Z) first
    for (std::size_t k = 0; k < np; ++k) order[k] = k;
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return phases[a].eval.z > phases[b].eval.z; });
    // The aqueous phase: the most polar of the phases other than the lightest (or the lightest
    // itself if it is a polar liquid and nothing else is).
    std::size_t aqueous = np;
    for (std::size_t r = 1; r < np; ++r)
        if (polar[order[r]] > 0.5 && (aqueous == np || polar[order[r]] > polar[aqueous])) aqueous = order[r];
    if (aqueous == np && np == 2 && polar[order[0]] > 0.5 && !vapourLike(order[0])) aqueous = order[0];
    std::vector<std::size_t> rest;
    for (std::size_t k : order)
        if (k != aqueous) rest.push_back(k);
    if (aqueous < np) slot[aqueous] = kAqueousSlot;
    if (!rest.empty() && (vapourLike(rest[0]) ||
                          InverseReducedTemperature(m, phases[rest[0]].x) < 1.0)) {
        slot[rest[0]] = kVapourSlot;
        rest.erase(rest.begin());
    }
    if (rest.size() == 1) {
        slot[rest[0]] = kHydrocarbonLiquidSlot;
    } else if (rest.size() == 2) {
        const bool firstHeavier = HeavierHydrocarbonFraction(m, components, phases[rest[0]].x) >=
                                  HeavierHydrocarbonFraction(m, components, phases[rest[1]].x);
        slot[rest[firstHeavier ? 0 : 1]] = kHydrocarbonLiquidSlot;
        slot[rest[firstHeavier ? 1 : 0]] = kPhase3Slot;
    } else if (rest.size() > 2) {
        slot.assign(np, -1);
    }
    return slot;
}

// The feed as given: negative entries count as 0; nothing when an entry is not finite or no
// entry is positive. Fills the active components and their normalised fractions.
bool PrepareFeed(std::span<const double> feed, std::size_t n, std::vector<std::size_t>& active,
                 std::vector<double>& z) {
    if (feed.size() != n) return false;
    double total = 0.0;
    for (double v : feed) {
        if (!std::isfinite(v)) return false;
        if (v > 0.0) total += v;
    }
    if (!(total > 0.0)) return false;
    for (std::size_t i = 0; i < n; ++i)
        if (feed[i] > 0.0 && feed[i] / total > 1e-200) {
            active.push_back(i);
            z.push_back(feed[i] / total);
        }
    // Renormalised over the components kept.
    double kept = 0.0;
    for (double v : z) kept += v;
    for (double& v : z) v /= kept;
    return !active.empty();
}

FlashPhase FullPhase(const Model& m, std::size_t n, const std::vector<double>& x, double fraction, double z) {
    FlashPhase p;
    p.present = true;
    p.fraction = fraction;
    p.compressibility = z;
    p.moleFractions.assign(n, 0.0);
    for (std::size_t i = 0; i < m.n; ++i) p.moleFractions[m.index[i]] = x[i];
    return p;
}

void EmptyPhases(FlashResult& r, std::size_t n) {
    for (auto& p : r.phases) {
        p = FlashPhase{};
        p.moleFractions.assign(n, 0.0);
    }
}

struct Stability {
    bool unstable = false;
    bool liquidLike = false;   // the feed itself, on the root tested: liquid-like and below its
                               // own pseudo-critical temperature (a liquid, not a dense vapour)
    double z = 0.0;            // compressibility of the feed on that root
    StationaryPoint best;
};

// Stability of the feed at T and P, the feed evaluated with the given root.
std::optional<Stability> TestFeed(const Model& m, const std::vector<double>& z, RootChoice root) {
    std::vector<double> lnPhi(m.n), scratch, d(m.n);
    PhaseEval eval;
    if (!Evaluate(m, z.data(), root, lnPhi.data(), &eval, scratch)) return std::nullopt;
    for (std::size_t i = 0; i < m.n; ++i) d[i] = SafeLog(z[i]) + lnPhi[i];
    Stability s;
    s.z = eval.z;
    s.liquidLike = PhaseIdentificationParameter(m, z.data(), eval.z) > 1.0 && !(InverseReducedTemperature(m, z) < 1.0);
    std::vector<StationaryPoint> points;
    for (int stage = 0; stage < 2 && !s.unstable; ++stage) {
        points = StationaryPoints(m, z, d, stage == 0 ? TrialStarts(m, z) : PureTrialStarts(m, z, z, s.liquidLike), std::move(points));
        for (const auto& p : points)
            if (p.tm < kUnstableTm && (!s.unstable || p.tm < s.best.tm)) {
                s.unstable = true;
                s.best = p;
            }
    }
    return s;
}

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

int FlashResult::PresentCount() const {
    int count = 0;
    for (const auto& p : phases) count += p.present ? 1 : 0;
    return count;
}

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

PengRobinsonFlash::PengRobinsonFlash(std::span<const Component> components)
    : m_components(components.begin(), components.end()), m_kij(components.size() * components.size(), 0.0) {
    const std::size_t n = m_components.size();
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t j = 0; j < n; ++j)
            if (i != j) m_kij[i * n + j] = DefaultInteraction(m_components[i], m_components[j]);
}

double PengRobinsonFlash::InteractionParameter(std::size_t i, std::size_t j) const {
    const std::size_t n = m_components.size();
    return i < n && j < n ? m_kij[i * n + j] : 0.0;
}

void PengRobinsonFlash::SetInteractionParameter(std::size_t i, std::size_t j, double kij) {
    const std::size_t n = m_components.size();
    if (i >= n || j >= n || i == j || !std::isfinite(kij)) return;
    m_kij[i * n + j] = kij;
    m_kij[j * n + i] = kij;
}

namespace {
bool UsableConditions(double temperatureK, double pressureKPa) {
    return std::isfinite(temperatureK) && std::isfinite(pressureKPa) && temperatureK > 0.0 && pressureKPa > 0.0;
}
bool UsableComponents(const std::vector<Component>& components, const std::vector<std::size_t>& active) {
    for (std::size_t i : active) {
        const Component& c = components[i];
        if (!(c.criticalTemperatureK > 0.0) || !(c.criticalPressureKPa > 0.0) || !std::isfinite(c.acentricFactor) ||
            !std::isfinite(c.criticalTemperatureK) || !std::isfinite(c.criticalPressureKPa))
            return false;
    }
    return true;
}
}  // namespace

std::optional<double> PengRobinsonFlash::Compressibility(double temperatureK, double pressureKPa,
                                                         std::span<const double> x, RootChoice root) const {
    try {
        std::vector<std::size_t> active;
        std::vector<double> z;
        if (!UsableConditions(temperatureK, pressureKPa) || !PrepareFeed(x, m_components.size(), active, z) ||
            !UsableComponents(m_components, active))
            return std::nullopt;
        const Model m = BuildModel(m_components, m_kij, active, temperatureK, pressureKPa);
        std::vector<double> lnPhi(m.n), scratch;
        PhaseEval eval;
        if (!Evaluate(m, z.data(), root, lnPhi.data(), &eval, scratch)) return std::nullopt;
        return eval.z;
    } catch (...) {
        return std::nullopt;
    }
}

std::optional<std::vector<double>> PengRobinsonFlash::LnFugacityCoefficients(double temperatureK, double pressureKPa,
                                                                             std::span<const double> x,
                                                                             RootChoice root) const {
    try {
        const std::size_t n = m_components.size();
        if (!UsableConditions(temperatureK, pressureKPa) || x.size() != n) return std::nullopt;
        // Every component takes part, so that the coefficients of absent ones are given too.
        std::vector<std::size_t> all(n);
        std::vector<double> z(n);
        double total = 0.0;
        for (std::size_t i = 0; i < n; ++i) {
            all[i] = i;
            if (!std::isfinite(x[i])) return std::nullopt;
            z[i] = std::max(x[i], 0.0);
            total += z[i];
        }
        if (!(total > 0.0) || !UsableComponents(m_components, all)) return std::nullopt;
        for (double& v : z) v /= total;
        const Model m = BuildModel(m_components, m_kij, all, temperatureK, pressureKPa);
        std::vector<double> lnPhi(n), scratch;
        if (!Evaluate(m, z.data(), root, lnPhi.data(), nullptr, scratch)) return std::nullopt;
        return lnPhi;
    } catch (...) {
        return std::nullopt;
    }
}

std::optional<FlashResult> PengRobinsonFlash::FlashTP(double temperatureK, double pressureKPa,
                                                      std::span<const double> feed, FlashFailure* failure) const {
    FlashFailure ignored;
    FlashFailure& why = failure ? *failure : ignored;
    why = FlashFailure::UnusableInput;
    try {
        const std::size_t n = m_components.size();
        std::vector<std::size_t> active;
        std::vector<double> z;
        if (!UsableConditions(temperatureK, pressureKPa) || !PrepareFeed(feed, n, active, z) ||
            !UsableComponents(m_components, active))
            return std::nullopt;
        const Model m = BuildModel(m_components, m_kij, active, temperatureK, pressureKPa);

        std::vector<SplitPhase> phases(1);
        phases[0].x = z;
        phases[0].beta = 1.0;
        std::vector<double> scratch;
        why = FlashFailure::NotCertified;
        if (!EvaluatePhase(m, phases[0], RootChoice::Stable, scratch)) return std::nullopt;
        int iterations = 0;
        bool stable = false;
        for (int round = 0; round < kMaxRounds && !stable; ++round) {
            // Every phase of an equilibrium lies on the same tangent plane: test the largest, a
            // non-aqueous one where there is one. The trial phases start from the tested phase's
            // composition, and an aqueous phase holds the hydrocarbons at fractions of 1e-13 and
            // less, however much of them the other phases hold: a vapour or liquid missing beside
            // it would go unseen.
            const auto ref = std::max_element(phases.begin(), phases.end(), [&](const SplitPhase& a, const SplitPhase& b) {
                const bool aqueousA = PolarFraction(m, a.x) > 0.5, aqueousB = PolarFraction(m, b.x) > 0.5;
                return aqueousA != aqueousB ? aqueousA : a.beta < b.beta;
            });
            std::vector<double> d(m.n);
            for (std::size_t i = 0; i < m.n; ++i) d[i] = SafeLog(ref->x[i]) + ref->lnPhi[i];
            // The usual starts first; when they find no instability, the pure components too.
            std::vector<StationaryPoint> points;
            std::vector<const StationaryPoint*> candidates;
            for (int stage = 0; stage < 2 && candidates.empty(); ++stage) {
                // Beside a split, the usual starts from the feed as well: Wilson's estimates
                // from the tested phase alone end at that phase again (the vapour of a little
                // n-octane boiling with water lies far from both its liquid and the water).
                auto starts = stage == 0 ? TrialStarts(m, ref->x)
                                         : PureTrialStarts(m, ref->x, z,
                                                           PhaseIdentificationParameter(m, ref->x.data(), ref->eval.z) > 1.0);
                if (stage == 0 && phases.size() > 1)
                    for (auto& s : TrialStarts(m, z)) starts.push_back(std::move(s));
                points = StationaryPoints(m, ref->x, d, starts, std::move(points));
                for (const auto& p : points) {
                    if (!(p.tm < kUnstableTm)) continue;
                    bool known = false;
                    for (const auto& ph : phases) known = known || Distance(ph.x, p.w) < kSameComposition;
                    bool repeated = false;
                    for (const auto* c : candidates) repeated = repeated || Distance(c->w, p.w) < kSameComposition;
                    if (!known && !repeated) candidates.push_back(&p);
                }
            }
            if (candidates.empty()) {
                stable = true;
                break;
            }
            std::sort(candidates.begin(), candidates.end(),
                      [](const StationaryPoint* a, const StationaryPoint* b) { return a->tm < b->tm; });
            // The most unstable trial phase first; others if the split from it fails. With four
            // phases already, a fifth must take the place of one of them.
            bool split = false;
            for (std::size_t c = 0; c < candidates.size() && c < kMaxCandidates && !split; ++c) {
                auto trial = phases;
                SplitPhase added;
                added.x = candidates[c]->w;
                trial.push_back(std::move(added));
                if (!Converge(m, z, trial, &iterations)) continue;
                if (static_cast<int>(trial.size()) > kMaxPhases) {
                    why = FlashFailure::NoSlot;
                } else {
                    phases = std::move(trial);
                    split = true;
                }
            }
            if (!split) return std::nullopt;
            why = FlashFailure::NotCertified;
        }
        if (!stable || !Certify(m, z, phases)) return std::nullopt;

        FlashResult result;
        result.temperatureK = temperatureK;
        result.pressureKPa = pressureKPa;
        result.iterations = iterations;
        EmptyPhases(result, n);
        const auto slots = ClassifyPhases(m, m_components, phases);
        for (std::size_t k = 0; k < phases.size(); ++k) {
            if (slots[k] < 0) {
                why = FlashFailure::NoSlot;
                return std::nullopt;
            }
            result.phases[static_cast<std::size_t>(slots[k])] =
                FullPhase(m, n, phases[k].x, phases[k].beta, phases[k].eval.z);
        }
        why = FlashFailure::None;
        return result;
    } catch (...) {
        why = FlashFailure::NotCertified;
        return std::nullopt;
    }
}

namespace {

// Saturation temperature of a pure component at a pressure below its critical pressure: the
// temperature at which its liquid and vapour roots have equal fugacity, by bisection on which
// side of it a temperature lies (liquid root of lower Gibbs energy, or a single liquid-like
// root: below). Nothing at or above the critical pressure.
std::optional<double> PureSaturationTemperature(const std::vector<Component>& components,
                                                const std::vector<double>& kij, std::size_t index,
                                                double pressureKPa) {
    const Component& c = components[index];
    if (!(pressureKPa < c.criticalPressureKPa)) return std::nullopt;
    const std::vector<std::size_t> active{index};
    const double x[] = {1.0};
    std::vector<double> scratch;
    auto below = [&](double t) {
        const Model m = BuildModel(components, kij, active, t, pressureKPa);
        double lnL, lnV;
        PhaseEval liquid, vapour;
        if (!Evaluate(m, x, RootChoice::Liquid, &lnL, &liquid, scratch) ||
            !Evaluate(m, x, RootChoice::Vapour, &lnV, &vapour, scratch))
            return std::optional<bool>{};
        if (liquid.z < vapour.z) return std::optional<bool>{lnL < lnV};
        return std::optional<bool>{PhaseIdentificationParameter(m, x, liquid.z) > 1.0};
    };
    double lo = 0.2 * c.criticalTemperatureK, hi = c.criticalTemperatureK;
    const auto atLo = below(lo), atHi = below(hi);
    if (!atLo || !atHi || !*atLo || *atHi) return std::nullopt;
    for (int it = 0; it < 80 && hi - lo > 1e-12 * hi; ++it) {
        const double t = 0.5 * (lo + hi);
        const auto side = below(t);
        if (!side) return std::nullopt;
        (*side ? lo : hi) = t;
    }
    return 0.5 * (lo + hi);
}

// Michelsen's saturation-point Newton for a dew point: unknowns ln K_i and ln T, equations
// ln K_i + ln phi_i(x, liquid root) - ln phi_i(z, vapour root) = 0 and sum z_i K_i = 1, with
// x_i = z_i K_i; the Jacobian by forward differences. x and T hold the start and the result.
bool SaturationNewton(const std::vector<Component>& components, const std::vector<double>& kij,
                      const std::vector<std::size_t>& active, double pressureKPa, const std::vector<double>& z,
                      std::vector<double>& x, double& temperatureK) {
    const std::size_t n = active.size();
    Eigen::VectorXd u(Eigen::Index(n + 1));
    for (std::size_t i = 0; i < n; ++i) u(Eigen::Index(i)) = pmath::Log(std::max(x[i], 1e-300) / z[i]);
    u(Eigen::Index(n)) = pmath::Log(temperatureK);
    std::vector<double> xs(n), lnL(n), lnV(n), scratch;
    auto residual = [&](const Eigen::VectorXd& v, Eigen::VectorXd& r) {
        const Model m = BuildModel(components, kij, active, pmath::Exp(v(Eigen::Index(n))), pressureKPa);
        double sum = 0.0;
        for (std::size_t i = 0; i < n; ++i) sum += z[i] * pmath::Exp(v(Eigen::Index(i)));
        if (!(sum > 0.0) || !std::isfinite(sum)) return false;
        for (std::size_t i = 0; i < n; ++i) xs[i] = z[i] * pmath::Exp(v(Eigen::Index(i))) / sum;
        if (!Evaluate(m, xs.data(), RootChoice::Liquid, lnL.data(), nullptr, scratch) ||
            !Evaluate(m, z.data(), RootChoice::Vapour, lnV.data(), nullptr, scratch))
            return false;
        r.resize(Eigen::Index(n + 1));
        for (std::size_t i = 0; i < n; ++i) r(Eigen::Index(i)) = v(Eigen::Index(i)) + lnL[i] - lnV[i];
        r(Eigen::Index(n)) = sum - 1.0;
        return r.allFinite();
    };
    Eigen::VectorXd r, rPlus;
    if (!residual(u, r)) return false;
    for (int it = 0; it < kMaxNewtonIterations; ++it) {
        if (r.lpNorm<Eigen::Infinity>() < 1e-12) break;
        Eigen::MatrixXd jacobian(Eigen::Index(n + 1), Eigen::Index(n + 1));
        for (std::size_t j = 0; j <= n; ++j) {
            Eigen::VectorXd v = u;
            const double h = j == n ? 1e-8 : 1e-7;
            v(Eigen::Index(j)) += h;
            if (!residual(v, rPlus)) return false;
            jacobian.col(Eigen::Index(j)) = (rPlus - r) / h;
        }
        Eigen::VectorXd delta = jacobian.partialPivLu().solve(-r);
        if (!delta.allFinite()) return false;
        // At most 2 % in temperature and a change of 2 in ln K per step.
        const double scale = std::min({1.0, 0.02 / std::max(std::fabs(delta(Eigen::Index(n))), 1e-300),
                                       2.0 / std::max(delta.head(Eigen::Index(n)).lpNorm<Eigen::Infinity>(), 1e-300)});
        u += scale * delta;
        if (!residual(u, r)) return false;
    }
    if (!(r.lpNorm<Eigen::Infinity>() < 1e-10)) return false;
    x = xs;
    double sum = 0.0;
    for (double v : x) sum += v;
    for (double& v : x) v /= sum;
    temperatureK = pmath::Exp(u(Eigen::Index(n)));
    return true;
}

}  // namespace

std::optional<FlashResult> PengRobinsonFlash::DewPoint(double pressureKPa, std::span<const double> feed) const {
    try {
        const std::size_t n = m_components.size();
        std::vector<std::size_t> active;
        std::vector<double> z;
        if (!UsableConditions(300.0, pressureKPa) || !PrepareFeed(feed, n, active, z) ||
            !UsableComponents(m_components, active))
            return std::nullopt;

        double dewT = 0.0;
        std::vector<double> incipient;
        if (active.size() == 1) {
            // A single component condenses at its saturation temperature, into itself.
            auto t = PureSaturationTemperature(m_components, m_kij, active[0], pressureKPa);
            if (!t) return std::nullopt;
            dewT = *t;
            incipient = z;
        } else {
            double maxTc = 0.0;
            for (std::size_t i : active) maxTc = std::max(maxTc, m_components[i].criticalTemperatureK);
            // Once the fluid has gone dense (above the hydrocarbon cricondenbar) only water, an
            // alcohol or a glycol can still drop out of it: from then on an instability counts
            // only when its incipient phase is mostly such a polar liquid.
            bool polarOnly = false;
            auto polarFraction = [&](const std::vector<double>& w) {
                double s = 0.0;
                for (std::size_t i = 0; i < w.size(); ++i)
                    if (IsPolar(m_components[active[i]])) s += w[i];
                return s;
            };
            auto test = [&](double t) {
                const Model m = BuildModel(m_components, m_kij, active, t, pressureKPa);
                auto s = TestFeed(m, z, RootChoice::Vapour);
                if (s && s->unstable && polarOnly && !(polarFraction(s->best.w) > 0.5)) s->unstable = false;
                return s;
            };
            bool hasPolar = false;
            for (std::size_t i : active) hasPolar = hasPolar || IsPolar(m_components[i]);
            // A temperature at which the vapour is stable.
            double high = std::max(1.1 * maxTc, 50.0);
            std::optional<Stability> above;
            for (int attempt = 0; attempt < 4; ++attempt, high *= 1.5) {
                above = test(high);
                if (above && !above->unstable) break;
                above.reset();
            }
            if (!above) return std::nullopt;

            // Step down until the vapour is unstable. Where the vapour's density jumps between
            // two steps, or it turns liquid-like, a narrow two-phase window may lie between
            // them: it lies next to the jump, so halve towards the jump until it is found or
            // the interval is a ten-thousandth of a kelvin.
            constexpr double kFloorK = 5.0;
            double stableT = high, unstableT = 0.0, stableZ = above->z;
            StationaryPoint best;
            bool found = false, dense = false;
            while (!found && !dense && stableT > kFloorK) {
                const double t = std::max(stableT - std::max(0.5, 0.02 * stableT), kFloorK);
                auto s = test(t);
                if (!s) return std::nullopt;
                if (s->unstable) {
                    unstableT = t;
                    best = s->best;
                    found = true;
                    break;
                }
                if (s->liquidLike || std::fabs(pmath::Log(s->z / stableZ)) > 0.2) {
                    double lo = t, hi = stableT, zLo = s->z, zHi = stableZ;
                    for (int it = 0; it < 40 && hi - lo > 1e-4; ++it) {
                        const double mid = 0.5 * (lo + hi);
                        auto sm = test(mid);
                        if (!sm) return std::nullopt;
                        if (sm->unstable) {
                            unstableT = mid;
                            stableT = hi;
                            best = sm->best;
                            found = true;
                            break;
                        }
                        if (std::fabs(pmath::Log(sm->z / zHi)) >= std::fabs(pmath::Log(zLo / sm->z))) {
                            lo = mid;
                            zLo = sm->z;
                        } else {
                            hi = mid;
                            zHi = sm->z;
                        }
                    }
                    if (found) break;
                    // No vapour left to condense: the fluid went over to a dense liquid-like
                    // state without splitting (above the cricondenbar). A polar liquid may
                    // still drop out of it further down.
                    if (s->liquidLike && hasPolar)
                        polarOnly = true;
                    else
                        dense = s->liquidLike;
                }
                stableT = t;
                stableZ = s->z;
            }
            if (!found) return std::nullopt;

            // Bisection to a thousandth of a kelvin, then Newton on the saturation condition. Newton
            // must stay at the dew point the search bracketed, with a phase of its own; when it
            // fails or leaves the bracket, bisection narrows the bracket a thousandfold and
            // Newton starts again from there.
            bool converged = false;
            for (double width = 1e-3; !converged && width > 1e-8; width *= 1e-3) {
                while (stableT - unstableT > width) {
                    const double t = 0.5 * (stableT + unstableT);
                    auto s = test(t);
                    if (!s) return std::nullopt;
                    if (s->unstable) {
                        unstableT = t;
                        best = s->best;
                    } else {
                        stableT = t;
                    }
                }
                dewT = stableT;
                incipient = best.w;
                converged = SaturationNewton(m_components, m_kij, active, pressureKPa, z, incipient, dewT) &&
                            dewT > unstableT - 1e-3 && dewT < stableT + 1e-3 && Distance(incipient, z) >= 1e-9;
            }
            if (!converged) return std::nullopt;
        }

        // Certificate: the feed is a vapour and the incipient phase has the same fugacities.
        const Model m = BuildModel(m_components, m_kij, active, dewT, pressureKPa);
        std::vector<double> lnV(m.n), lnL(m.n), scratch;
        PhaseEval vapour, liquid;
        if (!Evaluate(m, z.data(), RootChoice::Vapour, lnV.data(), &vapour, scratch) ||
            !Evaluate(m, incipient.data(), RootChoice::Liquid, lnL.data(), &liquid, scratch))
            return std::nullopt;
        double sum = 0.0;
        for (std::size_t i = 0; i < m.n; ++i) {
            sum += incipient[i];
            if (!(std::fabs(SafeLog(incipient[i]) + lnL[i] - SafeLog(z[i]) - lnV[i]) <= kCertifiedLnFugacity))
                return std::nullopt;
        }
        if (!(std::fabs(sum - 1.0) <= kCertifiedSum)) return std::nullopt;

        FlashResult result;
        result.temperatureK = dewT;
        result.pressureKPa = pressureKPa;
        EmptyPhases(result, n);
        result.phases[kVapourSlot] = FullPhase(m, n, z, 1.0, vapour.z);
        const bool aqueous = PolarFraction(m, incipient) > 0.5;
        result.phases[aqueous ? kAqueousSlot : kHydrocarbonLiquidSlot] = FullPhase(m, n, incipient, 0.0, liquid.z);
        return result;
    } catch (...) {
        return std::nullopt;
    }
}

HRESULT PengRobinsonFlash::Flash(FluidComposition* record) const noexcept {
    if (!record) return E_POINTER;
    try {
        for (int k = 0; k < kPhaseCount; ++k) record->phasePresent[k] = 0;
        const std::size_t n = m_components.size();
        if (record->componentCount < 0 || static_cast<std::size_t>(record->componentCount) != n) return E_INVALIDARG;
        const double* feedArray = record->moleFractions[kOverallSlot];
        if (!feedArray && n > 0) return E_POINTER;
        const double pressure = record->pressure;
        if (pressure == EMPTY_VALUE || !std::isfinite(pressure) || !(pressure > 0.0)) return E_INVALIDARG;
        const std::span<const double> feed(feedArray, n);

        std::optional<FlashResult> result;
        const bool dewPoint = record->temperature == EMPTY_VALUE;
        if (dewPoint) {
            if (record->phaseFraction[0] != 1.0) return E_INVALIDARG;
            result = DewPoint(pressure, feed);
        } else {
            const double t = record->temperature + kCelsiusZeroK;
            if (!std::isfinite(t) || !(t > 0.0)) return E_INVALIDARG;
            result = FlashTP(t, pressure, feed);
        }
        if (!result) return E_FAIL;
        // Readers of the record count the share that slots 1 and 2 leave as vapour (the
        // dew-point searches take a liquid there for a condensate): two non-aqueous liquids
        // without a vapour cannot be written so that they read right.
        if (!result->phases[kVapourSlot].present && result->phases[kPhase3Slot].present) return E_FAIL;

        // Arrays of the phase slots: the caller's own, or new ones that the caller then owns.
        double* allocated[kPhaseCount] = {};
        for (int k = 0; k < kPhaseCount; ++k) {
            if (record->moleFractions[k]) continue;
            allocated[k] = static_cast<double*>(CoTaskMemAlloc(sizeof(double) * std::max<std::size_t>(n, 1)));
            if (!allocated[k]) {
                for (double* p : allocated) CoTaskMemFree(p);
                return E_OUTOFMEMORY;
            }
        }
        for (int k = 0; k < kPhaseCount; ++k)
            if (allocated[k]) record->moleFractions[k] = allocated[k];

        for (int k = 0; k < kPhaseCount; ++k) {
            double* x = record->moleFractions[k];
            const FlashPhase& p = result->phases[static_cast<std::size_t>(k)];
            record->phasePresent[k] = p.present ? 1 : 0;
            record->phaseFraction[k] = p.present ? p.fraction : 0.0;
            for (std::size_t i = 0; i < n; ++i) x[i] = p.moleFractions[i];
        }
        if (dewPoint) record->temperature = result->temperatureK - kCelsiusZeroK;
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
}

}  // namespace calorix::host
