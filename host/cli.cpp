#include "host/cli.h"

#include <filesystem>
#include <sstream>
#include <vector>

#include <CLI/CLI.hpp>
#include <fmt/format.h>

#include "host/correlation_manager.h"
#include "host/flash.h"
#include "host/fluid.h"
#include "host/fluid_json.h"
#include "host/iso_edition.h"
#include "host/report.h"
#include "platform/library.h"

namespace calorix::host {

namespace {

constexpr char kProgram[] = "calorix-host";

constexpr char kFluidHelp[] = R"(Fluid file (JSON):
  {
    "temperature_C": 15.0,               required
    "pressure_kPa": 5000.0,              required
    "molar_flow_kmol_h": 1000.0,         optional, default 1
    "components": [                      a name of the host's list, or "cas" ("74-82-8")
      {"name": "methane"},               and "mw" (kg/kmol), which override the list; a
      {"name": "C7+", "cas": "142-82-5", "mw": 100.2}     component not in the list needs both
    ],
    "mole_fractions": [0.99, 0.01],      one finite number per component
    "phases": [                          optional; default: one vapour phase, the overall
      {"slot": 0, "fraction": 1.0,       composition. Slots: 0 vapour, 1 hydrocarbon
       "mole_fractions": [0.99, 0.01]}   liquid, 2 aqueous, 3 other
    ]
  }
Without --fluid a pipeline natural gas is used (12 components, 5000 kPa, 15 degC, 1000 kmol/h).)";

std::string AbsolutePath(const std::string& path) {
    std::error_code ec;
    auto p = std::filesystem::absolute(path, ec);
    return ec ? path : p.lexically_normal().string();
}

std::string DefaultModulePath() { return platform::PathIn(ProgramFolder(), platform::LibraryFileName("Calorix")); }

// Loads the module named on the command line (default: beside this program) into manager;
// false, with a message, when it cannot be loaded.
bool LoadModule(const std::string& modulePath, CorrelationManager& manager, std::string& path, std::ostream& err) {
    path = AbsolutePath(modulePath.empty() ? DefaultModulePath() : modulePath);
    HRESULT hr = manager.Load(path);
    if (FAILED(hr)) err << fmt::format("{}: cannot load {}: {}\n", kProgram, path, FormatStatus(hr));
    return SUCCEEDED(hr);
}

int Register(const std::string& modulePath, bool install, std::ostream& out, std::ostream& err) {
    const char* exportName = install ? "DllRegisterServer" : "DllUnregisterServer";
    CorrelationManager manager;
    std::string path;
    if (!LoadModule(modulePath, manager, path, err)) return kExitFailure;
    HRESULT hr = manager.CallExport(exportName);
    if (FAILED(hr)) {
        err << fmt::format("{}: {} in {} failed: {}\n", kProgram, exportName, path, FormatStatus(hr));
        return kExitFailure;
    }
    out << fmt::format("{} in {} succeeded.\n", exportName, path);
    return kExitSuccess;
}

// The classes to run: "iso6976" (the edition's eight), "all", or class words separated by commas.
bool SelectClasses(const std::string& selection, const IsoEdition& edition, std::vector<const CatalogueEntry*>& classes,
                   bool& optional, std::string& problem) {
    optional = false;
    if (selection == "iso6976") {
        for (const auto& e : Catalogue())
            if (IsEditionClass(e, edition)) classes.push_back(&e);
        return true;
    }
    if (selection == "all") {
        for (const auto& e : Catalogue()) classes.push_back(&e);
        optional = true;  // classes the module does not serve are left out with a warning
        return true;
    }
    std::stringstream list(selection);
    std::string word;
    while (std::getline(list, word, ',')) {
        const CatalogueEntry* e = FindCatalogueEntry(word);
        if (!e) {
            problem = fmt::format("unknown correlation class '{}'", word);
            return false;
        }
        classes.push_back(e);
    }
    if (classes.empty()) {
        problem = "no correlation class given";
        return false;
    }
    return true;
}

// Replaces the fluid's phases by the host's own flash at its temperature and pressure.
bool Equilibrate(Fluid& fluid, std::string& problem) {
    PengRobinsonFlash flash(fluid.components);
    auto result = flash.FlashTP(fluid.temperatureC + 273.15, fluid.pressureKPa, fluid.moleFractions);
    if (!result) {
        problem = fmt::format("the flash at {:g} degC and {:g} kPa did not converge", fluid.temperatureC,
                              fluid.pressureKPa);
        return false;
    }
    fluid.phases.clear();
    for (std::size_t slot = 0; slot < result->phases.size(); ++slot) {
        const auto& p = result->phases[slot];
        if (p.present) fluid.phases.push_back(Phase{static_cast<int>(slot), p.fraction, p.moleFractions});
    }
    return true;
}

}  // namespace

std::string ProgramFolder() {
    std::string path = platform::ModuleFilePath();
    if (path.find('/') == std::string::npos) {
        std::error_code ec;
        auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
        if (!ec) path = self.string();
    }
    return platform::FolderOf(AbsolutePath(path));
}

int RunHostProgram(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
    try {
        CLI::App app{"Reference host of the Calorix correlations: loads the module, attaches correlations "
                     "to a fluid, calculates and prints \"Phase_Values\".",
                     kProgram};
        std::string fluidFile, modulePath, format = "table", refTemp = "15", selection = "iso6976";
        bool flash = false;
        app.add_option("--fluid", fluidFile, "Fluid file (JSON, see below)");
        app.add_option("--module", modulePath, "Correlation module (default: Calorix.so beside this program)");
        auto* refTempOption = app.add_option("--ref-temp", refTemp, "ISO 6976:1995 reference temperature, degC: 15 or 0")
                                  ->check(CLI::IsMember({"15", "0"}));
        std::string edition = "1995", ref;
        app.add_option("--edition", edition, "ISO 6976 edition of the iso6976 classes: 1995 (default) or 2016")
            ->check(CLI::IsMember({"1995", "2016"}));
        app.add_option("--ref", ref,
                       "ISO 6976:2016 reference temperatures COMB/MET, degC: combustion 0, 15, 15.55, 20 or 25, "
                       "metering 0, 15, 15.55 or 20 (default 15/15)");
        app.add_option("--format", format, "Output: table, json or csv")->check(CLI::IsMember({"table", "json", "csv"}));
        app.add_option("--correlations", selection,
                       "iso6976 (the eight ISO 6976 classes, default), all (every class the module serves), "
                       "or class words separated by commas (HHV,HCDewPt)");
        app.add_flag("--flash", flash, "Replace the fluid's phases by the host's Peng-Robinson flash at its T and P");
        std::string registerModule, unregisterModule;
        auto* reg = app.add_subcommand("register", "Register the module (calls its DllRegisterServer)");
        reg->add_option("MODULE", registerModule, "Module to register (default: Calorix.so beside this program)");
        auto* unreg = app.add_subcommand("unregister", "Unregister the module (calls its DllUnregisterServer)");
        unreg->add_option("MODULE", unregisterModule, "Module to unregister (default: Calorix.so beside this program)");
        app.require_subcommand(0, 1);
        app.footer(kFluidHelp);

        try {
            std::vector<std::string> args;
            for (int i = argc - 1; i > 0; --i) args.emplace_back(argv[i]);
            app.parse(args);
        } catch (const CLI::CallForHelp&) {
            out << app.help();
            return kExitSuccess;
        } catch (const CLI::ParseError& e) {
            err << fmt::format("{}: {}\n", kProgram, e.what());
            return kExitBadInput;
        }

        if (reg->parsed()) return Register(registerModule, true, out, err);
        if (unreg->parsed()) return Register(unregisterModule, false, out, err);

        // The fluid first: bad input is reported before anything is loaded.
        ParsedFluid parsed;
        try {
            parsed = fluidFile.empty() ? ParseFluidJson(DefaultFluidJson(), "(default fluid)") : ReadFluidFile(fluidFile);
        } catch (const FluidInputError& e) {
            err << fmt::format("{}: {}\n", kProgram, e.what());
            return kExitBadInput;
        }
        for (const auto& w : parsed.warnings) err << fmt::format("{}: warning: {}\n", kProgram, w);
        IsoEdition iso;
        std::string problem;
        if (!ChooseIsoEdition(edition, ref, refTemp, refTempOption->count() > 0, &iso, &problem)) {
            err << fmt::format("{}: {}\n", kProgram, problem);
            return kExitBadInput;
        }
        std::vector<const CatalogueEntry*> classes;
        bool optionalClasses = false;
        if (!SelectClasses(selection, iso, classes, optionalClasses, problem)) {
            err << fmt::format("{}: --correlations: {}\n", kProgram, problem);
            return kExitBadInput;
        }
        if (flash && !Equilibrate(parsed.fluid, problem)) {
            err << fmt::format("{}: {}\n", kProgram, problem);
            return kExitFailure;
        }

        CorrelationManager manager;
        std::string path;
        if (!LoadModule(modulePath, manager, path, err)) return kExitFailure;

        const Fluid fluid = parsed.fluid;
        auto source = MakeFluidSource({parsed.fluid});
        const std::int32_t option = RefTempOptionOf(iso);
        std::vector<CorrelationReport> reports;
        int status = kExitSuccess;
        for (const CatalogueEntry* entry : classes) {
            platform::ComPtr<ICorrelation> correlation;
            HRESULT hr = manager.Create(*entry->classId, &correlation);
            if (FAILED(hr) || !correlation) {
                if (optionalClasses && hr == CLASS_E_CLASSNOTAVAILABLE) {
                    err << fmt::format("{}: warning: the module does not serve {}; left out\n", kProgram, entry->word);
                    continue;
                }
                CorrelationReport failed;
                failed.word = entry->word;
                failed.status = FAILED(hr) ? hr : E_POINTER;
                failed.failedStep = "create";
                reports.push_back(std::move(failed));
                status = kExitFailure;
                continue;
            }
            if (iso.year == 2016 && FAILED(hr = SelectRefConditions(correlation.Get(), iso))) {
                CorrelationReport failed;
                failed.word = entry->word;
                failed.status = hr;
                failed.failedStep = "RefConditions";
                reports.push_back(std::move(failed));
                status = kExitFailure;
                continue;
            }
            reports.push_back(RunCorrelation(correlation.Get(), entry->word, source.Get(), 0, option));
            if (FAILED(reports.back().status)) status = kExitFailure;
        }

        const RunDescription run{&fluid, iso.meteringC, iso.year, iso.combustionC};
        if (format == "json")
            out << FormatJson(run, reports);
        else if (format == "csv")
            out << FormatCsv(run, reports);
        else
            out << FormatTable(run, reports);
        for (const auto& r : reports)
            if (FAILED(r.status))
                err << fmt::format("{}: {}: {} failed: {}\n", kProgram, r.word, r.failedStep, FormatStatus(r.status));
        return status;
    } catch (const std::exception& e) {
        err << fmt::format("{}: {}\n", kProgram, e.what());
        return kExitFailure;
    }
}

}  // namespace calorix::host
