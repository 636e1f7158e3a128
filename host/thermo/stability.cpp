#include "host/thermo/peng_robinson.h"

#include <limits>

#include "host/thermo/newton.h"

namespace calorix::host::pr {

namespace {

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

}  // namespace

double Distance(const std::vector<double>& a, const std::vector<double>& b) {
    double d = 0.0;
    for (std::size_t i = 0; i < a.size(); ++i) d = std::max(d, std::fabs(a[i] - b[i]));
    return d;
}

bool SameRoot(double za, double zb) {
    return !(za > 0.0 && zb > 0.0) || std::fabs(za - zb) <= kSameRootZ * std::max(za, zb);
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

namespace {

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

// Newton's method on a trial phase that substitution brings on only slowly (near a critical
// point, where the substitution's rate of convergence tends to 1): the minimisation of the
// modified tangent-plane distance tm = 1 + sum W_i (ln W_i + ln phi_i(W) - d_i - 1) in the
// variables a_i = 2 sqrt(W_i), whose Hessian is I + sqrt(W_i W_j) d ln phi_i / d W_j near a
// stationary point (Michelsen, Fluid Phase Equilib. 9, 1982), ln phi derivatives by central
// differences, shifted along the identity until positive definite; every step lowers tm. On
// convergence lnW holds ln W, lnPhi the coefficients at W and *z its compressibility.
bool StationaryByNewton(const Model& m, const std::vector<double>& d, std::vector<double>& lnW,
                        std::vector<double>& lnPhi, double* z) {
    const std::size_t n = m.n;
    const auto size = Eigen::Index(n);
    std::vector<double> w(n), scratch, trialLnW(n), trialPhi(n);
    // tm and its gradient in ln W at ln W = v; false when the trial cannot be evaluated.
    PhaseEval eval, trialEval;
    auto evaluate = [&](const std::vector<double>& v, std::vector<double>& phi, Eigen::VectorXd& g, double& tm,
                        PhaseEval& at) {
        const double lnSum = Normalise(v, w);
        if (lnSum > kUnboundedLnSum || !Evaluate(m, w.data(), RootChoice::Stable, phi.data(), &at, scratch))
            return false;
        g.resize(size);
        tm = 1.0;
        for (std::size_t i = 0; i < n; ++i) {
            g(Eigen::Index(i)) = v[i] + phi[i] - d[i];
            tm += pmath::Exp(v[i]) * (g(Eigen::Index(i)) - 1.0);
        }
        return std::isfinite(tm) && g.allFinite();
    };
    Eigen::VectorXd g, trialG;
    double tm = 0.0, shift = 0.0;
    if (!evaluate(lnW, lnPhi, g, tm, eval)) return false;
    for (int it = 0; it < kMaxNewtonIterations; ++it) {
        if (g.lpNorm<Eigen::Infinity>() < 1e-11) {
            *z = eval.z;
            return true;
        }
        Eigen::VectorXd sqrtW(size), gradient(size);
        for (std::size_t i = 0; i < n; ++i) {
            sqrtW(Eigen::Index(i)) = pmath::Exp(0.5 * lnW[i]);
            gradient(Eigen::Index(i)) = sqrtW(Eigen::Index(i)) * g(Eigen::Index(i));
        }
        std::vector<double> moles(n);
        for (std::size_t i = 0; i < n; ++i) moles[i] = pmath::Exp(lnW[i]);
        Eigen::MatrixXd derivatives;
        if (!LnPhiDerivatives(m, moles, RootChoice::Stable, true, derivatives)) return false;
        Eigen::MatrixXd hessian = Eigen::MatrixXd::Identity(size, size);
        hessian += sqrtW.asDiagonal() * derivatives * sqrtW.asDiagonal();
        hessian = 0.5 * (hessian + hessian.transpose()).eval();
        Eigen::VectorXd delta;
        if (!ShiftedNewtonStep(hessian, Eigen::VectorXd::Ones(size), gradient, shift, delta)) return false;
        // Steps in a = 2 sqrt(W) that keep a positive, halved until tm falls.
        double alpha = 1.0;
        for (std::size_t i = 0; i < n; ++i) {
            const double a = 2.0 * sqrtW(Eigen::Index(i)), da = delta(Eigen::Index(i));
            if (da < 0.0) alpha = std::min(alpha, 0.9 * a / -da);
        }
        const bool bounded = alpha < 1.0;
        const double slope = gradient.dot(delta);
        bool accepted = false;
        int ls = 0;
        for (; ls < kNewtonHalvings && !accepted; ++ls, alpha *= 0.5) {
            for (std::size_t i = 0; i < n; ++i) {
                const double a = 2.0 * sqrtW(Eigen::Index(i)) + alpha * delta(Eigen::Index(i));
                trialLnW[i] = ClampLn(2.0 * SafeLog(0.5 * a));
            }
            double trialTm = 0.0;
            if (!evaluate(trialLnW, trialPhi, trialG, trialTm, trialEval)) continue;
            if (Lowers(trialTm, tm, alpha, slope, trialG.lpNorm<Eigen::Infinity>(), g.lpNorm<Eigen::Infinity>())) {
                lnW = trialLnW;
                lnPhi = trialPhi;
                g = trialG;
                tm = trialTm;
                eval = trialEval;
                accepted = true;
            }
        }
        if (!accepted) return false;
        shift = NextShift(shift, ls, bounded);
    }
    if (!(g.lpNorm<Eigen::Infinity>() < 1e-11)) return false;
    *z = eval.z;
    return true;
}

}  // namespace

// Stationary points of the tangent-plane distance of a phase with d_i = ln x_i + ln phi_i,
// reached by accelerated successive substitution from each start. Trivial points (the phase
// itself) are left out, and so is a trial that contracts onto a point found before on the same
// root (a vapour beside a nearly pure liquid lies close to it in composition, not in density).
std::vector<StationaryPoint> StationaryPoints(const Model& m, const std::vector<double>& reference,
                                              const std::vector<double>& d,
                                              const std::vector<std::vector<double>>& starts,
                                              std::vector<StationaryPoint> points) {
    std::vector<double> lnW, w, lnPhi(m.n), scratch, scratchW, step(m.n), previousStep(m.n);
    PhaseEval eval;
    for (const auto& start : starts) {
        lnW = start;
        bool usable = true;
        bool trivial = false;
        bool converged = false;
        bool joined = false;
        int contractions = 0;
        for (int it = 0; it < kMaxStabilityIterations && !joined; ++it) {
            const double lnSumHere = Normalise(lnW, w);
            if (!Evaluate(m, w.data(), RootChoice::Stable, lnPhi.data(), &eval, scratch)) {
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
            // Contracting onto a point found already (from an earlier start), on its root: nothing new.
            if (it > 0 && delta < 0.9 * previousDelta)
                for (const auto& p : points)
                    joined = joined || (Distance(w, p.w) < kJoinsFoundPoint && SameRoot(eval.z, p.z));
            // Extrapolated only once the steps have shrunk three times running: a trial still
            // gathering speed (a liquid of methane and argon drifting from nearly pure methane)
            // would be thrown into another's basin.
            contractions = it > 0 && delta < previousDelta ? contractions + 1 : 0;
            if (it % kAccelerationPeriod == kAccelerationPeriod - 1 && contractions >= 3)
                Accelerate(lnW, step, previousStep);
            // Slow: second-order steps from here (if they fail, the substitution goes on).
            if (it + 1 == kSubstitutionsBeforeStabilityNewton) {
                std::vector<double> newtonLnW = lnW, newtonLnPhi(m.n);
                if (StationaryByNewton(m, d, newtonLnW, newtonLnPhi, &eval.z)) {
                    lnW = std::move(newtonLnW);
                    lnPhi = std::move(newtonLnPhi);
                    converged = true;
                    break;
                }
            }
        }
        if (!usable || trivial || joined) continue;
        // Converged, the last fugacity coefficients hold for w within the last step; otherwise w
        // is evaluated afresh.
        const double lnSum = Normalise(lnW, w);
        if (!converged && !Evaluate(m, w.data(), RootChoice::Stable, lnPhi.data(), &eval, scratch)) continue;
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
        points.push_back({w, tm, eval.z});
    }
    return points;
}

namespace {

// A trial phase of nearly pure component k, the others sharing 0.1 %.
std::vector<double> NearlyPure(const Model& m, std::size_t k) {
    std::vector<double> lnW(m.n);
    for (std::size_t i = 0; i < m.n; ++i) lnW[i] = i == k ? pmath::Log(0.999) : pmath::Log(0.001 / double(m.n));
    return lnW;
}

}  // namespace

// Starting points of the stability analysis of a phase x of a fluid that may hold water
// (Michelsen's choice for natural gas): Wilson's vapour- and liquid-like estimates, nearly pure
// water and nearly pure forms of every alcohol or glycol (a methanol-rich liquid of a gas with
// 0.1 % methanol lies far from Wilson's estimates, whatever the methanol's share), and a
// water-free hydrocarbon liquid (Wilson's liquid estimate without the polar components) or, in
// a fluid without water, alcohols or glycols, the nearly pure heaviest component.
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
    for (std::size_t k = 0; k < m.n && m.n > 1; ++k)
        if (m.polar[k] && static_cast<int>(k) != m.water) starts.push_back(NearlyPure(m, k));
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
// component that could form a liquid or a phase of its own, so that a liquid rich in carbon
// dioxide, hydrogen sulfide, nitrogen or methane is found too.
// - A component of more than kPureTrialFraction of the feed z could when its fugacity in x is
//   at least a tenth of its vapour pressure by Wilson's estimate, x_k P > 0.1 P_sat,k, or
//   x_k / K_k > 0.1: a margin of ten for the non-ideality of its liquid (a component far from
//   that, such as carbon dioxide at 1.5 % in a gas at 5 degC and 5000 kPa, is left to the other
//   starts). A liquid-like phase x gets the trial of every such component: a vapour rich in a
//   light gas may boil off it, and Wilson's estimate, which puts helium's K near 1 at 6 MPa,
//   does not point there.
// - A trace could when its activity in x, its fugacity over that of the pure fluid at the same
//   temperature and pressure (d_k = ln x_k + ln phi_k(x) against ln phi_k of the pure fluid),
//   is at least kPureTrialLnActivity: a phase made mostly of it has nearly the pure fluid's
//   fugacity, which x must then nearly reach (0.5 % carbon dioxide in liquid n-butane at 60 K
//   is far above it).
std::vector<std::vector<double>> PureTrialStarts(const Model& m, const std::vector<double>& x,
                                                 const std::vector<double>& d, const std::vector<double>& z,
                                                 bool liquid) {
    std::vector<std::vector<double>> starts;
    if (m.n < 2) return starts;
    const bool polar = std::any_of(m.polar.begin(), m.polar.end(), [](char p) { return p != 0; });
    for (std::size_t k = 0; k < m.n; ++k) {
        if (m.polar[k] || (!polar && static_cast<int>(k) == m.heaviest)) continue;
        bool could;
        if (z[k] > kPureTrialFraction) {
            could = liquid || SafeLog(x[k]) - m.lnWilsonK[k] > kPureTrialLnIdealLiquid;
        } else {
            const auto pure = PureLnPhi(m, k);
            could = pure && d[k] - *pure > kPureTrialLnActivity;
        }
        if (could) starts.push_back(NearlyPure(m, k));
    }
    return starts;
}

void AppendDistinctStarts(std::vector<std::vector<double>>& starts, const std::vector<std::vector<double>>& more) {
    std::vector<std::vector<double>> compositions(starts.size());
    for (std::size_t k = 0; k < starts.size(); ++k) Normalise(starts[k], compositions[k]);
    std::vector<double> w;
    for (const auto& s : more) {
        Normalise(s, w);
        if (std::any_of(compositions.begin(), compositions.end(),
                        [&](const std::vector<double>& c) { return Distance(c, w) < kJoinsFoundPoint; }))
            continue;
        starts.push_back(s);
        compositions.push_back(w);
    }
}

// Stability of the feed at T and P, the feed evaluated with the given root.
std::optional<Stability> TestFeed(const Model& m, const std::vector<double>& z, RootChoice root,
                                  std::vector<StationaryPoint>* found) {
    std::vector<double> lnPhi(m.n), scratch, d(m.n);
    PhaseEval eval;
    if (!Evaluate(m, z.data(), root, lnPhi.data(), &eval, scratch)) return std::nullopt;
    for (std::size_t i = 0; i < m.n; ++i) d[i] = SafeLog(z[i]) + lnPhi[i];
    Stability s;
    s.z = eval.z;
    s.liquidLike = PhaseIdentificationParameter(m, z.data(), eval.z) > 1.0 && !(InverseReducedTemperature(m, z) < 1.0);
    std::vector<StationaryPoint> points;
    for (int stage = 0; stage < 2 && !s.unstable; ++stage) {
        points = StationaryPoints(m, z, d, stage == 0 ? TrialStarts(m, z) : PureTrialStarts(m, z, d, z, s.liquidLike),
                                    std::move(points));
        for (const auto& p : points)
            if (p.tm < kUnstableTm && (!s.unstable || p.tm < s.best.tm)) {
                s.unstable = true;
                s.best = p;
            }
    }
    if (found) *found = std::move(points);
    return s;
}

}  // namespace calorix::host::pr
