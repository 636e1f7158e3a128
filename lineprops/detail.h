// The AGA8 DETAIL characterization equation (ISO 12213-2) for natural gases of up to 21
// components: density and compressibility factor at a given temperature and pressure, with the
// speed of sound (AGA Report No. 10), isentropic exponent, heat capacities, Joule-Thomson
// coefficient, enthalpy and entropy over GERG-2008's ideal-gas part (ideal_gas.h), as AGA Report
// No. 8 Part 1 (2017) does. Plain C++: no COM, no allocation. The pair terms that do not depend
// on composition are formed once for all mixtures; composition terms (virial coefficients,
// mixture size and energy) once per mixture; temperature powers once per temperature.
#pragma once

#include <array>
#include <cstddef>
#include <span>

#include "lineprops/ideal_gas.h"
#include "lineprops/line_conditions.h"

namespace calorix::lineprops {

inline constexpr double kDetailMinTemperature_K = 143.0;
inline constexpr double kDetailMaxTemperature_K = 673.0;
inline constexpr double kDetailMaxPressure_kPa = 280000.0;

class DetailMixture {
public:
    static constexpr std::size_t kComponents = 21;
    static constexpr std::size_t kTerms = 58;
    // Mole fractions by component number; they are scaled to sum 1.
    explicit DetailMixture(std::span<const double, kComponents> fractions);

    // The state at temperature T (K) and pressure p (kPa) on the given density root.
    LineState State(double temperature_K, double pressure_kPa, Root root = Root::Gas);

    double MolarMass_g_mol() const { return molar_mass_; }

private:
    void SetTemperature(double temperature_K);

    bool valid_ = false;
    std::array<double, kComponents> x_{};
    double molar_mass_ = 0;
    double sum_x_ln_x_ = 0;
    double size3_ = 0;  // K^3, m3/kmol: reduced density is K^3 D
    std::array<double, 18> virial_{};     // B*_n, n = 1..18
    std::array<double, kTerms> series_{};  // C*_n, n = 13..58 (zero below)
    double temperature_ = -1.0;
    // B(T) (l/mol) and T dB/dT, T^2 d2B/dT2.
    double second_virial_ = 0, second_virial_t_ = 0, second_virial_tt_ = 0;
    double series_linear_ = 0;              // sum over n = 13..18 of C*_n T^-u_n
    std::array<double, kTerms> series_t_{};  // C*_n T^-u_n
    IdealGasSums ideal_{};
};

}  // namespace calorix::lineprops
