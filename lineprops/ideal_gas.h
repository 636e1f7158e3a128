// The ideal-gas part shared by GERG-2008 and DETAIL: each component's isobaric heat capacity of
// GERG-2008 (Kunz and Wagner 2012, Table A7; the same equations serve DETAIL, as in AGA Report
// No. 8 Part 1, 2017), cp0/R* = 1 + n0_3 + sum of Planck-Einstein terms, integrated to enthalpy
// and entropy on the equation's reference state: for every component, the ideal gas at
// T0 = 298.15 K and p0 = 101.325 kPa has enthalpy 0 and entropy 0.
#pragma once

#include <array>
#include <cstddef>
#include <span>

namespace calorix::lineprops {

inline constexpr double kIdealReferenceTemperature_K = 298.15;
inline constexpr double kIdealReferencePressure_kPa = 101.325;

// Mole-fraction sums over the components at one temperature, in units of R* (the gas constant
// the ideal-gas parts were fitted with): cv0/R*, (h0 - R (T - T0))/R* in K, and the part of
// s0/R* that depends on temperature alone (the integral of cv0/(R* T) from T0).
struct IdealGasSums {
    double cv = 0;
    double enthalpy_K = 0;
    double entropy = 0;
};

// Hydrogen's ideal-gas part: GERG-2008's, or that of Leachman et al.'s normal-hydrogen equation
// (lineprops/gerg2008_hydrogen_table.h), fitted with GERG-2008's R rather than R*, on the same
// reference state.
enum class IdealHydrogen { Gerg2008, Leachman };

// The sums for mole fractions x (the 21 components of both models, in their order) at T; the
// enthalpy and entropy sums only when integrals is true (0 otherwise).
IdealGasSums IdealGasAt(std::span<const double, 21> x, double temperature_K, bool integrals = true,
                        IdealHydrogen hydrogen = IdealHydrogen::Gerg2008);

// The ideal-gas molar entropy (J/(mol K)) at molar density rho (mol/l) of a mixture whose
// temperature gave sums: R* times the temperature sum, less R ln(rho / rho0), rho0 = p0 / (R T0) the ideal gas
// at the reference state, and less R sum x ln x (mixing).
double IdealGasEntropy(const IdealGasSums& sums, double mixing_sum_x_ln_x, double rstar_J_molK, double r_J_molK,
                       double density_mol_l);

// The ideal-gas molar enthalpy (J/mol) at T: R (T - T0) + R* times the enthalpy sum.
inline double IdealGasEnthalpy(const IdealGasSums& sums, double rstar_J_molK, double r_J_molK, double temperature_K) {
    return r_J_molK * (temperature_K - kIdealReferenceTemperature_K) + rstar_J_molK * sums.enthalpy_K;
}

}  // namespace calorix::lineprops
