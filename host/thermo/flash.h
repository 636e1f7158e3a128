// Peng-Robinson equilibrium flash of the reference host: vapour, hydrocarbon liquid, aqueous
// liquid and phase 3 (a second non-aqueous liquid, or a second mostly polar one). Stability by Michelsen's tangent-plane
// analysis with the trial phases used for wet natural gas (Wilson's vapour and liquid, water and
// every alcohol or glycol, a water-free hydrocarbon liquid, the heaviest component) and, where
// those find the phase stable, a nearly pure trial of every other component that could form a
// phase of its own: above 1 % of the feed, one that could condense by Wilson's estimate (of a
// liquid-like phase, every one); a trace, one whose activity in the phase reaches a quarter.
// The split by accelerated successive substitution with a multiphase Rachford-Rice solution,
// then Newton's method (Eigen). A result is returned only when it is certified: equal
// fugacities (|d ln f| <= 1e-8), material balance within 1e-10, fractions in [0, 1] adding to
// 1, no trial phase below the tangent plane. The work of one flash is bounded, so a failure
// costs milliseconds. Dew points: a stability scan that searches every jump of the vapour's
// density for a narrow two-phase window, bisection, then Michelsen's saturation-point Newton;
// the scan and the bisection follow the stationary points of the tests before them (warm
// starts), with the full test where a phase could appear unseen and at the bracket's ends; a
// window that closes again between two steps shows as a minimum of the stationary points'
// tangent-plane distance, which is then sought;
// a single component by its saturation curve. Phases are put in their slots by their water,
// alcohol and glycol content, the phase identification parameter of Venkatarathnam and
// Oellrich and the phase's own pseudo-critical temperature (a vapour slot for a vapour only).
//
// Units: temperature K, pressure kPa, R = 8.31446261815324 kPa m3/(kmol K).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "framework/host_interfaces.h"
#include "host/fluid/fluid_model.h"

namespace calorix::host {

enum class RootChoice {
    Vapour,    // largest compressibility root
    Liquid,    // smallest root above the covolume
    Stable,    // the root of lower Gibbs energy
};

// Why a flash gave no result.
enum class FlashFailure {
    None,
    UnusableInput,   // non-finite or non-positive conditions, no positive fraction, unusable component data
    NotCertified,    // no equilibrium certified within the bounded work
    NoSlot,          // a certified split with more phases, or more liquids, than the host has slots for
    BubblePoint,     // dew point: the saturation point found is a bubble point of the dense feed (the
                     // phase that appears is lighter than the feed), and the feed has no dew point there
};

// What a failure means, in a sentence for messages ("" for None).
const char* Describe(FlashFailure failure) noexcept;

struct FlashPhase {
    bool present = false;
    double fraction = 0.0;               // mole share of the feed
    double compressibility = 0.0;        // Z of the phase
    std::vector<double> moleFractions;   // one per component of the model (zeros when absent)
};

struct FlashResult {
    double temperatureK = 0.0;
    double pressureKPa = 0.0;
    // By slot: 0 vapour, 1 hydrocarbon liquid (the non-aqueous liquid, or of two the one richer
    // in hydrocarbons heavier than methane), 2 aqueous (the most polar liquid that is mostly
    // water, alcohols and glycols), 3 phase 3 (the other non-aqueous liquid, such as one rich in
    // carbon dioxide or hydrogen sulfide, or a second mostly polar liquid, such as one rich in
    // methanol beside one rich in water).
    std::array<FlashPhase, 4> phases;
    int iterations = 0;                  // successive-substitution steps of the split
    int PresentCount() const;
};

// Stability tests of the feed's vapour one dew-point search may take by default: over three times
// the most taken by any search of the host's tests (305, a gas at 128 bar), and over 30 times
// those of the slowest ordinary search known (28, a rich gas just below its cricondenbar).
constexpr int kMaxDewPointTests = 1000;
// The work of the stability tests one dew-point search may do by default, in fugacity
// evaluations of a fluid of up to 13 components (above that, as many as cost the same: one
// evaluation's work grows as the square of the components), some 45 ms in a release build on
// the test machine. The bound of tests alone leaves a search many times that (a usual test may
// take over 10,000 evaluations). The most any certified search of the host's tests takes is
// some 18,000 (the rich gas without water just below its cricondenbar); the most of any search
// known, some 92,000 (the dense sour gas with methanol at 140 bar, without a dew point).
constexpr int kMaxDewPointEvaluations = 120000;

// The work of one dew-point search.
struct DewPointWork {
    int usualTests = 0;      // stability tests with every trial phase
    int warmTests = 0;       // tests from the stationary points followed only
    int longestWarmRun = 0;  // most steps of the scan in a row that left out the usual test
    int evaluations = 0;     // fugacity evaluations of its stability tests
    bool bounded = false;    // the search stopped at its bound of tests or evaluations
};

// Whether Newton's saturation point t stands for the dew point a search bracketed between
// unstableT (the vapour unstable) and stableT (stable): not more than kSaturationBracketK below
// the unstable end, and not more than that above the stable end unless its incipient phase lies
// below the tangent plane there (belowPlane, asked only then). Newton may converge on another
// saturation point nearby (the other side of a narrow window, another liquid's dew point), and
// that one is refused.
constexpr double kSaturationBracketK = 1e-3;
bool SaturationPointInBracket(double t, double unstableT, double stableT, const std::function<bool()>& belowPlane);

class PengRobinsonFlash {
public:
    explicit PengRobinsonFlash(std::span<const Component> components);

    std::size_t ComponentCount() const { return m_components.size(); }
    const std::vector<Component>& Components() const { return m_components; }

    // Binary interaction parameters: 0 by default except the pairs of DefaultInteraction.
    double InteractionParameter(std::size_t i, std::size_t j) const;
    void SetInteractionParameter(std::size_t i, std::size_t j, double kij);

    // Z of one phase of composition x, or nothing for unusable input.
    std::optional<double> Compressibility(double temperatureK, double pressureKPa,
                                          std::span<const double> x, RootChoice root) const;
    // ln of the fugacity coefficient of every component in a phase of composition x.
    std::optional<std::vector<double>> LnFugacityCoefficients(double temperatureK, double pressureKPa,
                                                              std::span<const double> x,
                                                              RootChoice root) const;

    // Equilibrium of the feed at temperature and pressure. Nothing when the input is unusable
    // (non-finite, no positive fraction, T or P not positive), no equilibrium can be certified
    // within the bounded work, or its phases do not fit the four slots (vapour, hydrocarbon
    // liquid, aqueous liquid, phase 3).
    // Why, when asked, in *failure.
    std::optional<FlashResult> FlashTP(double temperatureK, double pressureKPa, std::span<const double> feed,
                                       FlashFailure* failure = nullptr) const;

    // Whether the feed, one phase at temperature and pressure, would split: Michelsen's
    // tangent-plane test of the feed on its stable root, from the trial phases of FlashTP's first
    // test (and, where those find it stable, the pure-component ones), without the split itself.
    // True when a trial phase lies below the tangent plane (tm < -1e-8); nothing when the input
    // is unusable or the test fails.
    std::optional<bool> Splits(double temperatureK, double pressureKPa, std::span<const double> feed) const;

    // Highest temperature at which the feed, all vapour, forms a liquid at the pressure. The
    // result holds the vapour (fraction 1, the feed) and the incipient liquid (fraction 0) in
    // its slot, their fugacities equal within 1e-8. Nothing when the feed has no dew point at
    // this pressure (above the cricondenbar, or a single component at or above its critical
    // pressure) or the dew point cannot be certified. A feed with water, an alcohol or a
    // glycol that turns dense without splitting is followed further down, and the first phase
    // to appear, whatever it is, sets its dew point.
    // A saturation point at which the phase that appears is lighter (by mass density) than the
    // feed is a bubble point of a dense feed, not a dew point: nothing (BubblePoint in *failure).
    // The search is bounded in work as well as in steps: after the bound's stability tests of
    // the vapour (kMaxDewPointTests unless set) or the bound's fugacity evaluations in them
    // (kMaxDewPointEvaluations unless set) it gives up and fails (NotCertified in *failure,
    // work->bounded), never reporting the temperature it had reached. What it did, when asked,
    // in *work.
    std::optional<FlashResult> DewPoint(double pressureKPa, std::span<const double> feed,
                                        DewPointWork* work = nullptr, FlashFailure* failure = nullptr) const;

    // The host's flash protocol on a FluidComposition record (pressure in kPa, temperature in
    // deg C, feed in moleFractions[4]):
    //   temperature EMPTY_VALUE and phaseFraction[0] 1.0: dew-point flash, writes temperature;
    //   temperature given: temperature-pressure flash.
    // Writes phasePresent, phaseFraction and moleFractions of slots 0 to 3 (arrays that are null
    // are allocated with the task allocator and belong to the caller). On failure nothing but
    // the phase flags (all 0) is written.
    HRESULT Flash(FluidComposition* record) const noexcept;

    void SetDewPointTestBound(int tests) { m_maxDewPointTests = tests; }
    // Evaluations of up to 13 components, scaled down for more (kMaxDewPointEvaluations).
    void SetDewPointEvaluationBound(int evaluations) { m_maxDewPointEvaluations = evaluations; }

private:
    std::vector<Component> m_components;
    std::vector<double> m_kij;  // n x n, symmetric
    int m_maxDewPointTests = kMaxDewPointTests;
    int m_maxDewPointEvaluations = kMaxDewPointEvaluations;
};

// Interaction parameter of a pair of the default set. Water with methane 0.4850, ethane 0.4920,
// propane 0.5525, n-butane 0.5091, nitrogen 0.4778, carbon dioxide 0.1896, hydrogen sulfide
// 0.19031 (Soreide and Whitson 1992, non-aqueous phase), other hydrocarbons 0.5, methanol
// -0.08; typical Peng-Robinson values otherwise: carbon dioxide with hydrocarbons 0.12;
// nitrogen with methane 0.03, ethane 0.05, heavier hydrocarbons 0.08; hydrogen sulfide with
// hydrocarbons 0.08; methanol with hydrocarbons 0.2; a few inorganic pairs; otherwise 0.
double DefaultInteraction(const Component& a, const Component& b) noexcept;

}  // namespace calorix::host
