#include "host/flash.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>
#include <numbers>

#include "framework/empty_value.h"

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
constexpr double kLiquidVolumeRatio = 1.75;     // v/b below this: liquid-like phase
constexpr int kMaxStabilityIterations = 1500;
constexpr int kMaxSplitIterations = 6000;
constexpr int kMaxPhaseFractionIterations = 200;
constexpr int kMaxPhases = 3;

double SafeLog(double x) { return x > kTinyFraction ? std::log(x) : std::log(kTinyFraction); }
double ClampLn(double v) { return std::isnan(v) ? -kLnLimit : std::clamp(v, -kLnLimit, kLnLimit); }

double Kappa(double omega) {
    if (omega <= 0.491) return 0.37464 + 1.54226 * omega - 0.26992 * omega * omega;
    return 0.379642 + 1.48503 * omega - 0.164423 * omega * omega + 0.016666 * omega * omega * omega;
}

// Peng-Robinson parameters of the active components (those with a positive feed fraction) at
// one temperature and pressure.
struct Model {
    std::vector<std::size_t> index;   // position in the full component list
    std::vector<double> b;            // covolume, m3/kmol
    std::vector<double> sqrtA;        // sqrt of the attraction parameter a_i(T)
    std::vector<double> oneMinusK;    // 1 - kij, n x n
    std::vector<double> lnWilsonK;    // Wilson's K estimate
    int water = -1;                   // active position of water
    double temperatureK = 0.0;
    double pressureKPa = 0.0;
    std::size_t n = 0;
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
    m.lnWilsonK.resize(m.n);
    m.oneMinusK.resize(m.n * m.n);
    const std::size_t full = components.size();
    for (std::size_t i = 0; i < m.n; ++i) {
        const Component& c = components[active[i]];
        const double tc = c.criticalTemperatureK;
        const double pc = c.criticalPressureKPa;
        m.b[i] = kOmegaB * kGasConstant * tc / pc;
        const bool water = c.casKey == kWaterCasKey || c.componentClass == kWaterClass;
        const double tr = temperatureK / tc;
        double kappa = Kappa(c.acentricFactor);
        if (water) {
            // Stryjek and Vera's form (PRSV, 1986) with their kappa1 of water, below Tr 0.7:
            // the plain form puts water's vapour pressure near 20 degC some 15 % too low.
            const double w = c.acentricFactor;
            kappa = 0.378893 + 1.4897153 * w - 0.17131848 * w * w + 0.0196554 * w * w * w;
            if (tr < 0.7) kappa += -0.06635 * (1.0 + std::sqrt(tr)) * (0.7 - tr);
        }
        const double alphaRoot = 1.0 + kappa * (1.0 - std::sqrt(tr));
        const double a = kOmegaA * kGasConstant * kGasConstant * tc * tc / pc * alphaRoot * alphaRoot;
        m.sqrtA[i] = std::sqrt(a);
        m.lnWilsonK[i] = ClampLn(std::log(pc / pressureKPa) +
                                 5.373 * (1.0 + c.acentricFactor) * (1.0 - tc / temperatureK));
        if (water) m.water = static_cast<int>(i);
        for (std::size_t j = 0; j < m.n; ++j) m.oneMinusK[i * m.n + j] = 1.0 - kij[active[i] * full + active[j]];
    }
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
        const double u = std::cbrt(-q / 2.0 - (q >= 0.0 ? s : -s));
        const double v = u != 0.0 ? -p / (3.0 * u) : 0.0;
        candidates[count++] = u + v - shift;
    } else {
        const double r = std::sqrt(std::max(-p / 3.0, 0.0));
        double cosArg = r > 0.0 ? (-q / 2.0) / (r * r * r) : 0.0;
        cosArg = std::clamp(cosArg, -1.0, 1.0);
        const double phi = std::acos(cosArg);
        for (int k = 0; k < 3; ++k)
            candidates[count++] = 2.0 * r * std::cos((phi - 2.0 * std::numbers::pi * k) / 3.0) - shift;
    }
    int found = 0;
    for (int k = 0; k < count; ++k) {
        double z = candidates[k];
        for (int it = 0; it < 4; ++it) {  // polish
            const double f = ((z + c2) * z + c1) * z + c0;
            const double df = (3.0 * z + 2.0 * c2) * z + c1;
            if (df == 0.0 || !std::isfinite(df)) break;
            const double next = z - f / df;
            if (!std::isfinite(next)) break;
            z = next;
        }
        if (std::isfinite(z) && z > lowerBound) roots[found++] = z;
    }
    std::sort(roots, roots + found);
    return found;
}

struct PhaseEval {
    double z = 0.0;
    double b = 0.0;   // dimensionless covolume B of the phase
};

// ln phi of every active component for composition x (normalised), with the chosen root.
bool Evaluate(const Model& m, const double* x, RootChoice root, double* lnPhi, PhaseEval* eval,
              std::vector<double>& s) {
    const std::size_t n = m.n;
    s.resize(n);
    double a = 0.0, b = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        double t = 0.0;
        const double* row = &m.oneMinusK[i * n];
        for (std::size_t j = 0; j < n; ++j) t += x[j] * row[j] * m.sqrtA[j];
        s[i] = m.sqrtA[i] * t;
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
    auto gibbs = [&](double z) {
        return z - 1.0 - std::log(z - bigB) - c * std::log((z + kDelta1 * bigB) / (z + kDelta2 * bigB));
    };
    double z = roots[count - 1];
    if (root == RootChoice::Liquid) {
        z = roots[0];
    } else if (root == RootChoice::Stable && count > 1) {
        if (gibbs(roots[0]) < gibbs(roots[count - 1])) z = roots[0];
    }
    const double lnZB = std::log(z - bigB);
    const double logTerm = std::log((z + kDelta1 * bigB) / (z + kDelta2 * bigB));
    for (std::size_t i = 0; i < n; ++i) {
        const double bi = m.b[i] / b;
        lnPhi[i] = bi * (z - 1.0) - lnZB - c * (2.0 * s[i] / a - bi) * logTerm;
        if (!std::isfinite(lnPhi[i])) return false;
    }
    if (eval) {
        eval->z = z;
        eval->b = bigB;
    }
    return true;
}

// Normalised composition exp(lnW) / sum; returns ln of the sum.
double Normalise(const std::vector<double>& lnW, std::vector<double>& w) {
    const double top = *std::max_element(lnW.begin(), lnW.end());
    double sum = 0.0;
    w.resize(lnW.size());
    for (std::size_t i = 0; i < lnW.size(); ++i) {
        w[i] = std::exp(lnW[i] - top);
        sum += w[i];
    }
    for (double& v : w) v /= sum;
    return top + std::log(sum);
}

struct StationaryPoint {
    std::vector<double> w;   // normalised trial composition
    double tm = 0.0;         // modified tangent-plane distance
};

// Stationary points of the tangent-plane distance of a phase with d_i = ln x_i + ln phi_i,
// reached by successive substitution from each start. Trivial points (the phase itself) are
// left out.
std::vector<StationaryPoint> StationaryPoints(const Model& m, const std::vector<double>& reference,
                                              const std::vector<double>& d,
                                              const std::vector<std::vector<double>>& starts) {
    std::vector<StationaryPoint> points;
    std::vector<double> lnW, w, lnPhi(m.n), scratch, scratchW;
    for (const auto& start : starts) {
        lnW = start;
        bool usable = true;
        bool trivial = false;
        for (int it = 0; it < kMaxStabilityIterations; ++it) {
            Normalise(lnW, w);
            if (!Evaluate(m, w.data(), RootChoice::Stable, lnPhi.data(), nullptr, scratch)) {
                usable = false;
                break;
            }
            double delta = 0.0, distance = 0.0;
            for (std::size_t i = 0; i < m.n; ++i) {
                const double next = ClampLn(d[i] - lnPhi[i]);
                delta = std::max(delta, std::fabs(next - lnW[i]));
                lnW[i] = next;
                distance += (w[i] - reference[i]) * (w[i] - reference[i]);
            }
            // The phase itself, unless it lies on another root (a metastable pure vapour).
            if (distance < 1e-14 && std::fabs(Normalise(lnW, scratchW)) < 1e-10) {
                trivial = true;
                break;
            }
            if (delta < 1e-11) break;
        }
        if (!usable || trivial) continue;
        const double lnSum = Normalise(lnW, w);
        if (!Evaluate(m, w.data(), RootChoice::Stable, lnPhi.data(), nullptr, scratch)) continue;
        double distance = 0.0;
        for (std::size_t i = 0; i < m.n; ++i) distance += (w[i] - reference[i]) * (w[i] - reference[i]);
        if (distance < 1e-12 && std::fabs(lnSum) < 1e-8) continue;
        double tm;
        if (lnSum > 50.0) {
            tm = -std::numeric_limits<double>::max();
        } else {
            tm = 1.0;
            for (std::size_t i = 0; i < m.n; ++i) {
                const double wi = std::exp(lnW[i]);
                tm += wi * (lnW[i] + lnPhi[i] - d[i] - 1.0);
            }
        }
        if (!std::isfinite(tm)) continue;
        points.push_back({w, tm});
    }
    return points;
}

// Starting points of the stability analysis: Wilson's estimates of a vapour-like and a
// liquid-like phase (and their cube roots), and nearly pure water.
std::vector<std::vector<double>> TrialStarts(const Model& m, const std::vector<double>& feed) {
    std::vector<std::vector<double>> starts;
    const double factors[] = {1.0, -1.0, 1.0 / 3.0, -1.0 / 3.0};
    for (double f : factors) {
        std::vector<double> lnW(m.n);
        for (std::size_t i = 0; i < m.n; ++i) lnW[i] = ClampLn(SafeLog(feed[i]) + f * m.lnWilsonK[i]);
        starts.push_back(std::move(lnW));
    }
    if (m.water >= 0 && m.n > 1) {
        const auto wi = static_cast<std::size_t>(m.water);
        const double rest = 1.0 - feed[wi];
        std::vector<double> lnW(m.n);
        for (std::size_t i = 0; i < m.n; ++i)
            lnW[i] = i == wi ? std::log(0.999) : ClampLn(SafeLog(0.001 * feed[i] / std::max(rest, 1e-300)));
        starts.push_back(std::move(lnW));
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

// Solves the small symmetric system h d = r (size k <= 3) by elimination with pivoting.
bool SolveSmall(std::vector<double> h, std::vector<double> r, std::size_t k, std::vector<double>& out) {
    for (std::size_t col = 0; col < k; ++col) {
        std::size_t pivot = col;
        for (std::size_t row = col + 1; row < k; ++row)
            if (std::fabs(h[row * k + col]) > std::fabs(h[pivot * k + col])) pivot = row;
        if (std::fabs(h[pivot * k + col]) < 1e-300) return false;
        if (pivot != col) {
            for (std::size_t c = 0; c < k; ++c) std::swap(h[col * k + c], h[pivot * k + c]);
            std::swap(r[col], r[pivot]);
        }
        for (std::size_t row = col + 1; row < k; ++row) {
            const double f = h[row * k + col] / h[col * k + col];
            for (std::size_t c = col; c < k; ++c) h[row * k + c] -= f * h[col * k + c];
            r[row] -= f * r[col];
        }
    }
    out.assign(k, 0.0);
    for (std::size_t row = k; row-- > 0;) {
        double v = r[row];
        for (std::size_t c = row + 1; c < k; ++c) v -= h[row * k + c] * out[c];
        out[row] = v / h[row * k + row];
    }
    for (double v : out)
        if (!std::isfinite(v)) return false;
    return true;
}

// Phase fractions and compositions for fixed fugacity coefficients: the minimum over beta >= 0
// of Q = sum_k beta_k - sum_i z_i ln(sum_k beta_k / phi_ik), a convex function; Newton steps on
// the phases that are free, with a line search. Compositions x_ik = z_i / (phi_ik E_i).
bool SolvePhaseFractions(const std::vector<double>& z, std::vector<SplitPhase>& phases) {
    const std::size_t np = phases.size();
    const std::size_t n = z.size();
    // e_ik = phi_i,min / phi_ik, so that every component has one term equal to 1.
    std::vector<double> e(np * n);
    for (std::size_t i = 0; i < n; ++i) {
        double lo = phases[0].lnPhi[i];
        for (std::size_t k = 1; k < np; ++k) lo = std::min(lo, phases[k].lnPhi[i]);
        for (std::size_t k = 0; k < np; ++k) e[k * n + i] = std::exp(std::max(lo - phases[k].lnPhi[i], -kLnLimit));
    }
    std::vector<double> beta(np);
    double total = 0.0;
    for (std::size_t k = 0; k < np; ++k) {
        beta[k] = std::isfinite(phases[k].beta) ? std::max(phases[k].beta, 0.0) : 0.0;
        total += beta[k];
    }
    // Start inside: every phase a share, so that every sum below is positive.
    for (std::size_t k = 0; k < np; ++k)
        beta[k] = total > 0.0 ? 0.9 * beta[k] / total + 0.1 / static_cast<double>(np) : 1.0 / static_cast<double>(np);

    std::vector<double> s(n), g(np), h(np * np), trial(np);
    auto objective = [&](const std::vector<double>& bt) {
        double q = 0.0;
        for (std::size_t k = 0; k < np; ++k) q += bt[k];
        for (std::size_t i = 0; i < n; ++i) {
            double si = 0.0;
            for (std::size_t k = 0; k < np; ++k) si += bt[k] * e[k * n + i];
            if (!(si > 0.0)) return std::numeric_limits<double>::infinity();
            q -= z[i] * std::log(si);
        }
        return q;
    };
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
        std::vector<std::size_t> free;
        bool done = true;
        for (std::size_t k = 0; k < np; ++k) {
            if (beta[k] > 0.0 || g[k] < 0.0) free.push_back(k);
            if (beta[k] > 0.0 ? std::fabs(g[k]) > 1e-13 : g[k] < -1e-13) done = false;
        }
        if (done || free.empty()) break;
        const std::size_t k = free.size();
        std::vector<double> hf(k * k), rf(k), d;
        double trace = 0.0;
        for (std::size_t a = 0; a < k; ++a) trace += h[free[a] * np + free[a]];
        for (std::size_t a = 0; a < k; ++a) {
            rf[a] = -g[free[a]];
            for (std::size_t b = 0; b < k; ++b) hf[a * k + b] = h[free[a] * np + free[b]];
            hf[a * k + a] += 1e-14 * trace;
        }
        if (!SolveSmall(hf, rf, k, d)) return false;
        double maxStep = 1.0;
        std::size_t blocking = np;
        for (std::size_t a = 0; a < k; ++a) {
            const std::size_t p = free[a];
            if (d[a] < 0.0 && beta[p] + d[a] < 0.0) {
                const double limit = -beta[p] / d[a];
                if (limit < maxStep) {
                    maxStep = limit;
                    blocking = p;
                }
            }
        }
        const double q0 = objective(beta);
        double slope = 0.0;
        for (std::size_t a = 0; a < k; ++a) slope += g[free[a]] * d[a];
        double step = maxStep;
        bool accepted = false;
        for (int ls = 0; ls < 60; ++ls) {
            trial = beta;
            for (std::size_t a = 0; a < k; ++a) trial[free[a]] = std::max(beta[free[a]] + step * d[a], 0.0);
            if (step == maxStep && blocking < np) trial[blocking] = 0.0;
            const double q1 = objective(trial);
            if (q1 <= q0 + 1e-4 * step * slope || std::fabs(q1 - q0) < 1e-15 * std::max(1.0, std::fabs(q0))) {
                accepted = true;
                break;
            }
            step *= 0.5;
        }
        if (!accepted) break;  // no further decrease possible: as good as it gets
        beta = trial;
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

double Distance(const std::vector<double>& a, const std::vector<double>& b) {
    double d = 0.0;
    for (std::size_t i = 0; i < a.size(); ++i) d = std::max(d, std::fabs(a[i] - b[i]));
    return d;
}

// Successive substitution on the fugacity coefficients until they stop changing.
bool Split(const Model& m, const std::vector<double>& z, std::vector<SplitPhase>& phases, int* iterations) {
    std::vector<double> scratch;
    std::vector<std::vector<double>> previous(phases.size());
    double change = std::numeric_limits<double>::infinity();
    int it = 0;
    for (; it < kMaxSplitIterations; ++it) {
        change = 0.0;
        for (std::size_t k = 0; k < phases.size(); ++k) {
            auto& p = phases[k];
            p.lnPhi.resize(m.n);
            if (!Evaluate(m, p.x.data(), RootChoice::Stable, p.lnPhi.data(), &p.eval, scratch)) return false;
            if (previous[k].size() == m.n)
                change = std::max(change, Distance(previous[k], p.lnPhi));
            else
                change = std::numeric_limits<double>::infinity();
            previous[k] = p.lnPhi;
        }
        if (change < 1e-11) break;
        if (!SolvePhaseFractions(z, phases)) return false;
        // Two phases that became one.
        for (std::size_t k = 0; k < phases.size(); ++k)
            for (std::size_t l = k + 1; l < phases.size();) {
                if (Distance(phases[k].x, phases[l].x) < 1e-7 && std::fabs(phases[k].eval.z - phases[l].eval.z) < 1e-6) {
                    phases[k].beta += phases[l].beta;
                    phases.erase(phases.begin() + static_cast<std::ptrdiff_t>(l));
                    previous.erase(previous.begin() + static_cast<std::ptrdiff_t>(l));
                } else {
                    ++l;
                }
            }
    }
    if (iterations) *iterations += it;
    if (!(change < 1e-7)) return false;
    phases.erase(std::remove_if(phases.begin(), phases.end(), [](const SplitPhase& p) { return !(p.beta > 0.0); }),
                 phases.end());
    return !phases.empty();
}

// Slots of the phases of an equilibrium: the phase of highest Z is the vapour unless it is a
// liquid-like hydrocarbon phase beside an aqueous one; a water-rich liquid is aqueous.
std::vector<int> ClassifyPhases(const Model& m, const std::vector<SplitPhase>& phases) {
    const std::size_t np = phases.size();
    std::vector<int> slot(np, kVapourSlot);
    auto water = [&](std::size_t k) { return m.water >= 0 ? phases[k].x[static_cast<std::size_t>(m.water)] : 0.0; };
    auto liquidLike = [&](std::size_t k) { return phases[k].eval.z / phases[k].eval.b < kLiquidVolumeRatio; };
    std::vector<std::size_t> order(np);
    for (std::size_t k = 0; k < np; ++k) order[k] = k;
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return phases[a].eval.z > phases[b].eval.z; });
    if (np == 1) {
        if (liquidLike(0)) slot[0] = water(0) > 0.5 ? kAqueousSlot : kHydrocarbonLiquidSlot;
    } else if (np == 2) {
        const std::size_t hi = order[0], lo = order[1];
        const bool wetHi = water(hi) > 0.5, wetLo = water(lo) > 0.5;
        if (wetLo && !wetHi) {
            slot[lo] = kAqueousSlot;
            slot[hi] = liquidLike(hi) ? kHydrocarbonLiquidSlot : kVapourSlot;
        } else {
            slot[hi] = kVapourSlot;
            slot[lo] = wetLo ? kAqueousSlot : kHydrocarbonLiquidSlot;
        }
    } else {
        slot[order[0]] = kVapourSlot;
        const std::size_t a = order[1], b = order[2];
        slot[a] = water(a) > water(b) ? kAqueousSlot : kHydrocarbonLiquidSlot;
        slot[b] = slot[a] == kAqueousSlot ? kHydrocarbonLiquidSlot : kAqueousSlot;
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
    bool liquidLike = false;   // the feed itself, on the root tested
    StationaryPoint best;
};

// Stability of the feed at T and P, the feed evaluated with the given root.
std::optional<Stability> TestFeed(const Model& m, const std::vector<double>& z, RootChoice root) {
    std::vector<double> lnPhi(m.n), scratch, d(m.n);
    PhaseEval eval;
    if (!Evaluate(m, z.data(), root, lnPhi.data(), &eval, scratch)) return std::nullopt;
    for (std::size_t i = 0; i < m.n; ++i) d[i] = SafeLog(z[i]) + lnPhi[i];
    Stability s;
    s.liquidLike = eval.z / eval.b < kLiquidVolumeRatio;
    for (auto& p : StationaryPoints(m, z, d, TrialStarts(m, z)))
        if (p.tm < kUnstableTm && (!s.unstable || p.tm < s.best.tm)) {
            s.unstable = true;
            s.best = std::move(p);
        }
    return s;
}

// Interaction parameters (typical Peng-Robinson literature values). Pairs of
// non-hydrocarbons, and nitrogen with the two lightest alkanes; sorted by key.
struct InteractionPair {
    std::int32_t low, high;  // CAS keys, low < high
    double kij;
};
constexpr std::array kInteractionPairs = {
    InteractionPair{67561, 7732185, -0.08},    // methanol - water
    InteractionPair{74828, 7727379, 0.03},     // methane - nitrogen
    InteractionPair{74840, 7727379, 0.05},     // ethane - nitrogen
    InteractionPair{124389, 7727379, -0.02},   // carbon dioxide - nitrogen
    InteractionPair{124389, 7732185, 0.19},    // carbon dioxide - water
    InteractionPair{124389, 7783064, 0.10},    // carbon dioxide - hydrogen sulfide
    InteractionPair{7727379, 7732185, 0.48},   // nitrogen - water
    InteractionPair{7727379, 7783064, 0.17},   // nitrogen - hydrogen sulfide
    InteractionPair{7732185, 7783064, 0.12},   // water - hydrogen sulfide
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
                                                      std::span<const double> feed) const {
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
        phases[0].lnPhi.resize(m.n);
        std::vector<double> scratch;
        if (!Evaluate(m, z.data(), RootChoice::Stable, phases[0].lnPhi.data(), &phases[0].eval, scratch))
            return std::nullopt;
        int iterations = 0;
        const auto starts = TrialStarts(m, z);
        for (int round = 0; round < kMaxPhases; ++round) {
            // Every phase of an equilibrium lies on the same tangent plane: test the largest.
            const auto ref = std::max_element(phases.begin(), phases.end(),
                                              [](const SplitPhase& a, const SplitPhase& b) { return a.beta < b.beta; });
            std::vector<double> d(m.n);
            for (std::size_t i = 0; i < m.n; ++i) d[i] = SafeLog(ref->x[i]) + ref->lnPhi[i];
            const StationaryPoint* best = nullptr;
            auto points = StationaryPoints(m, ref->x, d, starts);
            for (const auto& p : points) {
                if (!(p.tm < kUnstableTm)) continue;
                bool known = false;
                for (const auto& ph : phases) known = known || Distance(ph.x, p.w) < 1e-5;
                if (!known && (!best || p.tm < best->tm)) best = &p;
            }
            if (!best || static_cast<int>(phases.size()) >= kMaxPhases) break;
            SplitPhase added;
            added.x = best->w;
            added.beta = 0.0;
            phases.push_back(std::move(added));
            if (!Split(m, z, phases, &iterations)) return std::nullopt;
        }

        FlashResult result;
        result.temperatureK = temperatureK;
        result.pressureKPa = pressureKPa;
        result.iterations = iterations;
        EmptyPhases(result, n);
        const auto slots = ClassifyPhases(m, phases);
        for (std::size_t k = 0; k < phases.size(); ++k) {
            FlashPhase& target = result.phases[static_cast<std::size_t>(slots[k])];
            if (target.present) {  // two phases of one kind: keep them together in the slot
                const double total = target.fraction + phases[k].beta;
                for (std::size_t i = 0; i < m.n; ++i)
                    target.moleFractions[m.index[i]] =
                        (target.moleFractions[m.index[i]] * target.fraction + phases[k].x[i] * phases[k].beta) / total;
                target.fraction = total;
            } else {
                target = FullPhase(m, n, phases[k].x, phases[k].beta, phases[k].eval.z);
            }
        }
        return result;
    } catch (...) {
        return std::nullopt;
    }
}

std::optional<FlashResult> PengRobinsonFlash::DewPoint(double pressureKPa, std::span<const double> feed) const {
    try {
        const std::size_t n = m_components.size();
        std::vector<std::size_t> active;
        std::vector<double> z;
        if (!UsableConditions(300.0, pressureKPa) || !PrepareFeed(feed, n, active, z) ||
            !UsableComponents(m_components, active))
            return std::nullopt;
        double maxTc = 0.0;
        for (std::size_t i : active) maxTc = std::max(maxTc, m_components[i].criticalTemperatureK);

        auto test = [&](double t) {
            const Model m = BuildModel(m_components, m_kij, active, t, pressureKPa);
            return TestFeed(m, z, RootChoice::Vapour);
        };
        // A temperature at which the vapour is stable.
        double high = std::max(1.1 * maxTc, 50.0);
        bool stableAbove = false;
        for (int attempt = 0; attempt < 4 && !stableAbove; ++attempt, high *= 1.5) {
            auto s = test(high);
            if (s && !s->unstable) {
                stableAbove = true;
                break;
            }
        }
        if (!stableAbove) return std::nullopt;

        // Step down until the vapour is unstable.
        constexpr double kFloorK = 5.0;
        double stableT = high, unstableT = 0.0;
        StationaryPoint incipient;
        bool found = false;
        while (stableT > kFloorK) {
            const double t = std::max(stableT - std::max(1.0, 0.02 * stableT), kFloorK);
            auto s = test(t);
            if (s && s->unstable) {
                unstableT = t;
                incipient = s->best;
                found = true;
                break;
            }
            // No vapour left to condense: the fluid went over to a dense liquid-like state
            // without splitting (above the cricondenbar).
            if (s && s->liquidLike) break;
            stableT = t;
            if (t <= kFloorK) break;
        }
        if (!found) return std::nullopt;

        // Bisection to a ten-millionth of a kelvin.
        for (int it = 0; it < 80 && stableT - unstableT > 1e-7; ++it) {
            const double t = 0.5 * (stableT + unstableT);
            auto s = test(t);
            if (s && s->unstable) {
                unstableT = t;
                incipient = s->best;
            } else {
                stableT = t;
            }
        }

        const Model m = BuildModel(m_components, m_kij, active, stableT, pressureKPa);
        std::vector<double> lnPhi(m.n), scratch;
        PhaseEval vapour, liquid;
        if (!Evaluate(m, z.data(), RootChoice::Vapour, lnPhi.data(), &vapour, scratch) ||
            !Evaluate(m, incipient.w.data(), RootChoice::Stable, lnPhi.data(), &liquid, scratch))
            return std::nullopt;
        FlashResult result;
        result.temperatureK = stableT;
        result.pressureKPa = pressureKPa;
        EmptyPhases(result, n);
        result.phases[kVapourSlot] = FullPhase(m, n, z, 1.0, vapour.z);
        const bool aqueous = m.water >= 0 && incipient.w[static_cast<std::size_t>(m.water)] > 0.5;
        result.phases[aqueous ? kAqueousSlot : kHydrocarbonLiquidSlot] = FullPhase(m, n, incipient.w, 0.0, liquid.z);
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
            if (k < 3) {
                const FlashPhase& p = result->phases[static_cast<std::size_t>(k)];
                record->phasePresent[k] = p.present ? 1 : 0;
                record->phaseFraction[k] = p.present ? p.fraction : 0.0;
                for (std::size_t i = 0; i < n; ++i) x[i] = p.moleFractions[i];
            } else {
                record->phasePresent[k] = 0;
                record->phaseFraction[k] = 0.0;
                for (std::size_t i = 0; i < n; ++i) x[i] = 0.0;
            }
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
