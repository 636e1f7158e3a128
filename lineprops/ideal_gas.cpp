#include "lineprops/ideal_gas.h"

#include <cmath>
#include <numbers>

#include "lineprops/gerg2008_table.h"

namespace calorix::lineprops {
namespace {

namespace g = gerg2008;

// One component's Planck-Einstein sums at T: cv/R* (less n0_3), the enthalpy integral E(T) (K)
// and the entropy integral F(T). With u = theta/T and e = exp(-2u), a sinh term (k = 0, 2)
// gives n (u/sinh u)^2, n theta coth u and n (u coth u - ln sinh u); a cosh term (k = 1, 3)
// gives n (u/cosh u)^2, -n theta tanh u and n (ln cosh u - u tanh u).
struct PlanckEinstein {
    double cv = 0, enthalpy_K = 0, entropy = 0;
};

template <bool kIntegrals>
PlanckEinstein PlanckEinsteinAt(const g::Component& c, double inverse_temperature) {
    PlanckEinstein sums;
    for (std::size_t k = 0; k < 4; ++k) {
        const double theta = c.theta_4to7_K[k];
        if (theta <= 0) continue;
        const double n = c.n0_4to7[k];
        const double u = theta * inverse_temperature;
        const double e = std::exp(-2 * u);
        const double sign = k % 2 == 0 ? -1.0 : 1.0;  // sinh: 1 - e; cosh: 1 + e
        const double denominator = 1 + sign * e;
        const double inverse = 1 / denominator;
        sums.cv += n * 4 * u * u * e * inverse * inverse;
        if constexpr (kIntegrals) {
            const double ratio = (1 - sign * e) * inverse;  // coth u or tanh u
            const double log_hyperbolic = u + std::log1p(sign * e) - std::numbers::ln2;
            if (k % 2 == 0) {
                sums.enthalpy_K += n * theta * ratio;
                sums.entropy += n * (u * ratio - log_hyperbolic);
            } else {
                sums.enthalpy_K -= n * theta * ratio;
                sums.entropy += n * (log_hyperbolic - u * ratio);
            }
        }
    }
    return sums;
}

// Each component's sums at the reference temperature, formed once.
const std::array<PlanckEinstein, g::kComponentCount> kAtReference = [] {
    std::array<PlanckEinstein, g::kComponentCount> reference{};
    for (std::size_t i = 0; i < reference.size(); ++i)
        reference[i] = PlanckEinsteinAt<true>(g::kComponents[i], 1 / kIdealReferenceTemperature_K);
    return reference;
}();

}  // namespace

IdealGasSums IdealGasAt(std::span<const double, 21> x, double temperature_K, bool integrals) {
    IdealGasSums sums;
    const double inverse_temperature = 1 / temperature_K;
    const double ln_t = integrals ? std::log(temperature_K / kIdealReferenceTemperature_K) : 0.0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        if (x[i] <= 0) continue;
        const g::Component& c = g::kComponents[i];
        if (!integrals) {
            sums.cv += x[i] * (c.n0_3 + PlanckEinsteinAt<false>(c, inverse_temperature).cv);
            continue;
        }
        const PlanckEinstein at = PlanckEinsteinAt<true>(c, inverse_temperature);
        const PlanckEinstein& reference = kAtReference[i];
        sums.cv += x[i] * (c.n0_3 + at.cv);
        sums.enthalpy_K += x[i] * (c.n0_3 * (temperature_K - kIdealReferenceTemperature_K) + at.enthalpy_K -
                                   reference.enthalpy_K);
        sums.entropy += x[i] * (c.n0_3 * ln_t + at.entropy - reference.entropy);
    }
    return sums;
}

double IdealGasEntropy(const IdealGasSums& sums, double mixing_sum_x_ln_x, double rstar_J_molK, double r_J_molK,
                       double density_mol_l) {
    const double reference_density = kIdealReferencePressure_kPa / (r_J_molK * kIdealReferenceTemperature_K);
    return rstar_J_molK * sums.entropy - r_J_molK * (std::log(density_mol_l / reference_density) + mixing_sum_x_ln_x);
}

}  // namespace calorix::lineprops
