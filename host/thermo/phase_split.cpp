#include "host/thermo/peng_robinson.h"

#include <limits>

#include <Eigen/Dense>

#include "host/thermo/flash_certificate.h"
#include "host/thermo/newton.h"

namespace calorix::host::pr {

namespace {

// Matrices over the phases of a split (at most kMaxPhases and a trial phase), kept off the heap.
using PhaseMatrix = Eigen::Matrix<double, Eigen::Dynamic, Eigen::Dynamic, 0, kMaxPhases + 1, kMaxPhases + 1>;
using PhaseVector = Eigen::Matrix<double, Eigen::Dynamic, 1, 0, kMaxPhases + 1, 1>;

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

}  // namespace


bool EvaluatePhase(const Model& m, SplitPhase& p, RootChoice root, std::vector<double>& scratch) {
    p.lnPhi.resize(m.n);
    return Evaluate(m, p.x.data(), root, p.lnPhi.data(), &p.eval, scratch);
}

namespace {

// Largest |ln f_ik - ln f_i0| over the components and phases.
double FugacityResidual(const Model& m, const std::vector<SplitPhase>& phases) {
    double r = 0.0;
    for (std::size_t k = 1; k < phases.size(); ++k)
        for (std::size_t i = 0; i < m.n; ++i)
            r = std::max(r, std::fabs(SafeLog(phases[k].x[i]) + phases[k].lnPhi[i] - SafeLog(phases[0].x[i]) -
                                      phases[0].lnPhi[i]));
    return std::isfinite(r) ? r : std::numeric_limits<double>::infinity();
}

// Whether a split is near a critical point: every phase has a share and two of them differ
// little, max |ln K| below kNearCriticalLnK. Substitution converges slowly there.
bool NearlyCritical(const std::vector<SplitPhase>& phases) {
    for (const auto& p : phases)
        if (!(p.beta > 0.0)) return false;
    for (std::size_t k = 0; k < phases.size(); ++k)
        for (std::size_t l = k + 1; l < phases.size(); ++l) {
            double lnK = 0.0;
            for (std::size_t i = 0; i < phases[k].x.size(); ++i)
                lnK = std::max(lnK, std::fabs(SafeLog(phases[k].x[i]) - SafeLog(phases[l].x[i])));
            if (lnK < kNearCriticalLnK) return true;
        }
    return false;
}

// Compositions and shares of every phase, end to end: what a substitution step starts from.
void SplitState(const std::vector<SplitPhase>& phases, std::vector<double>& state) {
    state.clear();
    for (const auto& p : phases) {
        state.insert(state.end(), p.x.begin(), p.x.end());
        state.push_back(p.beta);
    }
}

// Successive substitution on the fugacity coefficients, every few steps extrapolated. False
// when a phase cannot be evaluated; *residual is the fugacity residual of the last evaluation.
// A step without extrapolation that gives back the compositions and shares it started from is
// a fixed point: every further step would repeat it, so the substitution ends there as if it
// had spent its steps (counted as such), and *stalled says so. Given nearCritical, the
// substitution ends after kSubstitutionsBeforeNearCriticalNewton steps on a nearly critical
// split, and *nearCritical says so.
bool Substitute(const Model& m, const std::vector<double>& z, std::vector<SplitPhase>& phases, int maxIterations,
                double* residual, int* iterations, bool* stalled, bool* nearCritical = nullptr) {
    std::vector<double> scratch, all, step, previousStep, previous, start, end;
    *residual = std::numeric_limits<double>::infinity();
    *stalled = false;
    for (int it = 0; it < maxIterations; ++it) {
        SplitState(phases, start);
        bool extrapolated = false;
        for (auto& p : phases)
            if (!EvaluatePhase(m, p, RootChoice::Stable, scratch)) return false;
        *residual = FugacityResidual(m, phases);
        if (*residual < 1e-11) return true;
        if (nearCritical && it == kSubstitutionsBeforeNearCriticalNewton && NearlyCritical(phases)) {
            *nearCritical = true;
            return true;
        }
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
                extrapolated = true;
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
        if (!extrapolated) {
            SplitState(phases, end);
            if (end == start) {
                *iterations += maxIterations - 1 - it;
                *stalled = true;
                return true;
            }
        }
    }
    return true;
}

// The smallest curvature, relative to the largest, of a step on |H| near a critical point.
constexpr double kLowestCurvature = 1e-10;

// Newton's method on the mole numbers of all phases but the largest, whose mole numbers close
// the material balance (Michelsen and Mollerup, "Thermodynamic Models", ch. 10): a minimisation
// of the Gibbs energy of the split, G/RT = sum_k sum_i n_ik ln f_ik, whose gradient is the
// difference of ln f from the largest phase and whose Hessian is the sum of the phases'
// Hessians of ln f (their ln phi part by differences, central ones near a critical point).
// Each phase keeps the root it converged on. Where the Hessian is not positive definite
// (phases still inside the region of instability, as near a critical point) it is shifted
// along the ideal part until it is, and every step must lower G: the split cannot fall back
// onto the feed, which lies higher. Near a critical point the step is taken on |H| instead (see
// below). Every phase must have a positive share.
bool NewtonSplit(const Model& m, const std::vector<double>& z, std::vector<SplitPhase>& phases, int maxIterations,
                 int progressPeriod) {
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
    std::vector<std::size_t> others;
    for (std::size_t k = 0; k < np; ++k)
        if (k != ref) others.push_back(k);
    const bool central = NearlyCritical(phases);
    auto closeBalance = [&](std::vector<std::vector<double>>& nk) {
        for (std::size_t i = 0; i < n; ++i) {
            double rest = z[i];
            for (std::size_t k : others) rest -= nk[k][i];
            nk[ref][i] = rest;
        }
    };
    closeBalance(moles);
    std::vector<double> scratch, x(n);
    std::vector<std::vector<double>> lnPhi(np, std::vector<double>(n));
    // ln f differences from the largest phase and G/RT; false when a mole number is not
    // positive or a phase cannot be evaluated.
    auto fugacities = [&](const std::vector<std::vector<double>>& nk, Eigen::VectorXd& g, double& gibbs) {
        std::vector<std::vector<double>> lnF(np, std::vector<double>(n));
        gibbs = 0.0;
        for (std::size_t k = 0; k < np; ++k) {
            double total = 0.0;
            for (double v : nk[k]) {
                if (!(v > 0.0)) return false;
                total += v;
            }
            for (std::size_t i = 0; i < n; ++i) x[i] = nk[k][i] / total;
            if (!Evaluate(m, x.data(), roots[k], lnPhi[k].data(), nullptr, scratch)) return false;
            for (std::size_t i = 0; i < n; ++i) {
                lnF[k][i] = pmath::Log(x[i]) + lnPhi[k][i];
                gibbs += nk[k][i] * lnF[k][i];
            }
        }
        g.resize(Eigen::Index(n * (np - 1)));
        Eigen::Index row = 0;
        for (std::size_t k : others)
            for (std::size_t i = 0; i < n; ++i) g(row++) = lnF[k][i] - lnF[ref][i];
        return g.allFinite() && std::isfinite(gibbs);
    };
    Eigen::VectorXd g;
    double gibbs = 0.0;
    if (!fugacities(moles, g, gibbs)) return false;
    double norm = g.lpNorm<Eigen::Infinity>();
    const auto size = Eigen::Index(n * (np - 1));
    double shift = 0.0, checkedNorm = norm;
    for (int it = 0; it < maxIterations && norm >= 1e-11; ++it) {
        // Hessian of ln f of each phase with respect to its own mole numbers.
        std::vector<Eigen::MatrixXd> hessian(np);
        for (std::size_t k = 0; k < np; ++k) {
            if (!LnPhiDerivatives(m, moles[k], roots[k], central, hessian[k])) return false;
            double total = 0.0;
            for (double v : moles[k]) total += v;
            hessian[k].array() -= 1.0 / total;
            for (std::size_t i = 0; i < n; ++i) hessian[k](Eigen::Index(i), Eigen::Index(i)) += 1.0 / moles[k][i];
            hessian[k] = 0.5 * (hessian[k] + hessian[k].transpose()).eval();
        }
        Eigen::MatrixXd jacobian = Eigen::MatrixXd::Zero(size, size);
        Eigen::VectorXd ideal(size);  // the ideal part of the diagonal, 1/n_ki + 1/n_ref,i
        for (std::size_t a = 0; a < others.size(); ++a) {
            for (std::size_t b = 0; b < others.size(); ++b) {
                auto block = jacobian.block(Eigen::Index(a * n), Eigen::Index(b * n), Eigen::Index(n), Eigen::Index(n));
                block = hessian[ref];
                if (a == b) block += hessian[others[a]];
            }
            for (std::size_t i = 0; i < n; ++i)
                ideal(Eigen::Index(a * n + i)) = 1.0 / moles[others[a]][i] + 1.0 / moles[ref][i];
        }
        // The Newton step on a positive definite Hessian: shifted as needed, or near a critical
        // point on |H|.
        Eigen::VectorXd delta;
        if (central) {
            // Near a critical point the phases may start inside the region of instability,
            // where the Hessian has directions of negative curvature along which they separate:
            // a shift large enough to make it positive definite leaves steps that creep (the
            // split of a gas 0.1 K from its critical point once spent its work that way and
            // failed). There the step is taken on |H|, its eigenvalues taken positive in the
            // scale of the ideal part: downhill along every direction, a Newton step where H is
            // positive definite.
            const Eigen::VectorXd scale = ideal.cwiseSqrt().cwiseInverse();
            const Eigen::MatrixXd scaled = scale.asDiagonal() * jacobian * scale.asDiagonal();
            const Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> eigen(scaled);
            if (eigen.info() != Eigen::Success) return false;
            Eigen::VectorXd lambda = eigen.eigenvalues().cwiseAbs();
            const double floor = kLowestCurvature * lambda.maxCoeff();
            for (Eigen::Index i = 0; i < lambda.size(); ++i) lambda(i) = std::max(lambda(i), floor);
            const Eigen::VectorXd gs = scale.asDiagonal() * g;
            const Eigen::VectorXd along = (eigen.eigenvectors().transpose() * gs).cwiseQuotient(lambda);
            delta = -(scale.asDiagonal() * (eigen.eigenvectors() * along));
            if (!delta.allFinite()) return false;
        } else if (!ShiftedNewtonStep(jacobian, ideal, g, shift, delta)) {
            return false;
        }
        // The longest step that keeps every mole number positive, then halving until G falls
        // (or, where G no longer changes in double precision, the residual).
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
        const double slope = g.dot(delta);
        bool accepted = false;
        const bool bounded = alpha < 1.0;
        int ls = 0;
        for (; ls < kNewtonHalvings && !accepted; ++ls, alpha *= 0.5) {
            auto trial = moles;
            for (std::size_t a = 0; a < others.size(); ++a)
                for (std::size_t i = 0; i < n; ++i) trial[others[a]][i] += alpha * delta(Eigen::Index(a * n + i));
            closeBalance(trial);
            Eigen::VectorXd trialG;
            double trialGibbs = 0.0;
            if (!fugacities(trial, trialG, trialGibbs)) continue;
            const double trialNorm = trialG.lpNorm<Eigen::Infinity>();
            if (Lowers(trialGibbs, gibbs, alpha, slope, trialNorm, norm)) {
                moles = std::move(trial);
                g = std::move(trialG);
                gibbs = trialGibbs;
                norm = trialNorm;
                accepted = true;
            }
        }
        if (!accepted) return false;
        // Creeping (towards a point where the Hessian is singular, the phases merging, or
        // through a region where G falls but the split is no nearer) rather than converging:
        // the residual must fall tenfold every progressPeriod steps (if not 0).
        if (progressPeriod > 0 && (it + 1) % progressPeriod == 0) {
            if (norm > 0.1 * checkedNorm) return false;
            checkedNorm = norm;
        }
        shift = NextShift(shift, ls, bounded);
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

}  // namespace

// The split of the feed over the given phases: substitution, then Newton; more substitution
// if Newton fails. Near a critical point (max |ln K| below kNearCriticalLnK after the first
// substitutions), where substitution would crawl, Newton from the start. A phase whose share
// is 0 stays a trial phase while the substitution goes on and is dropped when it has converged
// (or the work for it is spent) without a share.
bool Converge(const Model& m, const std::vector<double>& z, std::vector<SplitPhase>& phases, int* iterations) {
    int budget = kSubstitutionsBeforeNewton;
    for (int attempt = 0; attempt < 4; ++attempt) {
        double residual = 0.0;
        bool stalled = false, nearCritical = false;
        std::vector<double> stalledAt, now;
        if (!Substitute(m, z, phases, budget, &residual, iterations, &stalled, attempt == 0 ? &nearCritical : nullptr))
            return false;
        // Near a critical point, second-order steps from the start; substitution if they fail.
        if (nearCritical) {
            auto newton = phases;
            if (NewtonSplit(m, z, newton, kMaxNearCriticalNewtonIterations, kNearCriticalProgressPeriod)) {
                phases = std::move(newton);
                return true;
            }
            if (!Substitute(m, z, phases, budget, &residual, iterations, &stalled)) return false;
        }
        if (stalled) SplitState(phases, stalledAt);
        budget = kMaxSubstitutions;
        const bool shareless = std::any_of(phases.begin(), phases.end(), [](const SplitPhase& p) { return !(p.beta > 0.0); });
        if (shareless) {
            if (residual > 1e-9 && attempt == 0) continue;
            phases.erase(std::remove_if(phases.begin(), phases.end(), [](const SplitPhase& p) { return !(p.beta > 0.0); }),
                         phases.end());
            if (phases.size() <= 1) return !phases.empty();
            continue;
        }
        // Near a critical point Newton may take long to leave the region of instability.
        const bool nearlyCritical = NearlyCritical(phases);
        if (residual < 1e-11 ||
            NewtonSplit(m, z, phases, nearlyCritical ? kMaxNearCriticalNewtonIterations : kMaxNewtonIterations,
                        nearlyCritical ? 0 : kNewtonProgressPeriod))
            return true;
        // Newton failed from a fixed point of the substitution and left the phases there:
        // every further attempt would repeat both.
        if (stalled) {
            SplitState(phases, now);
            if (now == stalledAt) {
                *iterations += kMaxSubstitutions * (3 - attempt);
                return false;
            }
        }
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

}  // namespace calorix::host::pr
