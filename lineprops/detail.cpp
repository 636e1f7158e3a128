#include "lineprops/detail.h"

#include <cmath>
#include <cstdint>
#include <utility>

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

// Terms 13..58 of the density series grouped by their density function D^b exp(-D^k): the
// coefficients of one group are summed once per temperature, so that a density costs one
// function per group.
struct SeriesGroups {
    std::array<int, dt::kTerms.size()> group_of{};
    std::array<double, dt::kTerms.size()> b{};
    std::array<int, dt::kTerms.size()> k{};
    std::size_t count = 0;
    // The terms in order of their groups, and where each group's terms end in that order.
    std::array<std::uint8_t, dt::kTerms.size()> by_group{};
    std::array<std::uint8_t, dt::kTerms.size()> end{};
};

constexpr SeriesGroups MakeSeriesGroups() {
    SeriesGroups groups;
    for (std::size_t n = 12; n < dt::kTerms.size(); ++n) {
        std::size_t g = 0;
        while (g < groups.count && !(groups.b[g] == dt::kTerms[n].b && groups.k[g] == dt::kTerms[n].k)) ++g;
        if (g == groups.count) {
            groups.b[g] = dt::kTerms[n].b;
            groups.k[g] = dt::kTerms[n].k;
            ++groups.count;
        }
        groups.group_of[n] = static_cast<int>(g);
    }
    std::size_t next = 0;
    for (std::size_t g = 0; g < groups.count; ++g) {
        for (std::size_t n = 12; n < dt::kTerms.size(); ++n)
            if (groups.group_of[n] == static_cast<int>(g)) groups.by_group[next++] = static_cast<std::uint8_t>(n);
        groups.end[g] = static_cast<std::uint8_t>(next);
    }
    return groups;
}

constexpr SeriesGroups kGroups = MakeSeriesGroups();
static_assert(kGroups.count <= DetailMixture::kGroupCapacity);

// root^h for h in kMinHalf..kMaxHalf, each power the product of two nearer zero. The products
// are spelled out at compile time (no loop): a mixture forms two such tables, one for its
// energy and one per temperature, and a loop's bookkeeping cost more than the products.
using HalfPowerTable = std::array<double, kMaxHalf - kMinHalf + 1>;

template <std::size_t... I>
void UpwardHalfPowers(double* up, std::index_sequence<I...>) {
    ((up[I + 2] = up[(I + 2) >> 1] * up[(I + 3) >> 1]), ...);
}
template <std::size_t... I>
void DownwardHalfPowers(double* down, std::index_sequence<I...>) {
    ((down[-static_cast<int>(I + 2)] = down[-static_cast<int>((I + 2) >> 1)] * down[-static_cast<int>((I + 3) >> 1)]),
     ...);
}

HalfPowerTable HalfPowers(double root) {
    HalfPowerTable p;
    double* const up = p.data() - kMinHalf;  // up[h] = root^h
    up[0] = 1;
    up[1] = root;
    UpwardHalfPowers(up, std::make_index_sequence<kMaxHalf - 1>{});
    // down[-h] = root^-h, stored downwards from root^0.
    double* const down = up;
    down[-1] = 1 / root;
    DownwardHalfPowers(down, std::make_index_sequence<-kMinHalf - 1>{});
    return p;
}

// Each term's exponent u as its place in HalfPowers' table.
constexpr auto kHalfIndex = [] {
    std::array<std::uint8_t, dt::kTerms.size()> index{};
    for (std::size_t n = 0; n < index.size(); ++n) index[n] = static_cast<std::uint8_t>(dt::kTerms[n].u * 2 - kMinHalf);
    return index;
}();

// u (u + 1) of each term's exponent u.
constexpr auto kSecondTemperatureFactor = [] {
    std::array<double, dt::kTerms.size()> factor{};
    for (std::size_t n = 0; n < factor.size(); ++n) factor[n] = dt::kTerms[n].u * (dt::kTerms[n].u + 1);
    return factor;
}();

constexpr std::size_t kVirialTerms = 18;

// Index of pair i <= j in the packed upper triangle.
constexpr std::size_t PairIndex(std::size_t i, std::size_t j) {
    return i * dt::kComponentCount - i * (i - 1) / 2 + (j - i);
}
constexpr std::size_t kPairCount = dt::kComponentCount * (dt::kComponentCount + 1) / 2;

// What a pair i <= j adds, weighted by x_i x_j (twice for i != j): its second-virial terms
// a_n E_ij^u_n (K_i K_j)^(3/2) times the terms' orientation, quadrupole, high-temperature,
// dipole and association factors, and for i != j the binary corrections of the mixture size
// (K_ij^5 - 1)(K_i K_j)^(5/2), energy (U_ij^5 - 1)(E_i E_j)^(5/2) and orientation
// (G*_ij - 1)(G_i + G_j)/2. They do not depend on composition and are formed once.
struct PairTerms {
    std::array<double, kVirialTerms> virial{};
    double size5 = 0, energy5 = 0, orientation = 0;
};

const std::array<PairTerms, kPairCount> kPairTerms = [] {
    std::array<PairTerms, kPairCount> pairs{};
    for (std::size_t i = 0; i < dt::kComponentCount; ++i) {
        const auto& ci = dt::kComponents[i];
        for (std::size_t j = i; j < dt::kComponentCount; ++j) {
            const auto& cj = dt::kComponents[j];
            const std::int16_t row = kBinaryRow[i][j];
            const dt::Binary b = row < 0 ? dt::Binary{0, 0, 1.0, 1.0, 1.0, 1.0} : dt::kBinaries[static_cast<std::size_t>(row)];
            const double mean_orientation = (ci.orientation + cj.orientation) / 2;
            PairTerms& terms = pairs[PairIndex(i, j)];
            if (i != j) {
                terms.size5 = (std::pow(b.size, 5) - 1) * std::pow(ci.size * cj.size, 2.5);
                terms.energy5 = (std::pow(b.conformal_energy, 5) - 1) * std::pow(ci.energy_K * cj.energy_K, 2.5);
                terms.orientation = (b.orientation - 1) * mean_orientation;
            }
            // E_ij^u_n from the powers of sqrt(E_ij).
            const auto energy_powers = HalfPowers(std::sqrt(b.energy * std::sqrt(ci.energy_K * cj.energy_K)));
            const double size_factor = std::pow(ci.size * cj.size, 1.5);
            for (std::size_t n = 0; n < kVirialTerms; ++n) {
                const dt::Term& t = dt::kTerms[n];
                double factor = 1;
                if (t.g) factor *= b.orientation * mean_orientation;
                if (t.q) factor *= ci.quadrupole * cj.quadrupole;
                if (t.f) factor *= ci.high_temperature * cj.high_temperature;
                if (t.s) factor *= ci.dipole * cj.dipole;
                if (t.w) factor *= ci.association * cj.association;
                terms.virial[n] = t.a * energy_powers[kHalfIndex[n]] * size_factor * factor;
            }
        }
    }
    return pairs;
}();

// K_i^(5/2) and E_i^(5/2) of each component.
const std::array<std::array<double, 2>, dt::kComponentCount> kComponentPowers = [] {
    std::array<std::array<double, 2>, dt::kComponentCount> powers{};
    for (std::size_t i = 0; i < powers.size(); ++i)
        powers[i] = {std::pow(dt::kComponents[i].size, 2.5), std::pow(dt::kComponents[i].energy_K, 2.5)};
    return powers;
}();

}  // namespace

DetailMixture::DetailMixture(std::span<const double, kComponents> fractions) {
    const auto normalised = NormalisedFractions(fractions);
    if (!normalised) return;
    x_ = *normalised;
    const std::array<double, kComponents>& x = x_;

    // Mixture size K^5, energy U^5, orientation G, quadrupole Q, high-temperature F.
    double size_sum = 0, energy_sum = 0, orientation = 0, quadrupole = 0, high_temperature = 0;
    std::array<std::uint8_t, kComponents> present{};
    std::size_t present_count = 0;
    for (std::size_t i = 0; i < kComponents; ++i) {
        if (x[i] <= 0) continue;
        present[present_count++] = static_cast<std::uint8_t>(i);
        const auto& c = dt::kComponents[i];
        molar_mass_ += x[i] * c.molar_mass_g_mol;
        size_sum += x[i] * kComponentPowers[i][0];
        energy_sum += x[i] * kComponentPowers[i][1];
        orientation += x[i] * c.orientation;
        quadrupole += x[i] * c.quadrupole;
        high_temperature += x[i] * x[i] * c.high_temperature;
    }
    double size5 = size_sum * size_sum, energy5 = energy_sum * energy_sum;
    for (std::size_t a = 0; a < present_count; ++a) {
        const std::size_t i = present[a];
        for (std::size_t b = a; b < present_count; ++b) {
            const std::size_t j = present[b];
            const PairTerms& pair = kPairTerms[PairIndex(i, j)];
            const double weight = (i == j ? 1.0 : 2.0) * x[i] * x[j];
            size5 += weight * pair.size5;
            energy5 += weight * pair.energy5;
            orientation += weight * pair.orientation;
            for (std::size_t n = 0; n < kVirialTerms; ++n) virial_[n] += weight * pair.virial[n];
        }
    }
    size3_ = std::pow(size5, 0.6);
    const double energy = std::pow(energy5, 0.2);
    const auto energy_powers = HalfPowers(std::sqrt(energy));
    for (std::size_t n = 12; n < kTerms; ++n) {
        const dt::Term& t = dt::kTerms[n];
        double c = t.a * energy_powers[kHalfIndex[n]];
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
    // Each coefficient with T d/dT and T^2 d2/dT2 of its T^-u: -u and u (u + 1), the latter
    // exact in a double for every half u and so taken from a table.
    const auto add = [&](std::array<double, 3>& sums, std::size_t n, double coefficient) {
        const double c = coefficient * powers[kHalfIndex[n]];
        sums[0] += c;
        sums[1] -= dt::kTerms[n].u * c;
        sums[2] += kSecondTemperatureFactor[n] * c;
    };
    second_virial_ = {};
    for (std::size_t n = 0; n < virial_.size(); ++n) add(second_virial_, n, virial_[n]);
    linear_ = {};
    for (std::size_t n = 12; n < 18; ++n) add(linear_, n, series_[n]);
    std::size_t a = 0;
    for (std::size_t g = 0; g < kGroups.count; ++g) {
        std::array<double, 3> sums{};
        for (; a < kGroups.end[g]; ++a) add(sums, kGroups.by_group[a], series_[kGroups.by_group[a]]);
        group_t_[g] = sums;
    }
    ideal_ = IdealGasAt(x_, temperature_K, false);
    temperature_ = temperature_K;
}

// Sums over the density series at reduced density D = K^3 rho, each group's terms
// c_n D^b exp(-D^k) with c_n = C*_n T^-u_n, less c_n D for n = 13..18, and B rho:
// rho d(alpha_r)/d(rho) (s1), rho^2 d2(alpha_r)/d(rho)2 (s2); with all, also T d(alpha_r)/dT
// (t1), T^2 d2(alpha_r)/dT2 (t2) and T d(rho d(alpha_r)/d(rho))/dT (t11).
struct DetailMixture::ResidualSums {
    double s1 = 0, s2 = 0, t1 = 0, t2 = 0, t11 = 0;
};

template <bool kAll>
DetailMixture::ResidualSums DetailMixture::Sum(double rho) const {
    const double reduced = size3_ * rho;
    std::array<double, 10> power{};
    power[0] = 1;
    for (std::size_t k = 1; k < power.size(); ++k) power[k] = power[k - 1] * reduced;
    std::array<double, 5> decay{1.0, 0, 0, 0, 0};
    for (std::size_t k = 1; k < decay.size(); ++k) decay[k] = std::exp(-power[k]);
    // k D^k and k^2 D^k of each exponent k of the decay.
    std::array<double, 5> k_power{}, k2_power{};
    for (std::size_t k = 1; k < k_power.size(); ++k) {
        k_power[k] = static_cast<double>(k) * power[k];
        k2_power[k] = static_cast<double>(k * k) * power[k];
    }
    ResidualSums r;
    r.s1 = second_virial_[0] * rho - linear_[0] * reduced;
    if constexpr (kAll) {
        r.t1 = r.t11 = second_virial_[1] * rho - linear_[1] * reduced;
        r.t2 = second_virial_[2] * rho - linear_[2] * reduced;
    }
    for (std::size_t g = 0; g < kGroups.count; ++g) {
        const double b = kGroups.b[g];
        const auto uk = static_cast<std::size_t>(kGroups.k[g]);
        const double value = power[static_cast<std::size_t>(b)] * decay[uk];
        const double bkd = b - k_power[uk];
        const double ckd = k2_power[uk];
        const auto& sums = group_t_[g];
        r.s1 += sums[0] * value * bkd;
        r.s2 += sums[0] * value * (bkd * (bkd - 1) - ckd);
        if constexpr (kAll) {
            r.t1 += sums[1] * value;
            r.t2 += sums[2] * value;
            r.t11 += sums[1] * value * bkd;
        }
    }
    return r;
}

LineState DetailMixture::State(double temperature_K, double pressure_kPa, Root root) {
    LineState state;
    state.status = CheckStateInput(valid_, temperature_K, pressure_kPa, kDetailMinTemperature_K,
                                   kDetailMaxTemperature_K, kDetailMaxPressure_kPa);
    if (state.status != LineStatus::Ok) return state;
    SetTemperature(temperature_K);
    const double rt = dt::kR_J_molK * temperature_K;
    ResidualSums r;
    const auto pressure = [&](double rho) {
        r = Sum<false>(rho);
        return PressurePoint{rho * rt * (1 + r.s1), rt * (1 + 2 * r.s1 + r.s2)};
    };
    // The check at the converged density sums every derivative, left in r.
    const auto final = [&](double rho) {
        r = Sum<true>(rho);
        return PressurePoint{rho * rt * (1 + r.s1), rt * (1 + 2 * r.s1 + r.s2)};
    };
    // The gas root starts from the second virial coefficient, Z = 1 + B rho, where that has a
    // root, else from the ideal gas; the liquid root from a dense state.
    double start = 2.5 / size3_;
    if (root == Root::Gas) {
        const double discriminant = 1 + 4 * second_virial_[0] * pressure_kPa / rt;
        start = pressure_kPa / rt / (discriminant > 0 ? (1 + std::sqrt(discriminant)) / 2 : 1.0);
    }
    const auto rho = SolveDensity(pressure, final, pressure_kPa, start, root);
    if (!rho) {
        state.status = LineStatus::NoConvergence;
        return state;
    }
    const double r_gas = dt::kR_J_molK;
    // The ideal-gas part was fitted with R* = 8.31451 J/(mol K), DETAIL's own R; enthalpy and
    // entropy are left out (0).
    const StateDerivatives d{rt * (1 + 2 * r.s1 + r.s2), *rho * r_gas * (1 + r.s1 + r.t11),
                             r_gas * (ideal_.cv - 2 * r.t1 - r.t2), 0, 0};
    return CompleteState(*rho, temperature_K, 1 + r.s1, r_gas, molar_mass_, d);
}

}  // namespace calorix::lineprops
