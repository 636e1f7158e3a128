// The Peng-Robinson flash of calorix-host on feeds the fuzzer chooses: components of the host's
// list (mostly those of natural gas, sometimes any), fractions from traces to bulk, sometimes
// water, at temperatures of 60 to 700 K and pressures of 1 to 50000 kPa, or close to the
// critical point of the feed or of one of its components. Each input runs FlashTP, and as its
// flags ask, the dew point and the host's flash protocol on a FluidComposition record.
//
// A result must stand up to a certificate computed here, through the flash's public fugacity
// coefficients only and not through the flash's own certification:
// - phase shares and compositions in [0, 1], each adding to 1; absent phases and components
//   all zero; the material balance closed; the reported compressibility that of the root used;
// - equal fugacities of every component in every present phase;
// - no trial phase clearly below the tangent plane of the equilibrium: trials started from
//   Wilson's vapour and liquid estimates, from every pure component of more than 1 % of the
//   feed that could condense and from every pure trace whose activity reaches a quarter, each
//   followed by a few successive-substitution steps, every composition met on the way tested
//   (phases made mostly of components below 1 % of the feed, other than such a trace, are
//   beyond what the flash looks for, and left out);
// - a dew point: the feed a vapour on its own stable root, the incipient phase a liquid on its,
//   their fugacities equal, and the feed stable by the same tangent-plane test;
// - the split's successive-substitution steps within what the flash's evaluation bound allows.
// A failure must give its reason (never "unusable" for the usable feeds made here) and, through
// the protocol, leave nothing but the phase flags, all 0. The protocol gives what FlashTP and
// DewPoint gave, bit for bit.
//
// Input layout (bytes past the end read as 0):
//   flags: 1 water, 2 dew point, 4 flash protocol, 8 protocol arrays left for the flash to
//          allocate, 0x30 the state (0 and 1 anywhere, 2 near the feed's pseudo-critical point by
//          Kay's rule, 3 near the critical point of its largest component)
//   count: 1 + count % 8 components
//   one byte per component: below 192 a component of natural gas, else any of the list
//   two bytes per fraction (per component, then water), 0 none, else log-uniform 1e-10 .. 1
//   two bytes temperature, two bytes pressure
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <vector>

#include "framework/empty_value.h"
#include "fuzz/fuzz_check.h"
#include "host/thermo.h"

namespace host = calorix::host;

namespace {

using host::RootChoice;

// Natural-gas components, the ones a host usually flashes.
constexpr const char* kNaturalGas[] = {"methane",   "ethane",    "propane",        "isobutane", "n-butane",
                                       "isopentane", "n-pentane", "n-hexane",       "n-heptane", "n-octane",
                                       "n-decane",  "nitrogen",  "carbon dioxide", "hydrogen sulfide",
                                       "methanol",  "helium",    "hydrogen",       "benzene"};

// The flash's bound on its work (host/flash.cpp): at most 3000 + 600 n fugacity evaluations per
// flash of n components. A successive-substitution step of a split evaluates at least two
// phases, so a flash makes at most (3000 + 600 n) / 2 of them.
int MaxSubstitutionSteps(std::size_t components) { return (3000 + 600 * static_cast<int>(components)) / 2; }

// Tolerances of the outside certificate.
// Sums of fractions: the flash's own 1e-12, and the rounding of a sum taken in another order.
constexpr double kSum = 1e-12 + 1e-14;
// Material balance: the flash's own 1e-10 and the rounding of our normalisation of the feed.
constexpr double kBalance = 1e-10 + 1e-14;
// ln f: the flash certifies 1e-8 with its own model of the components present; the coefficients
// given here come from a model of every component (the absent ones at 0), which rounds
// differently only in the last digits.
constexpr double kLnFugacity = 1e-8 + 1e-12;
// Residual Gibbs energy of a phase's root over the other root's (sum x ln phi / RT): a phase on
// its stable root. At the dew point of a single component both roots have the same Gibbs
// energy, as far as the fugacity certificate resolves it.
constexpr double kRootGibbs = kLnFugacity;
// Tangent-plane distance of a trial phase counted as clearly below the plane; see TangentPlaneMiss.
constexpr double kBelowPlane = -1e-6;

// Reads bytes; past the end every read is 0.
class Reader {
public:
    explicit Reader(std::span<const std::uint8_t> data) : m_data(data) {}
    std::uint8_t Byte() { return m_at < m_data.size() ? m_data[m_at++] : 0; }
    std::uint16_t Word() {
        const int high = Byte();
        return static_cast<std::uint16_t>(high << 8 | Byte());
    }
    double Unit() { return Word() / 65535.0; }

private:
    std::span<const std::uint8_t> m_data;
    std::size_t m_at = 0;
};

double Fraction(std::uint16_t v) { return v == 0 ? 0.0 : std::exp(-23.0 * (1.0 - v / 65535.0)); }

double LnOf(double x) { return std::log(std::max(x, 1e-300)); }

struct Case {
    std::vector<host::Component> components;
    std::vector<double> feed;   // as given
    std::vector<double> z;      // normalised
    double temperatureC = 0.0;  // as the protocol's record holds it
    double temperatureK = 0.0;  // as the flash protocol converts it
    double pressureKPa = 0.0;
    std::size_t active = 0;     // components with a positive fraction
    bool dewPoint = false;
    bool protocol = false;
    bool allocate = false;
};

std::optional<Case> Decode(std::span<const std::uint8_t> data) {
    Reader in(data);
    Case c;
    const std::uint8_t flags = in.Byte();
    const bool water = flags & 1;
    c.dewPoint = flags & 2;
    c.protocol = flags & 4;
    c.allocate = flags & 8;
    const int state = (flags >> 4) & 3;
    const int count = 1 + in.Byte() % 8;
    const auto table = host::ComponentTable();
    auto add = [&](const host::ComponentRecord* r) {
        if (!r) return;
        for (const auto& have : c.components)
            if (have.casKey == r->casKey) return;
        c.components.push_back(host::ComponentFromRecord(*r));
    };
    for (int k = 0; k < count; ++k) {
        const std::uint8_t pick = in.Byte();
        add(pick < 192 ? host::FindComponentByName(kNaturalGas[pick % std::size(kNaturalGas)])
                       : &table[pick % table.size()]);
    }
    if (water) add(host::FindComponentByCas(host::kWaterCasKey));
    double total = 0.0;
    for (std::size_t i = 0; i < c.components.size(); ++i) {
        c.feed.push_back(Fraction(in.Word()));
        total += c.feed.back();
    }
    if (!(total > 0.0)) return std::nullopt;
    for (double v : c.feed) {
        c.z.push_back(v / total);
        c.active += v > 0.0 ? 1 : 0;
    }

    const double t = in.Unit(), p = in.Unit();
    if (state < 2) {
        c.temperatureC = 60.0 + 640.0 * t - 273.15;
        c.pressureKPa = std::exp(std::log(50000.0) * p);
    } else {
        double tc = 0.0, pc = 0.0;  // Kay's rule, or the component with the largest fraction
        std::size_t largest = 0;
        for (std::size_t i = 0; i < c.z.size(); ++i) {
            tc += c.z[i] * c.components[i].criticalTemperatureK;
            pc += c.z[i] * c.components[i].criticalPressureKPa;
            if (c.z[i] > c.z[largest]) largest = i;
        }
        if (state == 3) {
            tc = c.components[largest].criticalTemperatureK;
            pc = c.components[largest].criticalPressureKPa;
        }
        c.temperatureC = tc * (1.0 + 0.1 * (t - 0.5)) - 273.15;
        c.pressureKPa = pc * (1.0 + 0.2 * (p - 0.5));
    }
    c.temperatureK = c.temperatureC + 273.15;
    return c;
}

// ln f_i / P of every component of x on a root, or nothing when the coefficients are not given.
std::optional<std::vector<double>> LnFugacities(const host::PengRobinsonFlash& flash, double t, double p,
                                                std::span<const double> x, RootChoice root) {
    auto lnPhi = flash.LnFugacityCoefficients(t, p, x, root);
    if (!lnPhi) return std::nullopt;
    for (std::size_t i = 0; i < x.size(); ++i) (*lnPhi)[i] += LnOf(x[i]);
    return lnPhi;
}

double Sum(std::span<const double> v) {
    double s = 0.0;
    for (double x : v) s += x;
    return s;
}

// sum x_i ln phi_i on a root: the phase's residual Gibbs energy over RT.
double ResidualGibbs(const host::PengRobinsonFlash& flash, double t, double p, std::span<const double> x,
                     RootChoice root) {
    const auto lnPhi = flash.LnFugacityCoefficients(t, p, x, root);
    FUZZ_CHECK(lnPhi.has_value());
    double g = 0.0;
    for (std::size_t i = 0; i < x.size(); ++i) g += x[i] * (*lnPhi)[i];
    return g;
}

// Wilson's estimate of ln K = ln (P_sat / P) of a component.
double LnWilsonK(const host::Component& comp, double t, double p) {
    return std::log(comp.criticalPressureKPa / p) +
           5.373 * (1.0 + comp.acentricFactor) * (1.0 - comp.criticalTemperatureK / t);
}

// The composition exp(ln W) / sum exp(ln W) over the components of the feed.
std::vector<double> Normalised(const Case& c, const std::vector<double>& lnW) {
    double top = -std::numeric_limits<double>::infinity();
    for (std::size_t i = 0; i < lnW.size(); ++i)
        if (c.z[i] > 0.0) top = std::max(top, lnW[i]);
    std::vector<double> w(lnW.size(), 0.0);
    for (std::size_t i = 0; i < lnW.size(); ++i)
        if (c.z[i] > 0.0) w[i] = std::exp(lnW[i] - top);
    const double s = Sum(w);
    for (double& v : w) v /= s;
    return w;
}

// A component of more than 1 % of the feed: the flash looks for a phase of its own for each.
bool Major(const Case& c, std::size_t i) { return c.z[i] > 0.01; }

// ln phi of every trace of the feed (at most 1 %) as a pure fluid on its stable root; 0 for
// the others.
std::vector<double> PureLnPhi(const host::PengRobinsonFlash& flash, const Case& c, double t, double p) {
    std::vector<double> lnPhi(c.z.size(), 0.0);
    for (std::size_t k = 0; k < c.z.size(); ++k) {
        if (!(c.z[k] > 0.0) || Major(c, k)) continue;
        std::vector<double> pure(c.z.size(), 0.0);
        pure[k] = 1.0;
        const auto all = flash.LnFugacityCoefficients(t, p, pure, RootChoice::Stable);
        FUZZ_CHECK(all.has_value());
        lnPhi[k] = (*all)[k];
    }
    return lnPhi;
}

// A trace (at most 1 % of the feed) whose activity in the phase of d, its fugacity over that of
// the pure fluid, reaches a quarter: the flash looks for a phase made mostly of it.
bool ActiveTrace(const Case& c, std::size_t k, const std::vector<double>& d, const std::vector<double>& pureLnPhi) {
    return c.z[k] > 0.0 && !Major(c, k) && d[k] - pureLnPhi[k] > std::log(0.25);
}

// The trial phases of the test, as far as the flash promises to find what they reach:
// Wilson's vapour- and liquid-like estimates z K and z / K, every pure component of more than
// 1 % of the feed that could condense on its own, its fugacity at least a tenth of its vapour
// pressure by Wilson, d_k - ln K_k > ln 0.1 (d_k = ln f_k / P is the same in every phase of an
// equilibrium), and every pure trace of ActiveTrace.
std::vector<std::vector<double>> TrialStarts(const Case& c, double t, double p, const std::vector<double>& d,
                                             const std::vector<double>& pureLnPhi) {
    const std::size_t n = c.z.size();
    std::vector<std::vector<double>> starts;
    for (std::size_t k = 0; k < n; ++k)
        if ((Major(c, k) && d[k] - LnWilsonK(c.components[k], t, p) > std::log(0.1)) ||
            ActiveTrace(c, k, d, pureLnPhi)) {
            std::vector<double> w(n, 0.0);
            w[k] = 1.0;
            starts.push_back(std::move(w));
        }
    for (double sign : {1.0, -1.0}) {
        std::vector<double> lnW(n, 0.0);
        for (std::size_t i = 0; i < n; ++i)
            if (c.z[i] > 0.0) lnW[i] = std::clamp(std::log(c.z[i]) + sign * LnWilsonK(c.components[i], t, p), -690.0, 690.0);
        starts.push_back(Normalised(c, lnW));
    }
    return starts;
}

// The lowest tangent-plane distance tm(w) = sum w_i (ln w_i + ln phi_i(w) - d_i) met from the
// trial phases, d the ln f of a phase of the equilibrium (components of the feed only): from
// each start up to 30 successive-substitution steps ln W_i = d_i - ln phi_i(w), every
// composition w on the way counting. tm(w) < 0 for any w shows the equilibrium unstable, so
// none needs to be a converged stationary point: each is a witness. A composition made mostly
// of components below 1 % of the feed is not counted (a phase of its own for such a trace is
// beyond what the flash looks for), unless more than half of it is one trace of ActiveTrace.
// The witness is left in *witness.
double LowestTangentPlaneDistance(const host::PengRobinsonFlash& flash, const Case& c, double t, double p,
                                  const std::vector<double>& reference, const std::vector<double>& d,
                                  std::vector<double>* witness) {
    const std::size_t n = c.z.size();
    double lowest = std::numeric_limits<double>::infinity();
    std::vector<double> lnW(n);
    const auto pureLnPhi = PureLnPhi(flash, c, t, p);
    for (std::vector<double> w : TrialStarts(c, t, p, d, pureLnPhi)) {
        for (int step = 0; step < 30; ++step) {
            const auto lnPhi = flash.LnFugacityCoefficients(t, p, w, RootChoice::Stable);
            FUZZ_CHECK(lnPhi.has_value());
            double tm = 0.0, change = 0.0, distance = 0.0, traces = 0.0;
            bool activeTrace = false;
            for (std::size_t i = 0; i < n; ++i) {
                if (!(c.z[i] > 0.0)) continue;
                if (w[i] > 0.0) tm += w[i] * (std::log(w[i]) + (*lnPhi)[i] - d[i]);
                if (!Major(c, i)) traces += w[i];
                activeTrace = activeTrace || (w[i] > 0.5 && ActiveTrace(c, i, d, pureLnPhi));
                const double next = std::clamp(d[i] - (*lnPhi)[i], -690.0, 690.0);
                if (step > 0) change = std::max(change, std::fabs(next - lnW[i]));
                lnW[i] = next;
                distance = std::max(distance, std::fabs(w[i] - reference[i]));
            }
            if (tm < lowest && (!(traces > 0.5) || activeTrace)) {
                lowest = tm;
                *witness = w;
            }
            // Settled, or on its way into the reference phase itself (tm 0 there).
            if ((step > 0 && change < 1e-10) || distance < 1e-6) break;
            w = Normalised(c, lnW);
        }
    }
    return lowest;
}

// Whether a trial phase lies clearly below the tangent plane of the phase x, and if so, the case
// on stderr. The equilibrium's ln f are certified to 1e-8, which moves tm by at most that much
// (sum w_i = 1), and the flash itself counts a trial below -1e-8 as unstable: kBelowPlane
// leaves a hundredfold margin over both, so that only a phase the flash missed is flagged, never
// a stationary point it resolved to its tolerance. Missed phases lie much further down: 0.04 to
// 1.4 below the plane away from critical points, 3e-3 to 6e-3 near them.
bool TangentPlaneMiss(const host::PengRobinsonFlash& flash, const Case& c, double t, double p,
                      const std::vector<double>& x) {
    const auto d = LnFugacities(flash, t, p, x, RootChoice::Stable);
    FUZZ_CHECK(d.has_value());
    std::vector<double> witness;
    const double tm = LowestTangentPlaneDistance(flash, c, t, p, x, *d, &witness);
    if (!(tm < kBelowPlane)) return false;
    std::fprintf(stderr, "%zu components at %.17g K and %.17g kPa:\n", c.z.size(), t, p);
    for (std::size_t i = 0; i < c.z.size(); ++i)
        std::fprintf(stderr, "  %-20s feed %.17g phase %.17g trial %.17g\n", c.components[i].name.c_str(), c.z[i], x[i],
                     witness[i]);
    std::fprintf(stderr, "the trial lies %.3e below the tangent plane of the phase\n", tm);
    return true;
}

void CheckComposition(const std::vector<double>& x, const Case& c) {
    FUZZ_CHECK(x.size() == c.z.size());
    for (std::size_t i = 0; i < x.size(); ++i) {
        FUZZ_CHECK(x[i] >= 0.0 && x[i] <= 1.0);
        if (!(c.z[i] > 0.0)) FUZZ_CHECK(x[i] == 0.0);
    }
    FUZZ_CHECK(std::fabs(Sum(x) - 1.0) <= kSum);
}

bool IsPolar(const host::Component& comp) {
    return comp.componentClass == host::kWaterClass || (comp.componentClass > 400 && comp.componentClass < 490);
}

void PrintPhases(const host::FlashResult& r) {
    for (std::size_t slot = 0; slot < r.phases.size(); ++slot) {
        if (!r.phases[slot].present) continue;
        std::fprintf(stderr, "slot %zu: share %.9g, Z %.6g, x", slot, r.phases[slot].fraction, r.phases[slot].compressibility);
        for (double v : r.phases[slot].moleFractions) std::fprintf(stderr, " %.6g", v);
        std::fprintf(stderr, "\n");
    }
}

void CheckFlash(const host::PengRobinsonFlash& flash, const Case& c, const host::FlashResult& r) {
    const std::size_t n = c.z.size();
    FUZZ_CHECK(r.temperatureK == c.temperatureK && r.pressureKPa == c.pressureKPa);
    FUZZ_CHECK(r.iterations >= 0 && r.iterations <= MaxSubstitutionSteps(c.active));
    std::vector<const host::FlashPhase*> present;
    double shares = 0.0;
    for (std::size_t slot = 0; slot < r.phases.size(); ++slot) {
        const host::FlashPhase& phase = r.phases[slot];
        FUZZ_CHECK(phase.moleFractions.size() == n);
        if (!phase.present) {
            FUZZ_CHECK(phase.fraction == 0.0);
            for (double v : phase.moleFractions) FUZZ_CHECK(v == 0.0);
            continue;
        }
        present.push_back(&phase);
        FUZZ_CHECK(phase.fraction >= 0.0 && phase.fraction <= 1.0);
        shares += phase.fraction;
        CheckComposition(phase.moleFractions, c);
        const auto z = flash.Compressibility(c.temperatureK, c.pressureKPa, phase.moleFractions, RootChoice::Stable);
        FUZZ_CHECK(z && std::fabs(*z - phase.compressibility) <= 1e-9 * std::fabs(*z));
        if (slot == host::kAqueousSlot) {
            double polar = 0.0;
            for (std::size_t i = 0; i < n; ++i)
                if (IsPolar(c.components[i])) polar += phase.moleFractions[i];
            FUZZ_CHECK(polar > 0.5);
        }
    }
    FUZZ_CHECK(!present.empty());
    FUZZ_CHECK(std::fabs(shares - 1.0) <= kSum);
    for (std::size_t i = 0; i < n; ++i) {
        double amount = 0.0;
        for (const auto* phase : present) amount += phase->fraction * phase->moleFractions[i];
        FUZZ_CHECK(std::fabs(amount - c.z[i]) <= kBalance);
    }
    const auto reference = LnFugacities(flash, c.temperatureK, c.pressureKPa, present[0]->moleFractions, RootChoice::Stable);
    FUZZ_CHECK(reference.has_value());
    for (std::size_t k = 1; k < present.size(); ++k) {
        const auto f = LnFugacities(flash, c.temperatureK, c.pressureKPa, present[k]->moleFractions, RootChoice::Stable);
        FUZZ_CHECK(f.has_value());
        for (std::size_t i = 0; i < n; ++i)
            if (c.z[i] > 0.0) FUZZ_CHECK(std::fabs((*f)[i] - (*reference)[i]) <= kLnFugacity);
    }
    const auto largest = *std::max_element(present.begin(), present.end(), [](const auto* a, const auto* b) {
        return a->fraction < b->fraction;
    });
    const bool miss = TangentPlaneMiss(flash, c, c.temperatureK, c.pressureKPa, largest->moleFractions);
    if (miss) PrintPhases(r);
    FUZZ_CHECK(!miss);
}

void CheckDewPoint(const host::PengRobinsonFlash& flash, const Case& c, const host::FlashResult& r) {
    const double t = r.temperatureK, p = c.pressureKPa;
    FUZZ_CHECK(std::isfinite(t) && t > 0.0 && r.pressureKPa == p);
    FUZZ_CHECK(r.PresentCount() == 2);
    const host::FlashPhase& vapour = r.phases[host::kVapourSlot];
    FUZZ_CHECK(vapour.present && vapour.fraction == 1.0);
    CheckComposition(vapour.moleFractions, c);
    for (std::size_t i = 0; i < c.z.size(); ++i) FUZZ_CHECK(std::fabs(vapour.moleFractions[i] - c.z[i]) <= 1e-15);
    const bool aqueous = r.phases[host::kAqueousSlot].present;
    FUZZ_CHECK(aqueous != r.phases[host::kHydrocarbonLiquidSlot].present);
    const host::FlashPhase& liquid = r.phases[aqueous ? host::kAqueousSlot : host::kHydrocarbonLiquidSlot];
    FUZZ_CHECK(liquid.fraction == 0.0);
    CheckComposition(liquid.moleFractions, c);

    // Each phase on its own root, that root the one of lower Gibbs energy.
    const auto& zv = vapour.moleFractions;
    const auto& xl = liquid.moleFractions;
    FUZZ_CHECK(ResidualGibbs(flash, t, p, zv, RootChoice::Vapour) <=
               ResidualGibbs(flash, t, p, zv, RootChoice::Liquid) + kRootGibbs);
    FUZZ_CHECK(ResidualGibbs(flash, t, p, xl, RootChoice::Liquid) <=
               ResidualGibbs(flash, t, p, xl, RootChoice::Vapour) + kRootGibbs);
    const auto zVapour = flash.Compressibility(t, p, zv, RootChoice::Vapour);
    const auto zLiquid = flash.Compressibility(t, p, xl, RootChoice::Liquid);
    FUZZ_CHECK(zVapour && std::fabs(*zVapour - vapour.compressibility) <= 1e-9 * *zVapour);
    FUZZ_CHECK(zLiquid && std::fabs(*zLiquid - liquid.compressibility) <= 1e-9 * *zLiquid);
    const auto fv = LnFugacities(flash, t, p, zv, RootChoice::Vapour);
    const auto fl = LnFugacities(flash, t, p, xl, RootChoice::Liquid);
    FUZZ_CHECK(fv && fl);
    for (std::size_t i = 0; i < c.z.size(); ++i)
        if (c.z[i] > 0.0) FUZZ_CHECK(std::fabs((*fv)[i] - (*fl)[i]) <= kLnFugacity);
    // At its dew point the vapour is still stable: the incipient phase touches the plane, and
    // no other lies below it.
    const bool miss = TangentPlaneMiss(flash, c, t, p, zv);
    if (miss) PrintPhases(r);
    FUZZ_CHECK(!miss);
}

// The same flash through the host's protocol: the record's arrays either the caller's (filled
// with a sentinel) or left null for the flash to allocate.
void CheckProtocol(const host::PengRobinsonFlash& flash, const Case& c, bool dewPoint,
                   const std::optional<host::FlashResult>& expected) {
    constexpr double kSentinel = 4242.5;
    const std::size_t n = c.z.size();
    std::vector<double> own[4];
    FluidComposition record{};
    record.temperature = dewPoint ? EMPTY_VALUE : c.temperatureC;
    record.pressure = c.pressureKPa;
    record.componentCount = static_cast<std::int32_t>(n);
    std::vector<double> feed = c.feed;
    record.moleFractions[4] = feed.data();
    for (int k = 0; k < 4; ++k) {
        record.phasePresent[k] = 1;
        record.phaseFraction[k] = kSentinel;
        if (!c.allocate) {
            own[k].assign(n, kSentinel);
            record.moleFractions[k] = own[k].data();
        }
    }
    if (dewPoint) record.phaseFraction[0] = 1.0;
    const HRESULT hr = flash.Flash(&record);
    for (int k = 0; k < 4; ++k) FUZZ_CHECK(record.phasePresent[k] == 0 || hr == S_OK);
    if (hr != S_OK) {
        // Besides a failed flash, a certified split that the record cannot hold: two
        // non-aqueous liquids without a vapour. Nothing is written.
        FUZZ_CHECK(!expected || (!expected->phases[host::kVapourSlot].present &&
                                 expected->phases[host::kPhase3Slot].present));
        for (int k = 0; k < 4; ++k) {
            FUZZ_CHECK(record.phaseFraction[k] == (dewPoint && k == 0 ? 1.0 : kSentinel));
            if (c.allocate) {
                FUZZ_CHECK(record.moleFractions[k] == nullptr);
            } else {
                for (double v : own[k]) FUZZ_CHECK(v == kSentinel);
            }
        }
        FUZZ_CHECK(record.temperature == (dewPoint ? EMPTY_VALUE : c.temperatureC));
        return;
    }
    FUZZ_CHECK(expected.has_value());
    for (int k = 0; k < 4; ++k) {
        const host::FlashPhase& phase = expected->phases[static_cast<std::size_t>(k)];
        FUZZ_CHECK(record.phasePresent[k] == (phase.present ? 1 : 0));
        FUZZ_CHECK(record.phaseFraction[k] == phase.fraction);
        FUZZ_CHECK(std::equal(phase.moleFractions.begin(), phase.moleFractions.end(), record.moleFractions[k]));
        if (c.allocate) CoTaskMemFree(record.moleFractions[k]);
    }
    if (dewPoint) FUZZ_CHECK(record.temperature == expected->temperatureK - 273.15);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto c = Decode({data, size});
    if (!c) return 0;
    const host::PengRobinsonFlash flash(c->components);

    host::FlashFailure why = host::FlashFailure::None;
    const auto result = flash.FlashTP(c->temperatureK, c->pressureKPa, c->feed, &why);
    if (result) {
        FUZZ_CHECK(why == host::FlashFailure::None);
        CheckFlash(flash, *c, *result);
    } else {
        FUZZ_CHECK(why == host::FlashFailure::NotCertified || why == host::FlashFailure::NoSlot);
    }
    if (c->protocol) CheckProtocol(flash, *c, false, result);

    if (c->dewPoint) {
        const auto dew = flash.DewPoint(c->pressureKPa, c->feed);
        if (dew) CheckDewPoint(flash, *c, *dew);
        if (c->protocol) CheckProtocol(flash, *c, true, dew);
    }
    return 0;
}
