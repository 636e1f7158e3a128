// Batches of fluids in CSV, one fluid per row:
//
//   id,temperature_C,pressure_bar,molar_flow_kmol_h,methane,ethane,nitrogen,74-98-6
//   well 1,15,50,1000,0.90,0.06,0.03,0.01
//
// A header line, then one row per fluid. Columns: "id" (optional label), the temperature and
// the pressure under one of the keys of a fluid file (temperature_C, temperature_K,
// temperature_F; pressure_kPa, pressure_bar, pressure_MPa, pressure_psia), "molar_flow_kmol_h"
// (optional), and one column per component, headed by a name of the host's list or a CAS number
// of it, holding mole fractions (mole percent are refused unless --normalise scales them). An
// empty cell is 0. Each row is checked like a fluid file; messages name "file:line" and the
// column.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "host/fluid_json.h"

namespace calorix::host {

// Parses CSV text; `source` names the input in messages. Throws FluidInputError.
std::vector<ParsedFluid> ParseFluidsCsv(std::string_view text, const std::string& source,
                                        const FluidReadOptions& options);

// A batch file: CSV when the name ends in ".csv", else JSON (one fluid or a list of fluids).
std::vector<ParsedFluid> ReadFluidsFile(const std::string& path, const FluidReadOptions& options);

}  // namespace calorix::host
