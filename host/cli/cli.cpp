#include "host/cli/cli.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <vector>

#include <CLI/CLI.hpp>
#include <fmt/format.h>

#include "calorix/guids.h"
#include "host/cli/options.h"
#include "host/cli/report.h"
#include "host/manager.h"
#include "platform/library.h"
#include "platform/registry.h"
#include "platform/terminal.h"
#include "platform/typelib.h"

namespace calorix::host {

namespace {

constexpr char kProgram[] = "calorix-host";

constexpr char kFluidHelp[] = R"(Fluid file (JSON):
  {
    "temperature_C": 15.0,               required; or temperature_K, temperature_F
    "pressure_kPa": 5000.0,              required, absolute; or pressure_bar, pressure_MPa,
                                         pressure_psia (exactly one key per quantity)
    "molar_flow_kmol_h": 1000.0,         optional, default 1
    "components": [                      a name of the host's list (calorix-host components),
      {"name": "methane"},               or "cas" ("74-82-8") and "mw" (kg/kmol), which
      {"name": "C7+", "cas": "142-82-5", "mw": 100.2}     override the list; a component not
    ],                                   in the list needs both; a plus fraction needs "mw"
    "mole_fractions": [0.99, 0.01],      one number per component, summing to 1; or
                                         "mole_percent" summing to 100
    "phases": [                          optional; default: one vapour phase, the overall
      {"slot": 0, "fraction": 1.0,       composition. Slots: 0 vapour, 1 hydrocarbon
       "mole_fractions": [0.99, 0.01]}   liquid, 2 aqueous, 3 other
    ]
  }
Without --fluid a pipeline natural gas is used (12 components, 5000 kPa, 15 degC, 1000 kmol/h).
A batch (calorix-host batch --fluid F) is a JSON list of such objects, or a CSV file with a
header (id, temperature_C, pressure_kPa, molar_flow_kmol_h, then one column per component).)";

// The help of every command (--help-all, which the man page is made from): after the program's
// own options, each command as "calorix-host batch [MODULE]:" with its description and its options
// after a blank line, which help2man makes into a subsection per command. The fluid file is
// described by --help (and by the man page's own section).
class HelpAllFormatter : public CLI::Formatter {
public:
    HelpAllFormatter() {
        column_width(32);  // two spaces at least between an option and its text, which help2man needs
        label("SUBCOMMAND", "COMMAND");
    }
    std::string make_expanded(const CLI::App* command) const override {
        std::string positionals, options;
        for (const CLI::Option* o : command->get_options()) {
            if (o == command->get_help_ptr() || o == command->get_help_all_ptr() || o->get_group().empty()) continue;
            if (o->get_positional())
                positionals += make_option(o, true);
            else
                options += make_option(o, false);
        }
        std::string usage;
        for (const CLI::Option* o : command->get_options())
            if (o->get_positional()) usage += " [" + o->get_name() + "]";
        return fmt::format("\n{} {}{}:\n  {}\n\n{}{}", kProgram, command->get_name(), usage,
                           command->get_description(), positionals, options);
    }
    std::string make_footer(const CLI::App*) const override { return {}; }
};

constexpr std::uint32_t kRunOptions = kOptFluid | kOptModule | kOptRefTemp | kOptFormat | kOptCorrelations | kOptFlash |
                                     kOptNormalise | kOptEdition | kOptRef | kOptOutputUnits | kOptMethaneOrigin |
                                     kOptGergModel;
constexpr std::uint32_t kBatchOptions = kRunOptions | kOptStrict | kOptDelimiter;
constexpr std::uint32_t kEnvelopeOptions = kOptFluid | kOptModule | kOptFormat | kOptNormalise | kOptOutputUnits;

struct PressureUnit {
    const char* name;
    double kPa;
};
constexpr PressureUnit kPressureUnits[] = {{"kPa", 1.0}, {"bar", 100.0}, {"MPa", 1000.0}, {"psia", kKPaPerPsi}};

class Program {
public:
    Program(std::ostream& out, std::ostream& err) : m_out(out), m_err(err) {}

    int Run(int argc, const char* const* argv);

private:
    int Fail(int status, const std::string& message) {
        m_err << fmt::format("{}: {}\n", kProgram, message);
        return status;
    }
    void Warn(const std::string& message) { m_err << fmt::format("{}: warning: {}\n", kProgram, message); }

    bool LoadModule(CorrelationManager& manager, std::string& path);
    int Register(bool install);
    int ListComponents();
    int ListCorrelations();
    int RunOne();
    int RunBatch();
    int RunEnvelope();
    // The fluid of --fluid (the default gas without it); false after a message.
    bool ReadFluids(std::vector<Fluid>& fluids);
    FluidReadOptions ReadOptions() const;
    struct Inputs {
        std::vector<Fluid> fluids;
        std::vector<const CatalogueEntry*> classes;
        bool optional = false;   // classes the module does not serve may be left out
        EvaluationSettings settings;
        CorrelationManager manager;
    };
    // Reads the fluid (not for a batch, which streams), takes the settings, chooses the classes
    // of --correlations and loads the module: the exit status after a message when one of them
    // fails, else nothing.
    std::optional<int> Prepare(bool batch, Inputs& in);

    std::ostream& m_out;
    std::ostream& m_err;
    CalculationOptions m_options;
    std::string m_registerModule;
    std::string m_svg;
    std::vector<double> m_pressureRange;
    std::string m_pressureUnit;   // default kPa (psia with --output-units us)
    int m_points = 40;
};

std::string AbsolutePath(const std::string& path) {
    std::error_code ec;
    auto p = std::filesystem::absolute(platform::FileSystemPath(path), ec);
    return ec ? path : platform::Utf8Path(p.lexically_normal());
}

// This program's file, absolute.
std::string ProgramFilePath() { return AbsolutePath(platform::ModuleFilePath()); }

const platform::TypeLibraryInfo kHostTypeLibrary{&LIBID_CORRMANLib, 1, 0, "Correlation Manager 1.0 Type Library"};

// The module beside this program (a build folder, or the one folder of a Windows install), else
// where an install puts it relative to the program's folder (bin/ -> lib/calorix/).
std::string ProgramModulePath() {
#ifdef CALORIX_INSTALLED_MODULE_DIR
    const std::string installed[] = {CALORIX_INSTALLED_MODULE_DIR};
    return DefaultModulePath(installed);
#else
    return DefaultModulePath();
#endif
}

// Loads the module named on the command line (default: beside this program) into manager;
// false, with a message, when it cannot be loaded.
bool Program::LoadModule(CorrelationManager& manager, std::string& path) {
    path = AbsolutePath(m_options.module.empty() ? ProgramModulePath() : m_options.module);
    HRESULT hr = manager.Load(path);
    if (FAILED(hr)) Fail(kExitFailure, fmt::format("cannot load {}: {}", path, FormatStatus(hr)));
    return SUCCEEDED(hr);
}

int Program::Register(bool install) {
    const char* exportName = install ? "DllRegisterServer" : "DllUnregisterServer";
    if (!m_registerModule.empty() && !m_options.module.empty() &&
        AbsolutePath(m_registerModule) != AbsolutePath(m_options.module))
        return Fail(kExitBadInput, fmt::format("two modules given ({} and --module {}); give one", m_registerModule,
                                               m_options.module));
    if (!m_registerModule.empty()) m_options.module = m_registerModule;
    CorrelationManager manager;
    std::string path;
    if (!LoadModule(manager, path)) return kExitFailure;
    const std::string registry = platform::DefaultRegistryFilePath();
    HRESULT hr = manager.CallExport(exportName);
    // A second uninstall: the module's type library is already gone, and so is the rest.
    if (!install && platform::IsAlreadyUnregistered(path, hr)) hr = S_OK;
    if (FAILED(hr))
        return Fail(kExitFailure, fmt::format("{} in {} failed: {}{}", exportName, path, FormatStatus(hr),
                                              registry.empty() ? "" : fmt::format(" (registry {})", registry)));
    m_out << fmt::format("{} in {} succeeded.\n", exportName, path);
    // The automation calculator (CalorixCalc.dll, Windows) beside the module, which it loads.
    const std::string calculator = platform::PathIn(platform::FolderOf(path), platform::LibraryFileName("CalorixCalc"));
    std::error_code ec;
    if (std::filesystem::exists(platform::FileSystemPath(calculator), ec)) {
        CorrelationManager calculatorModule;
        hr = calculatorModule.Load(calculator);
        if (SUCCEEDED(hr)) hr = calculatorModule.CallExport(exportName);
        if (!install && platform::IsAlreadyUnregistered(calculator, hr)) hr = S_OK;
        if (FAILED(hr))
            return Fail(kExitFailure, fmt::format("{} in {} failed: {}", exportName, calculator, FormatStatus(hr)));
        m_out << fmt::format("{} in {} succeeded.\n", exportName, calculator);
    }
    // The host's own type library CORRMANLib, carried by this program (as TYPELIB 1 on Windows).
    const std::string program = ProgramFilePath();
    hr = install ? platform::RegisterModuleTypeLibrary(program, kHostTypeLibrary)
                 : platform::UnregisterModuleTypeLibrary(program, kHostTypeLibrary);
    if (!install && platform::IsAlreadyUnregistered(program, hr)) hr = S_OK;
    if (FAILED(hr))
        return Fail(kExitFailure, fmt::format("{} the type library CORRMANLib of {} failed: {}",
                                              install ? "registering" : "unregistering", program, FormatStatus(hr)));
    m_out << fmt::format("Type library CORRMANLib {}.\n", install ? "registered" : "unregistered");
    if (!registry.empty()) m_out << fmt::format("Registry written: {}\n", registry);
    return kExitSuccess;
}

int Program::ListComponents() {
    m_out << fmt::format("{:<12}  {:>10}  {:>5}  {}\n", "CAS", "M kg/kmol", "class", "name");
    for (const auto& c : ComponentTable())
        m_out << fmt::format("{:<12}  {:>10.4f}  {:>5}  {}\n", c.cas, c.molarMassKgPerKmol, c.componentClass, c.name);
    return kExitSuccess;
}

int Program::ListCorrelations() {
    // The catalogue's facts: groups and edition, then the parameters.
    for (const auto& e : Catalogue()) {
        std::string facts(e.groups);
        if (e.iso6976Edition) facts += fmt::format("{}{}", facts.empty() ? "" : ", ", e.iso6976Edition);
        m_out << fmt::format("{:<16}  Calorix.{}.1{}{}\n", e.word, e.word, facts.empty() ? "" : "  (" + facts + ")",
                             e.parameters.empty() ? "" : fmt::format("  [{}]", e.parameters));
    }
    return kExitSuccess;
}

FluidReadOptions Program::ReadOptions() const {
    return FluidReadOptions{m_options.normalise, m_options.delimiter == "tab" ? '\t'
                                                 : m_options.delimiter == ";" ? ';'
                                                                              : ','};
}

bool Program::ReadFluids(std::vector<Fluid>& fluids) {
    const FluidReadOptions readOptions = ReadOptions();
    std::vector<ParsedFluid> parsed;
    try {
        if (m_options.fluid.empty())
            parsed.push_back(ParseFluidJson(DefaultFluidJson(), "(default fluid)", readOptions));
        else
            parsed.push_back(ReadFluidFile(m_options.fluid, readOptions));
    } catch (const FluidInputError& e) {
        Fail(kExitBadInput, e.what());
        return false;
    }
    for (auto& p : parsed) {
        for (const auto& w : p.warnings) Warn(w);
        fluids.push_back(std::move(p.fluid));
    }
    return true;
}

std::optional<int> Program::Prepare(bool batch, Inputs& in) {
    if (!batch && !ReadFluids(in.fluids)) return kExitBadInput;
    std::string problem;
    if (!EvaluationSettingsOf(m_options, in.settings, problem)) return Fail(kExitBadInput, problem);
    std::vector<std::string> notes;
    if (!SelectClasses(m_options.correlations, in.settings.edition, in.classes, in.optional, problem, &notes))
        return Fail(kExitBadInput, "--correlations: " + problem);
    for (const auto& note : notes) m_err << fmt::format("{}: note: --correlations: {}\n", kProgram, note);
    for (const auto& w : ReferenceOptionWarnings(in.classes, m_options.ref, !m_options.refTemp.empty(), in.settings.edition))
        Warn(w);
    std::string path;
    if (!LoadModule(in.manager, path)) return kExitFailure;
    return std::nullopt;
}

int Program::RunOne() {
    if (m_options.format.empty()) m_options.format = "table";
    Inputs in;
    if (const auto status = Prepare(false, in)) return *status;
    const auto& [fluids, classes, optional, settings, manager] = in;

    FluidEvaluator evaluator(manager, classes, optional, settings);
    for (const auto& word : evaluator.LeftOut()) Warn(fmt::format("the module does not serve {}; left out", word));
    const FluidResult result = evaluator.Evaluate(fluids[0]);
    for (const auto& w : result.warnings) Warn(m_options.fluid.empty() ? w : m_options.fluid + ": " + w);

    const RunDescription run = DescribeRun(settings, classes, m_options.outputUnits == "us");
    if (m_options.format == "json")
        m_out << FormatJson(run, std::span(&result, 1), false);
    else if (m_options.format == "csv")
        m_out << FormatCsv(run, std::span(&result, 1));
    else
        m_out << FormatTable(run, result);
    if (!result.flashProblem.empty()) Fail(kExitFailure, result.flashProblem);
    for (const auto& c : result.correlations)
        if (!c.Ok()) Fail(kExitFailure, fmt::format("{}: {}", c.report.word, c.StatusText()));
    return result.Ok() ? kExitSuccess : kExitFailure;
}

int Program::RunBatch() {
    if (m_options.format.empty()) m_options.format = "csv";
    if (m_options.format == "table") return Fail(kExitBadInput, "--format: a batch is written as csv or json");
    if (m_options.fluid.empty()) return Fail(kExitBadInput, "--fluid: a batch needs a file of fluids (JSON list or CSV)");
    std::unique_ptr<FluidBatchReader> reader;
    try {
        reader = OpenFluidBatch(m_options.fluid, ReadOptions());
        if (m_options.strict) {
            // All or nothing: every input is checked before anything is computed.
            for (BatchInput input; reader->Next(input);) {
                if (!input.fluid) return Fail(kExitBadInput, input.problem);
                for (const auto& w : input.fluid->warnings) Warn(w);
            }
            reader = OpenFluidBatch(m_options.fluid, ReadOptions());
        }
    } catch (const FluidInputError& e) {
        return Fail(kExitBadInput, e.what());
    }
    Inputs in;
    if (const auto status = Prepare(true, in)) return *status;
    // Named references, not structured bindings: clang 14 does not let lambdas capture those.
    const auto& classes = in.classes;
    const auto& settings = in.settings;
    const auto& manager = in.manager;
    const bool optional = in.optional;
    const RunDescription run = DescribeRun(settings, classes, m_options.outputUnits == "us");
    const bool json = m_options.format == "json";

    const bool bar = platform::StandardErrorIsTerminal();
    const auto start = std::chrono::steady_clock::now();
    auto lastDrawn = start;
    auto seconds = [&] { return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(); };
    std::size_t count = 0, read = 0, refused = 0, failed = 0;
    WarningTally tally;   // a warning that repeats is shown a few times, then summarised
    std::string inputError;   // a failure of the whole file met after the first rows
    m_out << (json ? JsonBatchHead(run) : CsvHeader());
    const auto leftOut = StreamBatch(
        manager, classes, optional, settings,
        [&](BatchEntry& entry) {
            BatchInput input;
            try {
                if (!inputError.empty() || !reader->Next(input)) return false;
            } catch (const FluidInputError& e) {
                input.problem = inputError = e.what();
            }
            ++read;
            if (input.fluid) {
                if (!m_options.strict)
                    for (const auto& w : input.fluid->warnings)
                        if (tally.Add(read, w)) Warn(w);
                entry.fluid = std::move(input.fluid->fluid);
            }
            entry.problem = std::move(input.problem);
            entry.where = std::move(input.where);
            entry.id = std::move(input.id);
            return true;
        },
        [&](const BatchEntry& entry, const FluidResult* result) {
            ++count;
            if (result) {
                for (const auto& w : result->warnings)
                    if (tally.Add(count, w)) Warn(entry.where + ": " + w);
                failed += result->Ok() ? 0 : 1;
                m_out << (json ? JsonBatchFluid(run, *result, count == 1) : CsvRows(run, *result, count));
            } else {
                ++refused;
                if (!bar) Fail(kExitBadInput, entry.problem);
                m_out << (json ? JsonBatchInputError(entry.problem, entry.id, count == 1)
                               : CsvErrorRow(count, entry.id, entry.problem));
            }
            m_out.flush();   // each fluid leaves as soon as it is written
            const auto now = std::chrono::steady_clock::now();
            if (bar && now - lastDrawn > std::chrono::milliseconds(100)) {
                lastDrawn = now;
                m_err << ProgressBar({count, reader->ShareRead(), seconds(), platform::StandardErrorColumns(), false})
                      << std::flush;
            }
        });
    if (json) m_out << JsonBatchTail();
    if (lastDrawn != start)   // a batch that ends within the first redraw needs no bar
        m_err << ProgressBar({count, 1.0, seconds(), platform::StandardErrorColumns(), true}) << std::flush;
    for (const auto& line : tally.Summary()) Warn(line);
    for (const auto& word : leftOut) Warn(fmt::format("the module does not serve {}; left out", word));
    if (refused)
        Fail(kExitBadInput, fmt::format("{} of {} fluids refused (bad input; see the error rows)", refused, count));
    if (failed) Fail(kExitFailure, fmt::format("{} of {} fluids have a failed result (see status)", failed, count));
    return refused ? kExitBadInput : failed ? kExitFailure : kExitSuccess;
}

int Program::RunEnvelope() {
    if (m_options.format.empty()) m_options.format = "table";
    const bool us = m_options.outputUnits == "us";
    if (m_pressureUnit.empty()) m_pressureUnit = us ? "psia" : "kPa";
    const PressureUnit* unit = nullptr;
    for (const auto& u : kPressureUnits)
        if (m_pressureUnit == u.name) unit = &u;
    if (!unit) return Fail(kExitBadInput, "--pressure-unit: expected kPa, bar, MPa or psia");
    std::vector<Fluid> fluids;
    if (!ReadFluids(fluids)) return kExitBadInput;
    const Fluid& fluid = fluids[0];
    const auto range = DefaultEnvelopePressures(fluid);
    double from = range.first, to = range.second;
    if (!m_pressureRange.empty()) {
        if (m_pressureRange.size() != 2 || !(m_pressureRange[0] > 0.0) || !(m_pressureRange[1] > m_pressureRange[0]))
            return Fail(kExitBadInput, "--pressures: expected FROM,TO with 0 < FROM < TO");
        from = m_pressureRange[0] * unit->kPa;
        to = m_pressureRange[1] * unit->kPa;
    }
    if (m_points < 2 || m_points > 1000) return Fail(kExitBadInput, "--points: expected 2 to 1000");
    if (!m_svg.empty()) {
        // A plot that cannot be written is a bad command line, found before any work is done.
        std::error_code ec;
        const auto folder = platform::FileSystemPath(m_svg).parent_path();
        if (!folder.empty() && !std::filesystem::is_directory(folder, ec))
            return Fail(kExitBadInput, fmt::format("--svg: {}: no such folder", platform::Utf8Path(folder)));
    }

    CorrelationManager manager;
    std::string path;
    if (!LoadModule(manager, path)) return kExitFailure;
    const CatalogueEntry* classes[] = {FindCatalogueEntry("HCDewPt"), FindCatalogueEntry("WaterDewPt")};
    FluidEvaluator both(manager, classes, false, EvaluationSettings{});
    FluidEvaluator hydrocarbon(manager, std::span(classes, 1), false, EvaluationSettings{});
    DewPointEnvelope env = TraceEnvelope(both, hydrocarbon, fluid, from, to, m_points);
    // Temperatures shown in the output's unit ("C" or "F").
    const char* tUnit = us ? "F" : "C";
    Fluid shown = fluid;
    if (us) {
        auto toF = [](std::optional<double>& t) {
            if (t) *t = OutputValue(1, *t, true);
        };
        for (auto* list : {&env.points, &env.otherBranch})
            for (auto& p : *list) toF(p.hcDewPointC), toF(p.waterDewPointC);
        for (auto* p : {&env.cricondenbar, &env.cricondentherm})
            if (*p) toF((*p)->hcDewPointC), toF((*p)->waterDewPointC);
        shown.temperatureC = OutputValue(1, fluid.temperatureC, true);
    }

    auto cell = [](const std::optional<double>& t) { return t ? fmt::format("{:.2f}", *t) : std::string("-"); };
    const double k = unit->kPa;
    if (m_options.format == "json") {
        std::string points;
        auto num = [](const std::optional<double>& t) { return t ? fmt::format("{}", *t) : std::string("null"); };
        for (const auto& p : env.points)
            points += fmt::format("{}\n    {{\"pressure_kPa\": {}, \"hc_dew_point_{}\": {}, \"water_dew_point_{}\": {}}}",
                                  points.empty() ? "" : ",", p.pressureKPa, tUnit, num(p.hcDewPointC), tUnit,
                                  num(p.waterDewPointC));
        auto extreme = [&](const std::optional<EnvelopePoint>& p) {
            return p ? fmt::format("{{\"pressure_kPa\": {}, \"temperature_{}\": {}}}", p->pressureKPa, tUnit,
                                   num(p->hcDewPointC))
                     : std::string("null");
        };
        m_out << fmt::format("{{\n  \"program\": \"calorix-host\",\n  \"version\": \"{}\",\n  \"points\": [{}\n  ],\n"
                             "  \"cricondenbar\": {},\n  \"cricondentherm\": {}\n}}\n",
                             ProgramVersion(), points, extreme(env.cricondenbar), extreme(env.cricondentherm));
    } else if (m_options.format == "csv") {
        m_out << fmt::format("pressure_{0},hc_dew_point_{1},water_dew_point_{1},version\n", unit->name, tUnit);
        for (const auto& p : env.points)
            m_out << fmt::format("{},{},{},{}\n", p.pressureKPa / k, p.hcDewPointC ? fmt::format("{}", *p.hcDewPointC) : "",
                                 p.waterDewPointC ? fmt::format("{}", *p.waterDewPointC) : "", ProgramVersion());
    } else {
        m_out << fmt::format("calorix-host {}; dew points of the fluid ({:.2f} deg{}, {:.1f} {}) by HCDewPt and WaterDewPt\n\n",
                             ProgramVersion(), shown.temperatureC, tUnit, fluid.pressureKPa / (us ? k : 1.0),
                             us ? unit->name : "kPa");
        m_out << fmt::format("{:>14}  {:>14}  {:>14}\n", fmt::format("P {}", unit->name), fmt::format("HC dew deg{}", tUnit),
                             fmt::format("water dew deg{}", tUnit));
        for (const auto& p : env.points)
            m_out << fmt::format("{:>14.2f}  {:>14}  {:>14}\n", p.pressureKPa / k, cell(p.hcDewPointC), cell(p.waterDewPointC));
        auto line = [&](const char* name, const std::optional<EnvelopePoint>& p) {
            m_out << (p ? fmt::format("{}: {:.2f} {} at {} deg{}\n", name, p->pressureKPa / k, unit->name,
                                      cell(p->hcDewPointC), tUnit)
                        : fmt::format("{}: not reached in the range\n", name));
        };
        m_out << '\n';
        line("Cricondenbar", env.cricondenbar);
        line("Cricondentherm", env.cricondentherm);
        if (!env.otherBranch.empty())
            m_out << fmt::format("Above the cricondenbar HCDewPt answered with temperatures of another branch "
                                 "({} deg{} at {:.2f} {}, ...); they are left out of the curve.\n",
                                 cell(env.otherBranch[0].hcDewPointC), tUnit, env.otherBranch[0].pressureKPa / k,
                                 unit->name);
    }
    bool any = false;
    for (const auto& p : env.points) any = any || p.hcDewPointC || p.waterDewPointC;
    if (!any)
        return Fail(kExitFailure, fmt::format("no dew point found at any pressure from {:g} to {:g} {} (all above the "
                                              "cricondenbar, or the dew-point search failed){}",
                                              from / k, to / k, unit->name, m_svg.empty() ? "" : "; no plot written"));
    if (!m_svg.empty()) {
        const std::string name = !fluid.id.empty()       ? fluid.id
                                 : m_options.fluid.empty() ? std::string("the default pipeline gas")
                                                           : platform::FileSystemPath(m_options.fluid).stem().string();
        std::ofstream file(platform::FileSystemPath(m_svg), std::ios::binary);
        file << EnvelopeSvg(env, shown, name, us ? "°F" : "°C", unit->name, unit->kPa);
        if (!file.flush()) return Fail(kExitFailure, fmt::format("{}: cannot write the file", m_svg));
    }
    return kExitSuccess;
}

int Program::Run(int argc, const char* const* argv) {
    CLI::App app{"Reference host of the Calorix correlations: loads the module, attaches correlations to a fluid, "
                 "calculates and prints \"Phase_Values\".",
                 kProgram};
    AddOptions(app, m_options, kRunOptions);
    bool version = false;
    app.add_flag("--version", version, "Print the program's version");
    // The help of every command with its options (the man page is made from it).
    app.set_help_all_flag("--help-all", "Print every command with its options (the fluid file: --help)");

    auto* batch = app.add_subcommand("batch", "Many fluids (a JSON list or a CSV file), one CSV row per fluid and "
                                              "correlation (or one JSON document)");
    AddOptions(*batch, m_options, kBatchOptions);
    auto* envelope = app.add_subcommand("envelope", "Hydrocarbon and water dew-point curves over a pressure range");
    AddOptions(*envelope, m_options, kEnvelopeOptions);
    envelope->add_option("--pressures", m_pressureRange, "FROM,TO pressure range (default 100 kPa to 15000 kPa)")
        ->delimiter(',')
        ->expected(2);
    envelope->add_option("--pressure-unit", m_pressureUnit, "Unit of --pressures and of the output: kPa, bar, MPa, psia");
    envelope->add_option("--points", m_points, "Number of pressures (default 40)");
    envelope->add_option("--svg", m_svg, "Write the curves as an SVG plot to this file");
    auto* reg = app.add_subcommand("register", "Register the module (calls its DllRegisterServer; also that of the calculator "
                                                     "CalorixCalc beside it, where there is one)");
    auto* unreg = app.add_subcommand("unregister", "Unregister the module (calls its DllUnregisterServer; also that of the calculator "
                                                         "CalorixCalc beside it)");
    for (auto* r : {reg, unreg}) {
        AddOptions(*r, m_options, kOptModule);
        r->add_option("MODULE", m_registerModule, "The module (default: " + platform::LibraryFileName("Calorix") + " beside this program)");
    }
    auto* components = app.add_subcommand("components", "List the host's components (CAS, molar mass, class, name)");
    auto* correlations = app.add_subcommand("correlations", "List the correlation classes");
    app.require_subcommand(0, 1);
    for (CLI::App* command : app.get_subcommands({})) command->group("Commands");
    app.get_formatter()->label("SUBCOMMAND", "COMMAND");
    app.footer(kFluidHelp);

    try {
        std::vector<std::string> args;
        for (int i = argc - 1; i > 0; --i) args.emplace_back(argv[i]);
        app.parse(args);
    } catch (const CLI::CallForHelp&) {
        m_out << app.help();
        return kExitSuccess;
    } catch (const CLI::CallForAllHelp&) {
        app.formatter(std::make_shared<HelpAllFormatter>());
        for (CLI::App* command : app.get_subcommands({})) command->formatter(app.get_formatter());
        m_out << app.help("", CLI::AppFormatMode::All);
        return kExitSuccess;
    } catch (const CLI::ParseError& e) {
        std::string what = e.what();
        for (char& c : what)
            if (c == '\n') c = ' ';
        return Fail(kExitBadInput, what);
    }
    if (version) {
        m_out << fmt::format("{} {}\n", kProgram, ProgramVersion());
        return kExitSuccess;
    }

    struct Command {
        CLI::App* app;
        std::uint32_t options;
    };
    const Command commands[] = {{batch, kBatchOptions}, {envelope, kEnvelopeOptions}, {reg, kOptModule},
                                {unreg, kOptModule},  {components, 0},             {correlations, 0}};
    for (const auto& c : commands) {
        if (!c.app->parsed()) continue;
        const std::string misplaced = OptionOutside(app, c.options);
        if (!misplaced.empty())
            return Fail(kExitBadInput, fmt::format("{} does not apply to '{}'", misplaced, c.app->get_name()));
    }
    if (batch->parsed()) return RunBatch();
    if (envelope->parsed()) return RunEnvelope();
    if (reg->parsed()) return Register(true);
    if (unreg->parsed()) return Register(false);
    if (components->parsed()) return ListComponents();
    if (correlations->parsed()) return ListCorrelations();
    return RunOne();
}

}  // namespace

std::string ProgramFolder() { return platform::FolderOf(ProgramFilePath()); }

int RunHostProgram(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
    try {
        Program program(out, err);
        return program.Run(argc, argv);
    } catch (const std::exception& e) {
        err << fmt::format("{}: {}\n", kProgram, e.what());
        return kExitFailure;
    }
}

}  // namespace calorix::host
