#include "host/thermo/peng_robinson.h"

#include <limits>

#include <Eigen/Dense>

#include "host/thermo/flash_certificate.h"

namespace calorix::host {

using namespace pr;

namespace {

// The stationary points a dew-point search follows from one temperature to the next. On a
// fluid with many shallow stationary points that never join one another (water far above its
// critical pressure with traces of gases) they would pile up step after step and every test
// would cost more than the last; beyond twice the trial phases of one usual test only those
// lowest in tangent-plane distance are followed.
void KeepLowest(std::vector<StationaryPoint>& points, std::size_t components) {
    const std::size_t most = 2 * (components + 4);
    if (points.size() <= most) return;
    std::stable_sort(points.begin(), points.end(),
                     [](const StationaryPoint& a, const StationaryPoint& b) { return a.tm < b.tm; });
    points.resize(most);
}

// The search for a two-phase window that closes between two steps of a dew-point scan: at most
// this many warm tests, down to an interval of this width.
constexpr int kWindowSearchSteps = 40;
constexpr double kWindowWidthK = 1e-3;
constexpr double kGolden = 0.3819660112501051;  // (3 - sqrt 5) / 2
constexpr double kNoStationaryPoint = std::numeric_limits<double>::infinity();

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
    // The model and the vapour's ln phi at the temperature of the last residual: the ln K
    // columns of the Jacobian share them.
    std::optional<Model> model;
    double modelT = 0.0;
    auto residual = [&](const Eigen::VectorXd& v, Eigen::VectorXd& r) {
        const double t = pmath::Exp(v(Eigen::Index(n)));
        if (!model || t != modelT) {
            if (model)
                SetConditions(*model, components, t, pressureKPa);
            else
                model = BuildModel(components, kij, active, t, pressureKPa);
            modelT = t;
            if (!Evaluate(*model, z.data(), RootChoice::Vapour, lnV.data(), nullptr, scratch)) {
                model.reset();
                return false;
            }
        }
        double sum = 0.0;
        for (std::size_t i = 0; i < n; ++i) {
            xs[i] = z[i] * pmath::Exp(v(Eigen::Index(i)));
            sum += xs[i];
        }
        if (!(sum > 0.0) || !std::isfinite(sum)) return false;
        for (std::size_t i = 0; i < n; ++i) xs[i] /= sum;
        if (!Evaluate(*model, xs.data(), RootChoice::Liquid, lnL.data(), nullptr, scratch)) return false;
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

const char* Describe(FlashFailure failure) noexcept {
    switch (failure) {
    case FlashFailure::None: return "";
    case FlashFailure::UnusableInput:
        return "unusable input: conditions not finite and positive, no positive fraction, or unusable component data";
    case FlashFailure::NotCertified: return "no equilibrium could be certified within the flash's bound of work";
    case FlashFailure::NoSlot:
        return "more phases, or more liquids, than the host has slots for (vapour, hydrocarbon liquid, aqueous, "
               "phase 3)";
    case FlashFailure::BubblePoint:
        return "the feed is the denser phase at its saturation point (a bubble point, not a dew point): it has no "
               "dew point at this pressure";
    }
    return "";
}

bool SaturationPointInBracket(double t, double unstableT, double stableT, const std::function<bool()>& belowPlane) {
    return t > unstableT - kSaturationBracketK && (t < stableT + kSaturationBracketK || belowPlane());
}

std::optional<FlashResult> PengRobinsonFlash::DewPoint(double pressureKPa, std::span<const double> feed,
                                                       DewPointWork* work, FlashFailure* failure) const {
    DewPointWork done;
    // The outcome, with the work done, for the caller.
    auto finish = [&](std::optional<FlashResult> result, FlashFailure why) {
        if (work) *work = done;
        if (failure) *failure = result ? FlashFailure::None : why;
        return result;
    };
    // Each stability test counts towards the search's bound; past it every test fails, and so
    // does the search.
    const double components = double(std::count_if(feed.begin(), feed.end(), [](double x) { return x > 0.0; }));
    const double evaluationBound = m_maxDewPointEvaluations * std::min(1.0, 169.0 / (components * components));
    auto withinBound = [&](int& kind) {
        if (done.usualTests + done.warmTests >= m_maxDewPointTests || !(done.evaluations < evaluationBound)) {
            done.bounded = true;
            return false;
        }
        ++kind;
        return true;
    };
    bool usable = true, bubble = false;
    auto outcome = [&]() -> std::optional<FlashResult> { try {
        const std::size_t n = m_components.size();
        std::vector<std::size_t> active;
        std::vector<double> z;
        if (!UsableConditions(300.0, pressureKPa) || !PrepareFeed(feed, n, active, z) ||
            !UsableComponents(m_components, active)) {
            usable = false;
            return std::nullopt;
        }

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
            // The usual stability test of the vapour (every trial phase); the stationary points
            // it finds are kept in `tracked` for the tests that follow.
            std::vector<StationaryPoint> tracked;
            // The lowest tangent-plane distance of the stationary points found at the
            // temperature of the last test (infinite without one).
            double lastTm = kNoStationaryPoint;
            auto lowest = [](const std::vector<StationaryPoint>& points) {
                double tm = kNoStationaryPoint;
                for (const auto& p : points) tm = std::min(tm, p.tm);
                return tm;
            };
            const Model base = BuildModel(m_components, m_kij, active, maxTc, pressureKPa);
            auto at = [&](double t) {
                Model m = base;
                SetConditions(m, m_components, t, pressureKPa);
                return m;
            };
            auto test = [&](const Model& m) -> std::optional<Stability> {
                if (!withinBound(done.usualTests)) return std::nullopt;
                std::vector<StationaryPoint> found;
                const int before = m.evaluations;
                auto s = TestFeed(m, z, RootChoice::Vapour, &found);
                done.evaluations += m.evaluations - before;
                lastTm = lowest(found);
                // The points followed so far stay followed (the usual test may miss one of
                // them): each is a trial phase of the next warm test, which drops those that
                // join another or turn into the vapour itself.
                for (auto& p : tracked)
                    if (std::none_of(found.begin(), found.end(),
                                     [&](const StationaryPoint& f) { return Distance(f.w, p.w) < kJoinsFoundPoint; }))
                        found.push_back(std::move(p));
                tracked = std::move(found);
                KeepLowest(tracked, base.n);
                return s;
            };
            // The vapour root of the feed: d_i = ln z_i + ln phi_i, its compressibility in *eval.
            auto vapourRoot = [&](const Model& m, PhaseEval& eval) {
                std::vector<double> d(m.n), scratch;
                if (!Evaluate(m, z.data(), RootChoice::Vapour, d.data(), &eval, scratch))
                    return std::optional<std::vector<double>>{};
                for (std::size_t i = 0; i < m.n; ++i) d[i] += SafeLog(z[i]);
                return std::optional<std::vector<double>>{std::move(d)};
            };
            // The warm test: the stationary points of the last test as the only trial phases.
            // Each lies close to its counterpart here, so that it converges in a few steps;
            // the answer is the usual test's as long as no other kind of phase turns up, which
            // the usual tests around it watch for. With nothing to follow, the usual test.
            auto warmTest = [&](const Model& m, const std::vector<double>& d) -> std::optional<Stability> {
                if (tracked.empty()) return test(m);
                if (!withinBound(done.warmTests)) return std::nullopt;
                std::vector<std::vector<double>> starts;
                for (const auto& p : tracked) {
                    starts.emplace_back(m.n);
                    for (std::size_t i = 0; i < m.n; ++i) starts.back()[i] = SafeLog(p.w[i]);
                }
                const int before = m.evaluations;
                tracked = StationaryPoints(m, z, d, starts);
                done.evaluations += m.evaluations - before;
                KeepLowest(tracked, base.n);
                lastTm = lowest(tracked);
                std::optional<Stability> s = Stability{};
                for (const auto& p : tracked)
                    if (p.tm < kUnstableTm && (!s->unstable || p.tm < s->best.tm)) {
                        s->unstable = true;
                        s->best = p;
                    }
                return s;
            };
            auto warmAt = [&](double t) {
                const Model m = at(t);
                PhaseEval root;
                const auto d = vapourRoot(m, root);
                return d ? warmTest(m, *d) : std::optional<Stability>{};
            };
            bool hasPolar = false;
            for (std::size_t i : active) hasPolar = hasPolar || IsPolar(m_components[i]);
            // A temperature at which the vapour is stable.
            double high = std::max(1.1 * maxTc, 50.0);
            std::optional<Stability> above;
            for (int attempt = 0; attempt < 4; ++attempt, high *= 1.5) {
                above = test(at(high));
                if (above && !above->unstable) break;
                above.reset();
            }
            if (!above) return std::nullopt;

            // Step down until the vapour is unstable. Where the vapour's density jumps between
            // two steps, or it turns liquid-like, a narrow two-phase window may lie between
            // them: it lies next to the jump, so halve towards the jump until it is found or
            // the interval is a ten-thousandth of a kelvin.
            // Along a stretch where the vapour's density stays nearly the same (ln Z within
            // kSmoothStretch of the last step that took the usual test), only one step in
            // kStride (twice as many while no stationary point is followed) takes the usual
            // test, the others the warm one. Along such a stretch the vapour, once unstable,
            // stays so (a retrograde window closes only as the fluid densifies): so when the
            // usual test finds a step unstable, or the density jumps, the steps before it take
            // the usual test from the last one up while it finds them unstable, and the search
            // stops at the same step as with the usual test at every step.
            constexpr double kFloorK = 5.0;
            constexpr std::size_t kStride = 8;
            constexpr double kSmoothStretch = 0.05;  // change of ln Z along which steps may be left out
            double stableT = high, unstableT = 0.0, stableZ = above->z;
            bool stableLiquidLike = above->liquidLike;  // the usual test's verdict at stableT
            std::vector<double> skipped;  // steps found stable by the warm test only
            double confirmedT = high, confirmedZ = above->z;  // the last step the usual test found stable
            StationaryPoint best;
            bool found = false, dense = false;
            // The first unstable one of the skipped steps, if any; they are settled after.
            auto backUp = [&]() -> std::optional<bool> {
                bool unstable = false;
                for (; !skipped.empty(); skipped.pop_back()) {
                    auto earlier = test(at(skipped.back()));
                    if (!earlier) return std::nullopt;
                    if (!earlier->unstable) break;
                    unstableT = skipped.back();
                    best = earlier->best;
                    unstable = true;
                }
                stableT = confirmedT = skipped.empty() ? confirmedT : skipped.back();
                confirmedZ = stableZ;
                skipped.clear();
                return unstable;
            };
            // A two-phase window that closes again between two steps without a jump in the
            // vapour's density (just below the cricondenbar, where the window narrows to
            // nothing): the lowest tangent-plane distance of the stationary points, smooth in
            // the temperature, then falls to a minimum and rises again, and the window is
            // where that minimum lies below 0. Given the steps a < x < b, x the lowest, the
            // minimum is sought by parabolic steps (golden sections where a parabola does not
            // help) with the warm test, to a thousandth of a kelvin. A window found there is
            // confirmed by the usual test, as is the stable end of its bracket (the lowest of
            // the temperatures above it that the usual test finds stable).
            struct Sample {
                double t, tm;
            };
            auto closingWindow = [&](Sample a, Sample x, Sample b) -> std::optional<bool> {
                std::vector<double> higher{x.t, b.t};
                std::optional<double> unstableAt;
                for (int it = 0; it < kWindowSearchSteps && b.t - a.t > kWindowWidthK && !unstableAt; ++it) {
                    const double p = (x.t - a.t) * (x.tm - b.tm), q = (x.t - b.t) * (x.tm - a.tm);
                    const double den = 2.0 * (p - q);
                    double u = x.t - ((x.t - a.t) * p - (x.t - b.t) * q) / den;
                    const double margin = 0.1 * kWindowWidthK;
                    if (!std::isfinite(u) || !(u > a.t + margin && u < b.t - margin) || std::fabs(u - x.t) < margin)
                        u = b.t - x.t > x.t - a.t ? x.t + kGolden * (b.t - x.t) : x.t - kGolden * (x.t - a.t);
                    const auto s = warmAt(u);
                    if (!s) return std::nullopt;
                    const Sample next{u, lastTm};
                    if (s->unstable) {
                        unstableAt = u;
                    } else if (next.tm < x.tm) {
                        (u > x.t ? a : b) = x;
                        x = next;
                    } else {
                        (u > x.t ? b : a) = next;
                    }
                    higher.push_back(u);
                }
                if (!unstableAt) return false;
                const auto confirmed = test(at(*unstableAt));
                if (!confirmed) return std::nullopt;
                if (!confirmed->unstable) return false;
                unstableT = *unstableAt;
                best = confirmed->best;
                higher.insert(higher.end(), skipped.begin(), skipped.end());
                higher.push_back(confirmedT);
                std::sort(higher.begin(), higher.end());
                for (double t : higher) {
                    if (!(t > unstableT)) continue;
                    if (t == confirmedT) {
                        stableT = t;
                        return true;
                    }
                    const auto checked = test(at(t));
                    if (!checked) return std::nullopt;
                    if (!checked->unstable) {
                        stableT = t;
                        return true;
                    }
                    unstableT = t;
                    best = checked->best;
                }
                return std::nullopt;
            };
            // The last steps found stable, lowest last: a window closing between them shows
            // as a minimum of the lowest tangent-plane distance in the middle.
            std::vector<Sample> steps{{high, lastTm}};
            auto stepStable = [&](double t) -> std::optional<bool> {
                steps.push_back({t, lastTm});
                if (steps.size() > 3) steps.erase(steps.begin());
                if (steps.size() < 3 || !(steps[1].tm < steps[0].tm && steps[1].tm < steps[2].tm)) return false;
                const auto window = closingWindow(steps[2], steps[1], steps[0]);
                if (window && *window) skipped.clear();
                return window;
            };
            while (!found && !dense && stableT > kFloorK) {
                const double t = std::max(stableT - std::max(0.5, 0.02 * stableT), kFloorK);
                const Model m = at(t);
                PhaseEval root;
                const auto d = vapourRoot(m, root);
                if (!d) return std::nullopt;
                // Liquid-like as the usual test has it (the cheaper condition first).
                const bool smooth = !(std::fabs(pmath::Log(root.z / stableZ)) > 0.2) &&
                                    (InverseReducedTemperature(m, z) < 1.0 ||
                                     !(PhaseIdentificationParameter(m, z.data(), root.z) > 1.0));
                if (smooth && t > kFloorK && skipped.size() + 1 < (tracked.empty() ? 2 * kStride : kStride) &&
                    !(std::fabs(pmath::Log(root.z / confirmedZ)) > kSmoothStretch)) {
                    // Without a stationary point to follow, no phase is in sight.
                    if (tracked.empty()) lastTm = kNoStationaryPoint;
                    const auto warm = tracked.empty() ? std::optional<Stability>{Stability{}} : warmTest(m, *d);
                    if (!warm) return std::nullopt;
                    if (!warm->unstable) {
                        skipped.push_back(t);
                        done.longestWarmRun = std::max(done.longestWarmRun, int(skipped.size()));
                        stableT = t;
                        stableZ = root.z;
                        stableLiquidLike = false;
                        const auto window = stepStable(t);
                        if (!window) return std::nullopt;
                        found = *window;
                        continue;
                    }
                }
                if (!smooth) {
                    const auto earlier = backUp();
                    if (!earlier) return std::nullopt;
                    if (*earlier) {
                        found = true;
                        break;
                    }
                }
                auto s = test(m);
                if (!s) return std::nullopt;
                const double tmHere = lastTm;
                if (s->unstable) {
                    unstableT = t;
                    best = s->best;
                    found = true;
                    if (!backUp()) return std::nullopt;
                    break;
                }
                skipped.clear();
                // Once the feed is liquid-like (dense, followed further down for the water, an
                // alcohol or a glycol it holds) the steps after it stay so without a jump, and
                // need no search of their own.
                if ((s->liquidLike && !stableLiquidLike) || std::fabs(pmath::Log(s->z / stableZ)) > 0.2) {
                    double lo = t, hi = stableT, zLo = s->z, zHi = stableZ;
                    for (int it = 0; it < 40 && hi - lo > 1e-4; ++it) {
                        const double mid = 0.5 * (lo + hi);
                        auto sm = test(at(mid));
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
                    // state without splitting (above the cricondenbar). Water, an alcohol or a
                    // glycol may still drop out of it further down, and so the search goes on
                    // for a fluid that holds one; whatever phase then appears first sets the
                    // dew point (a liquid rich in hydrogen sulfide or carbon dioxide may come
                    // before the water).
                    dense = s->liquidLike && !hasPolar;
                    // The density jumped: the distances before and after are of other states.
                    steps.clear();
                }
                dense = dense || (s->liquidLike && !hasPolar);
                stableT = t;
                confirmedT = t;
                stableZ = confirmedZ = s->z;
                stableLiquidLike = s->liquidLike;
                lastTm = tmHere;
                const auto window = stepStable(t);
                if (!window) return std::nullopt;
                found = *window;
            }
            if (!found) return std::nullopt;

            // Bisection to a thousandth of a kelvin, then Newton on the saturation condition. Newton
            // must stay at the dew point the search bracketed, with a phase of its own; when it
            // fails or leaves the bracket, bisection narrows the bracket a thousandfold and
            // Newton starts again from there. The bisection takes the warm test, from the
            // stationary points followed so far; the usual test at both ends of the bracket
            // must agree with it, and Newton starts from its incipient phase at the unstable
            // end. Should they disagree, or Newton fail (near a critical point a point followed
            // may turn into the vapour itself and be lost), the bisection is done again with
            // the usual test throughout.
            // A saturation point above the bracket: the usual test counts a tangent-plane
            // distance above kUnstableTm as none, and where the distance falls slowly with the
            // temperature (near the cricondenbar or a critical point) the stable end may lie
            // millikelvins below the saturation point. Newton's point stands when its incipient
            // phase, followed to the stable end, lies below the tangent plane there.
            auto belowPlaneAt = [&](double t, const std::vector<double>& w) {
                if (!withinBound(done.warmTests)) return false;
                const Model m = at(t);
                PhaseEval root;
                const auto d = vapourRoot(m, root);
                if (!d) return false;
                std::vector<std::vector<double>> start{std::vector<double>(m.n)};
                for (std::size_t i = 0; i < m.n; ++i) start[0][i] = SafeLog(w[i]);
                const int before = m.evaluations;
                const auto points = StationaryPoints(m, z, *d, start);
                done.evaluations += m.evaluations - before;
                return !points.empty() && points[0].tm < 0.0;
            };
            const double firstStableT = stableT, firstUnstableT = unstableT;
            const StationaryPoint firstBest = best;
            bool converged = false;
            for (bool warm : {true, false}) {
                if (!warm) {
                    stableT = firstStableT;
                    unstableT = firstUnstableT;
                    best = firstBest;
                }
                bool agreed = true;
                for (double width = 1e-3; !converged && agreed && width > 1e-8; width *= 1e-3) {
                    bool bestKnown = true, stableKnown = true;
                    while (stableT - unstableT > width) {
                        const double t = 0.5 * (stableT + unstableT);
                        auto s = warm ? warmAt(t) : test(at(t));
                        if (!s) return std::nullopt;
                        if (s->unstable) {
                            unstableT = t;
                            best = s->best;
                            bestKnown = !warm;
                        } else {
                            stableT = t;
                            stableKnown = !warm;
                        }
                    }
                    if (!bestKnown) {
                        const auto checked = test(at(unstableT));
                        if (!checked) return std::nullopt;
                        agreed = checked->unstable;
                        best = checked->best;
                        if (!agreed) break;
                    }
                    if (!stableKnown) {
                        const auto checked = test(at(stableT));
                        if (!checked) return std::nullopt;
                        agreed = !checked->unstable;
                        if (!agreed) break;
                    }
                    dewT = stableT;
                    incipient = best.w;
                    converged = SaturationNewton(m_components, m_kij, active, pressureKPa, z, incipient, dewT) &&
                                Distance(incipient, z) >= 1e-9 &&
                                SaturationPointInBracket(dewT, unstableT, stableT,
                                                         [&] { return belowPlaneAt(stableT, incipient); });
                }
                if (converged) break;
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
        // A dew point condenses a phase denser than the feed. A feed that is itself the denser
        // phase (dense water with traces of gases, a dense carbon dioxide gas followed down for
        // its methanol) has reached a bubble point, where a lighter phase appears: that is no
        // dew point, and none is reported. Mass densities, P M / (Z R T), at the same T and P.
        double feedMass = 0.0, incipientMass = 0.0;
        for (std::size_t i = 0; i < m.n; ++i) {
            const double molarMass = m_components[active[i]].molarMassKgPerKmol;
            feedMass += z[i] * molarMass;
            incipientMass += incipient[i] * molarMass;
        }
        if (!(feedMass > 0.0 && incipientMass > 0.0)) feedMass = incipientMass = 1.0;  // molar densities then
        if (!(feedMass / vapour.z < incipientMass / liquid.z)) {
            bubble = true;
            return std::nullopt;
        }

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
    } }();
    return finish(std::move(outcome), !usable ? FlashFailure::UnusableInput
                                      : bubble ? FlashFailure::BubblePoint
                                               : FlashFailure::NotCertified);
}

}  // namespace calorix::host