#include "calculator/arguments.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <utility>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

namespace calorix::calculator {

namespace {

std::string_view Trim(std::string_view s) {
    const auto b = s.find_first_not_of(" \t\r\n");
    if (b == std::string_view::npos) return {};
    return s.substr(b, s.find_last_not_of(" \t\r\n") - b + 1);
}

std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

bool AllDigits(std::string_view s) {
    if (s.empty()) return false;
    for (char c : s)
        if (!IsDigit(c)) return false;
    return true;
}

// The end of a name with locants: digits, a hyphen, then a name ("2-dimethylbutane").
bool LocantTail(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size() && IsDigit(s[i])) ++i;
    if (i == 0 || i == s.size() || s[i] != '-') return false;
    for (; i < s.size(); ++i)
        if (IsLetter(s[i])) return true;
    return false;
}

std::vector<std::string_view> SplitAt(std::string_view text, char separator) {
    std::vector<std::string_view> pieces;
    for (std::size_t start = 0;;) {
        const auto end = text.find(separator, start);
        pieces.push_back(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        if (end == std::string_view::npos) return pieces;
        start = end + 1;
    }
}

// A number in the C locale, the whole text; nothing unless it is one and finite.
std::optional<double> Number(std::string_view text) {
    text = Trim(text);
    if (text.size() > 1 && text[0] == '+') text.remove_prefix(1);
    double v = 0.0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || !std::isfinite(v)) return std::nullopt;
    return v;
}

bool IsEmpty(const Cell& cell) { return std::holds_alternative<std::monostate>(cell); }

// The list without its trailing empty cells.
std::size_t UsedLength(const std::vector<Cell>& cells) {
    std::size_t n = cells.size();
    while (n > 0 && IsEmpty(cells[n - 1])) --n;
    return n;
}

std::string NumberText(double v) { return fmt::format("{}", v); }

bool Flag(std::string_view name, std::string_view value) {
    const std::string v = Lower(value);
    if (v == "1" || v == "true" || v == "yes") return true;
    if (v == "0" || v == "false" || v == "no") return false;
    throw CalculatorError(fmt::format("options: {}: expected 0 or 1, found '{}'", name, value));
}

}  // namespace

std::vector<Cell> SplitTextList(std::string_view text) {
    std::vector<Cell> cells;
    if (Trim(text).empty()) return cells;
    const bool semicolons = text.find(';') != std::string_view::npos;
    const std::vector<std::string_view> pieces = SplitAt(text, semicolons ? ';' : ',');
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        std::string item(pieces[i]);
        if (!semicolons && AllDigits(pieces[i])) {
            // Locants written without spaces: "2,2-dimethylbutane", "2,3,4-trimethylpentane".
            std::size_t k = i + 1;
            while (k + 1 < pieces.size() && AllDigits(pieces[k])) ++k;
            if (k < pieces.size() && LocantTail(pieces[k])) {
                for (std::size_t j = i + 1; j <= k; ++j) item.append(1, ',').append(pieces[j]);
                i = k;
            }
        }
        const std::string_view trimmed = Trim(item);
        cells.push_back(trimmed.empty() ? Cell{} : Cell{std::string(trimmed)});
    }
    return cells;
}

Composition ReadComposition(const std::vector<Cell>& components, const std::vector<Cell>& fractions) {
    // Two ranges of one shape pair cell by cell; lists of other lengths must hold as many entries.
    const std::size_t n = UsedLength(components), m = UsedLength(fractions);
    if (components.size() != fractions.size() && n != m)
        throw CalculatorError(fmt::format("mole_fractions: {} entries for {} components", m, n));
    static const Cell kEmpty;
    Composition out;
    for (std::size_t i = 0; i < std::max(n, m); ++i) {
        const Cell& name = i < n ? components[i] : kEmpty;
        const Cell& fraction = i < m ? fractions[i] : kEmpty;
        if (IsEmpty(name) && IsEmpty(fraction)) continue;
        double x = 0.0;
        if (const double* v = std::get_if<double>(&fraction)) {
            x = *v;
        } else if (const std::string* text = std::get_if<std::string>(&fraction)) {
            const auto number = Number(*text);
            if (!number)
                throw CalculatorError(fmt::format("mole_fractions[{}]: '{}' is not a number{}", i, *text,
                                                  text->find(',') != std::string::npos
                                                      ? " (decimal commas are not read: write 0.9, not 0,9)"
                                                      : ""));
            x = *number;
        }
        if (const double* v = std::get_if<double>(&name))
            throw CalculatorError(fmt::format("components[{}]: expected a component name or CAS number, found the "
                                              "number {}",
                                              i, NumberText(*v)));
        const std::string* text = std::get_if<std::string>(&name);
        const std::string_view trimmed = text ? Trim(*text) : std::string_view();
        if (trimmed.empty())
            throw CalculatorError(fmt::format("components[{}]: empty, beside the mole fraction {}", i, NumberText(x)));
        out.components.emplace_back(trimmed);
        out.moleFractions.push_back(x);
    }
    return out;
}

double NumberArgument(const Cell& cell, std::string_view field) {
    if (const double* v = std::get_if<double>(&cell)) return *v;
    const std::string* text = std::get_if<std::string>(&cell);
    if (!text || Trim(*text).empty()) throw CalculatorError(fmt::format("{}: missing", field));
    const auto v = Number(*text);
    if (!v) throw CalculatorError(fmt::format("{}: expected a number, found '{}'", field, *text));
    return *v;
}

CalculatorOptions ParseOptions(std::string_view text) {
    CalculatorOptions options;
    static constexpr std::array<std::string_view, 7> kNames = {"ref",        "ref-temp",  "flash",     "methane-origin",
                                                                "gerg-model", "normalise", "molar-flow"};
    std::vector<std::string> given;
    const bool semicolons = text.find(';') != std::string_view::npos;
    for (std::string_view piece : SplitAt(text, semicolons ? ';' : ',')) {
        const std::string_view item = Trim(piece);
        if (item.empty()) continue;
        const auto equals = item.find('=');
        if (equals == std::string_view::npos)
            throw CalculatorError(fmt::format("options: '{}': expected name=value, as in \"ref=25/0; flash=1\"", item));
        const std::string name = Lower(Trim(item.substr(0, equals)));
        const std::string_view value = Trim(item.substr(equals + 1));
        bool known = false;
        for (std::string_view k : kNames) known = known || name == k;
        if (!known)
            throw CalculatorError(fmt::format("options: unknown option '{}' (expected ref, ref-temp, flash, "
                                              "methane-origin, gerg-model, normalise or molar-flow)",
                                              Trim(item.substr(0, equals))));
        for (const auto& g : given)
            if (g == name) throw CalculatorError(fmt::format("options: {} given twice; give it once", name));
        given.push_back(name);
        if (name == "ref") {
            options.choices.ref = std::string(value);
        } else if (name == "ref-temp") {
            options.choices.refTemp = std::string(value);
        } else if (name == "flash") {
            options.choices.flash = Flag(name, value);
        } else if (name == "normalise") {
            options.normalise = Flag(name, value);
        } else if (name == "methane-origin") {
            const std::string origin = Lower(value);
            if (origin != "fossil" && origin != "non-fossil")
                throw CalculatorError(
                    fmt::format("options: methane-origin: expected fossil or non-fossil, found '{}'", value));
            options.choices.methaneOrigin = origin;
        } else if (name == "gerg-model") {
            options.choices.gergModel = Lower(value);  // checked with the other settings below
        } else {
            const auto flow = Number(value);
            if (!flow || *flow < 0.0)
                throw CalculatorError(
                    fmt::format("options: molar-flow: expected a molar flow in kmol/h, 0 or more, found '{}'", value));
            options.molarFlowKmolPerH = *flow;
        }
    }
    // The edition's temperatures are checked here, so that a bad pair is named before the fluid.
    std::string problem;
    if (!host::MakeEvaluationSettings(options.choices, options.settings, problem))
        throw CalculatorError("options: " + InOptionWords(problem));
    return options;
}

host::Fluid MakeFluid(const Composition& composition, double temperatureC, double pressureKPa,
                      const CalculatorOptions& options) {
    // The fluid file's own checks and messages: the arguments become a fluid document.
    using Json = nlohmann::json;
    for (const auto& [field, v] : {std::pair{"temperature_C", temperatureC}, std::pair{"pressure_kPa", pressureKPa}})
        if (!std::isfinite(v)) throw CalculatorError(fmt::format("{}: not a finite number", field));
    Json components = Json::array();
    for (const auto& c : composition.components)
        components.push_back(host::ParseCasNumber(c) ? Json{{"cas", c}} : Json{{"name", c}});
    const Json doc = {{"temperature_C", temperatureC},
                      {"pressure_kPa", pressureKPa},
                      {"molar_flow_kmol_h", options.molarFlowKmolPerH},
                      {"components", components},
                      {"mole_fractions", composition.moleFractions}};
    try {
        return host::ParseFluidJson(doc.dump(), "", host::FluidReadOptions{options.normalise}).fluid;
    } catch (const host::FluidInputError& e) {
        // "<source>: field: problem", the source being empty here.
        std::string_view message = e.what();
        if (message.substr(0, 2) == ": ") message.remove_prefix(2);
        throw CalculatorError(InOptionWords(std::string(message)));
    }
}

std::string InOptionWords(std::string message) {
    static constexpr std::pair<std::string_view, std::string_view> kWords[] = {
        {"--normalise", "normalise=1"}, {"--ref-temp", "ref-temp"},   {"--ref", "ref"},
        {"--flash", "flash=1"},         {"--methane-origin", "methane-origin"}, {"--gerg-model", "gerg-model"}};
    for (const auto& [option, words] : kWords) {
        std::size_t at = 0;
        while ((at = message.find(option, at)) != std::string::npos) {
            const std::size_t end = at + option.size();
            // "--ref" is not the start of "--ref-temp".
            if (end < message.size() && (message[end] == '-' || IsLetter(message[end]))) {
                at = end;
                continue;
            }
            message.replace(at, option.size(), words);
            at += words.size();
        }
    }
    return message;
}

}  // namespace calorix::calculator
