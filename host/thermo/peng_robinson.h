// Internals of the host's Peng-Robinson flash, shared by its parts: the model of a mixture at
// one temperature and pressure (peng_robinson.cpp), the stability analysis (stability.cpp), the
// phase split (phase_split.cpp), the phase identification (phase_identification.cpp), the
// flash itself (flash.cpp) and the saturation points (saturation.cpp). Programs use flash.h.
//
// Units: temperature K, pressure kPa, R = 8.31446261815324 kPa m3/(kmol K).
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "host/thermo/flash.h"
#include "host/thermo/portable_math.h"

namespace calorix::host::pr {

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
// A trial between kUnstableTm and this is an instability only if a split from it converges to
// distinct phases of lower Gibbs energy: near a critical point a split's phases lie 1e-9 of RT
// below the feed's tangent plane, while the distance itself is computed to some 1e-15.
constexpr double kBarelyUnstableTm = -1e-11;
constexpr double kNearlyStationary = 1e-5;     // ln W step of a trial that is nearly converged
constexpr double kClearlyStableTm = 1e-3;      // tangent-plane distance of a trial that is no threat
constexpr double kUnboundedLnSum = 50.0;       // ln sum W of a trial that grows without bound
constexpr double kSameComposition = 1e-4;       // a stationary point this close is a known phase
constexpr double kJoinsFoundPoint = 1e-3;       // a trial contracting this close to a stationary point found ends there
constexpr double kSameRootZ = 1e-2;             // compressibilities this close (relative) lie on the same root
constexpr double kPureTrialFraction = 1e-2;     // above it a component's pure trial is gated by Wilson's estimate,
constexpr double kPureTrialLnIdealLiquid = -2.302585092994046;  // when x_k / K_k of Wilson exceeds 0.1
constexpr double kPureTrialLnActivity = -1.3862943611198906;    // a trace's by its activity (above 0.25)

// Bounds of the work: a flash that cannot be certified within them fails.
constexpr int kMaxStabilityIterations = 150;
constexpr int kSubstitutionsBeforeNewton = 20;
constexpr int kSubstitutionsBeforeStabilityNewton = 40;  // a trial phase still not stationary then is slow
constexpr int kMaxSubstitutions = 100;
constexpr int kMaxNewtonIterations = 12;
constexpr double kNearCriticalLnK = 1.0;         // max |ln K| of a split near a critical point, where
constexpr int kSubstitutionsBeforeNearCriticalNewton = 3;  // Newton takes over after these substitutions
constexpr int kMaxNearCriticalNewtonIterations = 40;
constexpr int kNewtonHalvings = 6;              // of a Newton step that does not lower the objective
constexpr int kNewtonProgressPeriod = 4;        // Newton steps in which the residual must fall tenfold,
constexpr int kNearCriticalProgressPeriod = 8;  // and from the start of a split near a critical point
constexpr int kMaxPhaseFractionIterations = 100;
constexpr int kMaxRounds = 4;                   // stability tests of one flash
constexpr int kMaxCandidates = 2;               // unstable trial phases tried per round
constexpr int kMaxPhases = 4;
constexpr int kAccelerationPeriod = 5;          // every 5th substitution is extrapolated
constexpr int kMaxEvaluations = 3000;           // fugacity evaluations of one flash, and
constexpr int kEvaluationsPerComponent = 600;   // this for each component, for its trial phase

inline double SafeLog(double x) { return x > kTinyFraction ? pmath::Log(x) : pmath::Log(kTinyFraction); }
inline double ClampLn(double v) { return std::isnan(v) ? -kLnLimit : std::clamp(v, -kLnLimit, kLnLimit); }

inline bool IsWater(const Component& c) { return c.casKey == kWaterCasKey || c.componentClass == kWaterClass; }
// Water, alcohols and glycols: the components of an aqueous phase.
inline bool IsPolar(const Component& c) { return IsWater(c) || (c.componentClass > 400 && c.componentClass < 490); }

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
    mutable int evaluations = 0;      // the work done with this model, and its bound
    mutable int evaluationLimit = 0;  // (kMaxEvaluations + kEvaluationsPerComponent n, lowered for a part)
};

// --- The model (peng_robinson.cpp)
Model BuildModel(const std::vector<Component>& components, const std::vector<double>& kij,
                 const std::vector<std::size_t>& active, double temperatureK, double pressureKPa);
// The same model at another temperature and pressure (its work counted afresh).
void SetConditions(Model& m, const std::vector<Component>& components, double temperatureK, double pressureKPa);

struct PhaseEval {
    double z = 0.0;
    double b = 0.0;             // dimensionless covolume B of the phase
    bool smallestRoot = false;  // Z is the smallest of several roots
};

// ln phi of every active component for composition x (normalised), with the chosen root.
bool Evaluate(const Model& m, const double* x, RootChoice root, double* lnPhi, PhaseEval* eval,
              std::vector<double>& s);
// ln phi of active component k as a pure fluid, on its stable root (no evaluation counted).
std::optional<double> PureLnPhi(const Model& m, std::size_t k);
// Venkatarathnam and Oellrich's phase identification parameter: above 1 liquid-like.
double PhaseIdentificationParameter(const Model& m, const double* x, double z);

// --- Stability analysis (stability.cpp)
double Distance(const std::vector<double>& a, const std::vector<double>& b);
// Crowe and Nishio's extrapolation of a linearly converging substitution.
void Accelerate(std::vector<double>& x, const std::vector<double>& step, const std::vector<double>& previousStep);

struct StationaryPoint {
    std::vector<double> w;   // normalised trial composition
    double tm = 0.0;         // modified tangent-plane distance
    double z = 0.0;          // compressibility on its stable root, 0 when not known
};

// Whether two phases close in composition lie on the same root: beside a nearly pure component
// near its saturation a vapour and a liquid differ little in composition but much in density
// (methane with traces at 189 K and 43 bar: a vapour of Z 0.42 3e-4 from a liquid of Z 0.22).
// Compressibilities within kSameRootZ of each other (relative) count as the same root; one not
// known (0) matches any.
bool SameRoot(double za, double zb);

// Stationary points of the tangent-plane distance of a phase, from each start.
std::vector<StationaryPoint> StationaryPoints(const Model& m, const std::vector<double>& reference,
                                              const std::vector<double>& d,
                                              const std::vector<std::vector<double>>& starts,
                                              std::vector<StationaryPoint> points = {});
// The usual trial phases of a phase x, and the pure-component trials for certifying it (d the
// ln f / P of x; of every component above 1 % of the feed z when x is liquid-like).
std::vector<std::vector<double>> TrialStarts(const Model& m, const std::vector<double>& x);
std::vector<std::vector<double>> PureTrialStarts(const Model& m, const std::vector<double>& x,
                                                 const std::vector<double>& d, const std::vector<double>& z,
                                                 bool liquid);
// Appends the starts of `more` whose trial compositions differ from those of every start in
// `starts` (a start within kJoinsFoundPoint of another ends at the same stationary point).
void AppendDistinctStarts(std::vector<std::vector<double>>& starts, const std::vector<std::vector<double>>& more);

struct Stability {
    bool unstable = false;
    bool liquidLike = false;   // the feed itself, on the root tested: liquid-like and below its
                               // own pseudo-critical temperature (a liquid, not a dense vapour)
    double z = 0.0;            // compressibility of the feed on that root
    StationaryPoint best;
};

// Stability of the feed at T and P, the feed evaluated with the given root; every stationary
// point found, when asked, in *found.
std::optional<Stability> TestFeed(const Model& m, const std::vector<double>& z, RootChoice root,
                                  std::vector<StationaryPoint>* found = nullptr);

// --- The phase split (phase_split.cpp)
// One phase of a split: composition, share, and the state of its last evaluation.
struct SplitPhase {
    std::vector<double> x;
    double beta = 0.0;
    std::vector<double> lnPhi;
    PhaseEval eval;
};

bool EvaluatePhase(const Model& m, SplitPhase& p, RootChoice root, std::vector<double>& scratch);
// The split of the feed over the given phases: substitution, then Newton.
bool Converge(const Model& m, const std::vector<double>& z, std::vector<SplitPhase>& phases, int* iterations);
// Certified equilibrium of the split (the tangent-plane test is the caller's).
bool Certify(const Model& m, const std::vector<double>& z, std::vector<SplitPhase>& phases);

// --- Phase identification (phase_identification.cpp)
double PolarFraction(const Model& m, const std::vector<double>& x);
// a / (b R T) of a phase over Omega_a / Omega_b: below 1 above its own pseudo-critical temperature.
double InverseReducedTemperature(const Model& m, const std::vector<double>& x);
// The slot of every phase of an equilibrium (-1 for every phase when they do not fit).
std::vector<int> ClassifyPhases(const Model& m, const std::vector<Component>& components,
                                const std::vector<SplitPhase>& phases);

// --- The feed and the result (flash.cpp)
bool UsableConditions(double temperatureK, double pressureKPa);
bool UsableComponents(const std::vector<Component>& components, const std::vector<std::size_t>& active);
bool PrepareFeed(std::span<const double> feed, std::size_t n, std::vector<std::size_t>& active,
                 std::vector<double>& z);
// The model of a feed at T and p over its components present (PrepareFeed), their normalised
// fractions in z; nothing for conditions, a feed or components the model cannot take.
std::optional<Model> FeedModel(const std::vector<Component>& components, const std::vector<double>& kij,
                               double temperatureK, double pressureKPa, std::span<const double> feed,
                               std::vector<double>& z);
FlashPhase FullPhase(const Model& m, std::size_t n, const std::vector<double>& x, double fraction, double z);
void EmptyPhases(FlashResult& r, std::size_t n);

}  // namespace calorix::host::pr
