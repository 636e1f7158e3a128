// The native part of the Python package calorix: the host's fluids, flash, correlation manager,
// batches and dew-point envelope, over the host's public headers only. Every value goes through
// the correlation module (Calorix.so) the way calorix-host runs it, so the numbers are the
// command line's. The package's __init__.py wraps these functions with their documented
// signatures; they are not meant to be called directly.
#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <vector>

#include <unistd.h>

#include <nlohmann/json.hpp>
#include <pybind11/numpy.h>
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

// The names a run's results go by where they differ from the class's word: the word a class was
// asked for by ("WobbeIndex" for the class WobbleIndex, "hhv" for HHV), by class word.
using AskedNames = std::vector<std::pair<std::string, std::string>>;

// One fluid's results as calculated, kept native: Results (in __init__.py) takes the values at
// once and the rest (statuses, units, the fluid) only when asked, so that a batch of many fluids
// makes few Python objects.
struct NativeResult {
    FluidResult result;
    std::vector<std::string> warnings;
    bool us = false;   // values and units in US customary units where the quantity has them
    std::shared_ptr<const AskedNames> asked;   // null when every class goes by its word
};

// The key of a class's results: the word it was asked for by.
std::string_view KeyOf(const std::shared_ptr<const AskedNames>& asked, std::string_view word) {
    if (asked)
        for (const auto& [classWord, name] : *asked)
            if (classWord == word) return name;
    return word;
}
py::str KeyText(const std::shared_ptr<const AskedNames>& asked, std::string_view word) {
    const std::string_view key = KeyOf(asked, word);
    return py::str(key.data(), key.size());
}

// The values by class word and phase: the part of a result every batch entry makes at once,
// through the C API with the phases' keys made once (about a tenth of the time of item access).
py::dict ValuesDict(const NativeResult& native) {
    static const auto* keys = [] {
        auto* made = new std::array<py::object, kOutputColumns>;   // kept to the end of the process
        for (std::size_t k = 0; k < kOutputColumns; ++k)
            (*made)[k] = py::reinterpret_steal<py::object>(PyUnicode_InternFromString(kPhaseKey[k]));
        return made;
    }();
    py::dict values;
    for (const auto& c : native.result.correlations) {
        py::dict phaseValues;
        for (std::size_t k = 0; k < kOutputColumns; ++k) {
            const auto& value = c.report.phaseValues[kPhaseValueIndex[k]];
            const py::object shown =
                c.phases[k].state == PhaseState::Ok && value
                    ? py::reinterpret_steal<py::object>(
                          PyFloat_FromDouble(OutputValue(c.report.resultType, *value, native.us)))
                    : py::none();
            if (PyDict_SetItem(phaseValues.ptr(), (*keys)[k].ptr(), shown.ptr()) != 0) throw py::error_already_set();
        }
        if (PyDict_SetItem(values.ptr(), KeyText(native.asked, c.report.word).ptr(), phaseValues.ptr()) != 0)
            throw py::error_already_set();
    }
    return values;
}

// What the command line's JSON says of each class: status, phases' states and reasons, edition.
py::dict StatusDict(const NativeResult& native) {
    py::dict status;
    for (const auto& c : native.result.correlations) {
        const CorrelationReport& r = c.report;
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
            py::dict phase;
            phase["status"] = s.Text();
            if (s.state == PhaseState::NotComputed) phase["reason"] = s.reason;
            classStatus[kPhaseKey[k]] = phase;
        }
        status[KeyText(native.asked, r.word)] = classStatus;
    }
    return status;
}

py::dict UnitsDict(const NativeResult& native) {
    py::dict units;
    for (const auto& c : native.result.correlations)
        units[KeyText(native.asked, c.report.word)] = std::string(OutputUnit(c.report.resultType, native.us));
    return units;
}

// What evaluate() and batch() share: the classes and settings chosen by words.
struct Run {
    std::vector<const CatalogueEntry*> classes;
    bool optional = false;
    EvaluationSettings settings;
    std::vector<std::string> notes;
    std::string key;   // the choices, as one string
    std::shared_ptr<const AskedNames> asked;   // the results' keys that are not class words
};

Run ChooseRun(const std::string& correlations, bool flash, const std::string& edition, const std::string& ref,
              const std::string& refTemp, const std::string& methaneOrigin, const std::string& gergModel,
              const std::string& units) {
    Run run;
    run.key = correlations + '\n' + (flash ? "flash" : "") + '\n' + edition + '\n' + ref + '\n' + refTemp + '\n' +
              methaneOrigin + '\n' + gergModel + '\n' + units;
    if (units != "si" && units != "us") throw py::value_error("units: expected 'si' or 'us', got '" + units + "'");
    std::string problem;
    if (!MakeEvaluationSettings(RunChoices{flash, edition, ref, refTemp, methaneOrigin, gergModel, units == "us"},
                                run.settings, problem))
        throw py::value_error(problem);
    std::vector<std::string> names;
    if (!SelectClasses(correlations, run.settings.edition, run.classes, run.optional, problem, &run.notes, &names))
        throw py::value_error("correlations: " + problem);
    AskedNames asked;
    for (std::size_t c = 0; c < run.classes.size(); ++c)
        if (names[c] != run.classes[c]->word) asked.emplace_back(run.classes[c]->word, names[c]);
    if (!asked.empty()) run.asked = std::make_shared<const AskedNames>(std::move(asked));
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

// Threads kept for the process's batches, each with its evaluators (EvaluatorFor): making an
// evaluator takes longer than a batch of a thousand fluids on it. Run() runs a task on the
// calling thread and on the first `helpers` kept threads, starting threads as needed; batches
// of several Python threads take their turns. A process forked from this one starts its own.
class Helpers {
public:
    static Helpers& Kept() {
        static Helpers* kept = nullptr;   // kept to the end of the process, its threads waiting
        static pid_t owner = 0;
        static std::mutex lock;
        std::lock_guard guard(lock);
        if (!kept || owner != getpid()) {
            kept = new Helpers;
            owner = getpid();
        }
        return *kept;
    }

    void Run(unsigned helpers, const std::function<void()>& task) {
        std::lock_guard turn(m_turn);
        {
            std::lock_guard guard(m_lock);
            for (unsigned t = m_started; t < helpers; ++t) std::thread([this, t] { Wait(t); }).detach();
            m_started = std::max(m_started, helpers);
            m_task = &task;
            m_helpers = m_pending = helpers;
            ++m_round;
        }
        m_wake.notify_all();
        task();
        std::unique_lock guard(m_lock);
        m_done.wait(guard, [&] { return m_pending == 0; });
    }

private:
    void Wait(unsigned index) {
        std::uint64_t seen = 0;
        std::unique_lock guard(m_lock);
        for (;;) {
            m_wake.wait(guard, [&] { return m_round != seen; });
            seen = m_round;
            if (index >= m_helpers) continue;
            const auto* task = m_task;
            guard.unlock();
            (*task)();
            guard.lock();
            if (--m_pending == 0) m_done.notify_all();
        }
    }

    std::mutex m_turn, m_lock;
    std::condition_variable m_wake, m_done;
    unsigned m_started = 0, m_helpers = 0, m_pending = 0;
    std::uint64_t m_round = 0;
    const std::function<void()>* m_task = nullptr;
};

std::vector<std::string> LeftOutWarnings(const std::vector<std::string>& leftOut) {
    std::vector<std::string> warnings;
    for (const auto& word : leftOut) warnings.push_back("the module does not serve " + word + "; left out");
    return warnings;
}

// ---- fluids from Python's objects -------------------------------------------------------------

using Json = nlohmann::json;

// A Python value as JSON, for the reader of fluid files: None, bool, int, float, str, dicts with
// string keys, lists and tuples, and whatever has tolist() (NumPy arrays and scalars, pandas
// Series). NaN and infinities are kept, so that the reader names their field.
Json ToJson(py::handle value, const std::string& field, const std::string& source) {
    PyObject* o = value.ptr();
    if (value.is_none()) return nullptr;
    if (PyBool_Check(o)) return o == Py_True;
    if (PyFloat_Check(o)) return PyFloat_AS_DOUBLE(o);
    if (PyLong_Check(o)) {
        int overflow = 0;
        const long long v = PyLong_AsLongLongAndOverflow(o, &overflow);
        if (overflow == 0) return v;
        return overflow * std::numeric_limits<double>::infinity();
    }
    if (PyUnicode_Check(o)) return value.cast<std::string>();
    if (PyDict_Check(o)) {
        Json object = Json::object();
        for (auto [key, item] : value.cast<py::dict>()) {
            if (!PyUnicode_Check(key.ptr()))
                throw FluidInputError(source + ": " + (field.empty() ? "(document)" : field) +
                                      ": not a fluid of JSON values: a key that is not a string, " +
                                      py::repr(key).cast<std::string>());
            const std::string name = key.cast<std::string>();
            object[name] = ToJson(item, field.empty() ? name : field + "." + name, source);
        }
        return object;
    }
    if (PyList_Check(o) || PyTuple_Check(o)) {
        Json array = Json::array();
        std::size_t i = 0;
        for (auto item : value) array.push_back(ToJson(item, field + "[" + std::to_string(i++) + "]", source));
        return array;
    }
    if (py::hasattr(value, "tolist")) return ToJson(value.attr("tolist")(), field, source);
    throw FluidInputError(source + ": " + (field.empty() ? "(document)" : field) +
                          ": not a fluid of JSON values: an object of type " +
                          py::str(py::type::handle_of(value).attr("__name__")).cast<std::string>());
}

// The document of a fluid given as a dict of a fluid file's keys, where the composition may also
// be {component name or CAS number: fraction} (without "components"): the keys become the
// components, in their order.
Json FluidDocument(py::handle value, const std::string& source) {
    Json doc = ToJson(value, "", source);
    if (!doc.is_object()) return doc;   // the reader says what it expected
    for (const char* key : {"mole_fractions", "mole_percent"}) {
        if (!doc.contains(key) || !doc[key].is_object()) continue;
        if (doc.contains("components"))
            throw FluidInputError(source + ": " + key +
                                  ": a composition by component beside \"components\"; give the components once");
        Json components = Json::array(), fractions = Json::array();
        for (const auto& [name, fraction] : value.cast<py::dict>()[key].cast<py::dict>()) {
            const std::string component = name.cast<std::string>();
            components.push_back(ParseCasNumber(component) ? Json{{"cas", component}} : Json{{"name", component}});
            fractions.push_back(ToJson(fraction, std::string(key) + "." + component, source));
        }
        doc["components"] = std::move(components);
        doc[key] = std::move(fractions);
    }
    return doc;
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

py::tuple FluidFromObject(py::handle value, const std::string& source, bool normalise) {
    try {
        ParsedFluid parsed = ReadFluidDocument(FluidDocument(value, source), source, FluidReadOptions{normalise});
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

NativeResult Evaluate(const Fluid& fluid, const std::string& correlations, bool flash, const std::string& edition,
                      const std::string& ref, const std::string& refTemp, const std::string& methaneOrigin,
                      const std::string& gergModel, const std::string& units) {
    const Run run = ChooseRun(correlations, flash, edition, ref, refTemp, methaneOrigin, gergModel, units);
    const auto manager = Manager();
    NativeResult out;
    out.warnings = run.notes;
    out.us = run.settings.usUnits;
    out.asked = run.asked;
    py::gil_scoped_release release;
    FluidEvaluator& evaluator = EvaluatorFor(manager, run);
    for (const auto& w : LeftOutWarnings(evaluator.LeftOut())) out.warnings.push_back(w);
    out.result = evaluator.Evaluate(fluid);
    for (const auto& w : out.result.warnings) out.warnings.push_back(w);
    return out;
}

// One input of a batch (a Fluid, or a dict read on a worker thread) or a row of a frame, and what
// became of it.
struct Item {
    const Fluid* given = nullptr;
    std::optional<Json> doc;
    std::string id;                      // of a dict or a row, for the entry of a refused one
    std::string problem;                 // refused: why
    std::optional<FluidResult> result;
    std::vector<std::string> warnings;   // of the input, and of the phases found
};

// The batch stops between fluids when Python has a signal to handle (Ctrl-C).
struct Interrupted : std::exception {};

// Evaluates the items on `threads` threads (the calling one among them) without the GIL; an item
// that is not a Fluid is read by `read` on the thread that evaluates it, and refused with the
// reader's message. `prepare`, when given, is called with the GIL for every item before it is
// read (a dict turned into a fluid document): on the calling thread, a stretch ahead of the work
// between its own items, so that the helpers seldom find an item unprepared (and then prepare it
// themselves, with the GIL). With `strict` every item is prepared and read first, and the first
// refused one is thrown (FluidInputError) before anything is computed. `take`, when given, is
// called with the GIL for every item in order, once it and all before it are done: on the
// calling thread between its own items, so that making Python's objects overlaps the helpers'
// work, and the rest at the end. Returns the classes left out.
using Take = std::function<void(std::size_t item, const std::vector<std::string>& leftOut)>;
using Prepare = std::function<void(std::size_t item)>;
std::vector<std::string> EvaluateItems(const Run& run, std::vector<Item>& items, unsigned threads, bool strict,
                                       const std::function<ParsedFluid(std::size_t)>& read, const Take& take,
                                       const Prepare& prepare) {
    const auto manager = Manager();
    // Items prepared: set with the GIL held, after the item is written; an item is read only
    // once it is set.
    const auto prepared = std::make_unique<std::atomic<bool>[]>(items.size());
    std::size_t preparedUpTo = 0;   // the calling thread's: every item below is prepared
    for (std::size_t i = 0; i < items.size(); ++i)
        if (items[i].given) prepared[i].store(true, std::memory_order_relaxed);   // a Fluid needs nothing
    auto prepareOne = [&](std::size_t i) {   // with the GIL
        if (prepared[i].load(std::memory_order_relaxed)) return;
        prepare(i);
        prepared[i].store(true, std::memory_order_release);
    };
    auto prepareUpTo = [&](std::size_t end) {   // with the GIL
        for (end = std::min(end, items.size()); preparedUpTo < end; ++preparedUpTo) prepareOne(preparedUpTo);
    };
    // The stretch prepared ahead of the items done, up to `lead`: enough that the helpers do not
    // run out while the calling thread evaluates one of its own. A few items are prepared before
    // the work starts, then `step` more after each of the calling thread's items (faster than the
    // threads take them, and never holding the GIL long from a helper that must prepare its own).
    const std::size_t workers = std::max(1u, threads ? threads : std::thread::hardware_concurrency());
    const std::size_t lead = 256 * workers, step = 8 * workers;
    if (prepare) prepareUpTo(strict ? items.size() : step);
    py::gil_scoped_release release;
    std::vector<std::optional<ParsedFluid>> parsed(items.size());
    auto readItem = [&](std::size_t i) {
        Item& item = items[i];
        if (prepare && !prepared[i].load(std::memory_order_acquire)) {
            py::gil_scoped_acquire acquire;
            prepareOne(i);
        }
        if (item.given || !item.problem.empty() || parsed[i]) return;
        try {
            parsed[i] = read(i);
            item.warnings = parsed[i]->warnings;
        } catch (const FluidInputError& e) {
            item.problem = e.what();
        }
    };
    if (strict)
        for (std::size_t i = 0; i < items.size(); ++i) {
            readItem(i);
            if (!items[i].problem.empty()) throw FluidInputError(items[i].problem);
        }
    const std::vector<std::string> leftOut = EvaluatorFor(manager, run).LeftOut();
    const auto ready = std::make_unique<std::atomic<bool>[]>(items.size());
    std::size_t taken = 0, between = 0;
    auto takeReady = [&](bool all) {
        if (!take || taken == items.size() || !(all || ready[taken].load(std::memory_order_acquire))) return;
        py::gil_scoped_acquire acquire;
        while (taken < items.size() && ready[taken].load(std::memory_order_acquire)) take(taken++, leftOut);
    };
    EvaluateEach(
        *manager, run.classes, run.optional, run.settings, items.size(),
        [&](std::size_t i, FluidEvaluator& evaluator) {
            readItem(i);
            Item& item = items[i];
            if (item.problem.empty()) {
                item.result = evaluator.Evaluate(item.given ? *item.given : parsed[i]->fluid);
                parsed[i].reset();
                for (const auto& w : item.result->warnings) item.warnings.push_back(w);
            }
            ready[i].store(true, std::memory_order_release);
        },
        EachOptions{threads,
                    [&](std::size_t done) {
                        takeReady(false);
                        const bool check = ++between % 32 == 0;
                        const bool ahead = prepare && preparedUpTo < std::min(items.size(), done + lead);
                        if (!check && !ahead) return;
                        py::gil_scoped_acquire acquire;
                        if (ahead) prepareUpTo(std::min(done + lead, preparedUpTo + step));
                        if (check && PyErr_CheckSignals() != 0) throw Interrupted();
                    },
                    [&]() -> FluidEvaluator& { return EvaluatorFor(manager, run); },
                    [](unsigned helpers, const std::function<void()>& task) { Helpers::Kept().Run(helpers, task); }});
    takeReady(true);
    return leftOut;
}

// EvaluateItems with Python's exceptions: ValueError for a strict refusal, KeyboardInterrupt.
std::vector<std::string> EvaluateItemsForPython(const Run& run, std::vector<Item>& items, unsigned threads, bool strict,
                                                const std::function<ParsedFluid(std::size_t)>& read,
                                                const Take& take = {}, const Prepare& prepare = {}) {
    try {
        return EvaluateItems(run, items, threads, strict, read, take, prepare);
    } catch (const FluidInputError& e) {
        throw py::value_error(e.what());
    } catch (const Interrupted&) {
        throw py::error_already_set();
    }
}

std::vector<std::string> RunWarnings(const Run& run, const std::vector<std::string>& leftOut) {
    std::vector<std::string> warnings = run.notes;
    for (auto& w : LeftOutWarnings(leftOut)) warnings.push_back(std::move(w));
    return warnings;
}

// A batch: per input, wrap(Result), or refused(index, id, message) for one refused; with the
// warnings of the results tallied as calorix-host batch does (WarningTally): those to show, as
// (fluid number, text) in input order, and the summary of those only counted. The tally is kept
// as the results are taken, between the calling thread's own fluids, not after the batch.
py::tuple Batch(const py::sequence& fluids, const std::string& correlations, bool flash, const std::string& edition,
                const std::string& ref, const std::string& refTemp, const std::string& methaneOrigin,
                const std::string& gergModel, const std::string& units, unsigned threads, bool normalise, bool strict,
                const py::object& wrap, const py::object& refused) {
    const Run run = ChooseRun(correlations, flash, edition, ref, refTemp, methaneOrigin, gergModel, units);
    const py::list held(fluids);   // keeps every Fluid alive while the GIL is released
    std::vector<Item> items(held.size());
    for (std::size_t i = 0; i < items.size(); ++i)
        if (py::isinstance<Fluid>(held[i])) items[i].given = &held[i].cast<const Fluid&>();
    // A dict (or any other input) becomes a fluid document with the GIL, a stretch ahead of the
    // work; it is read on the thread that evaluates it.
    auto prepare = [&](std::size_t i) {
        Item& item = items[i];
        if (item.given) return;
        const py::handle input = held[i];
        if (PyDict_Check(input.ptr())) {
            const auto dict = py::reinterpret_borrow<py::dict>(input);
            if (dict.contains("id") && PyUnicode_Check(dict["id"].ptr())) item.id = dict["id"].cast<std::string>();
        }
        try {
            item.doc = FluidDocument(input, "fluids[" + std::to_string(i) + "]");
        } catch (const FluidInputError& e) {
            item.problem = e.what();
        }
    };
    const FluidReadOptions options{normalise};
    py::list list(items.size()), shown;
    WarningTally tally;
    EvaluateItemsForPython(
        run, items, threads, strict,
        [&](std::size_t i) { return ReadFluidDocument(*items[i].doc, "fluids[" + std::to_string(i) + "]", options); },
        [&](std::size_t i, const std::vector<std::string>& leftOut) {
            Item& item = items[i];
            if (!item.result) {
                list[i] = refused(i, item.id.empty() ? py::object(py::none()) : py::str(item.id), item.problem);
                return;
            }
            NativeResult native{std::move(*item.result), RunWarnings(run, leftOut), run.settings.usUnits, run.asked};
            for (auto& w : item.warnings) native.warnings.push_back(std::move(w));
            for (const auto& w : native.warnings)
                if (tally.Add(i + 1, w)) shown.append(py::make_tuple(i + 1, w));
            list[i] = wrap(py::cast(std::move(native)));
        },
        prepare);
    return py::make_tuple(list, shown, tally.Summary());
}

// Python strings made once per text: a frame's statuses repeat a few texts many times.
class Strings {
public:
    py::object operator()(const std::string& text) {
        auto [it, made] = m_made.try_emplace(text);
        if (made) it->second = py::str(text);
        return it->second;
    }

private:
    std::unordered_map<std::string, py::object> m_made;
};

// What a row's "status" says: "ok" when every class has its overall value; else the input error,
// the flash's failure, or each class that has no overall value with why, as the command line
// says them.
std::string RowStatus(const Item& item, const std::shared_ptr<const AskedNames>& asked) {
    if (!item.result) return "input error: " + item.problem;
    if (!item.result->flashProblem.empty()) return "not computed: " + item.result->flashProblem;
    std::string text;
    for (const auto& c : item.result->correlations)
        if (const std::string status = c.StatusText(); status != "ok")
            text += (text.empty() ? "" : "; ") + std::string(KeyOf(asked, c.report.word)) + ": " + status;
    return text.empty() ? "ok" : text;
}

// The rows of a data frame: `values` (rows x columns, NaN where a cell is no number) under the
// columns' names as a CSV batch's header names them; `ids` (one per row, or none), `rows` (the
// labels that name the rows in messages) and `problems` (a row refused before: why, or empty).
// Returns {"classes", "units", "values" (rows x classes, or x classes x phases with `phases`),
// "status" (one per row), "warnings"} and with `phases` "details": [(class, key, one text per row)].
py::dict EvaluateFrame(const std::vector<std::string>& columns,
                       const py::array_t<double, py::array::c_style | py::array::forcecast>& values,
                       const std::vector<std::string>& ids, const std::vector<std::string>& rows,
                       const std::vector<std::string>& problems, bool percent, bool normalise, bool strict, bool phases,
                       const std::string& correlations, bool flash, const std::string& edition, const std::string& ref,
                       const std::string& refTemp, const std::string& methaneOrigin, const std::string& gergModel,
                       const std::string& units, unsigned threads) {
    const Run run = ChooseRun(correlations, flash, edition, ref, refTemp, methaneOrigin, gergModel, units);
    const bool us = run.settings.usUnits;
    const std::size_t n = rows.size(), width = columns.size();
    if (values.ndim() != 2 || static_cast<std::size_t>(values.shape(0)) != n ||
        static_cast<std::size_t>(values.shape(1)) != width)
        throw py::value_error("values: expected one row per row label and one column per column name");
    const FluidReadOptions options{normalise};
    std::optional<FluidColumns> table;
    try {
        table.emplace(columns, "columns", percent);
        // Columns that would refuse every row (an unknown component, no temperature) refuse the
        // frame: a row of plain values must be read.
        std::size_t components = 0;
        for (std::size_t j = 0; j < width; ++j) components += table->IsComponent(j) ? 1 : 0;
        std::vector<double> plain(width, 1.0);
        for (std::size_t j = 0; j < width; ++j)
            if (table->IsComponent(j)) plain[j] = (percent ? 100.0 : 1.0) / static_cast<double>(std::max<std::size_t>(components, 1));
        table->Read(plain, "", "columns", options);
    } catch (const FluidInputError& e) {
        throw py::value_error(e.what());
    }
    std::vector<Item> items(n);
    for (std::size_t r = 0; r < n; ++r) {
        if (!ids.empty()) items[r].id = ids[r];
        if (!problems.empty()) items[r].problem = problems[r];
    }
    const double* cells = values.data();
    // Each row's status and warnings are made as the rows are taken, between the calling thread's
    // own rows.
    Strings strings;
    py::list status(n), rowWarnings;
    const auto leftOut = EvaluateItemsForPython(
        run, items, threads, strict,
        [&](std::size_t r) {
            return table->Read(std::span(cells + r * width, width), items[r].id, "row " + rows[r], options);
        },
        [&](std::size_t r, const std::vector<std::string>&) {
            status[r] = strings(RowStatus(items[r], run.asked));
            for (const auto& w : items[r].warnings) rowWarnings.append(w);
        });

    std::vector<const CatalogueEntry*> classes;
    for (const CatalogueEntry* e : run.classes)
        if (std::find(leftOut.begin(), leftOut.end(), e->word) == leftOut.end()) classes.push_back(e);
    const std::size_t perClass = phases ? kOutputColumns : 1;
    py::array_t<double> out({n, classes.size() * perClass});
    double* outValues = out.mutable_data();
    std::fill(outValues, outValues + out.size(), std::numeric_limits<double>::quiet_NaN());
    const FluidResult* any = nullptr;
    for (std::size_t r = 0; r < n; ++r) {
        if (!items[r].result) continue;
        any = &*items[r].result;
        const auto& done = items[r].result->correlations;
        for (std::size_t c = 0; c < done.size() && c < classes.size(); ++c)
            for (std::size_t k = 0; k < perClass; ++k)
                if (done[c].phases[k].state == PhaseState::Ok)
                    outValues[(r * classes.size() + c) * perClass + k] =
                        OutputValue(done[c].report.resultType, *done[c].report.phaseValues[kPhaseValueIndex[k]], us);
    }

    py::list words, unitNames, warnings;
    for (std::size_t c = 0; c < classes.size(); ++c) {
        words.append(KeyText(run.asked, classes[c]->word));
        const std::int32_t type = any ? any->correlations[c].report.resultType
                                      : DescribeClass(*Manager(), *classes[c]).resultType;
        unitNames.append(std::string(OutputUnit(type, us)));
    }
    for (const auto& w : RunWarnings(run, leftOut)) warnings.append(w);
    for (const auto& w : rowWarnings) warnings.append(w);
    py::dict result;
    result["classes"] = words;
    result["units"] = unitNames;
    result["values"] = out;
    result["status"] = status;
    result["warnings"] = warnings;
    if (phases) {
        // Per class: its status, then each phase's state and reason, as the command line's CSV.
        py::list details;
        for (std::size_t c = 0; c < classes.size(); ++c) {
            auto column = [&](const std::string& key, auto text) {
                py::list texts;
                for (const Item& item : items)
                    texts.append(item.result ? strings(text(item.result->correlations[c])) : py::object(py::none()));
                details.append(py::make_tuple(KeyText(run.asked, classes[c]->word), key, texts));
            };
            column("status", [](const CorrelationResult& cr) { return cr.StatusText(); });
            for (std::size_t k = 0; k < kOutputColumns; ++k) {
                column(std::string(kPhaseKey[k]) + "_status",
                       [k](const CorrelationResult& cr) { return cr.phases[k].Text(); });
                column(std::string(kPhaseKey[k]) + "_reason",
                       [k](const CorrelationResult& cr) { return cr.phases[k].reason; });
            }
        }
        result["details"] = details;
    }
    return result;
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

    py::class_<NativeResult>(m, "Result", "One fluid's results, native; calorix.Results wraps it.")
        .def("values", &ValuesDict)
        .def("status", &StatusDict)
        .def("units", &UnitsDict)
        .def_property_readonly("fluid", [](const NativeResult& n) { return n.result.fluid; })
        .def_property_readonly("flash_problem",
                               [](const NativeResult& n) -> py::object {
                                   if (n.result.flashProblem.empty()) return py::none();
                                   return py::str(n.result.flashProblem);
                               })
        .def_property_readonly("ok", [](const NativeResult& n) { return n.result.Ok(); })
        .def_property_readonly("warnings", [](const NativeResult& n) { return n.warnings; });

    m.def("parse_fluid", &ParseFluid, py::arg("text"), py::arg("source"), py::arg("normalise"));
    m.def("fluid_from_object", &FluidFromObject, py::arg("value"), py::arg("source"), py::arg("normalise"));
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
          py::arg("ref"), py::arg("ref_temp"), py::arg("methane_origin"), py::arg("gerg_model"), py::arg("units"));
    m.def("batch", &Batch, py::arg("fluids"), py::arg("correlations"), py::arg("flash"), py::arg("edition"),
          py::arg("ref"), py::arg("ref_temp"), py::arg("methane_origin"), py::arg("gerg_model"), py::arg("units"),
          py::arg("threads"), py::arg("normalise"), py::arg("strict"), py::arg("wrap"), py::arg("refused"));
    m.def("evaluate_frame", &EvaluateFrame, py::arg("columns"), py::arg("values"), py::arg("ids"), py::arg("rows"),
          py::arg("problems"), py::arg("percent"), py::arg("normalise"), py::arg("strict"), py::arg("phases"),
          py::arg("correlations"), py::arg("flash"), py::arg("edition"), py::arg("ref"), py::arg("ref_temp"),
          py::arg("methane_origin"), py::arg("gerg_model"), py::arg("units"), py::arg("threads"));
    m.def("flash", &Flash, py::arg("fluid"));
    py::class_<WarningTally>(m, "WarningTally")
        .def(py::init<>())
        .def("add", &WarningTally::Add, py::arg("fluid_number"), py::arg("text"))
        .def("summary", &WarningTally::Summary);
    m.def("envelope", &Envelope, py::arg("fluid"), py::arg("pressures_kPa"), py::arg("points"));
}
