// The AGA8 DETAIL characterization equation (ISO 12213-2) for natural gases of up to 21
// components: density and compressibility factor at a given temperature and pressure, with the
// speed of sound (AGA Report No. 10), isentropic exponent, heat capacities and Joule-Thomson
// coefficient over GERG-2008's ideal-gas heat capacities (ideal_gas.h), as AGA Report No. 8
// Part 1 (2017) does; enthalpy and entropy are not formed (0). Plain C++: no COM, no allocation. The pair terms that do not depend
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

    // Distinct density functions D^b exp(-D^k) of terms 13..58.
    static constexpr std::size_t kGroupCapacity = 32;

private:
    struct ResidualSums;
    void SetTemperature(double temperature_K);
    // The residual sums at molar density rho; with kAll also the temperature derivatives.
    template <bool kAll>
    ResidualSums Sum(double rho) const;

    bool valid_ = false;
    std::array<double, kComponents> x_{};
    double molar_mass_ = 0;
    double size3_ = 0;  // K^3, m3/kmol: reduced density is K^3 D
    std::array<double, 18> virial_{};     // B*_n, n = 1..18
    std::array<double, kTerms> series_{};  // C*_n, n = 13..58 (zero below)
    double temperature_ = -1.0;
    // Per temperature, each with T d/dT and T^2 d2/dT2 of it: B(T) (l/mol); the sum of
    // C*_n T^-u_n over n = 13..18; and that sum over each group of terms.
    std::array<double, 3> second_virial_{};
    std::array<double, 3> linear_{};
    std::array<std::array<double, 3>, kGroupCapacity> group_t_{};
    IdealGasSums ideal_{};
};

}  // namespace calorix::lineprops
