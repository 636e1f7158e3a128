#include "host/thermo/peng_robinson.h"

namespace calorix::host::pr {

double PolarFraction(const Model& m, const std::vector<double>& x) {
    double s = 0.0;
    for (std::size_t i = 0; i < m.n; ++i)
        if (m.polar[i]) s += x[i];
    return s;
}

// a / (b R T) of a phase over its value at the critical point of a pure Peng-Robinson fluid,
// Omega_a / Omega_b: below 1 the phase lies above its own pseudo-critical temperature (the
// temperature at which a pure fluid with the phase's mixed parameters would be critical), a
// supercritical fluid however dense. 0.89 for the methane-rich phase of methane / n-butane at
// -60 degC and 7000 kPa; 1.15 for methane compressed at -100 degC; 5.7 for the methane-rich
// liquid of a natural gas at -220 degC.
double InverseReducedTemperature(const Model& m, const std::vector<double>& x) {
    double a = 0.0, b = 0.0;
    for (std::size_t i = 0; i < m.n; ++i) {
        b += x[i] * m.b[i];
        for (std::size_t j = 0; j < m.n; ++j) a += x[i] * x[j] * m.aij[i * m.n + j];
    }
    return a / (b * kGasConstant * m.temperatureK) / (kOmegaA / kOmegaB);
}

namespace {

// Hydrocarbons heavier than methane in a phase.
constexpr std::int32_t kMethaneCasKey = 74828;
double HeavierHydrocarbonFraction(const Model& m, const std::vector<Component>& components,
                                  const std::vector<double>& x) {
    double s = 0.0;
    for (std::size_t i = 0; i < m.n; ++i) {
        const Component& c = components[m.index[i]];
        if (c.componentClass >= 200 && c.componentClass < 300 && c.casKey != kMethaneCasKey) s += x[i];
    }
    return s;
}

}  // namespace

// Slots of the phases of an equilibrium. A phase is a vapour when it is vapour-like by the
// phase identification parameter, or liquid-like but above its own pseudo-critical
// temperature (the dense methane-rich phase of a near-critical split, or a dense gas at 128
// bar, which that parameter counts as liquid-like). One phase: a vapour to the vapour slot
// (a mostly polar one only when vapour-like), a liquid to the aqueous slot when water,
// alcohols and glycols make up most of it, else to the hydrocarbon-liquid slot. Several
// phases: the most polar liquid that is mostly polar goes to the aqueous slot. Of the others
// the lightest goes to the vapour slot when it is a vapour. Every other phase is a liquid: a
// second mostly polar one (such as a liquid of methanol and acid gases beside one of water and
// methanol) goes to the phase-3 slot, never to the hydrocarbon-liquid slot; of the others one
// goes to the hydrocarbon-liquid slot, two to the hydrocarbon-liquid slot (the one richer in
// hydrocarbons heavier than methane) and the phase-3 slot (the other, such as a liquid rich in
// carbon dioxide, hydrogen sulfide or methane). Liquids that do not fit so have no slot (-1
// for every phase).
std::vector<int> ClassifyPhases(const Model& m, const std::vector<Component>& components,
                                const std::vector<SplitPhase>& phases) {
    const std::size_t np = phases.size();
    std::vector<int> slot(np, kHydrocarbonLiquidSlot);
    std::vector<double> polar(np), pip(np);
    for (std::size_t k = 0; k < np; ++k) {
        polar[k] = PolarFraction(m, phases[k].x);
        pip[k] = PhaseIdentificationParameter(m, phases[k].x.data(), phases[k].eval.z);
    }
    auto vapourLike = [&](std::size_t k) { return !(pip[k] > 1.0); };
    // A vapour, or a dense fluid above its own pseudo-critical temperature.
    auto vapour = [&](std::size_t k) { return vapourLike(k) || InverseReducedTemperature(m, phases[k].x) < 1.0; };
    if (np == 1) {
        const bool mostlyPolar = polar[0] > 0.5;
        slot[0] = (mostlyPolar ? vapourLike(0) : vapour(0)) ? kVapourSlot
                  : mostlyPolar                         ? kAqueousSlot
                                                        : kHydrocarbonLiquidSlot;
        return slot;
    }
    std::vector<std::size_t> order(np);  // lightest (largest Z) first
    for (std::size_t k = 0; k < np; ++k) order[k] = k;
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return phases[a].eval.z > phases[b].eval.z; });
    // The aqueous phase: the most polar of the phases other than the lightest (or the lightest
    // itself if it is a polar liquid and nothing else is).
    std::size_t aqueous = np;
    for (std::size_t r = 1; r < np; ++r)
        if (polar[order[r]] > 0.5 && (aqueous == np || polar[order[r]] > polar[aqueous])) aqueous = order[r];
    if (aqueous == np && polar[order[0]] > 0.5 && !vapourLike(order[0])) aqueous = order[0];
    std::vector<std::size_t> rest;
    for (std::size_t k : order)
        if (k != aqueous) rest.push_back(k);
    if (aqueous < np) slot[aqueous] = kAqueousSlot;
    if (!rest.empty() && vapour(rest[0])) {
        slot[rest[0]] = kVapourSlot;
        rest.erase(rest.begin());
    }
    const auto secondPolar = std::find_if(rest.begin(), rest.end(), [&](std::size_t k) { return polar[k] > 0.5; });
    if (secondPolar != rest.end()) {
        slot[*secondPolar] = kPhase3Slot;
        rest.erase(secondPolar);
        if (rest.size() == 1 && !(polar[rest[0]] > 0.5)) {
            slot[rest[0]] = kHydrocarbonLiquidSlot;
        } else if (!rest.empty()) {
            slot.assign(np, -1);
        }
    } else if (rest.size() == 1) {
        slot[rest[0]] = kHydrocarbonLiquidSlot;
    } else if (rest.size() == 2) {
        const bool firstHeavier = HeavierHydrocarbonFraction(m, components, phases[rest[0]].x) >=
                                  HeavierHydrocarbonFraction(m, components, phases[rest[1]].x);
        slot[rest[firstHeavier ? 0 : 1]] = kHydrocarbonLiquidSlot;
        slot[rest[firstHeavier ? 1 : 0]] = kPhase3Slot;
    } else if (rest.size() > 2) {
        slot.assign(np, -1);
    }
    return slot;
}

}  // namespace calorix::host::pr
