// Common vocabulary of the two equations of state for line conditions (GERG-2008 and AGA8
// DETAIL): which density root a phase takes, why a state has no value, what a state gives.
#pragma once

#include <array>
#include <cmath>
#include <cstddef>
#include <optional>
#include <span>
#include <string_view>

namespace calorix::lineprops {

enum class LineModel { Gerg2008, Detail };

// The density root sought at a temperature and pressure: the gas-like (lowest) one for a vapour,
// the liquid-like (dense) one for a liquid phase.
enum class Root { Gas, Liquid };

enum class LineStatus {
    Ok,
    ForeignComponent,  // the composition holds a component the model does not know
    OutOfRange,        // composition, temperature or pressure outside the model's extended range
    NoConvergence,     // the density solve found no mechanically stable root
    BadInput,          // a fraction not finite or negative, a sum of 0, T or p at or below 0
};

std::string_view Describe(LineStatus status);

// The state at line conditions. Only meaningful when status is Ok.
struct LineState {
    LineStatus status = LineStatus::BadInput;
    double molar_density_mol_l = 0.0;
    double compressibility = 0.0;           // Z = p / (rho R T)
    double molar_mass_g_mol = 0.0;          // the model's own molar masses
    double mass_density_kg_m3 = 0.0;
    double speed_of_sound_m_s = 0.0;
    double isentropic_exponent = 0.0;       // kappa = w^2 rho_mass / p
    double isochoric_heat_capacity_J_molK = 0.0;
    double isobaric_heat_capacity_J_molK = 0.0;
    double joule_thomson_K_kPa = 0.0;       // (dT/dp) at constant enthalpy
    // On the reference state of the ideal-gas part (ideal_gas.h): 0 for the ideal gas at
    // 298.15 K and 101.325 kPa.
    double enthalpy_J_mol = 0.0;
    double entropy_J_molK = 0.0;
};

// A solved state: its molar density (mol/l), Z and the model's molar mass (g/mol), with the
// mass density from them.
inline LineState SolvedState(double molarDensity_mol_l, double compressibility, double molarMass_g_mol) {
    LineState state;
    state.status = LineStatus::Ok;
    state.molar_density_mol_l = molarDensity_mol_l;
    state.compressibility = compressibility;
    state.molar_mass_g_mol = molarMass_g_mol;
    state.mass_density_kg_m3 = molarDensity_mol_l * molarMass_g_mol;
    return state;
}

// What a solved density gives beside Z: the derivatives of pressure (kPa per mol/l and kPa/K),
// the isochoric heat capacity (J/(mol K)), enthalpy (J/mol) and entropy (J/(mol K)).
struct StateDerivatives {
    double dp_drho;
    double dp_dt;
    double isochoric_heat_capacity_J_molK;
    double enthalpy_J_mol;
    double entropy_J_molK;
};

// The whole state at density rho (mol/l), temperature T and compressibility Z of a mixture of
// molar mass M (g/mol), for gas constant R: cp = cv + T (dp/dT)^2 / (rho^2 dp/drho),
// w^2 = (cp/cv) (dp/drho) / M, kappa = w^2 M / (R T Z), JT = (T (dp/dT) / (rho dp/drho) - 1) /
// (rho cp). A state whose heat capacities or speed of sound are not positive (no mechanically
// and thermally stable fluid) is NoConvergence.
inline LineState CompleteState(double rho, double temperature_K, double z, double r_J_molK, double molar_mass_g_mol,
                               const StateDerivatives& d) {
    LineState state;
    const double cv = d.isochoric_heat_capacity_J_molK;
    const double cp = cv + temperature_K * (d.dp_dt / rho) * (d.dp_dt / rho) / d.dp_drho;
    const double w2 = 1000 * cp / cv * d.dp_drho / molar_mass_g_mol;
    if (!(cv > 0) || !(cp > 0) || !(w2 > 0) || !(z > 0) || !(d.dp_drho > 0)) {
        state.status = LineStatus::NoConvergence;
        return state;
    }
    state = SolvedState(rho, z, molar_mass_g_mol);
    state.speed_of_sound_m_s = std::sqrt(w2);
    state.isentropic_exponent = w2 * molar_mass_g_mol / (1000 * r_J_molK * temperature_K * z);
    state.isochoric_heat_capacity_J_molK = cv;
    state.isobaric_heat_capacity_J_molK = cp;
    state.joule_thomson_K_kPa = (temperature_K / rho * d.dp_dt / d.dp_drho - 1) / (cp * rho);
    state.enthalpy_J_mol = d.enthalpy_J_mol;
    state.entropy_J_molK = d.entropy_J_molK;
    return state;
}

// The fractions scaled to sum 1; nothing for one that is not finite or negative, or a sum that
// is not positive.
template <std::size_t N>
std::optional<std::array<double, N>> NormalisedFractions(std::span<const double, N> fractions) {
    double sum = 0;
    for (double x : fractions) {
        if (!std::isfinite(x) || x < 0) return std::nullopt;
        sum += x;
    }
    if (!(sum > 0) || !std::isfinite(sum)) return std::nullopt;
    std::array<double, N> x{};
    const double scale = 1 / sum;
    for (std::size_t i = 0; i < N; ++i) x[i] = fractions[i] * scale;
    return x;
}

// Whether a state may be solved: BadInput for a mixture that is not usable or a temperature or
// pressure that is not finite or not positive, OutOfRange outside the model's extended range,
// otherwise Ok.
inline LineStatus CheckStateInput(bool usableMixture, double temperature_K, double pressure_kPa, double minTemperature_K,
                                  double maxTemperature_K, double maxPressure_kPa) {
    if (!usableMixture || !std::isfinite(temperature_K) || !std::isfinite(pressure_kPa) || temperature_K <= 0 ||
        pressure_kPa <= 0)
        return LineStatus::BadInput;
    if (temperature_K < minTemperature_K || temperature_K > maxTemperature_K || pressure_kPa > maxPressure_kPa)
        return LineStatus::OutOfRange;
    return LineStatus::Ok;
}

}  // namespace calorix::lineprops
