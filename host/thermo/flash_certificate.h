// The certificate a split of the host's flash must pass before it is reported: shares in
// [0, 1] adding to 1, compositions in [0, 1] adding to 1, the material balance closed and equal
// fugacities of every component in every phase. The tangent-plane test is the flash's own.
#pragma once

#include <span>

namespace calorix::host {

inline constexpr double kCertifiedLnFugacity = 1e-8;  // |ln f_ik - ln f_il|, every component and phase
inline constexpr double kCertifiedBalance = 1e-10;    // |sum_k beta_k x_ik - z_i|
inline constexpr double kCertifiedSum = 1e-12;        // sums of fractions and compositions

struct CertifiedPhase {
    double fraction = 0.0;             // mole share of the feed
    std::span<const double> x;         // composition
    std::span<const double> lnPhi;     // ln fugacity coefficients at x
};

// True when the phases are a certified equilibrium split of the feed.
bool IsCertifiedSplit(std::span<const double> feed, std::span<const CertifiedPhase> phases);

}  // namespace calorix::host
