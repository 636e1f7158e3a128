#include "host/manager/evaluate.h"

#include <algorithm>
#include <cmath>
#include <string_view>

#include <fmt/format.h>

#include "framework/reference_conditions.h"
#include "framework/value_status.h"
#include "host/fluid/components.h"
#include "host/manager/fluid.h"
#include "host/manager/output_units.h"
#include "host/thermo/flash.h"
#include "framework/line_range.h"

namespace calorix::host {

namespace {

bool PhasePresent(const Fluid& fluid, int slot) {
    if (fluid.phases.empty()) return slot == kVapourSlot;
    for (const auto& p : fluid.phases)
        if (p.slot == slot) return true;
    return false;
}

// Why a value is missing, from what the module wrote in "Phase_Status".
std::string MissingValueReason(const Fluid& fluid, const std::optional<double>& status) {
    if (!status) return "the correlation gave no value";
    const DecodedValueStatus decoded = DecodeValueStatus(*status);
    switch (decoded.status) {
        case ValueStatus::ForeignComponent:
            for (const auto& c : fluid.components)
                if (c.casKey == decoded.detail)
                    return fmt::format("{} ({}) is not one of the model's 21 components", c.name,
                                       FormatCasNumber(c.casKey));
            return "a component outside the model's 21";
        case ValueStatus::OutOfRange:
            if (decoded.detail > 0)
                return "outside the model's range: " +
                       calorix::lineprops::DescribeLimit(calorix::lineprops::DecodeLimit(decoded.detail));
            return "outside the model's range";
        case ValueStatus::NoConvergence: return "the density solve found no stable root";
        case ValueStatus::BadInput: return "bad input: a fraction, temperature or pressure not valid";
        case ValueStatus::NotOnePhase: return "the fluid is not one phase; each phase has its own value";
        case ValueStatus::NoWater: return "no water dew point: no water in the fluid";
        case ValueStatus::NoDewPoint: return "no dew point found (above the cricondenbar, or the dew-point search failed)";
        case ValueStatus::NoHydrocarbons: return "no hydrocarbons in the fluid";
        case ValueStatus::Ok:
        case ValueStatus::ExtendedRange:
        case ValueStatus::NoValue: break;
    }
    return "the correlation gave no value";
}

// Of a value: where it lies beyond the model's normal range, from "Phase_Status".
std::string ValueNote(const std::optional<double>& status) {
    if (!status) return "";
    const DecodedValueStatus decoded = DecodeValueStatus(*status);
    if (decoded.status != ValueStatus::ExtendedRange) return "";
    return "extended range: " + calorix::lineprops::DescribeLimit(calorix::lineprops::DecodeLimit(decoded.detail));
}

void SetPhaseStatuses(const Fluid& fluid, const std::string& flashProblem, CorrelationResult& r) {
    for (std::size_t k = 0; k < kOutputColumns; ++k) {
        PhaseStatus& s = r.phases[k];
        const bool present = k == 0 || PhasePresent(fluid, static_cast<int>(k) - 1);
        const bool value = r.report.phaseValues[kPhaseValueIndex[k]].has_value();
        if (!flashProblem.empty()) {
            s = {PhaseState::NotComputed, "the flash failed"};
        } else if (!present) {
            s = {PhaseState::Absent, ""};
        } else if (FAILED(r.report.status)) {
            s = {PhaseState::NotComputed, "the correlation failed"};
        } else if (!value) {
            s = {PhaseState::NotComputed, MissingValueReason(fluid, r.report.phaseStatus[kPhaseValueIndex[k]])};
        } else {
            s = {PhaseState::Ok, "", ValueNote(r.report.phaseStatus[kPhaseValueIndex[k]])};
        }
    }
}

}  // namespace

bool PlausibleValue(std::int32_t resultType, double value) noexcept {
    if (!std::isfinite(value)) return false;
    switch (resultType) {
        case 1: return value > -273.15;
        case 16: return value > 0.0;
        default: return value >= 0.0;
    }
}

std::string PhaseStatus::Text() const {
    switch (state) {
        case PhaseState::Ok: return note.empty() ? "ok" : "ok (" + note + ")";
        case PhaseState::Absent: return "absent";
        case PhaseState::NotComputed: break;
    }
    return "not computed";
}

std::string CorrelationResult::StatusText() const {
    if (FAILED(report.status)) return fmt::format("{} failed: {}", report.failedStep, FormatStatus(report.status));
    if (!problem.empty()) return problem;
    if (phases[0].state != PhaseState::Ok) return "not computed: " + phases[0].reason;
    return phases[0].Text();
}

std::vector<std::string> SolidPhaseWarnings(const Fluid& fluid) {
    // Carbon dioxide's triple point, -56.558 degC (Span and Wagner, J. Phys. Chem. Ref. Data 25,
    // 1996): below it a liquid that is mostly carbon dioxide would be solid, a phase the host's
    // flash does not have.
    constexpr double kCo2TriplePointC = -56.558;
    constexpr std::int32_t kCo2CasKey = 124389;
    std::vector<std::string> warnings;
    if (!(fluid.temperatureC < kCo2TriplePointC)) return warnings;
    for (const auto& p : fluid.phases) {
        if (p.slot == kVapourSlot) continue;
        for (std::size_t i = 0; i < fluid.components.size() && i < p.moleFractions.size(); ++i)
            if (fluid.components[i].casKey == kCo2CasKey && p.moleFractions[i] > 0.5)
                warnings.push_back(fmt::format(
                    "the phase \"{}\" is {:.0f} % carbon dioxide at {:.2f} degC, below carbon dioxide's triple point "
                    "(-56.6 degC): solid carbon dioxide would form, which the host's flash does not model",
                    kPhaseKey[static_cast<std::size_t>(p.slot) + 1], 100.0 * p.moleFractions[i], fluid.temperatureC));
    }
    return warnings;
}

bool FluidResult::Ok() const {
    if (!flashProblem.empty()) return false;
    for (const auto& c : correlations)
        if (!c.Ok()) return false;
    return true;
}

bool Equilibrate(Fluid& fluid, std::string& problem) {
    PengRobinsonFlash flash(fluid.components);
    FlashFailure failure = FlashFailure::None;
    auto result = flash.FlashTP(fluid.temperatureC + 273.15, fluid.pressureKPa, fluid.moleFractions, &failure);
    if (!result) {
        problem = fmt::format("the flash at {:.2f} degC and {:.1f} kPa {}", fluid.temperatureC, fluid.pressureKPa,
                              failure == FlashFailure::NoSlot
                                  ? "found more phases than the host has slots for (vapour, hydrocarbon liquid, "
                                    "aqueous, phase 3)"
                                  : "did not converge");
        return false;
    }
    fluid.phases.clear();
    for (std::size_t slot = 0; slot < result->phases.size(); ++slot) {
        const auto& p = result->phases[slot];
        if (p.present) fluid.phases.push_back(Phase{static_cast<int>(slot), p.fraction, p.moleFractions});
    }
    return true;
}

FluidEvaluator::FluidEvaluator(const CorrelationManager& manager, std::span<const CatalogueEntry* const> classes,
                               bool optional, EvaluationSettings settings)
    : m_settings(settings) {
    // The option of each enumeration parameter the run chooses; an object gets those of the
    // parameters it reports.
    struct Choice {
        const char* name;
        std::optional<std::int32_t> option;
    };
    const Choice choices[] = {{"RefTempOption", settings.refTempOption},
                              {"RefConditions", RefConditionsOptionOf(settings.edition)},
                              {"MethaneOrigin", settings.methaneOriginOption},
                              {"Model", settings.gergModelOption}};
    for (const CatalogueEntry* entry : classes) {
        platform::ComPtr<ICorrelation> correlation;
        HRESULT hr = manager.Create(*entry->classId, &correlation);
        if (SUCCEEDED(hr) && !correlation) hr = E_POINTER;
        if (FAILED(hr) && optional && hr == CLASS_E_CLASSNOTAVAILABLE) {
            m_leftOut.emplace_back(entry->word);
            continue;
        }
        const char* step = "create";
        std::optional<IsoEdition> edition;
        if (SUCCEEDED(hr)) {
            const std::vector<std::string> parameters = ParameterNames(correlation.Get());
            auto has = [&](std::string_view name) {
                return std::find(parameters.begin(), parameters.end(), name) != parameters.end();
            };
            edition = EditionOf(entry->iso6976Edition, has("RefConditions"), has("RefTempOption"), settings.edition);
            for (const Choice& c : choices) {
                if (!c.option || !has(c.name)) continue;
                if (FAILED(hr = SelectEnumOption(correlation.Get(), c.name, *c.option))) {
                    step = c.name;
                    break;
                }
            }
        }
        // The model a class with "Model" computes with, as the class names the option chosen.
        std::optional<std::string> model;
        if (SUCCEEDED(hr)) model = SelectedEnumText(correlation.Get(), "Model");
        CorrelationReport described = DescribeObject(SUCCEEDED(hr) ? correlation.Get() : nullptr, entry->word);
        m_slots.push_back(Slot{entry, std::move(correlation), hr, step, edition, std::move(model), std::move(described)});
    }
    // Whether the fluid is a gas at the reference conditions of the ISO 6976 classes run: the
    // module's compression factor at the lowest of their metering temperatures.
    std::optional<double> metering;
    for (const Slot& slot : m_slots)
        if (slot.edition) metering = std::min(metering.value_or(slot.edition->meteringC), slot.edition->meteringC);
    const CatalogueEntry* z = FindCatalogueEntry("CompressionFactor2016");
    const std::int32_t option = metering ? reference_conditions::RefConditionsOption(15.0, *metering) : -1;
    if (z && option >= 0 && SUCCEEDED(manager.Create(*z->classId, &m_gasCheck)) && m_gasCheck &&
        SUCCEEDED(SelectEnumOption(m_gasCheck.Get(), "RefConditions", option)))
        m_gasCheckMeteringC = *metering;
    else
        m_gasCheck = nullptr;
}

void FluidEvaluator::AddWarnings(const Fluid& input, FluidResult& out) {
    for (auto& w : SolidPhaseWarnings(out.fluid)) out.warnings.push_back(std::move(w));
    // Taken as one vapour phase: whether it is one, by the tangent-plane test of the flash's
    // first step (the split itself is not needed to warn).
    auto sameComponents = [&](const std::vector<Component>& a) {
        const auto& b = input.components;
        return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](const Component& x, const Component& y) {
                   return x.casKey == y.casKey && x.molarMassKgPerKmol == y.molarMassKgPerKmol &&
                          x.criticalTemperatureK == y.criticalTemperatureK &&
                          x.criticalPressureKPa == y.criticalPressureKPa && x.acentricFactor == y.acentricFactor &&
                          x.componentClass == y.componentClass;
               });
    };
    if (!m_settings.flash && input.phases.empty()) {
        if (!m_splitModel || !sameComponents(m_splitModel->Components())) m_splitModel.emplace(input.components);
        if (m_splitModel->Splits(input.temperatureC + 273.15, input.pressureKPa, input.moleFractions) == true)
            out.warnings.push_back(fmt::format("the fluid splits into phases at {:.2f} degC and {:.1f} kPa; the values "
                                               "are for one vapour phase of the overall composition (ask for the flash "
                                               "for each phase)",
                                               input.temperatureC, input.pressureKPa));
    }
    if (m_gasCheck && out.flashProblem.empty()) {
        // The overall composition, as one phase.
        Fluid overall = out.fluid;
        overall.phases.clear();
        auto source = MakeFluidSource({overall});
        const CorrelationReport z = RunCorrelation(m_gasCheck.Get(), "CompressionFactor2016", source.Get(), 0);
        if (SUCCEEDED(z.status) && z.phaseValues[0] && *z.phaseValues[0] < kGasCompressionFactor)
            out.warnings.push_back(fmt::format(
                "compression factor {:.3f} at {:g} degC and 101.325 kPa, below {:g}: the fluid is no gas there, and "
                "ISO 6976 heating values and densities are for gases",
                *z.phaseValues[0], m_gasCheckMeteringC, kGasCompressionFactor));
    }
}

FluidResult FluidEvaluator::Evaluate(const Fluid& input) {
    FluidResult out;
    out.fluid = input;
    if (m_settings.flash) Equilibrate(out.fluid, out.flashProblem);
    auto source = MakeFluidSource({out.fluid}, TempUnitFlag(m_settings.usUnits));
    for (Slot& slot : m_slots) {
        CorrelationResult r;
        r.edition = slot.edition;
        r.model = slot.model;
        if (FAILED(slot.createStatus)) {
            r.report.word = slot.entry->word;
            r.report.status = slot.createStatus;
            r.report.failedStep = slot.failedStep;
        } else if (!out.flashProblem.empty()) {
            r.report.word = slot.entry->word;
            r.problem = "not computed: " + out.flashProblem;
        } else {
            // The CO2-equivalent classes share one calculator in the module, which holds its own
            // lock for the whole of each calculation; evaluators on other threads go on meanwhile
            // with every other class and with the attachment and reading of these.
            r.report = RunCorrelation(slot.correlation.Get(), slot.entry->word, source.Get(), 0, &slot.described);
        }
        for (std::size_t k = 0; k < kOutputColumns && r.problem.empty() && SUCCEEDED(r.report.status); ++k) {
            auto& v = r.report.phaseValues[kPhaseValueIndex[k]];
            // A line-condition value may be negative (enthalpy and entropy on the equation's
            // reference state, a Joule-Thomson coefficient above its inversion temperature);
            // its engine has checked the state.
            if (v && !(slot.entry->family == "line" ? std::isfinite(*v) : PlausibleValue(r.report.resultType, *v))) {
                r.problem = fmt::format("invalid value {} for the {} phase", *v, kPhaseKey[k]);
                v.reset();
            }
        }
        SetPhaseStatuses(out.fluid, out.flashProblem, r);
        if (!r.problem.empty() && out.flashProblem.empty())
            for (auto& s : r.phases)
                if (s.state == PhaseState::Ok || s.state == PhaseState::NotComputed) s = {PhaseState::NotComputed, r.problem};
        out.correlations.push_back(std::move(r));
    }
    AddWarnings(input, out);
    return out;
}

}  // namespace calorix::host
