// Output of the command-line host: a table for people, JSON and CSV for programs. Numbers are
// formatted without the locale (the same bytes on every platform); lines end in "\n".
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "host/manager.h"

namespace calorix::host {

// The program's version, "38.0.0".
std::string_view ProgramVersion() noexcept;

// What the head of a JSON document says of the run. Each record carries its own edition and
// reference temperatures; the head repeats them when every ISO 6976 class of the run shares
// them, else it names the edition of --edition with its temperatures.
struct RunDescription {
    double referenceTemperatureC = 15.0;  // the ISO 6976 reference (metering) temperature
    bool flashed = false;                 // phases from the host's flash
    int isoEdition = 1995;
    double combustionTemperatureC = 15.0; // ISO 6976:2016: the combustion reference temperature
    bool usUnits = false;                 // --output-units us: values in US customary units
};

RunDescription DescribeRun(const EvaluationSettings& settings, std::span<const CatalogueEntry* const> classes,
                           bool usUnits = false);

// A header echoing the fluid (conditions, the composition of the fluid and of each phase, the
// phase fractions) and the reference temperature, then one line per correlation: unit and
// fixed-point values for overall, vapour, HC liquid, aqueous and phase 3 ("-" where the phase
// is absent, "n/c" where it was not computed, with the reasons below the table).
std::string FormatTable(const RunDescription& run, const FluidResult& result);

// One document: {"program", "version", "reference_temperature_C", "iso6976_edition",
// "combustion_temperature_C", "fluid", "flash",
// "correlations": [{"class", "class_id", "display_name", "result_type", "unit", "status",
// "phases": {"overall": {"status": "ok", "value": 38.9}, "hc_liquid": {"status": "absent"},
// "aqueous": {"status": "not computed", "reason": "..."}, ...}}]}; a batch has "fluids": [{"fluid",
// "flash", "correlations"}, ...] in place of the last three.
std::string FormatJson(const RunDescription& run, std::span<const FluidResult> results, bool batch);

// A batch in JSON written as it comes, the same bytes as FormatJson(run, results, true): the
// head, each fluid (`first` for the first one), the tail. A fluid whose input was refused is
// {"input_error": "..."}, with its "id" where it was read.
std::string JsonBatchHead(const RunDescription& run);
std::string JsonBatchFluid(const RunDescription& run, const FluidResult& result, bool first);
std::string JsonBatchInputError(const std::string& problem, const std::string& id, bool first);
std::string JsonBatchTail();

// A header line, then one line per fluid and correlation: fluid (1-based), id, class,
// display_name, result_type, unit, status, overall, vapour, hc_liquid, aqueous, phase3,
// reference_temperature_C, iso6976_edition, combustion_temperature_C (those the value was
// computed with; empty for a class outside ISO 6976), then per phase its status ("ok", "absent",
// "not computed") and reason (overall_status, overall_reason, ... phase3_reason), version; empty
// cells where there is no value. "status" is "ok" only when the overall value is there.
std::string FormatCsv(const RunDescription& run, std::span<const FluidResult> results);
std::string CsvHeader();
// The rows of one fluid (numbered `fluidNumber`), for output written as it comes.
std::string CsvRows(const RunDescription& run, const FluidResult& result, std::size_t fluidNumber);
// The row of an input that could not be read as a fluid: its number, its id (where it was read),
// status "input error: ...".
std::string CsvErrorRow(std::size_t fluidNumber, const std::string& id, const std::string& problem);

}  // namespace calorix::host
