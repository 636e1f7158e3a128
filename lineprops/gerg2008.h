// The GERG-2008 equation of state (ISO 20765-2) for natural gases of up to 21 components:
// density at a given temperature and pressure, with compressibility factor, speed of sound and
// isentropic exponent. Plain C++: no COM, no allocation.
//
// A Gerg2008Mixture is built once per composition: it sums the coefficients of components that
// share an equation form and of pairs that share a departure function, so that a state costs
// one term per distinct (density function, temperature exponent). Temperature-dependent parts
// are evaluated once per temperature and kept until the temperature changes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "lineprops/line_conditions.h"

namespace calorix::lineprops {

inline constexpr double kGergMinTemperature_K = 60.0;
inline constexpr double kGergMaxTemperature_K = 700.0;
inline constexpr double kGergMaxPressure_kPa = 70000.0;

// The published equation, or GERG-2008 with the 2021 hydrogen binaries (Beckmüller et al.,
// J. Phys. Chem. Ref. Data 50, 013102: new reducing and departure functions of hydrogen with
// methane, nitrogen, carbon dioxide and carbon monoxide, and Leachman et al.'s normal-hydrogen
// equation in place of GERG-2008's; see lineprops/gerg2008_hydrogen_table.h).
enum class GergModel { Gerg2008, Gerg2008Hydrogen2021 };

class Gerg2008Mixture {
public:
    static constexpr std::size_t kComponents = 21;
    // Mole fractions by component number; they are scaled to sum 1. A mixture that could not be
    // formed (a fraction not finite or negative, nothing present) reports BadInput from State.
    explicit Gerg2008Mixture(std::span<const double, kComponents> fractions, GergModel model = GergModel::Gerg2008);

    // The state at temperature T (K) and pressure p (kPa) on the given density root.
    LineState State(double temperature_K, double pressure_kPa, Root root = Root::Gas);

    double MolarMass_g_mol() const { return molar_mass_; }
    double ReducingTemperature_K() const { return reducing_temperature_; }
    double ReducingDensity_mol_l() const { return reducing_density_; }

    // Capacities: every pure term slot and departure term of both models once (see gerg2008.cpp).
    static constexpr std::size_t kSlotCapacity = 202;
    static constexpr std::size_t kGroupCapacity = 202;

private:
    struct Residual {
        double a01 = 0, a02 = 0, a11 = 0, a20 = 0;  // delta^i tau^j derivatives of alpha_r
    };
    void SetTemperature(double temperature_K);
    Residual Evaluate(double delta) const;
    double IdealTauTau(double temperature_K) const;

    bool valid_ = false;
    GergModel model_ = GergModel::Gerg2008;
    std::array<double, kComponents> x_{};
    double molar_mass_ = 0, reducing_temperature_ = 0, reducing_density_ = 0;
    double pseudo_critical_density_ = 0;
    // Coefficient of each active term slot (sum over components or pairs), and the slots in use.
    std::array<double, kSlotCapacity> slot_coefficient_{};
    std::array<std::uint8_t, kSlotCapacity> active_slots_{};
    std::size_t active_slot_count_ = 0;
    std::array<std::uint8_t, kGroupCapacity> active_groups_{};
    std::size_t active_group_count_ = 0;
    // Per temperature: for each group sum n tau^t, sum t n tau^t, sum t (t-1) n tau^t.
    double temperature_ = -1.0;
    std::array<std::array<double, 3>, kGroupCapacity> group_tau_{};
    double ideal_tau_tau_ = 0;
};

}  // namespace calorix::lineprops
