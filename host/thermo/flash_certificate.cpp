#include "host/thermo/flash_certificate.h"

#include <cmath>

#include "host/thermo/portable_math.h"

namespace calorix::host {

namespace {

// ln f_i / P of a component in a phase; a fraction too small for its logarithm counts as 1e-300.
double LnFugacity(double x, double lnPhi) { return pmath::Log(x > 1e-300 ? x : 1e-300) + lnPhi; }

}  // namespace

bool IsCertifiedSplit(std::span<const double> feed, std::span<const CertifiedPhase> phases) {
    if (phases.empty()) return false;
    const std::size_t n = feed.size();
    double shareSum = 0.0;
    for (const auto& p : phases) {
        if (p.x.size() != n || p.lnPhi.size() != n) return false;
        if (!(p.fraction >= 0.0 && p.fraction <= 1.0)) return false;
        shareSum += p.fraction;
        double sum = 0.0;
        for (double v : p.x) {
            if (!(v >= 0.0 && v <= 1.0)) return false;
            sum += v;
        }
        if (!(std::fabs(sum - 1.0) <= kCertifiedSum)) return false;
    }
    if (!(std::fabs(shareSum - 1.0) <= kCertifiedSum)) return false;
    for (std::size_t i = 0; i < n; ++i) {
        double total = 0.0;
        for (const auto& p : phases) total += p.fraction * p.x[i];
        if (!(std::fabs(total - feed[i]) <= kCertifiedBalance)) return false;
        const double reference = LnFugacity(phases[0].x[i], phases[0].lnPhi[i]);
        for (const auto& p : phases)
            if (!(std::fabs(LnFugacity(p.x[i], p.lnPhi[i]) - reference) <= kCertifiedLnFugacity)) return false;
    }
    return true;
}

}  // namespace calorix::host
