// The AGA8 DETAIL characterization equation (ISO 12213-2) for natural gases of up to 21
// components: density and compressibility factor at a given temperature and pressure. Plain
// C++: no COM, no allocation. Composition terms (virial coefficients, mixture size and energy)
// are formed once per mixture, temperature powers once per temperature.
#pragma once

#include <array>
#include <cstddef>
#include <span>

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

    // Density and compressibility at temperature T (K) and pressure p (kPa); speed of sound and
    // isentropic exponent stay 0.
    LineState State(double temperature_K, double pressure_kPa, Root root = Root::Gas);

    double MolarMass_g_mol() const { return molar_mass_; }

private:
    void SetTemperature(double temperature_K);

    bool valid_ = false;
    double molar_mass_ = 0;
    double size3_ = 0;  // K^3, m3/kmol: reduced density is K^3 D
    std::array<double, 18> virial_{};     // B*_n, n = 1..18
    std::array<double, kTerms> series_{};  // C*_n, n = 13..58 (zero below)
    double temperature_ = -1.0;
    double second_virial_ = 0;              // B(T), l/mol
    double series_linear_ = 0;              // sum over n = 13..18 of C*_n T^-u_n
    std::array<double, kTerms> series_t_{};  // C*_n T^-u_n
};

}  // namespace calorix::lineprops
