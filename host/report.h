// Output of the command-line host: a table for people, JSON and CSV for programs.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "host/correlation_manager.h"
#include "host/fluid_model.h"

namespace calorix::host {

// Unit of a correlation's result type code: 1 "degC", 4 "kg/h", 16 "kg/m3", 21 "kJ/kmol",
// 30 "kJ/kg", 128 "MJ/m3", 174 "mg/Sm3"; "" for any other code.
std::string_view UnitOfResultType(std::int32_t resultType) noexcept;

struct RunDescription {
    const Fluid* fluid = nullptr;
    double referenceTemperatureC = 15.0;  // the ISO 6976 reference (metering) temperature chosen
    int isoEdition = 1995;
    double combustionTemperatureC = 15.0;  // ISO 6976:2016: the combustion reference temperature
};

// Columns: correlation, unit, overall, vapour, HC liquid, aqueous, phase 3; a missing value
// is a dash, a failed correlation shows its status.
std::string FormatTable(const RunDescription& run, std::span<const CorrelationReport> reports);
// {"fluid": {...}, "reference_temperature_C": 15, "iso6976_edition": 1995,
// "combustion_temperature_C": 15, "correlations": [{"class", "class_id",
// "display_name", "result_type", "unit", "status", "phase_values": [six entries, null for
// EMPTY_VALUE and index 4]}]}
std::string FormatJson(const RunDescription& run, std::span<const CorrelationReport> reports);
// One header line, one line per correlation; empty cells for missing values.
std::string FormatCsv(const RunDescription& run, std::span<const CorrelationReport> reports);

// "0x80004005".
std::string FormatStatus(HRESULT status);

}  // namespace calorix::host
