#include "host/fluid/fluid_csv.h"

#include <charconv>
#include <cmath>
#include <sstream>

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

#include "host/fluid/components.h"

namespace calorix::host {

namespace {

using Json = nlohmann::json;
using Trim = io::trim_chars<' ', '\t', '\r'>;

// The cells of one line, split at `sep`, trimmed and unquoted by the CSV library.
template <char sep>
std::vector<std::string> CellsSplitAt(char* line) {
    using Quote = io::double_quote_escape<sep, '"'>;
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

std::vector<std::string> Cells(char* line, char delimiter) {
    switch (delimiter) {
        case ';': return CellsSplitAt<';'>(line);
        case '\t': return CellsSplitAt<'\t'>(line);
        default: return CellsSplitAt<','>(line);
    }
}

std::string DelimiterName(char delimiter) { return delimiter == '\t' ? "tab" : fmt::format("'{}'", delimiter); }

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

// The size of a stream in bytes, read from its start afterwards; 0 when it cannot be told (a pipe).
double StreamSize(std::istream& in) {
    in.seekg(0, std::ios::end);
    const std::streamoff end = in.tellg();
    in.clear();
    in.seekg(0);
    in.clear();
    return end > 0 ? static_cast<double>(end) : 0.0;
}

class CsvBatchReader final : public FluidBatchReader {
public:
    CsvBatchReader(std::unique_ptr<std::istream> in, std::string source, const FluidReadOptions& options)
        : m_in(std::move(in)), m_size(StreamSize(*m_in)), m_source(std::move(source)), m_options(options),
          m_lines(m_source, *m_in) {
        char* line = NextLine();
        if (!line) throw FluidInputError(fmt::format("{}: empty file; expected a header line", m_source));
        const char d = m_options.delimiter;
        const std::vector<std::string> header = Cells(line, d);
        for (char other : {',', ';', '\t'})
            if (other != d && header.size() == 1 && header[0].find(other) != std::string::npos)
                throw FluidInputError(fmt::format(
                    "{}:1: the header has no {} separators but {} ones; give --delimiter {}{}", m_source,
                    DelimiterName(d), DelimiterName(other), other == '\t' ? "tab" : DelimiterName(other),
                    other == ';' ? " (decimal commas, 0,9, are not read: write 0.9)" : ""));
        m_columns.emplace(header, m_source + ":1");
    }

    bool Next(BatchInput& input) override {
        char* line = nullptr;
        do {
            line = NextLine();
            if (!line) {
                if (!m_rows) throw FluidInputError(fmt::format("{}: no fluid rows after the header", m_source));
                return false;
            }
        } while (std::string_view(line).find_first_not_of(" \t\r") == std::string_view::npos);
        ++m_rows;
        input = BatchInput{fmt::format("{}:{}", m_source, m_lines.get_file_line()), std::nullopt, "", ""};
        try {
            input.fluid = ParseRow(line, input.where, input.id);
        } catch (const FluidInputError& e) {
            input.problem = e.what();
        }
        return true;
    }

    double ShareRead() const override { return m_size > 0.0 ? std::min(1.0, m_read / m_size) : 0.0; }

private:
    char* NextLine() {
        try {
            char* line = m_lines.next_line();
            if (line) m_read += static_cast<double>(std::char_traits<char>::length(line) + 1);
            return line;
        } catch (const io::error::base& e) {
            throw FluidInputError(fmt::format("{}: {}", m_source, e.what()));
        }
    }

    // The row's fluid; its "id" cell, where the row has one, in `id` before anything is checked.
    ParsedFluid ParseRow(char* line, const std::string& where, std::string& id) const {
        const std::vector<std::string> cells = Cells(line, m_options.delimiter);
        const std::vector<std::string>& header = m_columns->Header();
        for (std::size_t i = 0; i < header.size() && i < cells.size(); ++i)
            if (header[i] == "id") id = cells[i];
        if (cells.size() != header.size())
            throw FluidInputError(fmt::format("{}: {} cells for {} columns of the header{}", where, cells.size(),
                                              header.size(),
                                              cells.size() > header.size() && m_options.delimiter == ','
                                                  ? " (decimal commas, 0,9, are not read: write 0.9)"
                                                  : ""));
        std::vector<double> values(header.size(), 0.0);
        for (std::size_t i = 0; i < header.size(); ++i) {
            const std::string& h = header[i];
            if (h == "id") continue;
            const auto v = cells[i].empty() && m_columns->IsComponent(i) ? std::optional<double>(0.0) : Number(cells[i]);
            if (!v)
                throw FluidInputError(fmt::format("{}: {}: '{}' is not a finite number{}", where, h, cells[i],
                                                  cells[i].find(',') != std::string::npos
                                                      ? " (decimal commas are not read: write 0.9, not 0,9)"
                                                      : ""));
            values[i] = *v;
        }
        return m_columns->Read(values, id, where, m_options);
    }

    std::unique_ptr<std::istream> m_in;
    double m_size;
    std::string m_source;
    FluidReadOptions m_options;
    io::LineReader m_lines;
    std::optional<FluidColumns> m_columns;
    std::size_t m_rows = 0;
    double m_read = 0.0;
};

// A JSON batch: one fluid object, or a list whose elements are cut out of the stream one at a
// time (by bracket depth outside strings) and parsed each on its own.
class JsonBatchReader final : public FluidBatchReader {
public:
    JsonBatchReader(std::unique_ptr<std::istream> in, std::string source, const FluidReadOptions& options)
        : m_in(std::move(in)), m_source(std::move(source)), m_options(options), m_size(StreamSize(*m_in)) {
        SkipSpace();
        m_list = m_in->peek() == '[';
        if (m_list) Get();
    }

    bool Next(BatchInput& input) override {
        input = BatchInput{};
        if (!m_list) {
            if (m_index++ > 0) return false;
            std::ostringstream text;
            text << m_in->rdbuf();
            m_read = m_size;
            input.where = m_source;
            input.fluid = ParseFluidJson(text.str(), m_source, m_options);
            return true;
        }
        if (m_ended) return false;
        SkipSpace();
        int c = m_in->peek();
        if (m_index > 0) {
            if (c != ',' && c != ']') Malformed("expected ',' or ']' after the element");
            Get();
            SkipSpace();
            if (c == ']') {
                if (m_in->peek() != std::char_traits<char>::eof()) Malformed("text after the list");
                m_ended = true;
                return false;
            }
            c = m_in->peek();
        } else if (c == ']') {
            throw FluidInputError(fmt::format("{}: (document): empty list of fluids", m_source));
        }
        const std::string element = Element();
        input.where = fmt::format("{}[{}]", m_source, m_index++);
        try {
            input.fluid = ParseFluidJson(element, input.where, m_options);
            input.id = input.fluid->fluid.id;
        } catch (const FluidInputError& e) {
            input.problem = e.what();
            // The id of an element refused for another field, when the element is JSON at all.
            const Json doc = Json::parse(element, nullptr, false);
            if (doc.is_object() && doc.contains("id") && doc["id"].is_string()) input.id = doc["id"].get<std::string>();
        }
        return true;
    }

    double ShareRead() const override { return m_size > 0.0 ? std::min(1.0, m_read / m_size) : 0.0; }

private:
    int Get() {
        const int c = m_in->get();
        if (c != std::char_traits<char>::eof()) m_read += 1.0;
        return c;
    }
    void SkipSpace() {
        while (m_in->peek() == ' ' || m_in->peek() == '\n' || m_in->peek() == '\r' || m_in->peek() == '\t') Get();
    }
    [[noreturn]] void Malformed(const char* what) const {
        throw FluidInputError(fmt::format("{}: malformed JSON after element [{}]: {}", m_source, m_index, what));
    }
    // The text of the next element: an object or list up to its closing bracket, or a scalar.
    std::string Element() {
        std::string text;
        int depth = 0;
        bool inString = false, escaped = false;
        for (;;) {
            const int c = m_in->peek();
            if (c == std::char_traits<char>::eof()) Malformed("the file ends inside the list");
            if (!inString && depth == 0 && (c == ',' || c == ']') && !text.empty()) return text;
            text += static_cast<char>(Get());
            if (inString) {
                if (escaped) escaped = false;
                else if (c == '\\') escaped = true;
                else if (c == '"') inString = false;
            } else if (c == '"') {
                inString = true;
            } else if (c == '{' || c == '[') {
                ++depth;
            } else if ((c == '}' || c == ']') && --depth == 0) {
                return text;
            }
        }
    }

    std::unique_ptr<std::istream> m_in;
    std::string m_source;
    FluidReadOptions m_options;
    double m_size;
    bool m_list = false, m_ended = false;
    std::size_t m_index = 0;
    double m_read = 0.0;
};

}  // namespace

FluidColumns::FluidColumns(std::vector<std::string> header, const std::string& where, bool percent)
    : m_header(std::move(header)), m_percent(percent) {
    for (std::size_t i = 0; i < m_header.size(); ++i) {
        const std::string& h = m_header[i];
        if (h.empty()) throw FluidInputError(fmt::format("{}: column {}: empty header", where, i + 1));
        for (std::size_t j = 0; j < i; ++j)
            if (m_header[j] == h) throw FluidInputError(fmt::format("{}: {}: column given twice", where, h));
    }
}

bool FluidColumns::IsComponent(std::size_t column) const { return !IsFluidColumn(m_header[column]); }

ParsedFluid FluidColumns::Read(std::span<const double> values, const std::string& id, const std::string& where,
                               const FluidReadOptions& options) const {
    Json doc = Json::object();
    Json components = Json::array(), fractions = Json::array();
    for (std::size_t i = 0; i < m_header.size(); ++i) {
        const std::string& h = m_header[i];
        if (h == "id") {
            doc["id"] = id;
            continue;
        }
        if (std::isnan(values[i])) throw FluidInputError(fmt::format("{}: {}: not a number (NaN)", where, h));
        if (!std::isfinite(values[i])) throw FluidInputError(fmt::format("{}: {}: not a finite number", where, h));
        if (IsFluidColumn(h)) {
            doc[h] = values[i];
        } else {
            components.push_back(ParseCasNumber(h) ? Json{{"cas", h}} : Json{{"name", h}});
            fractions.push_back(values[i]);
        }
    }
    doc["components"] = std::move(components);
    doc[m_percent ? "mole_percent" : "mole_fractions"] = std::move(fractions);
    return ReadFluidDocument(doc, where, options);
}

std::unique_ptr<FluidBatchReader> OpenFluidBatch(const std::string& path, const FluidReadOptions& options) {
    auto in = std::make_unique<std::ifstream>(OpenInputFile(path));
    if (path.size() >= 4 && path.compare(path.size() - 4, 4, ".csv") == 0)
        return std::make_unique<CsvBatchReader>(std::move(in), path, options);
    return std::make_unique<JsonBatchReader>(std::move(in), path, options);
}

std::vector<ParsedFluid> ParseFluidsCsv(std::string_view text, const std::string& source,
                                        const FluidReadOptions& options) {
    CsvBatchReader reader(std::make_unique<std::istringstream>(std::string(text)), source, options);
    std::vector<ParsedFluid> fluids;
    for (BatchInput input; reader.Next(input);) {
        if (!input.fluid) throw FluidInputError(input.problem);
        fluids.push_back(std::move(*input.fluid));
    }
    return fluids;
}

}  // namespace calorix::host
