// The native part of the Python package calorix: the host's fluids, flash, correlation manager,
// batches and dew-point envelope, over the host's public headers only. Every value goes through
// the correlation module (Calorix.so) the way calorix-host runs it, so the numbers are the
// command line's. The package's __init__.py wraps these functions with their documented
// signatures; they are not meant to be called directly.
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <sstream>
#include <string>
#include <vector>

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include "host/fluids.h"
#include "host/manager.h"
#include "host/thermo.h"

namespace py = pybind11;
using namespace calorix::host;

namespace {

// ---- the correlation module ---------------------------------------------------------------

// One module for the process: loaded on first use, from the path given to load_module(), else
// $CALORIX_MODULE, else beside this extension (the package installed with its own copy), else the
// build tree's folder of modules and programs, else the Linux packages' lib/calorix. A module once
// loaded stays loaded (as in calorix-host).
struct LoadedModule {
    std::mutex lock;
    std::string path;
    std::shared_ptr<CorrelationManager> manager;
};
LoadedModule& Module() {
    static LoadedModule module;
    return module;
}

std::string DefaultModule() {
    if (const char* env = std::getenv("CALORIX_MODULE"); env && *env) return env;
    const std::string elsewhere[] = {CALORIX_BUILD_MODULE_DIR, CALORIX_INSTALLED_MODULE_DIR};
    return DefaultModulePath(elsewhere);
}

std::shared_ptr<CorrelationManager> LoadModule(const std::string& path) {
    auto manager = std::make_shared<CorrelationManager>();
    const HRESULT hr = manager->Load(path);
    if (FAILED(hr)) throw std::runtime_error("cannot load " + path + ": " + FormatStatus(hr));
    return manager;
}

// The loaded module (loading it the first time).
std::shared_ptr<CorrelationManager> Manager() {
    LoadedModule& m = Module();
    std::lock_guard guard(m.lock);
    if (!m.manager) {
        const std::string path = DefaultModule();
        m.manager = LoadModule(path);
        m.path = path;
    }
    return m.manager;
}

std::string LoadModuleAt(const std::optional<std::string>& path) {
    const std::string chosen = path ? *path : DefaultModule();
    auto manager = LoadModule(chosen);
    LoadedModule& m = Module();
    std::lock_guard guard(m.lock);
    m.manager = std::move(manager);
    m.path = chosen;
    return chosen;
}

// ---- conversions ----------------------------------------------------------------------------

py::object Optional(const std::optional<double>& value) { return value ? py::object(py::float_(*value)) : py::none(); }

const char* PhaseName(int slot) {
    static constexpr const char* kNames[] = {"vapour", "hc_liquid", "aqueous", "phase3"};
    return slot >= 0 && slot < 4 ? kNames[slot] : "unknown";
}

py::list PhasesOf(const Fluid& fluid) {
    py::list phases;
    for (const auto& p : fluid.phases) {
        py::dict composition;
        for (std::size_t i = 0; i < fluid.components.size() && i < p.moleFractions.size(); ++i)
            composition[py::str(fluid.components[i].name)] = p.moleFractions[i];
        phases.append(py::dict(py::arg("phase") = PhaseName(p.slot), py::arg("slot") = p.slot,
                               py::arg("fraction") = p.fraction, py::arg("mole_fractions") = p.moleFractions,
                               py::arg("composition") = composition));
    }
    return phases;
}

// A fluid as the keys of a fluid file: Fluid.from_dict(fluid.to_dict()) gives it back.
py::dict FluidDict(const Fluid& f) {
    py::dict d;
    if (!f.id.empty()) d["id"] = f.id;
    d["temperature_C"] = f.temperatureC;
    d["pressure_kPa"] = f.pressureKPa;
    d["molar_flow_kmol_h"] = f.molarFlowKmolPerH;
    py::list components;
    for (const auto& c : f.components)
        components.append(py::dict(py::arg("name") = c.name, py::arg("cas") = FormatCasNumber(c.casKey),
                                   py::arg("mw") = c.molarMassKgPerKmol, py::arg("tc_K") = c.criticalTemperatureK,
                                   py::arg("pc_kPa") = c.criticalPressureKPa, py::arg("omega") = c.acentricFactor,
                                   py::arg("class") = c.componentClass));
    d["components"] = components;
    d["mole_fractions"] = f.moleFractions;
    if (!f.phases.empty()) {
        py::list phases;
        for (const auto& p : f.phases)
            phases.append(py::dict(py::arg("slot") = p.slot, py::arg("fraction") = p.fraction,
                                   py::arg("mole_fractions") = p.moleFractions));
        d["phases"] = phases;
    }
    return d;
}

const char* StateWord(PhaseState state) {
    return state == PhaseState::Ok ? "ok" : state == PhaseState::Absent ? "absent" : "not computed";
}

// One fluid's results: the values by class word and phase, and beside them what the command
// line's JSON says of each class (status, phases' states and reasons, unit, edition).
py::dict ResultDict(const FluidResult& result, const std::vector<std::string>& warnings) {
    py::dict values, status, units;
    for (const auto& c : result.correlations) {
        const CorrelationReport& r = c.report;
        py::dict phaseValues;
        py::dict classStatus;
        classStatus["status"] = c.StatusText();
        classStatus["display_name"] = r.displayName;
        classStatus["class_id"] = r.classId;
        classStatus["result_type"] = r.resultType;
        if (c.edition) {
            classStatus["iso6976_edition"] = c.edition->year;
            classStatus["reference_temperature_C"] = c.edition->meteringC;
            classStatus["combustion_temperature_C"] = c.edition->combustionC;
        }
        if (c.model) classStatus["model"] = *c.model;
        for (std::size_t k = 0; k < kOutputColumns; ++k) {
            const PhaseStatus& s = c.phases[k];
            phaseValues[kPhaseKey[k]] =
                s.state == PhaseState::Ok ? Optional(r.phaseValues[kPhaseValueIndex[k]]) : py::none();
            py::dict phase;
            phase["status"] = StateWord(s.state);
            if (s.state == PhaseState::NotComputed) phase["reason"] = s.reason;
            classStatus[kPhaseKey[k]] = phase;
        }
        values[py::str(r.word)] = phaseValues;
        status[py::str(r.word)] = classStatus;
        units[py::str(r.word)] = std::string(UnitOfResultType(r.resultType));
    }
    py::dict out;
    out["values"] = values;
    out["status"] = status;
    out["units"] = units;
    out["fluid"] = py::cast(result.fluid);
    out["flash_problem"] = result.flashProblem.empty() ? py::none() : py::object(py::str(result.flashProblem));
    out["ok"] = result.Ok();
    out["warnings"] = warnings;
    return out;
}

// What evaluate() and batch() share: the classes and settings chosen by words.
struct Run {
    std::vector<const CatalogueEntry*> classes;
    bool optional = false;
    EvaluationSettings settings;
    std::vector<std::string> notes;
    std::string key;   // the choices, as one string
};

Run ChooseRun(const std::string& correlations, bool flash, const std::string& edition, const std::string& ref,
              const std::string& refTemp, const std::string& methaneOrigin, const std::string& gergModel) {
    Run run;
    run.key = correlations + '\n' + (flash ? "flash" : "") + '\n' + edition + '\n' + ref + '\n' + refTemp + '\n' +
              methaneOrigin + '\n' + gergModel;
    std::string problem;
    if (!MakeEvaluationSettings(RunChoices{flash, edition, ref, refTemp, methaneOrigin, gergModel}, run.settings,
                                problem))
        throw py::value_error(problem);
    if (!SelectClasses(correlations, run.settings.edition, run.classes, run.optional, problem, &run.notes))
        throw py::value_error("correlations: " + problem);
    for (auto& w : ReferenceOptionWarnings(run.classes, ref, !refTemp.empty(), run.settings.edition))
        run.notes.push_back(std::move(w));
    return run;
}

// Evaluators kept per thread for the last few runs chosen: making one creates an object of every
// class, which takes far longer than evaluating a fluid with it. The objects are used only on
// the thread that made them.
FluidEvaluator& EvaluatorFor(const std::shared_ptr<CorrelationManager>& manager, const Run& run) {
    struct Kept {
        std::shared_ptr<CorrelationManager> manager;
        std::string key;
        std::unique_ptr<FluidEvaluator> evaluator;
    };
    constexpr std::size_t kKept = 8;
    thread_local std::vector<Kept> kept;
    for (auto it = kept.begin(); it != kept.end(); ++it)
        if (it->manager == manager && it->key == run.key) {
            std::rotate(it, it + 1, kept.end());   // the most recent last
            return *kept.back().evaluator;
        }
    if (kept.size() == kKept) kept.erase(kept.begin());
    kept.push_back({manager, run.key,
                    std::make_unique<FluidEvaluator>(*manager, run.classes, run.optional, run.settings)});
    return *kept.back().evaluator;
}

std::vector<std::string> LeftOutWarnings(const std::vector<std::string>& leftOut) {
    std::vector<std::string> warnings;
    for (const auto& word : leftOut) warnings.push_back("the module does not serve " + word + "; left out");
    return warnings;
}

// ---- the functions ----------------------------------------------------------------------------

py::tuple ParseFluid(const std::string& text, const std::string& source, bool normalise) {
    try {
        ParsedFluid parsed = ParseFluidJson(text, source, FluidReadOptions{normalise});
        return py::make_tuple(std::move(parsed.fluid), parsed.warnings);
    } catch (const FluidInputError& e) {
        throw py::value_error(e.what());
    }
}

py::tuple ReadFluid(const std::string& path, bool normalise) {
    try {
        ParsedFluid parsed = ReadFluidFile(path, FluidReadOptions{normalise});
        return py::make_tuple(std::move(parsed.fluid), parsed.warnings);
    } catch (const FluidInputError& e) {
        throw py::value_error(e.what());
    }
}

py::list Components() {
    py::list list;
    for (const auto& c : ComponentTable())
        list.append(py::dict(py::arg("cas") = c.cas, py::arg("name") = c.name, py::arg("mw") = c.molarMassKgPerKmol,
                             py::arg("tc_K") = c.criticalTemperatureK, py::arg("pc_kPa") = c.criticalPressureKPa,
                             py::arg("omega") = c.acentricFactor, py::arg("class") = c.componentClass));
    return list;
}

py::list Correlations() {
    const auto manager = Manager();
    py::list list;
    for (const auto& e : Catalogue()) {
        const CorrelationReport described = DescribeClass(*manager, e);
        const py::object edition = e.iso6976Edition ? py::object(py::int_(e.iso6976Edition)) : py::object(py::none());
        py::list groups, parameters;
        for (const auto& [text, out] : {std::pair{e.groups, &groups}, std::pair{e.parameters, &parameters}}) {
            std::istringstream words{std::string(text)};
            for (std::string w; words >> w;) out->append(w);
        }
        list.append(py::dict(py::arg("word") = e.word, py::arg("prog_id") = std::string("Calorix.") + e.word + ".1",
                             py::arg("display_name") = described.displayName, py::arg("class_id") = described.classId,
                             py::arg("result_type") = described.resultType,
                             py::arg("unit") = std::string(UnitOfResultType(described.resultType)),
                             py::arg("iso6976_edition") = edition, py::arg("family") = std::string(e.family),
                             py::arg("quantity") = std::string(e.quantity), py::arg("groups") = groups,
                             py::arg("parameters") = parameters, py::arg("served") = SUCCEEDED(described.status)));
    }
    return list;
}

py::dict Evaluate(const Fluid& fluid, const std::string& correlations, bool flash, const std::string& edition,
                  const std::string& ref, const std::string& refTemp, const std::string& methaneOrigin,
                  const std::string& gergModel) {
    const Run run = ChooseRun(correlations, flash, edition, ref, refTemp, methaneOrigin, gergModel);
    const auto manager = Manager();
    std::optional<FluidResult> result;
    std::vector<std::string> warnings = run.notes;
    {
        py::gil_scoped_release release;
        FluidEvaluator& evaluator = EvaluatorFor(manager, run);
        for (const auto& w : LeftOutWarnings(evaluator.LeftOut())) warnings.push_back(w);
        result = evaluator.Evaluate(fluid);
        for (const auto& w : result->warnings) warnings.push_back(w);
    }
    return ResultDict(*result, warnings);
}

// The batch stops between fluids when Python has a signal to handle (Ctrl-C).
struct Interrupted : std::exception {};

py::list Batch(const std::vector<Fluid>& fluids, const std::string& correlations, bool flash,
               const std::string& edition, const std::string& ref, const std::string& refTemp,
               const std::string& methaneOrigin, const std::string& gergModel, unsigned threads) {
    const Run run = ChooseRun(correlations, flash, edition, ref, refTemp, methaneOrigin, gergModel);
    const auto manager = Manager();
    BatchRun done;
    try {
        py::gil_scoped_release release;
        done = EvaluateBatch(*manager, run.classes, run.optional, run.settings, fluids, threads, [](std::size_t count) {
            if (count % 64 != 0) return;
            py::gil_scoped_acquire acquire;
            if (PyErr_CheckSignals() != 0) throw Interrupted();
        });
    } catch (const Interrupted&) {
        throw py::error_already_set();
    }
    std::vector<std::string> warnings = run.notes;
    for (const auto& w : LeftOutWarnings(done.leftOut)) warnings.push_back(w);
    py::list list;
    for (const auto& result : done.results) {
        std::vector<std::string> own = warnings;
        for (const auto& w : result.warnings) own.push_back(w);
        list.append(ResultDict(result, own));
    }
    return list;
}

Fluid Flash(const Fluid& fluid) {
    Fluid flashed = fluid;
    std::string problem;
    bool ok = false;
    {
        py::gil_scoped_release release;
        ok = Equilibrate(flashed, problem);
    }
    if (!ok) throw std::domain_error(problem);
    return flashed;
}

py::dict Envelope(const Fluid& fluid, std::optional<std::pair<double, double>> pressures, int points) {
    const auto range = DefaultEnvelopePressures(fluid);
    double from = range.first, to = range.second;
    if (pressures) {
        if (!(pressures->first > 0.0) || !(pressures->second > pressures->first))
            throw py::value_error("pressures_kPa: expected (FROM, TO) with 0 < FROM < TO");
        from = pressures->first;
        to = pressures->second;
    }
    if (points < 2 || points > 1000) throw py::value_error("points: expected 2 to 1000");
    const auto manager = Manager();
    DewPointEnvelope env;
    {
        py::gil_scoped_release release;
        const CatalogueEntry* classes[] = {FindCatalogueEntry("HCDewPt"), FindCatalogueEntry("WaterDewPt")};
        FluidEvaluator both(*manager, classes, false, EvaluationSettings{});
        FluidEvaluator hydrocarbon(*manager, std::span(classes, 1), false, EvaluationSettings{});
        env = TraceEnvelope(both, hydrocarbon, fluid, from, to, points);
    }
    py::list p, hc, water;
    bool any = false;
    for (const auto& point : env.points) {
        p.append(point.pressureKPa);
        hc.append(Optional(point.hcDewPointC));
        water.append(Optional(point.waterDewPointC));
        any = any || point.hcDewPointC || point.waterDewPointC;
    }
    if (!any)
        throw std::domain_error("no dew point found at any pressure from " + std::to_string(from) + " to " +
                                std::to_string(to) +
                                " kPa (all above the cricondenbar, or the dew-point search failed)");
    auto extreme = [](const std::optional<EnvelopePoint>& e) -> py::object {
        if (!e) return py::none();
        return py::dict(py::arg("pressure_kPa") = e->pressureKPa, py::arg("temperature_C") = Optional(e->hcDewPointC));
    };
    py::dict out;
    out["pressure_kPa"] = p;
    out["hc_dew_point_C"] = hc;
    out["water_dew_point_C"] = water;
    out["cricondenbar"] = extreme(env.cricondenbar);
    out["cricondentherm"] = extreme(env.cricondentherm);
    return out;
}

}  // namespace

PYBIND11_MODULE(_calorix, m) {
    m.doc() = "Native part of the calorix package; use the functions of calorix itself.";
    m.attr("version") = CALORIX_VERSION;

    py::register_exception<std::domain_error>(m, "CalculationError", PyExc_RuntimeError);

    py::class_<Fluid>(m, "Fluid", R"(A fluid: temperature, pressure, molar flow, components, composition and phases.

Make one with Fluid.from_dict(d), Fluid.from_json(path) or Fluid.default(); the keys are those
of calorix-host's fluid files (units in the key names). Read-only: to change a fluid, change its
to_dict() and make a new one.)")
        .def_property_readonly("id", [](const Fluid& f) { return f.id; }, "The fluid's label (may be empty).")
        .def_property_readonly("temperature_C", [](const Fluid& f) { return f.temperatureC; }, "Temperature, degC.")
        .def_property_readonly("pressure_kPa", [](const Fluid& f) { return f.pressureKPa; }, "Pressure, kPa absolute.")
        .def_property_readonly("molar_flow_kmol_h", [](const Fluid& f) { return f.molarFlowKmolPerH; },
                               "Molar flow, kmol/h.")
        .def_property_readonly(
            "components",
            [](const Fluid& f) {
                std::vector<std::string> names;
                for (const auto& c : f.components) names.push_back(c.name);
                return names;
            },
            "Component names, in the order of the mole fractions.")
        .def_property_readonly("mole_fractions", [](const Fluid& f) { return f.moleFractions; },
                               "Overall composition, one mole fraction per component.")
        .def_property_readonly("phases", &PhasesOf,
                               "The phases given or found by the flash: dicts with 'phase' (vapour, hc_liquid, "
                               "aqueous, phase3), 'slot', 'fraction', 'mole_fractions' and 'composition' (by "
                               "component name). Empty: one vapour phase of the overall composition.")
        .def("to_dict", &FluidDict, "The fluid as the keys of a fluid file; Fluid.from_dict() takes it back.")
        .def("__repr__", [](const Fluid& f) {
            return "<calorix.Fluid " + (f.id.empty() ? std::string() : f.id + " ") + std::to_string(f.components.size()) +
                   " components at " + py::repr(py::float_(f.temperatureC)).cast<std::string>() + " degC, " +
                   py::repr(py::float_(f.pressureKPa)).cast<std::string>() + " kPa>";
        });

    m.def("parse_fluid", &ParseFluid, py::arg("text"), py::arg("source"), py::arg("normalise"));
    m.def("read_fluid", &ReadFluid, py::arg("path"), py::arg("normalise"));
    m.def("default_fluid_json", [] { return std::string(DefaultFluidJson()); });
    m.def("components", &Components);
    m.def("correlations", &Correlations);
    m.def("load_module", &LoadModuleAt, py::arg("path") = py::none());
    m.def("module_path", [] {
        Manager();
        std::lock_guard guard(Module().lock);
        return Module().path;
    });
    m.def("evaluate", &Evaluate, py::arg("fluid"), py::arg("correlations"), py::arg("flash"), py::arg("edition"),
          py::arg("ref"), py::arg("ref_temp"), py::arg("methane_origin"), py::arg("gerg_model"));
    m.def("batch", &Batch, py::arg("fluids"), py::arg("correlations"), py::arg("flash"), py::arg("edition"),
          py::arg("ref"), py::arg("ref_temp"), py::arg("methane_origin"), py::arg("gerg_model"), py::arg("threads"));
    m.def("flash", &Flash, py::arg("fluid"));
    py::class_<WarningTally>(m, "WarningTally")
        .def(py::init<>())
        .def("add", &WarningTally::Add, py::arg("fluid_number"), py::arg("text"))
        .def("summary", &WarningTally::Summary);
    m.def("envelope", &Envelope, py::arg("fluid"), py::arg("pressures_kPa"), py::arg("points"));
}
