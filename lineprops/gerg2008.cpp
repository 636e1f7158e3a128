#include "lineprops/gerg2008.h"

#include <cmath>

#include "lineprops/gerg2008_hydrogen_table.h"
#include "lineprops/gerg2008_table.h"
#include "lineprops/line_solver.h"
#include "lineprops/power_table.h"

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
// tau^t is formed from tables of tau^(1/40) and of whole powers of tau where t is a multiple of
// 1/40 up to kMaxWholePower (every term of GERG-2008), by exp(t ln tau) otherwise.
constexpr int kFortieths = 40;
constexpr int kMaxWholePower = 30;

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
    int fortieths = -1;  // 40 t where that is a whole number up to 40 kMaxWholePower, else -1
};

constexpr int FortiethsOf(double t) {
    const double scaled = t * kFortieths;
    if (!(scaled >= 0) || scaled > kFortieths * kMaxWholePower) return -1;
    const int whole = static_cast<int>(scaled + 0.5);
    return (scaled - whole < 1e-9 && whole - scaled < 1e-9) ? whole : -1;
}

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
    // Each slot's unit: its pure form (0..5) or departure function (6 on), which is present in
    // a mixture as a whole; and the slots in order of their groups.
    std::array<std::uint8_t, kSlotCount> unit{};
    std::array<std::uint8_t, kSlotCount> by_group{};
    std::array<int, kSlotCount> group_d{};
    std::array<int, kSlotCount> group_c{};
    std::array<double, kSlotCount> group_eta{};
    std::array<double, kSlotCount> group_b{};
    std::size_t group_count = 0;
};

constexpr SlotTable MakeSlotTable() {
    SlotTable table;
    std::size_t k = 0;
    std::uint8_t unit = 0;
    for (g::Form form : kForms) {
        for (const g::PureExponents& e : g::ExponentsOf(form)) {
            table.unit[k] = unit;
            table.slots[k++] = {e.t, e.d, e.c, 0, 0, 0, 0};
        }
        ++unit;
    }
    for (const auto& function : kDepartureFunctions) {
        for (const g::DepartureTerm& term : function) {
            table.unit[k] = unit;
            table.slots[k++] = {term.t, term.d, 0, term.eta, 2 * term.eta * term.epsilon - term.beta,
                                term.beta * term.gamma - term.eta * term.epsilon * term.epsilon, 0};
        }
        ++unit;
    }
    for (const auto& function : kHydrogenFunctions) {
        for (const h::Term& term : function) {
            table.unit[k] = unit;
            table.slots[k++] = {term.t, term.d, term.l, term.eta, 2 * term.eta * term.epsilon,
                                -term.eta * term.epsilon * term.epsilon, 0, term.beta, term.gamma};
        }
        ++unit;
    }
    for (Slot& slot : table.slots) {
        slot.fortieths = FortiethsOf(slot.t);
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
    std::size_t next = 0;
    for (std::size_t group = 0; group < table.group_count; ++group)
        for (std::size_t s = 0; s < kSlotCount; ++s)
            if (table.slots[s].group == static_cast<int>(group)) table.by_group[next++] = static_cast<std::uint8_t>(s);
    return table;
}

constexpr SlotTable kTable = MakeSlotTable();
constexpr std::size_t kUnitCount = kForms.size() + kDepartureFunctions.size() + kHydrogenFunctions.size();
constexpr std::size_t kHydrogenUnit = kForms.size() + kDepartureFunctions.size();

constexpr std::size_t DepartureFunctionOf(const g::DeparturePair& pair) {
    for (std::size_t f = 0; f < kDepartureFunctions.size(); ++f)
        if (kDepartureFunctions[f].data() == pair.terms.data()) return f;
    return kDepartureFunctions.size();
}

const std::array<std::size_t, g::kDeparturePairs.size()> kPairFunction = [] {
    std::array<std::size_t, g::kDeparturePairs.size()> functions{};
    for (std::size_t p = 0; p < functions.size(); ++p) functions[p] = DepartureFunctionOf(g::kDeparturePairs[p]);
    return functions;
}();

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

// exp(k0) of each slot, folded into its coefficient when a mixture is formed.
const std::array<double, kSlotCount> kSlotScale = [] {
    std::array<double, kSlotCount> scale{};
    for (std::size_t k = 0; k < kSlotCount; ++k) scale[k] = std::exp(kTable.slots[k].k0);
    return scale;
}();

constexpr std::size_t BinaryIndex(std::size_t i, std::size_t j) {
    return i * g::kComponentCount - i * (i + 1) / 2 + (j - i - 1);
}

// The parts of each pair's reducing terms that do not depend on composition, formed once:
// beta_v gamma_v (rho_ci^-1/3 + rho_cj^-1/3)^3 / 8 and beta_T gamma_T sqrt(T_ci T_cj), with the
// squared betas.
struct PairReducing {
    double volume = 0, beta_v2 = 0, temperature = 0, beta_t2 = 0;
};

const std::array<PairReducing, g::kBinaryReducing.size()> kPairReducing = [] {
    std::array<PairReducing, g::kBinaryReducing.size()> pairs{};
    for (std::size_t i = 0; i < g::kComponentCount; ++i)
        for (std::size_t j = i + 1; j < g::kComponentCount; ++j) {
            const g::Component& ci = g::kComponents[i];
            const g::Component& cj = g::kComponents[j];
            const g::BinaryReducing& r = g::kBinaryReducing[BinaryIndex(i, j)];
            const double cube =
                1.0 / std::cbrt(ci.critical_density_mol_l) + 1.0 / std::cbrt(cj.critical_density_mol_l);
            pairs[BinaryIndex(i, j)] = {r.beta_v * r.gamma_v * cube * cube * cube / 8, r.beta_v * r.beta_v,
                                        r.beta_T * r.gamma_T * std::sqrt(ci.critical_temperature_K * cj.critical_temperature_K),
                                        r.beta_T * r.beta_T};
        }
    return pairs;
}();

constexpr bool BinaryTableInOrder() {
    for (std::size_t i = 0; i < g::kComponentCount; ++i)
        for (std::size_t j = i + 1; j < g::kComponentCount; ++j) {
            const auto& row = g::kBinaryReducing[BinaryIndex(i, j)];
            if (row.i != static_cast<int>(i) || row.j != static_cast<int>(j)) return false;
        }
    return true;
}
static_assert(BinaryTableInOrder());

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
    // The hydrogen model's normal hydrogen has critical values of its own, and its pairs their
    // own reducing parameters; every other pair's constant parts are in kPairReducing.
    const std::size_t model_hydrogen =
        model == GergModel::Gerg2008Hydrogen2021 ? static_cast<std::size_t>(h::kHydrogen) : kComponents;
    const auto critical_temperature = [&](std::size_t i) {
        return i == model_hydrogen ? h::kCriticalTemperature_K : g::kComponents[i].critical_temperature_K;
    };
    const auto critical_density = [&](std::size_t i) {
        return i == model_hydrogen ? h::kCriticalDensity_mol_l : g::kComponents[i].critical_density_mol_l;
    };
    const auto pair_reducing = [&](std::size_t i, std::size_t j) {
        if (i != model_hydrogen && j != model_hydrogen) return kPairReducing[BinaryIndex(i, j)];
        const g::BinaryReducing r = ReducingOf(model, i, j);
        const double cube = 1.0 / std::cbrt(critical_density(i)) + 1.0 / std::cbrt(critical_density(j));
        return PairReducing{r.beta_v * r.gamma_v * cube * cube * cube / 8, r.beta_v * r.beta_v,
                            r.beta_T * r.gamma_T * std::sqrt(critical_temperature(i) * critical_temperature(j)),
                            r.beta_T * r.beta_T};
    };

    // Reducing functions, molar mass, pseudo-critical density.
    std::array<std::uint8_t, kComponents> present{};
    std::size_t present_count = 0;
    for (std::size_t i = 0; i < kComponents; ++i)
        if (x_[i] > 0) present[present_count++] = static_cast<std::uint8_t>(i);
    std::array<bool, kUnitCount> unit_present{};
    double volume = 0, temperature = 0, pseudo_volume = 0;
    for (std::size_t a = 0; a < present_count; ++a) {
        const std::size_t i = present[a];
        const g::Component& ci = g::kComponents[i];
        molar_mass_ += x_[i] * ci.molar_mass_g_mol;
        sum_x_ln_x_ += x_[i] * std::log(x_[i]);
        pseudo_volume += x_[i] / critical_density(i);
        volume += x_[i] * x_[i] / critical_density(i);
        temperature += x_[i] * x_[i] * critical_temperature(i);
        for (std::size_t b = a + 1; b < present_count; ++b) {
            const std::size_t j = present[b];
            const PairReducing r = pair_reducing(i, j);
            const double xx = 2 * x_[i] * x_[j] * (x_[i] + x_[j]);
            volume += xx * r.volume / (r.beta_v2 * x_[i] + x_[j]);
            temperature += xx * r.temperature / (r.beta_t2 * x_[i] + x_[j]);
        }
        // Coefficients of the pure forms, summed over the components of one form.
        if (i == model_hydrogen) {
            const std::size_t offset = HydrogenFunctionOffset(0);
            unit_present[kHydrogenUnit] = true;
            for (std::size_t k = 0; k < h::kResidual.size(); ++k)
                slot_coefficient_[offset + k] += x_[i] * h::kResidual[k].n * kSlotScale[offset + k];
            continue;
        }
        const std::size_t form = FormIndex(ci.form);
        const std::size_t offset = FormOffset(form);
        unit_present[form] = true;
        for (std::size_t k = 0; k < ci.n.size(); ++k) slot_coefficient_[offset + k] += x_[i] * ci.n[k];
    }
    reducing_density_ = 1.0 / volume;
    reducing_temperature_ = temperature;
    pseudo_critical_density_ = 1.0 / pseudo_volume;

    // Coefficients of the departure functions, weighted by F_ij x_i x_j and summed over the pairs
    // that share one.
    std::array<double, kDepartureFunctions.size()> weight{};
    for (std::size_t p = 0; p < g::kDeparturePairs.size(); ++p) {
        const auto& pair = g::kDeparturePairs[p];
        if (!ReplacedPair(model, pair))
            weight[kPairFunction[p]] += pair.f * x_[static_cast<std::size_t>(pair.i)] * x_[static_cast<std::size_t>(pair.j)];
    }
    if (model == GergModel::Gerg2008Hydrogen2021)
        for (std::size_t p = 0; p < h::kDeparturePairs.size(); ++p) {
            const h::DeparturePair& pair = h::kDeparturePairs[p];
            const double w = pair.f * x_[static_cast<std::size_t>(pair.i)] * x_[static_cast<std::size_t>(pair.j)];
            if (w == 0) continue;
            unit_present[kHydrogenUnit + 1 + p] = true;
            const std::size_t offset = HydrogenFunctionOffset(p + 1);
            for (std::size_t k = 0; k < pair.terms.size(); ++k)
                slot_coefficient_[offset + k] = w * pair.terms[k].n * kSlotScale[offset + k];
        }
    for (std::size_t f = 0; f < kDepartureFunctions.size(); ++f) {
        if (weight[f] == 0) continue;
        unit_present[kForms.size() + f] = true;
        const std::size_t offset = DepartureOffset(f);
        for (std::size_t k = 0; k < kDepartureFunctions[f].size(); ++k)
            slot_coefficient_[offset + k] = weight[f] * kDepartureFunctions[f][k].n * kSlotScale[offset + k];
    }
    // The slots of the units present, in order of their groups, and where each group ends.
    for (const std::uint8_t k : kTable.by_group) {
        if (!unit_present[kTable.unit[k]]) continue;
        const auto group = static_cast<std::uint8_t>(kTable.slots[k].group);
        if (active_group_count_ == 0 || active_groups_[active_group_count_ - 1] != group)
            active_groups_[active_group_count_++] = group;
        active_slots_[active_slot_count_++] = k;
        group_end_[active_group_count_ - 1] = static_cast<std::uint8_t>(active_slot_count_);
    }
    valid_ = true;
}

void Gerg2008Mixture::SetTemperature(double temperature_K) {
    if (temperature_K == temperature_) return;
    const double tau = reducing_temperature_ / temperature_K;
    const double ln_tau = std::log(tau);
    const auto fraction = PowerTable<kFortieths>(std::exp(ln_tau / kFortieths));
    const auto whole = PowerTable<kMaxWholePower + 1>(tau);
    std::size_t a = 0;
    for (std::size_t group = 0; group < active_group_count_; ++group) {
        double sum = 0, sum_t = 0, sum_tt = 0;
        for (; a < group_end_[group]; ++a) {
            const std::size_t k = active_slots_[a];
            const Slot& slot = kTable.slots[k];
            const double tau_t = slot.fortieths >= 0
                                     ? whole[static_cast<std::size_t>(slot.fortieths / kFortieths)] *
                                           fraction[static_cast<std::size_t>(slot.fortieths % kFortieths)]
                                     : std::exp(slot.t * ln_tau);
            if (slot.tau_beta == 0) {
                const double v = slot_coefficient_[k] * tau_t;
                sum += v;
                sum_t += slot.t * v;
                sum_tt += slot.t * (slot.t - 1) * v;
                continue;
            }
            // tau^t exp(-beta (tau - gamma)^2): tau d/dtau gives the factor a below, and tau^2
            // d2/dtau2 the factor a^2 - a - 2 beta tau (2 tau - gamma).
            const double shift = tau - slot.tau_gamma;
            const double v = slot_coefficient_[k] * tau_t * std::exp(-slot.tau_beta * shift * shift);
            const double a_tau = slot.t - 2 * slot.tau_beta * tau * shift;
            sum += v;
            sum_t += a_tau * v;
            sum_tt += (a_tau * a_tau - a_tau - 2 * slot.tau_beta * tau * (2 * tau - slot.tau_gamma)) * v;
        }
        group_tau_[active_groups_[group]] = {sum, sum_t, sum_tt};
    }
    // The second virial coefficient: d(alpha_r)/d(delta) at delta = 0 is the sum over the groups
    // of delta^1, over the reducing density.
    second_virial_ = 0;
    for (std::size_t group = 0; group < active_group_count_; ++group)
        if (kTable.group_d[active_groups_[group]] == 1) second_virial_ += group_tau_[active_groups_[group]][0];
    second_virial_ /= reducing_density_;
    ideal_ = IdealGasAt(x_, temperature_K, true,
                        model_ == GergModel::Gerg2008Hydrogen2021 ? IdealHydrogen::Leachman : IdealHydrogen::Gerg2008);
    temperature_ = temperature_K;
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
        r.a00 += sums[0] * value;
        r.a01 += sums[0] * value * f1;
        r.a02 += sums[0] * value * f2;
        r.a10 += sums[1] * value;
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
    // The gas root starts from the second virial coefficient, Z = 1 + B rho, where that has a
    // root, else from the ideal gas; the liquid root from a dense state.
    double start = 3 * pseudo_critical_density_;
    if (root == Root::Gas) {
        const double discriminant = 1 + 4 * second_virial_ * pressure_kPa / rt;
        start = pressure_kPa / rt / (discriminant > 0 ? (1 + std::sqrt(discriminant)) / 2 : 1.0);
    }
    // The check at the converged density leaves its derivatives in r.
    const auto rho = SolveDensity(pressure, pressure, pressure_kPa, start, root);
    if (!rho) {
        state.status = LineStatus::NoConvergence;
        return state;
    }
    const double z = 1 + r.a01;
    const StateDerivatives d{
        rt * (1 + 2 * r.a01 + r.a02), *rho * g::kR_J_molK * (1 + r.a01 - r.a11),
        g::kRstar_J_molK * ideal_.cv - g::kR_J_molK * r.a20,
        IdealGasEnthalpy(ideal_, g::kRstar_J_molK, g::kR_J_molK, temperature_K) + rt * (r.a01 + r.a10),
        IdealGasEntropy(ideal_, sum_x_ln_x_, g::kRstar_J_molK, g::kR_J_molK, *rho) + g::kR_J_molK * (r.a10 - r.a00)};
    return CompleteState(*rho, temperature_K, z, g::kR_J_molK, molar_mass_, d);
}

}  // namespace calorix::lineprops
