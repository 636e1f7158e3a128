#include "host/thermo/flash.h"

#include <new>

#include "framework/empty_value.h"
#include "host/thermo/peng_robinson.h"

namespace calorix::host::pr {

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

std::optional<Model> FeedModel(const std::vector<Component>& components, const std::vector<double>& kij,
                               double temperatureK, double pressureKPa, std::span<const double> feed,
                               std::vector<double>& z) {
    std::vector<std::size_t> active;
    if (!UsableConditions(temperatureK, pressureKPa) || !PrepareFeed(feed, components.size(), active, z) ||
        !UsableComponents(components, active))
        return std::nullopt;
    return BuildModel(components, kij, active, temperatureK, pressureKPa);
}

// Whether a split converged from a trial phase barely below the tangent plane holds more
// phases than before, all distinct (no two within kSameComposition on the same root), at a
// Gibbs energy sum beta_k sum_i x_ki (ln x_ki + ln phi_ki) below that of the phases before.
bool DistinctAndLower(const Model& m, const std::vector<SplitPhase>& split, const std::vector<SplitPhase>& before) {
    if (split.size() <= before.size()) return false;
    for (std::size_t a = 0; a < split.size(); ++a)
        for (std::size_t b = a + 1; b < split.size(); ++b)
            if (Distance(split[a].x, split[b].x) < kSameComposition && SameRoot(split[a].eval.z, split[b].eval.z))
                return false;
    auto gibbs = [&](const std::vector<SplitPhase>& phases) {
        double g = 0.0;
        for (const auto& p : phases)
            for (std::size_t i = 0; i < m.n; ++i)
                if (p.x[i] > 0.0) g += p.beta * p.x[i] * (SafeLog(p.x[i]) + p.lnPhi[i]);
        return g;
    };
    return gibbs(split) < gibbs(before);
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

}  // namespace calorix::host::pr

namespace calorix::host {

using namespace pr;

int FlashResult::PresentCount() const {
    int count = 0;
    for (const auto& p : phases) count += p.present ? 1 : 0;
    return count;
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

std::optional<double> PengRobinsonFlash::Compressibility(double temperatureK, double pressureKPa,
                                                         std::span<const double> x, RootChoice root) const {
    try {
        std::vector<double> z;
        const auto m = FeedModel(m_components, m_kij, temperatureK, pressureKPa, x, z);
        if (!m) return std::nullopt;
        std::vector<double> lnPhi(m->n), scratch;
        PhaseEval eval;
        if (!Evaluate(*m, z.data(), root, lnPhi.data(), &eval, scratch)) return std::nullopt;
        return eval.z;
    } catch (...) {
        return std::nullopt;
    }
}

std::optional<bool> PengRobinsonFlash::Splits(double temperatureK, double pressureKPa,
                                              std::span<const double> feed) const {
    try {
        std::vector<double> z;
        const auto m = FeedModel(m_components, m_kij, temperatureK, pressureKPa, feed, z);
        if (!m) return std::nullopt;
        const auto stability = TestFeed(*m, z, RootChoice::Stable);
        if (!stability) return std::nullopt;
        return stability->unstable;
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
        std::vector<double> z;
        const auto feedModel = FeedModel(m_components, m_kij, temperatureK, pressureKPa, feed, z);
        if (!feedModel) return std::nullopt;
        const Model& m = *feedModel;

        std::vector<SplitPhase> phases(1);
        phases[0].x = z;
        phases[0].beta = 1.0;
        std::vector<double> scratch;
        why = FlashFailure::NotCertified;
        if (!EvaluatePhase(m, phases[0], RootChoice::Stable, scratch)) return std::nullopt;
        int iterations = 0;
        bool stable = false;
        const auto feedStarts = TrialStarts(m, z);
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
            // The phases of the split are stationary points on the plane (tm 0): a trial
            // contracting onto one of them ends there.
            std::vector<StationaryPoint> points;
            if (phases.size() > 1)
                for (const auto& ph : phases) points.push_back({ph.x, 0.0, ph.eval.z});
            // The usual starts first; when they find no instability, or no split converges from
            // the trial phases they find, the pure components too: those may reach the phase
            // that the split lacks (a shallow point beside a known phase can be a split's
            // shadow rather than a phase of its own).
            bool unstable = false, split = false, firm = false;
            for (int stage = 0; stage < 2 && !split; ++stage) {
                // Beside a split, the usual starts from the feed as well: Wilson's estimates
                // from the tested phase alone end at that phase again (the vapour of a little
                // n-octane boiling with water lies far from both its liquid and the water).
                // Those that start where one of the tested phase's own does are left out.
                auto starts = stage == 0 ? (phases.size() == 1 ? feedStarts : TrialStarts(m, ref->x))
                                         : PureTrialStarts(m, ref->x, d, z,
                                                           PhaseIdentificationParameter(m, ref->x.data(), ref->eval.z) > 1.0);
                if (stage == 0 && phases.size() > 1) AppendDistinctStarts(starts, feedStarts);
                const std::size_t earlier = points.size();
                points = StationaryPoints(m, ref->x, d, starts, std::move(points));
                // A trial below kUnstableTm is an instability. One between it and kBarelyUnstableTm
                // (near a critical point, where the phases of a split differ by a few percent and
                // their Gibbs energy by 1e-9 of RT) is one only if the split from it converges to
                // distinct phases of lower Gibbs energy; it is tried only when no trial is clearly
                // unstable, and a split from it that fails leaves the phases as they are.
                std::vector<const StationaryPoint*> candidates;
                bool barely = false;
                for (int band = 0; band < 2 && candidates.empty(); ++band) {
                    for (std::size_t k = earlier; k < points.size(); ++k) {
                        const StationaryPoint& p = points[k];
                        if (!(p.tm < (band == 0 ? kUnstableTm : kBarelyUnstableTm))) continue;
                        bool known = false;
                        for (const auto& ph : phases)
                            known = known || (Distance(ph.x, p.w) < kSameComposition && SameRoot(ph.eval.z, p.z));
                        bool repeated = false;
                        for (const auto* c : candidates)
                            repeated = repeated || (Distance(c->w, p.w) < kSameComposition && SameRoot(c->z, p.z));
                        if (!known && !repeated) candidates.push_back(&p);
                    }
                    barely = band == 1;
                }
                firm = firm || (!candidates.empty() && !barely);
                if (candidates.empty()) continue;
                unstable = true;
                std::sort(candidates.begin(), candidates.end(),
                          [](const StationaryPoint* a, const StationaryPoint* b) { return a->tm < b->tm; });
                // The most unstable trial phase first; others if the split from it fails. With
                // four phases already, a fifth must take the place of one of them.
                for (std::size_t c = 0; c < candidates.size() && c < kMaxCandidates && !split; ++c) {
                    auto trial = phases;
                    SplitPhase added;
                    added.x = candidates[c]->w;
                    trial.push_back(std::move(added));
                    // A split that fails takes at most half the work left, so that the other
                    // trial phases still get their turn.
                    const int limit = m.evaluationLimit;
                    m.evaluationLimit = m.evaluations + (limit - m.evaluations) / 2;
                    const bool converged = Converge(m, z, trial, &iterations);
                    m.evaluationLimit = limit;
                    if (!converged) continue;
                    if (barely && !DistinctAndLower(m, trial, phases)) continue;
                    if (static_cast<int>(trial.size()) > kMaxPhases) {
                        why = FlashFailure::NoSlot;
                    } else {
                        phases = std::move(trial);
                        split = true;
                    }
                }
            }
            if (!unstable) {
                stable = true;
                break;
            }
            if (!split && !firm) {
                stable = true;
                break;
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