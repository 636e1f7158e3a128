// Batches of fluids, read one fluid at a time so that a batch of any size streams.
//
// CSV, one fluid per row:
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
// column. The separator is ',' unless FluidReadOptions::delimiter says ';' or tab; a file
// written with another separator, or with decimal commas, is refused with a message that says so.
//
// JSON: one fluid object, or a list of them (element i named "file[i]" in messages).
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "host/fluid/fluid_json.h"

namespace calorix::host {

// One input of a batch: a fluid, or the reason its row or element was refused.
struct BatchInput {
    std::string where;     // "file:line" (CSV) or "file[i]" (JSON)
    std::optional<ParsedFluid> fluid;
    std::string problem;   // "file:line: column: problem" when refused
    std::string id;        // the fluid's "id" where it could be read, a refused input's too
};

class FluidBatchReader {
public:
    virtual ~FluidBatchReader() = default;
    // The next input; false after the last. Throws FluidInputError when the file as a whole is
    // unreadable (no header, malformed JSON around the elements, no fluid at all).
    virtual bool Next(BatchInput& input) = 0;
    // The share of the file read so far, 0 to 1 (for a progress bar).
    virtual double ShareRead() const = 0;
};

// The columns of a table of fluids, one fluid per row, as a CSV batch's header names them (a
// data frame's columns too): "id", the temperature and pressure, "molar_flow_kmol_h" and the
// components, mole fractions (or mole percent when `percent`).
class FluidColumns {
public:
    // Throws FluidInputError ("<where>: column: problem") for an empty or repeated column name.
    FluidColumns(std::vector<std::string> header, const std::string& where, bool percent = false);
    const std::vector<std::string>& Header() const { return m_header; }
    bool IsComponent(std::size_t column) const;
    // The fluid of a row: values[i] is the number in column i (that of "id" is not read), `id` the
    // label. Checked like a fluid file; throws FluidInputError naming `where` and the column.
    ParsedFluid Read(std::span<const double> values, const std::string& id, const std::string& where,
                     const FluidReadOptions& options) const;

private:
    std::vector<std::string> m_header;
    bool m_percent;
};

// A batch file: CSV when the name ends in ".csv", else JSON. Throws FluidInputError when the
// file cannot be opened or its header is bad.
std::unique_ptr<FluidBatchReader> OpenFluidBatch(const std::string& path, const FluidReadOptions& options);

// Parses CSV text; `source` names the input in messages. Throws FluidInputError at the first bad row.
std::vector<ParsedFluid> ParseFluidsCsv(std::string_view text, const std::string& source,
                                        const FluidReadOptions& options);

}  // namespace calorix::host
