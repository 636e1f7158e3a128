#include "lineprops/gerg2008.h"

#include <cmath>

#include "lineprops/gerg2008_hydrogen_table.h"
#include "lineprops/gerg2008_table.h"
#include "lineprops/line_solver.h"

namespace calorix::lineprops {
namespace {

namespace g = gerg2008;
namespace h = gerg2008_hydrogen;

// Every term of the residual part is
//   n delta^d tau^t exp(-delta^c - eta delta^2 + b delta + k0 - tau_beta (tau - tau_gamma)^2)
// (GERG-2008's departure terms have c = 0, its pure terms eta = b = k0 = 0, and only the
// hydrogen model's Gaussian terms a tau_beta). A "slot" is one term of one pure equation form
// or one departure function; slots with the same density function (d, c, eta, b) form a
// "group", whose temperature factors are summed once per temperature.
struct Slot {
    double t = 0;
    int d = 0;
    int c = 0;
    double eta = 0;
    double b = 0;
    double k0 = 0;
    int group = 0;
    double tau_beta = 0;
    double tau_gamma = 0;
};

constexpr std::array<g::Form, 6> kForms{g::Form::Long, g::Form::Short, g::Form::CarbonDioxide,
                                        g::Form::Hydrogen, g::Form::Water, g::Form::Helium};

// The distinct departure functions, and for each pair of the table which of them it uses.
constexpr std::array<std::span<const g::DepartureTerm>, 8> kDepartureFunctions{
    g::kMethaneNitrogenDeparture, g::kMethaneCarbonDioxideDeparture, g::kMethaneEthaneDeparture,
    g::kMethanePropaneDeparture, g::kMethaneHydrogenDeparture, g::kNitrogenCarbonDioxideDeparture,
    g::kNitrogenEthaneDeparture, g::kGeneralizedDeparture};

constexpr std::size_t FormOffset(std::size_t form_index) {
    std::size_t offset = 0;
    for (std::size_t f = 0; f < form_index; ++f) offset += g::ExponentsOf(kForms[f]).size();
    return offset;
}

constexpr std::size_t FormIndex(g::Form form) {
    for (std::size_t f = 0; f < kForms.size(); ++f)
        if (kForms[f] == form) return f;
    return kForms.size();
}

constexpr std::size_t DepartureOffset(std::size_t function_index) {
    std::size_t offset = FormOffset(kForms.size());
    for (std::size_t f = 0; f < function_index; ++f) offset += kDepartureFunctions[f].size();
    return offset;
}

// The hydrogen model's own functions follow GERG-2008's: normal hydrogen, then its departure
// functions in the order of its pairs.
constexpr auto kHydrogenFunctions = [] {
    std::array<std::span<const h::Term>, 1 + h::kDeparturePairs.size()> functions{};
    functions[0] = h::kResidual;
    for (std::size_t p = 0; p < h::kDeparturePairs.size(); ++p) functions[p + 1] = h::kDeparturePairs[p].terms;
    return functions;
}();

constexpr std::size_t HydrogenFunctionOffset(std::size_t function_index) {
    std::size_t offset = DepartureOffset(kDepartureFunctions.size());
    for (std::size_t f = 0; f < function_index; ++f) offset += kHydrogenFunctions[f].size();
    return offset;
}

constexpr std::size_t kSlotCount = HydrogenFunctionOffset(kHydrogenFunctions.size());
static_assert(kSlotCount == Gerg2008Mixture::kSlotCapacity);

struct SlotTable {
    std::array<Slot, kSlotCount> slots{};
    std::array<int, kSlotCount> group_d{};
    std::array<int, kSlotCount> group_c{};
    std::array<double, kSlotCount> group_eta{};
    std::array<double, kSlotCount> group_b{};
    std::size_t group_count = 0;
};

constexpr SlotTable MakeSlotTable() {
    SlotTable table;
    std::size_t k = 0;
    for (g::Form form : kForms)
        for (const g::PureExponents& e : g::ExponentsOf(form)) table.slots[k++] = {e.t, e.d, e.c, 0, 0, 0, 0};
    for (const auto& function : kDepartureFunctions)
        for (const g::DepartureTerm& term : function)
            table.slots[k++] = {term.t, term.d, 0, term.eta, 2 * term.eta * term.epsilon - term.beta,
                                term.beta * term.gamma - term.eta * term.epsilon * term.epsilon, 0};
    for (const auto& function : kHydrogenFunctions)
        for (const h::Term& term : function)
            table.slots[k++] = {term.t,    term.d, term.l, term.eta, 2 * term.eta * term.epsilon,
                                -term.eta * term.epsilon * term.epsilon, 0, term.beta, term.gamma};
    for (Slot& slot : table.slots) {
        std::size_t group = 0;
        while (group < table.group_count &&
               !(table.group_d[group] == slot.d && table.group_c[group] == slot.c &&
                 table.group_eta[group] == slot.eta && table.group_b[group] == slot.b))
            ++group;
        if (group == table.group_count) {
            table.group_d[group] = slot.d;
            table.group_c[group] = slot.c;
            table.group_eta[group] = slot.eta;
            table.group_b[group] = slot.b;
            ++table.group_count;
        }
        slot.group = static_cast<int>(group);
    }
    return table;
}

constexpr SlotTable kTable = MakeSlotTable();

constexpr std::size_t DepartureFunctionOf(const g::DeparturePair& pair) {
    for (std::size_t f = 0; f < kDepartureFunctions.size(); ++f)
        if (kDepartureFunctions[f].data() == pair.terms.data()) return f;
    return kDepartureFunctions.size();
}

constexpr bool EveryPairHasItsFunction() {
    for (const auto& pair : g::kDeparturePairs)
        if (DepartureFunctionOf(pair) == kDepartureFunctions.size()) return false;
    return true;
}
// GCC does not fold the comparison of two objects' addresses when the address or thread
// sanitizer instruments them; the other builds check the table.
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
static_assert(EveryPairHasItsFunction());
#endif

constexpr std::size_t BinaryIndex(std::size_t i, std::size_t j) {
    return i * g::kComponentCount - i * (i + 1) / 2 + (j - i - 1);
}

constexpr bool BinaryTableInOrder() {
    for (std::size_t i = 0; i < g::kComponentCount; ++i)
        for (std::size_t j = i + 1; j < g::kComponentCount; ++j) {
            const auto& row = g::kBinaryReducing[BinaryIndex(i, j)];
            if (row.i != static_cast<int>(i) || row.j != static_cast<int>(j)) return false;
        }
    return true;
}
static_assert(BinaryTableInOrder());

constexpr double kRstarOverR = g::kRstar_J_molK / g::kR_J_molK;

// Whether component i is the hydrogen model's normal hydrogen (Leachman et al.) rather than
// GERG-2008's hydrogen.
constexpr bool IsModelHydrogen(GergModel model, std::size_t i) {
    return model == GergModel::Gerg2008Hydrogen2021 && i == static_cast<std::size_t>(h::kHydrogen);
}

// The reducing parameters of pair i < j in the model; the hydrogen model's pairs are printed
// with hydrogen second, so a pair whose hydrogen comes first in the numbering takes the
// reciprocal betas.
constexpr g::BinaryReducing ReducingOf(GergModel model, std::size_t i, std::size_t j) {
    if (model == GergModel::Gerg2008Hydrogen2021)
        for (const h::BinaryReducing& r : h::kBinaryReducing) {
            const auto first = static_cast<std::size_t>(r.i), second = static_cast<std::size_t>(r.j);
            if (first == i && second == j) return {r.i, r.j, r.beta_v, r.gamma_v, r.beta_T, r.gamma_T};
            if (first == j && second == i) return {r.j, r.i, 1 / r.beta_v, r.gamma_v, 1 / r.beta_T, r.gamma_T};
        }
    return g::kBinaryReducing[BinaryIndex(i, j)];
}

// Whether the model gives GERG-2008's departure pair a function of its own.
constexpr bool ReplacedPair(GergModel model, const g::DeparturePair& pair) {
    if (model != GergModel::Gerg2008Hydrogen2021) return false;
    for (const h::DeparturePair& own : h::kDeparturePairs)
        if ((own.i == pair.i && own.j == pair.j) || (own.i == pair.j && own.j == pair.i)) return true;
    return false;
}

}  // namespace

Gerg2008Mixture::Gerg2008Mixture(std::span<const double, kComponents> fractions, GergModel model) : model_(model) {
    const auto normalised = NormalisedFractions(fractions);
    if (!normalised) return;
    x_ = *normalised;
    const auto critical_temperature = [&](std::size_t i) {
        return IsModelHydrogen(model, i) ? h::kCriticalTemperature_K : g::kComponents[i].critical_temperature_K;
    };
    const auto critical_density = [&](std::size_t i) {
        return IsModelHydrogen(model, i) ? h::kCriticalDensity_mol_l : g::kComponents[i].critical_density_mol_l;
    };

    // Reducing functions, molar mass, pseudo-critical density.
    double volume = 0, temperature = 0, pseudo_volume = 0;
    for (std::size_t i = 0; i < kComponents; ++i) {
        if (x_[i] <= 0) continue;
        molar_mass_ += x_[i] * g::kComponents[i].molar_mass_g_mol;
        pseudo_volume += x_[i] / critical_density(i);
        volume += x_[i] * x_[i] / critical_density(i);
        temperature += x_[i] * x_[i] * critical_temperature(i);
        for (std::size_t j = i + 1; j < kComponents; ++j) {
            if (x_[j] <= 0) continue;
            const g::BinaryReducing r = ReducingOf(model, i, j);
            const double cube = 1.0 / std::cbrt(critical_density(i)) + 1.0 / std::cbrt(critical_density(j));
            const double xx = 2 * x_[i] * x_[j] * (x_[i] + x_[j]);
            volume += xx * r.beta_v * r.gamma_v * cube * cube * cube / 8 /
                      (r.beta_v * r.beta_v * x_[i] + x_[j]);
            temperature += xx * r.beta_T * r.gamma_T * std::sqrt(critical_temperature(i) * critical_temperature(j)) /
                           (r.beta_T * r.beta_T * x_[i] + x_[j]);
        }
    }
    reducing_density_ = 1.0 / volume;
    reducing_temperature_ = temperature;
    pseudo_critical_density_ = 1.0 / pseudo_volume;

    // Coefficients of the pure forms (summed over the components of one form) and of the
    // departure functions (weighted by F_ij x_i x_j, summed over the pairs that share one).
    for (std::size_t i = 0; i < kComponents; ++i) {
        if (x_[i] <= 0) continue;
        if (IsModelHydrogen(model, i)) {
            const std::size_t offset = HydrogenFunctionOffset(0);
            for (std::size_t k = 0; k < h::kResidual.size(); ++k) slot_coefficient_[offset + k] += x_[i] * h::kResidual[k].n;
            continue;
        }
        const g::Component& c = g::kComponents[i];
        const std::size_t offset = FormOffset(FormIndex(c.form));
        for (std::size_t k = 0; k < c.n.size(); ++k) slot_coefficient_[offset + k] += x_[i] * c.n[k];
    }
    std::array<double, kDepartureFunctions.size()> weight{};
    for (const auto& pair : g::kDeparturePairs)
        if (!ReplacedPair(model, pair))
            weight[DepartureFunctionOf(pair)] += pair.f * x_[static_cast<std::size_t>(pair.i)] *
                                                 x_[static_cast<std::size_t>(pair.j)];
    if (model == GergModel::Gerg2008Hydrogen2021)
        for (std::size_t p = 0; p < h::kDeparturePairs.size(); ++p) {
            const h::DeparturePair& pair = h::kDeparturePairs[p];
            const double w = pair.f * x_[static_cast<std::size_t>(pair.i)] * x_[static_cast<std::size_t>(pair.j)];
            if (w == 0) continue;
            const std::size_t offset = HydrogenFunctionOffset(p + 1);
            for (std::size_t k = 0; k < pair.terms.size(); ++k) slot_coefficient_[offset + k] = w * pair.terms[k].n;
        }
    for (std::size_t f = 0; f < kDepartureFunctions.size(); ++f) {
        if (weight[f] == 0) continue;
        const std::size_t offset = DepartureOffset(f);
        for (std::size_t k = 0; k < kDepartureFunctions[f].size(); ++k)
            slot_coefficient_[offset + k] = weight[f] * kDepartureFunctions[f][k].n;
    }
    std::array<bool, kGroupCapacity> group_used{};
    for (std::size_t k = 0; k < kSlotCount; ++k) {
        if (slot_coefficient_[k] == 0) continue;
        active_slots_[active_slot_count_++] = static_cast<std::uint8_t>(k);
        group_used[static_cast<std::size_t>(kTable.slots[k].group)] = true;
    }
    for (std::size_t group = 0; group < kTable.group_count; ++group)
        if (group_used[group]) active_groups_[active_group_count_++] = static_cast<std::uint8_t>(group);
    valid_ = true;
}

void Gerg2008Mixture::SetTemperature(double temperature_K) {
    if (temperature_K == temperature_) return;
    const double tau = reducing_temperature_ / temperature_K;
    const double ln_tau = std::log(tau);
    for (std::size_t a = 0; a < active_group_count_; ++a) group_tau_[active_groups_[a]] = {0, 0, 0};
    for (std::size_t a = 0; a < active_slot_count_; ++a) {
        const std::size_t k = active_slots_[a];
        const Slot& slot = kTable.slots[k];
        auto& sums = group_tau_[static_cast<std::size_t>(slot.group)];
        if (slot.tau_beta == 0) {
            const double v = slot_coefficient_[k] * std::exp(slot.t * ln_tau + slot.k0);
            sums[0] += v;
            sums[1] += slot.t * v;
            sums[2] += slot.t * (slot.t - 1) * v;
            continue;
        }
        // tau^t exp(-beta (tau - gamma)^2): tau d/dtau gives the factor a below, and tau^2
        // d2/dtau2 the factor a^2 - a - 2 beta tau (2 tau - gamma).
        const double shift = tau - slot.tau_gamma;
        const double v = slot_coefficient_[k] * std::exp(slot.t * ln_tau + slot.k0 - slot.tau_beta * shift * shift);
        const double a_tau = slot.t - 2 * slot.tau_beta * tau * shift;
        sums[0] += v;
        sums[1] += a_tau * v;
        sums[2] += (a_tau * a_tau - a_tau - 2 * slot.tau_beta * tau * (2 * tau - slot.tau_gamma)) * v;
    }
    ideal_tau_tau_ = IdealTauTau(temperature_K);
    temperature_ = temperature_K;
}

// tau^2 d2(alpha_0)/d(tau)^2 of the ideal-gas part (its only derivative that Z, w and kappa need).
double Gerg2008Mixture::IdealTauTau(double temperature_K) const {
    double sum = 0;
    for (std::size_t i = 0; i < kComponents; ++i) {
        if (x_[i] <= 0) continue;
        if (IsModelHydrogen(model_, i)) {
            // Planck-Einstein terms a ln(1 - exp(-u)): tau^2 d2/dtau2 = -a u^2 exp(-u)/(1 - exp(-u))^2.
            double hydrogen = h::kIdealLogTau;
            for (std::size_t k = 0; k < h::kIdealA.size(); ++k) {
                const double u = h::kIdealTheta_K[k] / temperature_K;
                const double e = std::exp(-u);
                hydrogen += h::kIdealA[k] * u * u * e / ((1 - e) * (1 - e));
            }
            sum -= x_[i] * hydrogen;
            continue;
        }
        const g::Component& c = g::kComponents[i];
        double component = c.n0_3;
        for (std::size_t k = 0; k < 4; ++k) {
            if (c.theta_4to7_K[k] <= 0) continue;
            const double u = c.theta_4to7_K[k] / temperature_K;
            const double e = std::exp(-u);
            // k = 0, 2: sinh terms; k = 1, 3: cosh terms.
            const double h = (k % 2 == 0) ? (1 - e * e) / (2 * e) : (1 + e * e) / (2 * e);
            component += c.n0_4to7[k] * (u / h) * (u / h);
        }
        sum -= x_[i] * kRstarOverR * component;
    }
    return sum;
}

Gerg2008Mixture::Residual Gerg2008Mixture::Evaluate(double delta) const {
    std::array<double, 8> power{};
    power[0] = 1;
    for (std::size_t k = 1; k < power.size(); ++k) power[k] = power[k - 1] * delta;
    std::array<double, 7> decay{};
    for (std::size_t c = 1; c < decay.size(); ++c) decay[c] = std::exp(-power[c]);

    Residual r;
    for (std::size_t a = 0; a < active_group_count_; ++a) {
        const std::size_t group = active_groups_[a];
        const int d = kTable.group_d[group];
        const int c = kTable.group_c[group];
        const double eta = kTable.group_eta[group];
        const double b = kTable.group_b[group];
        double value = power[static_cast<std::size_t>(d)];
        double f1 = d, f2 = d * (d - 1.0);
        if (c > 0) {
            const double cdc = c * power[static_cast<std::size_t>(c)];
            value *= decay[static_cast<std::size_t>(c)];
            f1 = d - cdc;
            f2 = f1 * (f1 - 1) - c * cdc;
        } else if (eta != 0 || b != 0) {
            const double eta_dd = eta * delta * delta;
            value *= std::exp(b * delta - eta_dd);
            f1 = d - 2 * eta_dd + b * delta;
            f2 = f1 * f1 - d - 2 * eta_dd;
        }
        const auto& sums = group_tau_[group];
        r.a01 += sums[0] * value * f1;
        r.a02 += sums[0] * value * f2;
        r.a11 += sums[1] * value * f1;
        r.a20 += sums[2] * value;
    }
    return r;
}

LineState Gerg2008Mixture::State(double temperature_K, double pressure_kPa, Root root) {
    LineState state;
    state.status = CheckStateInput(valid_, temperature_K, pressure_kPa, kGergMinTemperature_K,
                                   kGergMaxTemperature_K, kGergMaxPressure_kPa);
    if (state.status != LineStatus::Ok) return state;
    SetTemperature(temperature_K);
    const double rt = g::kR_J_molK * temperature_K;
    Residual r;
    const auto pressure = [&](double rho) {
        r = Evaluate(rho / reducing_density_);
        return PressurePoint{rho * rt * (1 + r.a01), rt * (1 + 2 * r.a01 + r.a02)};
    };
    const double start = root == Root::Gas ? pressure_kPa / rt : 3 * pseudo_critical_density_;
    const auto rho = SolveDensity(pressure, pressure_kPa, start, root);
    if (!rho) {
        state.status = LineStatus::NoConvergence;
        return state;
    }
    r = Evaluate(*rho / reducing_density_);
    const double z = 1 + r.a01;
    const double dp_drho = rt * (1 + 2 * r.a01 + r.a02);
    const double dp_dt = *rho * g::kR_J_molK * (1 + r.a01 - r.a11);
    const double cv = -g::kR_J_molK * (ideal_tau_tau_ + r.a20);
    const double cp = cv + temperature_K * (dp_dt / *rho) * (dp_dt / *rho) / dp_drho;
    const double w2 = 1000 * cp / cv * dp_drho / molar_mass_;
    if (!(cv > 0) || !(cp > 0) || !(w2 > 0) || !(z > 0)) {
        state.status = LineStatus::NoConvergence;
        return state;
    }
    state = SolvedState(*rho, z, molar_mass_);
    state.speed_of_sound_m_s = std::sqrt(w2);
    state.isentropic_exponent = w2 * molar_mass_ / (1000 * rt * z);
    return state;
}

}  // namespace calorix::lineprops
