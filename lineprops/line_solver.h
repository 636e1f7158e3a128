// Density at a given temperature and pressure for an equation of state p(rho): Newton's method on
// ln p against ln rho, kept on the wanted branch. Shared by GERG-2008 and DETAIL.
#pragma once

#include <cmath>
#include <optional>

#include "lineprops/line_conditions.h"

namespace calorix::lineprops {

struct PressurePoint {
    double p_kPa;
    double dp_drho;  // kPa per mol/l, at constant temperature
};

// Pressure(rho) and Final(rho) return PressurePoint. Returns the density (mol/l) of the root on
// the wanted branch, or nothing when no mechanically stable root is found within the iteration
// budget. Where a trial lies in the unstable region (dp/drho <= 0) or at a negative pressure,
// the density moves away from it: down for the gas root, up for the liquid root. Final is
// called once, at the converged density, to check it; a caller that wants more than the
// pressure there computes it in Final and need not evaluate that density again.
template <class Pressure, class Final>
std::optional<double> SolveDensity(Pressure&& pressure, Final&& final, double target_kPa, double start_mol_l,
                                   Root root) {
    constexpr int kMaxIterations = 100;
    // On the step in ln rho: Newton's error after a step s is of order s^2, so the density is
    // then exact to the last digits.
    constexpr double kTolerance = 1e-9;
    const double ln_target = std::log(target_kPa);
    double ln_rho = std::log(start_mol_l);
    double away = root == Root::Gas ? -0.1 : 0.1;
    for (int it = 0; it < kMaxIterations; ++it) {
        if (ln_rho < -40 || ln_rho > 7) return std::nullopt;  // no finite root on this branch
        const double rho = std::exp(ln_rho);
        const PressurePoint point = pressure(rho);
        if (!std::isfinite(point.p_kPa) || !std::isfinite(point.dp_drho)) return std::nullopt;
        if (point.dp_drho <= 0 || point.p_kPa <= 0) {
            ln_rho += away;
            if (it > 20) away *= 0.5;
            continue;
        }
        double step = (ln_target - std::log(point.p_kPa)) * point.p_kPa / (rho * point.dp_drho);
        if (step > 1) step = 1;
        if (step < -1) step = -1;
        ln_rho += step;
        if (std::abs(step) < kTolerance) {
            // Accept only a converged, mechanically stable state.
            const double final_rho = std::exp(ln_rho);
            const PressurePoint check = final(final_rho);
            if (check.dp_drho > 0 && std::abs(check.p_kPa / target_kPa - 1) < 1e-9) return final_rho;
            return std::nullopt;
        }
    }
    return std::nullopt;
}

}  // namespace calorix::lineprops
