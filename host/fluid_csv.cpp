#include "host/fluid_csv.h"

#include <charconv>
#include <cmath>

// The library reads from memory here, without its reader thread. Its error classes copy file
// names with strncpy, which GCC's optimiser flags as a possible truncation (they are cut to
// the library's limit on purpose).
#define CSV_IO_NO_THREAD
#pragma GCC diagnostic push
#if !defined(__clang__)  // a warning of GCC's alone; clang (the fuzz build) does not know it
#pragma GCC diagnostic ignored "-Wstringop-truncation"
#endif
#include <libfccp/csv.h>
#pragma GCC diagnostic pop

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "host/components.h"

namespace calorix::host {

namespace {

using Json = nlohmann::json;
using Trim = io::trim_chars<' ', '\t', '\r'>;
using Quote = io::double_quote_escape<',', '"'>;

// The cells of one line, split, trimmed and unquoted by the CSV library.
std::vector<std::string> Cells(char* line) {
    std::vector<std::string> cells;
    while (line) {
        char *begin = nullptr, *end = nullptr;
        io::detail::chop_next_column<Quote>(line, begin, end);
        Trim::trim(begin, end);
        Quote::unescape(begin, end);
        cells.emplace_back(begin, end);
    }
    return cells;
}

bool IsFluidColumn(const std::string& header) {
    return header == "id" || header == "molar_flow_kmol_h" || header.rfind("temperature_", 0) == 0 ||
           header.rfind("pressure_", 0) == 0;
}

// A number in the C locale (the same on every platform); nothing unless the cell is one.
std::optional<double> Number(const std::string& cell) {
    double v = 0.0;
    const char* first = cell.data() + (cell.size() > 1 && cell[0] == '+' ? 1 : 0);
    const auto [end, ec] = std::from_chars(first, cell.data() + cell.size(), v);
    if (ec != std::errc() || end != cell.data() + cell.size() || !std::isfinite(v)) return std::nullopt;
    return v;
}

}  // namespace

std::vector<ParsedFluid> ParseFluidsCsv(std::string_view text, const std::string& source,
                                        const FluidReadOptions& options) {
    std::vector<ParsedFluid> fluids;
    try {
        io::LineReader lines(source, text.data(), text.data() + text.size());
        char* line = lines.next_line();
        if (!line) throw FluidInputError(fmt::format("{}: empty file; expected a header line", source));
        const std::vector<std::string> header = Cells(line);
        Json components = Json::array();
        for (std::size_t i = 0; i < header.size(); ++i) {
            const std::string& h = header[i];
            if (h.empty()) throw FluidInputError(fmt::format("{}:1: column {}: empty header", source, i + 1));
            for (std::size_t j = 0; j < i; ++j)
                if (header[j] == h) throw FluidInputError(fmt::format("{}:1: {}: column given twice", source, h));
            if (IsFluidColumn(h)) continue;
            components.push_back(ParseCasNumber(h) ? Json{{"cas", h}} : Json{{"name", h}});
        }
        while ((line = lines.next_line()) != nullptr) {
            const std::string where = fmt::format("{}:{}", source, lines.get_file_line());
            if (std::string_view(line).find_first_not_of(" \t\r") == std::string_view::npos) continue;
            const std::vector<std::string> cells = Cells(line);
            if (cells.size() != header.size())
                throw FluidInputError(
                    fmt::format("{}: {} cells for {} columns of the header", where, cells.size(), header.size()));
            Json doc = Json::object();
            doc["components"] = components;
            Json fractions = Json::array();
            for (std::size_t i = 0; i < header.size(); ++i) {
                const std::string& h = header[i];
                if (h == "id") {
                    doc["id"] = cells[i];
                    continue;
                }
                const auto v = cells[i].empty() && !IsFluidColumn(h) ? std::optional<double>(0.0) : Number(cells[i]);
                if (!v) throw FluidInputError(fmt::format("{}: {}: '{}' is not a finite number", where, h, cells[i]));
                if (IsFluidColumn(h))
                    doc[h] = *v;
                else
                    fractions.push_back(*v);
            }
            doc["mole_fractions"] = fractions;
            fluids.push_back(ParseFluidJson(doc.dump(), where, options));
        }
    } catch (const io::error::base& e) {
        throw FluidInputError(fmt::format("{}: {}", source, e.what()));
    }
    if (fluids.empty()) throw FluidInputError(fmt::format("{}: no fluid rows after the header", source));
    return fluids;
}

std::vector<ParsedFluid> ReadFluidsFile(const std::string& path, const FluidReadOptions& options) {
    const std::string text = ReadInputFile(path);
    if (path.size() >= 4 && path.compare(path.size() - 4, 4, ".csv") == 0) return ParseFluidsCsv(text, path, options);
    return ParseFluidsJson(text, path, options);
}

}  // namespace calorix::host
