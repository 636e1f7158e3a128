#include "lineprops/ideal_gas.h"

#include <cmath>
#include <numbers>

#include "lineprops/gerg2008_hydrogen_table.h"
#include "lineprops/gerg2008_table.h"

namespace calorix::lineprops {
namespace {

namespace g = gerg2008;
namespace h = gerg2008_hydrogen;

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

// Leachman et al.'s normal hydrogen at T, in units of R: cv0/R = 1.5 + sum a (u^2 e)/(1 - e)^2
// with u = theta/T and e = exp(-u); its enthalpy integral 1.5 T + sum a theta e/(1 - e) (K) and
// entropy integral 1.5 ln T + sum a (u e/(1 - e) - ln(1 - e)).
PlanckEinstein LeachmanHydrogenAt(double temperature_K) {
    PlanckEinstein sums;
    sums.cv = h::kIdealLogTau;
    sums.enthalpy_K = h::kIdealLogTau * temperature_K;
    sums.entropy = h::kIdealLogTau * std::log(temperature_K);
    for (std::size_t k = 0; k < h::kIdealA.size(); ++k) {
        const double u = h::kIdealTheta_K[k] / temperature_K;
        const double e = std::exp(-u);
        const double ratio = e / (1 - e);
        sums.cv += h::kIdealA[k] * u * u * ratio / (1 - e);
        sums.enthalpy_K += h::kIdealA[k] * h::kIdealTheta_K[k] * ratio;
        sums.entropy += h::kIdealA[k] * (u * ratio - std::log1p(-e));
    }
    return sums;
}

const PlanckEinstein kLeachmanAtReference = LeachmanHydrogenAt(kIdealReferenceTemperature_K);

}  // namespace

IdealGasSums IdealGasAt(std::span<const double, 21> x, double temperature_K, bool integrals,
                        IdealHydrogen hydrogen) {
    IdealGasSums sums;
    const double inverse_temperature = 1 / temperature_K;
    const double ln_t = integrals ? std::log(temperature_K / kIdealReferenceTemperature_K) : 0.0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        if (x[i] <= 0) continue;
        if (hydrogen == IdealHydrogen::Leachman && i == static_cast<std::size_t>(h::kHydrogen)) {
            // In units of R*, as the other components.
            const double scale = x[i] * g::kR_J_molK / g::kRstar_J_molK;
            const PlanckEinstein at = LeachmanHydrogenAt(temperature_K);
            sums.cv += scale * at.cv;
            if (integrals) {
                sums.enthalpy_K += scale * (at.enthalpy_K - kLeachmanAtReference.enthalpy_K);
                sums.entropy += scale * (at.entropy - kLeachmanAtReference.entropy);
            }
            continue;
        }
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
