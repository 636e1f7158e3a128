#include "host/cli/options.h"

#include <string_view>
#include <vector>

#include <CLI/CLI.hpp>
#include <fmt/format.h>

#include "platform/library.h"

namespace calorix::host {

namespace {

struct OptionRow {
    std::uint32_t bit;
    const char* name;
    void (*add)(CLI::App&, CalculationOptions&);
};

constexpr OptionRow kOptionTable[] = {
    {kOptFluid, "--fluid",
     [](CLI::App& app, CalculationOptions& o) {
         app.add_option("--fluid", o.fluid, "Fluid file (JSON, see below; batch: a JSON list or a CSV file)");
     }},
    {kOptModule, "--module",
     [](CLI::App& app, CalculationOptions& o) {
         app.add_option("--module", o.module, "Correlation module (default: " + platform::LibraryFileName("Calorix") + " beside this program)");
     }},
    {kOptRefTemp, "--ref-temp",
     [](CLI::App& app, CalculationOptions& o) {
         app.add_option("--ref-temp", o.refTemp, "ISO 6976:1995 reference temperature, degC: 15 (default) or 0")
             ->check(CLI::IsMember({"15", "0"}));
     }},
    {kOptEdition, "--edition",
     [](CLI::App& app, CalculationOptions& o) {
         app.add_option("--edition", o.edition, "ISO 6976 edition of the iso6976 classes: 1995 (default) or 2016")
             ->check(CLI::IsMember({"1995", "2016"}));
     }},
    {kOptRef, "--ref",
     [](CLI::App& app, CalculationOptions& o) {
         app.add_option("--ref", o.ref,
                        "ISO 6976:2016 reference temperatures COMB/MET, degC: combustion 0, 15, 15.55, 20 or 25, "
                        "metering 0, 15, 15.55 or 20 (default 15/15)");
     }},
    {kOptMethaneOrigin, "--methane-origin",
     [](CLI::App& app, CalculationOptions& o) {
         app.add_option("--methane-origin", o.methaneOrigin,
                        "Origin of the methane for CO2EAR6: fossil (default; natural gas) or non-fossil "
                        "(biomethane, landfill gas)")
             ->check(CLI::IsMember({"fossil", "non-fossil"}));
     }},
    {kOptGergModel, "--gerg-model",
     [](CLI::App& app, CalculationOptions& o) {
         app.add_option("--gerg-model", o.gergModel,
                        "Equation of the GERG-2008 classes: gerg2008 (default; as published) or gerg2008-h2 "
                        "(GERG-2008 with the 2021 hydrogen binaries of Beckmueller et al.)")
             ->check(CLI::IsMember({"gerg2008", "gerg2008-h2"}));
     }},
    {kOptFormat, "--format",
     [](CLI::App& app, CalculationOptions& o) {
         app.add_option("--format", o.format, "Output: table, json or csv")
             ->check(CLI::IsMember({"table", "json", "csv"}));
     }},
    {kOptCorrelations, "--correlations",
     [](CLI::App& app, CalculationOptions& o) {
         app.add_option("--correlations", o.correlations,
                        "iso6976 (the eight ISO 6976 classes, default), all (every class the module serves), "
                        "or class words separated by commas (HHV,HCDewPt); see 'calorix-host correlations'");
     }},
    {kOptFlash, "--flash",
     [](CLI::App& app, CalculationOptions& o) {
         app.add_flag("--flash", o.flash, "Replace the fluid's phases by the host's Peng-Robinson flash at its T and P");
     }},
    {kOptNormalise, "--normalise",
     [](CLI::App& app, CalculationOptions& o) {
         app.add_flag("--normalise,--normalize", o.normalise,
                      "Scale compositions that do not sum to 1 (or 100 %) instead of refusing them");
     }},
    {kOptStrict, "--strict",
     [](CLI::App& app, CalculationOptions& o) {
         app.add_flag("--strict", o.strict,
                      "Refuse the whole batch when one fluid is bad (default: an error row for it, the others go on)");
     }},
    {kOptDelimiter, "--delimiter",
     [](CLI::App& app, CalculationOptions& o) {
         app.add_option("--delimiter", o.delimiter, "Separator of a CSV batch: ',' (default), ';' or 'tab'")
             ->check(CLI::IsMember({",", ";", "tab"}));
     }},
    {kOptOutputUnits, "--output-units",
     [](CLI::App& app, CalculationOptions& o) {
         app.add_option("--output-units", o.outputUnits,
                        "Units of the values: si (default) or us (degF, psia, Btu/ft3, lb/ft3, Btu/lb, Btu/lbmol, lb/h)")
             ->check(CLI::IsMember({"si", "us"}));
     }},
};

}  // namespace

void AddOptions(CLI::App& command, CalculationOptions& options, std::uint32_t bits) {
    for (const auto& row : kOptionTable)
        if (bits & row.bit) row.add(command, options);
}

std::string OptionOutside(const CLI::App& app, std::uint32_t bits) {
    for (const auto& row : kOptionTable) {
        if (bits & row.bit) continue;
        const CLI::Option* option = app.get_option_no_throw(row.name);
        if (option && option->count() > 0) return row.name;
    }
    return {};
}

bool EvaluationSettingsOf(const CalculationOptions& options, EvaluationSettings& settings, std::string& problem) {
    return MakeEvaluationSettings(
        RunChoices{options.flash, options.edition, options.ref, options.refTemp, options.methaneOrigin,
                   options.gergModel},
        settings, problem);
}

}  // namespace calorix::host
