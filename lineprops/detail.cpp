#include "lineprops/detail.h"

#include <cmath>
#include <cstdint>

#include "lineprops/detail_table.h"
#include "lineprops/line_solver.h"

namespace calorix::lineprops {
namespace {

namespace dt = detail;

// Dense look-up of the binary table: the row of pair (i, j), or -1 where every parameter is 1.
constexpr auto kBinaryRow = [] {
    std::array<std::array<std::int16_t, dt::kComponentCount>, dt::kComponentCount> rows{};
    for (auto& row : rows) row.fill(-1);
    for (std::size_t r = 0; r < dt::kBinaries.size(); ++r) {
        const auto i = static_cast<std::size_t>(dt::kBinaries[r].i);
        const auto j = static_cast<std::size_t>(dt::kBinaries[r].j);
        rows[i][j] = rows[j][i] = static_cast<std::int16_t>(r);
    }
    return rows;
}();

constexpr bool BinariesSortedAndAbove() {
    for (std::size_t r = 0; r < dt::kBinaries.size(); ++r) {
        const auto& b = dt::kBinaries[r];
        if (b.i >= b.j || b.j >= static_cast<int>(dt::kComponentCount)) return false;
        if (r > 0 && (dt::kBinaries[r - 1].i > b.i || (dt::kBinaries[r - 1].i == b.i && dt::kBinaries[r - 1].j >= b.j)))
            return false;
    }
    return true;
}
static_assert(BinariesSortedAndAbove());

// Every temperature exponent is a multiple of 1/2: u_n = half_n / 2.
constexpr bool ExponentsAreHalves() {
    for (const auto& term : dt::kTerms)
        if (term.u * 2 != static_cast<int>(term.u * 2) || term.u < -13 || term.u > 23) return false;
    return true;
}
static_assert(ExponentsAreHalves());

constexpr int kMinHalf = -26, kMaxHalf = 46;

// root^h for h in kMinHalf..kMaxHalf, by repeated multiplication.
std::array<double, kMaxHalf - kMinHalf + 1> HalfPowers(double root) {
    std::array<double, kMaxHalf - kMinHalf + 1> p{};
    p[-kMinHalf] = 1;
    for (int h = 1; h <= kMaxHalf; ++h) p[h - kMinHalf] = p[h - 1 - kMinHalf] * root;
    const double inverse = 1 / root;
    for (int h = -1; h >= kMinHalf; --h) p[h - kMinHalf] = p[h + 1 - kMinHalf] * inverse;
    return p;
}

int Half(double u) { return static_cast<int>(u * 2); }

}  // namespace

DetailMixture::DetailMixture(std::span<const double, kComponents> fractions) {
    const auto normalised = NormalisedFractions(fractions);
    if (!normalised) return;
    const std::array<double, kComponents>& x = *normalised;

    // Mixture size K^5, energy U^5, orientation G, quadrupole Q, high-temperature F.
    double size_sum = 0, energy_sum = 0, orientation = 0, quadrupole = 0, high_temperature = 0;
    for (std::size_t i = 0; i < kComponents; ++i) {
        if (x[i] <= 0) continue;
        const auto& c = dt::kComponents[i];
        molar_mass_ += x[i] * c.molar_mass_g_mol;
        size_sum += x[i] * std::pow(c.size, 2.5);
        energy_sum += x[i] * std::pow(c.energy_K, 2.5);
        orientation += x[i] * c.orientation;
        quadrupole += x[i] * c.quadrupole;
        high_temperature += x[i] * x[i] * c.high_temperature;
    }
    double size5 = size_sum * size_sum, energy5 = energy_sum * energy_sum;
    for (std::size_t i = 0; i < kComponents; ++i) {
        if (x[i] <= 0) continue;
        const auto& ci = dt::kComponents[i];
        for (std::size_t j = i; j < kComponents; ++j) {
            if (x[j] <= 0) continue;
            const auto& cj = dt::kComponents[j];
            const std::int16_t row = kBinaryRow[i][j];
            const dt::Binary b = row < 0 ? dt::Binary{0, 0, 1.0, 1.0, 1.0, 1.0} : dt::kBinaries[static_cast<std::size_t>(row)];
            const double weight = (i == j ? 1.0 : 2.0) * x[i] * x[j];
            const double mean_orientation = (ci.orientation + cj.orientation) / 2;
            if (i != j) {
                size5 += weight * (std::pow(b.size, 5) - 1) * std::pow(ci.size * cj.size, 2.5);
                energy5 += weight * (std::pow(b.conformal_energy, 5) - 1) * std::pow(ci.energy_K * cj.energy_K, 2.5);
                orientation += weight * (b.orientation - 1) * mean_orientation;
            }
            // Second virial coefficient, terms 1..18, with E_ij^u_n from powers of sqrt(E_ij).
            const auto energy_powers = HalfPowers(std::sqrt(b.energy * std::sqrt(ci.energy_K * cj.energy_K)));
            const double size_factor = weight * std::pow(ci.size * cj.size, 1.5);
            for (std::size_t n = 0; n < virial_.size(); ++n) {
                const dt::Term& t = dt::kTerms[n];
                double factor = 1;
                if (t.g) factor *= b.orientation * mean_orientation;
                if (t.q) factor *= ci.quadrupole * cj.quadrupole;
                if (t.f) factor *= ci.high_temperature * cj.high_temperature;
                if (t.s) factor *= ci.dipole * cj.dipole;
                if (t.w) factor *= ci.association * cj.association;
                virial_[n] += t.a * energy_powers[static_cast<std::size_t>(Half(t.u) - kMinHalf)] * size_factor * factor;
            }
        }
    }
    size3_ = std::pow(size5, 0.6);
    const double energy = std::pow(energy5, 0.2);
    const auto energy_powers = HalfPowers(std::sqrt(energy));
    for (std::size_t n = 12; n < kTerms; ++n) {
        const dt::Term& t = dt::kTerms[n];
        double c = t.a * energy_powers[static_cast<std::size_t>(Half(t.u) - kMinHalf)];
        if (t.g) c *= orientation;
        if (t.q) c *= quadrupole * quadrupole;
        if (t.f) c *= high_temperature;
        series_[n] = c;
    }
    valid_ = size3_ > 0 && std::isfinite(size3_);
}

void DetailMixture::SetTemperature(double temperature_K) {
    if (temperature_K == temperature_) return;
    const auto powers = HalfPowers(1 / std::sqrt(temperature_K));  // T^-u = (T^-1/2)^(2u)
    second_virial_ = 0;
    series_linear_ = 0;
    for (std::size_t n = 0; n < kTerms; ++n) {
        const double t_u = powers[static_cast<std::size_t>(Half(dt::kTerms[n].u) - kMinHalf)];
        if (n < virial_.size()) second_virial_ += virial_[n] * t_u;
        series_t_[n] = series_[n] * t_u;
        if (n >= 12 && n < 18) series_linear_ += series_t_[n];
    }
    temperature_ = temperature_K;
}

LineState DetailMixture::State(double temperature_K, double pressure_kPa, Root root) {
    LineState state;
    state.status = CheckStateInput(valid_, temperature_K, pressure_kPa, kDetailMinTemperature_K,
                                   kDetailMaxTemperature_K, kDetailMaxPressure_kPa);
    if (state.status != LineStatus::Ok) return state;
    SetTemperature(temperature_K);
    const double rt = dt::kR_J_molK * temperature_K;
    // Z - 1 (s1) and D^2 d2(alpha_r)/dD^2 (s2) at molar density rho.
    const auto residual = [&](double rho, double& s2) {
        const double reduced = size3_ * rho;
        std::array<double, 10> power{};
        power[0] = 1;
        for (std::size_t k = 1; k < power.size(); ++k) power[k] = power[k - 1] * reduced;
        std::array<double, 5> decay{1.0, 0, 0, 0, 0};
        for (std::size_t k = 1; k < decay.size(); ++k) decay[k] = std::exp(-power[k]);
        double s1 = second_virial_ * rho - series_linear_ * reduced;
        s2 = 0;
        for (std::size_t n = 12; n < kTerms; ++n) {
            const dt::Term& t = dt::kTerms[n];
            const auto k = static_cast<std::size_t>(t.k);
            const double term = series_t_[n] * power[static_cast<std::size_t>(t.b)] * decay[k];
            const double bkd = t.b - t.k * power[k];
            const double ckd = t.k * t.k * power[k];
            s1 += term * bkd;
            s2 += term * (bkd * (bkd - 1) - ckd);
        }
        return s1;
    };
    const auto pressure = [&](double rho) {
        double s2 = 0;
        const double s1 = residual(rho, s2);
        return PressurePoint{rho * rt * (1 + s1), rt * (1 + 2 * s1 + s2)};
    };
    const double start = root == Root::Gas ? pressure_kPa / rt : 2.5 / size3_;
    const auto rho = SolveDensity(pressure, pressure_kPa, start, root);
    if (!rho) {
        state.status = LineStatus::NoConvergence;
        return state;
    }
    double s2 = 0;
    const double z = 1 + residual(*rho, s2);
    if (!(z > 0)) {
        state.status = LineStatus::NoConvergence;
        return state;
    }
    return SolvedState(*rho, z, molar_mass_);
}

}  // namespace calorix::lineprops
