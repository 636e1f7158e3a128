#include "host/fluid/fluid_json.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <set>
#include <span>
#include <sstream>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "host/fluid/components.h"
#include "host/fluid/suggest.h"
#include "platform/library.h"

namespace calorix::host {

namespace {

std::string OneLine(const std::string& message) {
    std::string out;
    out.reserve(message.size());
    for (char ch : message) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else if (c == '\t')
            out += "\\t";
        else if (c < 0x20 || c == 0x7F)
            out += fmt::format("\\x{:02X}", c);
        else
            out += ch;
    }
    return out;
}

}  // namespace

FluidInputError::FluidInputError(const std::string& message) : std::runtime_error(OneLine(message)) {}

namespace {

#include "host/default_fluid.inc"  // constexpr char kDefaultFluidJson[]

using Json = nlohmann::json;

// Builds the document like the library's own parser, except that numbers too large for a
// double are kept (as infinities) so that the field can be named in the error.
class DocumentBuilder final : public nlohmann::json_sax<Json> {
public:
    Json root;

    bool null() override { return Add(nullptr); }
    bool boolean(bool v) override { return Add(v); }
    bool number_integer(number_integer_t v) override { return Add(v); }
    bool number_unsigned(number_unsigned_t v) override { return Add(v); }
    bool number_float(number_float_t v, const string_t&) override { return Add(v); }
    bool string(string_t& v) override { return Add(v); }
    bool binary(binary_t& v) override { return Add(Json::binary(v)); }
    bool start_object(std::size_t) override { return Open(Json::object()); }
    bool key(string_t& k) override {
        m_key = k;
        return true;
    }
    bool end_object() override { return Close(); }
    bool start_array(std::size_t) override { return Open(Json::array()); }
    bool end_array() override { return Close(); }
    bool parse_error(std::size_t position, const std::string& token, const nlohmann::detail::exception& e) override {
        m_errorPosition = position;
        m_error = e.what();
        if (e.id == 406) {  // a number beyond the range of a double
            m_field = Path() + NextSegment();
            if (m_field.empty()) m_field = "(document)";
            m_error = fmt::format("not a finite number ({})", token);
        }
        return false;
    }

    bool Failed() const { return !m_error.empty(); }
    // The field of a number out of range, else empty.
    const std::string& Field() const { return m_field; }
    std::size_t ErrorPosition() const { return m_errorPosition; }
    const std::string& Error() const { return m_error; }

private:
    std::string Path() const {
        std::string p;
        for (const auto& s : m_segments) p += s;
        return p;
    }
    // The name of the value about to be placed, relative to its container.
    std::string NextSegment() const {
        if (m_stack.empty()) return "";
        if (m_stack.back()->is_array()) return fmt::format("[{}]", m_stack.back()->size());
        return (m_segments.size() > 1 ? "." : "") + m_key;
    }
    Json* Place(Json value) {
        if (m_stack.empty()) {
            root = std::move(value);
            return &root;
        }
        Json& top = *m_stack.back();
        if (top.is_array()) {
            top.push_back(std::move(value));
            return &top.back();
        }
        Json& slot = top[m_key];
        slot = std::move(value);
        return &slot;
    }
    bool Add(Json value) {
        Place(std::move(value));
        return true;
    }
    bool Open(Json container) {
        std::string segment = NextSegment();
        m_stack.push_back(Place(std::move(container)));
        m_segments.push_back(std::move(segment));
        return true;
    }
    bool Close() {
        m_stack.pop_back();
        m_segments.pop_back();
        return true;
    }

    std::vector<Json*> m_stack;
    std::vector<std::string> m_segments;   // path of each open container, "" for the document
    std::string m_field;
    std::string m_key;
    std::size_t m_errorPosition = 0;
    std::string m_error;
};

// A quantity given under one of several keys, each naming its unit: value in the base unit
// = value * scale + offset.
struct UnitKey {
    const char* key;
    double scale;
    double offset;
};
// 1 psi = 6.894757293168361 kPa (NIST SP 811, B.8); 1 degF = 5/9 K.
constexpr UnitKey kTemperatureKeys[] = {
    {"temperature_C", 1.0, 0.0}, {"temperature_K", 1.0, -273.15}, {"temperature_F", 5.0 / 9.0, -32.0 * 5.0 / 9.0}};
constexpr UnitKey kPressureKeys[] = {
    {"pressure_kPa", 1.0, 0.0}, {"pressure_bar", 100.0, 0.0}, {"pressure_MPa", 1000.0, 0.0},
    {"pressure_psia", 6.894757293168361, 0.0}};
constexpr UnitKey kCompositionKeys[] = {{"mole_fractions", 1.0, 0.0}, {"mole_percent", 0.01, 0.0}};

std::string KeyList(std::span<const UnitKey> keys) {
    std::string out;
    for (const auto& k : keys) out += (out.empty() ? "" : ", ") + std::string(k.key);
    return out;
}

class Reader {
public:
    Reader(const std::string& source, const FluidReadOptions& options) : m_source(source), m_options(options) {}

    [[noreturn]] void Fail(const std::string& field, const std::string& problem) const {
        throw FluidInputError(fmt::format("{}: {}: {}", m_source, field, problem));
    }
    void Warn(const std::string& field, const std::string& problem) {
        m_warnings.push_back(fmt::format("{}: {}: {}", m_source, field, problem));
    }
    std::vector<std::string> TakeWarnings() { return std::move(m_warnings); }

    double Number(const Json& value, const std::string& field) const {
        if (!value.is_number()) Fail(field, fmt::format("expected a number, found {}", Describe(value)));
        const double v = value.get<double>();
        if (std::isnan(v)) Fail(field, "not a number (NaN)");
        if (!std::isfinite(v)) Fail(field, "not a finite number");
        return v;
    }

    // The one key of `keys` present in `object` (prefix "<where>." in messages); null when none
    // is, unless required. Two keys of the quantity, or a key with its prefix and an unknown
    // unit ("pressure_psig"), are errors.
    const UnitKey* Quantity(const Json& object, std::span<const UnitKey> keys, const char* quantity,
                            const std::string& where, bool required) const {
        const std::string prefix = std::string(keys[0].key).substr(0, std::string(keys[0].key).find('_') + 1);
        const UnitKey* found = nullptr;
        for (auto it = object.begin(); it != object.end(); ++it) {
            const UnitKey* match = nullptr;
            for (const auto& k : keys)
                if (it.key() == k.key) match = &k;
            if (!match && it.key().rfind(prefix, 0) == 0)
                Fail(where + it.key(), fmt::format("unknown unit; give the {} as one of {}", quantity, KeyList(keys)));
            if (match && found)
                Fail(where + match->key, fmt::format("the {} is given twice ({} and {}); give one", quantity,
                                                     found->key, match->key));
            if (match) found = match;
        }
        if (!found && required) Fail(where + keys[0].key, fmt::format("missing (or one of {})", KeyList(keys)));
        return found;
    }

    // Fractions of the composition given in `object` (mole_fractions or mole_percent).
    std::vector<double> Composition(const Json& object, const std::string& where, std::size_t expected) {
        const UnitKey* key = Quantity(object, kCompositionKeys, "composition", where, true);
        return Fractions(object[key->key], where + key->key, expected, key->scale);
    }

    std::vector<double> Fractions(const Json& value, const std::string& field, std::size_t expected,
                                  double scale = 1.0) {
        if (!value.is_array()) Fail(field, fmt::format("expected a list of numbers, found {}", Describe(value)));
        if (value.size() != expected)
            Fail(field, fmt::format("{} entries for {} components", value.size(), expected));
        std::vector<double> out;
        double sum = 0.0;
        for (std::size_t i = 0; i < value.size(); ++i) {
            const std::string name = fmt::format("{}[{}]", field, i);
            const double given = Number(value[i], name);
            if (given < 0.0) Fail(name, fmt::format("negative fraction {}; a mole fraction is 0 or more", given));
            out.push_back(given * scale);
            sum += given * scale;
        }
        const double given = sum / scale;
        const char* unit = scale == 1.0 ? "" : " %";
        if (std::fabs(sum - 1.0) <= 1e-6) return out;
        if (!(sum > 0.0)) Fail(field, fmt::format("fractions sum to {:.9g}{}: no component is present", given, unit));
        if (m_options.normalise && sum > 0.0) {
            for (double& v : out) v /= sum;
            Warn(field, fmt::format("sum {:.9g}{} scaled to {} (--normalise)", given, unit, scale == 1.0 ? "1" : "100 %"));
        } else if (std::fabs(sum - 1.0) > kCompositionTolerance) {
            Fail(field, fmt::format("fractions sum to {:.9g}{}, not {}; use --normalise to scale them{}", given, unit,
                                    scale == 1.0 ? "1" : "100 %",
                                    scale == 1.0 && std::fabs(sum - 100.0) < 1.0 ? " (or, for mole percent, name the list mole_percent)"
                                                                                : ""));
        } else {
            Warn(field, fmt::format("fractions sum to {:.9g}{}, not {} (ISO 6976 assumes they do)", given, unit,
                                    scale == 1.0 ? "1" : "100 %"));
        }
        return out;
    }

    static std::string Describe(const Json& value) {
        switch (value.type()) {
            case Json::value_t::null: return "null";
            case Json::value_t::boolean: return "a boolean";
            case Json::value_t::string: return fmt::format("the string \"{}\"", value.get<std::string>());
            case Json::value_t::array: return "a list";
            case Json::value_t::object: return "an object";
            default: return "a number";
        }
    }

private:
    const std::string& m_source;
    const FluidReadOptions& m_options;
    std::vector<std::string> m_warnings;
};

void WarnUnknownFields(Reader& reader, const Json& object, const std::string& where,
                       std::initializer_list<const char*> known) {
    for (auto it = object.begin(); it != object.end(); ++it) {
        bool found = false;
        for (const char* k : known) found = found || it.key() == k;
        if (!found) reader.Warn(where.empty() ? it.key() : where + "." + it.key(), "unknown field, ignored");
    }
}

Component ReadComponent(Reader& reader, const Json& item, const std::string& field) {
    if (!item.is_object()) reader.Fail(field, fmt::format("expected an object, found {}", Reader::Describe(item)));
    WarnUnknownFields(reader, item, field, {"name", "cas", "mw", "tc_K", "pc_kPa", "omega", "class"});
    std::string name;
    if (item.contains("name")) {
        if (!item["name"].is_string()) reader.Fail(field + ".name", "expected a string");
        name = item["name"].get<std::string>();
    }
    std::optional<std::int32_t> casKey;
    if (item.contains("cas")) {
        if (!item["cas"].is_string()) reader.Fail(field + ".cas", "expected a string such as \"74-82-8\"");
        const std::string cas = item["cas"].get<std::string>();
        casKey = ParseCasNumber(cas);
        if (!casKey) reader.Fail(field + ".cas", fmt::format("'{}' is not a valid CAS number", cas));
    }
    std::optional<double> mw;
    if (item.contains("mw")) {
        mw = reader.Number(item["mw"], field + ".mw");
        if (!(*mw > 0.0)) reader.Fail(field + ".mw", "must be positive");
    }

    const ComponentRecord* byCas = casKey ? FindComponentByCas(*casKey) : nullptr;
    const ComponentRecord* byName = name.empty() ? nullptr : FindComponentByName(name);
    if (byName && casKey && byName->casKey != *casKey)
        reader.Fail(field, fmt::format("name '{}' is {} (CAS {}) but cas is {}; give one of them", name, byName->name,
                                       byName->cas, FormatCasNumber(*casKey)));
    if (!name.empty() && name.back() == '+' && !mw)
        reader.Fail(field + ".mw", fmt::format("missing: the plus fraction '{}' needs its molar mass", name));
    const ComponentRecord* base = byCas ? byCas : byName;
    Component c;
    if (base) {
        c = ComponentFromRecord(*base);
    } else {
        if (name.empty() && !casKey) reader.Fail(field, "needs a name or a cas number");
        if (!casKey || !mw) {
            const std::string suggestion = name.empty() ? std::string() : SuggestComponentName(name);
            reader.Fail(field, fmt::format("unknown component '{}'{}: give both cas and mw",
                                           name.empty() ? FormatCasNumber(*casKey) : name,
                                           suggestion.empty() ? "" : fmt::format(" (did you mean '{}'?)", suggestion)));
        }
        c = EstimateAlkaneLike(*mw);
        reader.Warn(field, fmt::format("{} '{}' is not in the component list: the heating-value correlations price it "
                                       "as an alkane of molar mass {:g} kg/kmol",
                                       FormatCasNumber(*casKey), name.empty() ? c.name : name, *mw));
    }
    if (!name.empty()) c.name = name;
    if (casKey) c.casKey = *casKey;
    if (mw) c.molarMassKgPerKmol = *mw;
    if (item.contains("tc_K")) {
        c.criticalTemperatureK = reader.Number(item["tc_K"], field + ".tc_K");
        if (!(c.criticalTemperatureK > 0.0)) reader.Fail(field + ".tc_K", "must be positive");
    }
    if (item.contains("pc_kPa")) {
        c.criticalPressureKPa = reader.Number(item["pc_kPa"], field + ".pc_kPa");
        if (!(c.criticalPressureKPa > 0.0)) reader.Fail(field + ".pc_kPa", "must be positive");
    }
    if (item.contains("omega")) c.acentricFactor = reader.Number(item["omega"], field + ".omega");
    if (item.contains("class")) {
        const double v = reader.Number(item["class"], field + ".class");
        if (v != std::floor(v) || std::fabs(v) > 1e9) reader.Fail(field + ".class", "expected an integer");
        c.componentClass = static_cast<std::int32_t>(v);
    }
    return c;
}

// Line and column of a byte offset, for parse errors.
std::string Position(std::string_view text, std::size_t offset) {
    std::size_t line = 1, column = 1;
    for (std::size_t i = 0; i < text.size() && i + 1 < offset; ++i) {
        if (text[i] == '\n') {
            ++line;
            column = 1;
        } else {
            ++column;
        }
    }
    return fmt::format("line {}, column {}", line, column);
}

}  // namespace

Component EstimateAlkaneLike(double molarMassKgPerKmol) {
    constexpr std::int32_t kAlkanes[] = {74828, 74840, 74986, 106978, 109660, 110543, 142825, 111659, 111842, 124185};
    const ComponentRecord* lo = FindComponentByCas(kAlkanes[0]);
    const ComponentRecord* hi = lo;
    for (std::int32_t key : kAlkanes) {
        const ComponentRecord* r = FindComponentByCas(key);
        hi = r;
        if (r->molarMassKgPerKmol >= molarMassKgPerKmol) break;
        lo = r;
    }
    double t = 0.0;
    if (hi != lo && hi->molarMassKgPerKmol > lo->molarMassKgPerKmol)
        t = std::clamp((molarMassKgPerKmol - lo->molarMassKgPerKmol) / (hi->molarMassKgPerKmol - lo->molarMassKgPerKmol),
                       0.0, 1.0);
    Component c;
    c.name = "pseudo-component";
    c.molarMassKgPerKmol = molarMassKgPerKmol;
    c.criticalTemperatureK = lo->criticalTemperatureK + t * (hi->criticalTemperatureK - lo->criticalTemperatureK);
    c.criticalPressureKPa = lo->criticalPressureKPa + t * (hi->criticalPressureKPa - lo->criticalPressureKPa);
    c.acentricFactor = lo->acentricFactor + t * (hi->acentricFactor - lo->acentricFactor);
    c.componentClass = 200;
    return c;
}

namespace {

Json ParseDocument(std::string_view text, const std::string& source) {
    DocumentBuilder builder;
    bool parsed = false;
    try {
        parsed = Json::sax_parse(text.begin(), text.end(), &builder);
    } catch (const Json::exception& e) {
        throw FluidInputError(fmt::format("{}: malformed JSON: {}", source, e.what()));
    }
    if (!builder.Field().empty())
        throw FluidInputError(fmt::format("{}: {}: {}", source, builder.Field(), builder.Error()));
    if (!parsed || builder.Failed()) {
        // "[json.exception.parse_error.101] parse error at line 1, column 2: syntax error ..."
        const std::string& what = builder.Error();
        const auto colon = what.find(": ");
        const std::string detail = colon == std::string::npos ? what : what.substr(colon + 2);
        throw FluidInputError(
            fmt::format("{}: malformed JSON at {}: {}", source, Position(text, builder.ErrorPosition()), detail));
    }
    return std::move(builder.root);
}

ParsedFluid ReadFluid(const Json& doc, const std::string& source, const FluidReadOptions& options) {
    Reader reader(source, options);
    if (!doc.is_object()) reader.Fail("(document)", fmt::format("expected an object, found {}", Reader::Describe(doc)));
    WarnUnknownFields(reader, doc, "",
                      {"temperature_C", "temperature_K", "temperature_F", "pressure_kPa", "pressure_bar", "pressure_MPa",
                       "pressure_psia", "molar_flow_kmol_h", "components", "mole_fractions", "mole_percent", "phases",
                       "id"});

    ParsedFluid result;
    Fluid& fluid = result.fluid;
    auto required = [&](const char* field) -> const Json& {
        if (!doc.contains(field)) reader.Fail(field, "missing");
        return doc[field];
    };
    if (doc.contains("id")) {
        if (!doc["id"].is_string()) reader.Fail("id", "expected a string");
        fluid.id = doc["id"].get<std::string>();
    }
    const UnitKey* t = reader.Quantity(doc, kTemperatureKeys, "temperature", "", true);
    fluid.temperatureC = reader.Number(doc[t->key], t->key) * t->scale + t->offset;
    if (!(fluid.temperatureC > -273.15)) reader.Fail(t->key, "below absolute zero");
    if (!(fluid.temperatureC <= kMaxTemperatureC))
        reader.Fail(t->key, fmt::format("{:g} is {:g} degC, above {:g} degC: not a temperature of a gas process",
                                        doc[t->key].get<double>(), fluid.temperatureC, kMaxTemperatureC));
    const UnitKey* p = reader.Quantity(doc, kPressureKeys, "pressure", "", true);
    fluid.pressureKPa = reader.Number(doc[p->key], p->key) * p->scale;
    if (!(fluid.pressureKPa > 0.0)) reader.Fail(p->key, "must be positive (absolute pressure)");
    if (!(fluid.pressureKPa <= kMaxPressureKPa))
        reader.Fail(p->key, fmt::format("{:g} is {:g} kPa, above {:g} kPa: not a pressure of a gas process",
                                        doc[p->key].get<double>(), fluid.pressureKPa, kMaxPressureKPa));
    fluid.molarFlowKmolPerH = 1.0;
    if (doc.contains("molar_flow_kmol_h")) {
        fluid.molarFlowKmolPerH = reader.Number(doc["molar_flow_kmol_h"], "molar_flow_kmol_h");
        if (fluid.molarFlowKmolPerH < 0.0) reader.Fail("molar_flow_kmol_h", "must not be negative");
    }

    const Json& components = required("components");
    if (!components.is_array())
        reader.Fail("components", fmt::format("expected a list, found {}", Reader::Describe(components)));
    if (components.empty()) reader.Fail("components", "empty list");
    for (std::size_t i = 0; i < components.size(); ++i) {
        const std::string field = fmt::format("components[{}]", i);
        Component c = ReadComponent(reader, components[i], field);
        for (std::size_t j = 0; j < fluid.components.size(); ++j)
            if (fluid.components[j].casKey == c.casKey)
                reader.Fail(field, fmt::format("'{}' is the same component as components[{}] (CAS {}); give it once",
                                               c.name, j, FormatCasNumber(c.casKey)));
        fluid.components.push_back(std::move(c));
    }
    const std::size_t n = fluid.components.size();

    fluid.moleFractions = reader.Composition(doc, "", n);

    if (doc.contains("phases")) {
        const Json& phases = doc["phases"];
        if (!phases.is_array()) reader.Fail("phases", fmt::format("expected a list, found {}", Reader::Describe(phases)));
        std::set<int> slots;
        double total = 0.0;
        for (std::size_t k = 0; k < phases.size(); ++k) {
            const std::string field = fmt::format("phases[{}]", k);
            const Json& item = phases[k];
            if (!item.is_object()) reader.Fail(field, fmt::format("expected an object, found {}", Reader::Describe(item)));
            WarnUnknownFields(reader, item, field, {"slot", "fraction", "mole_fractions", "mole_percent"});
            Phase phase;
            if (!item.contains("slot")) reader.Fail(field + ".slot", "missing");
            const double slot = reader.Number(item["slot"], field + ".slot");
            if (slot != 0.0 && slot != 1.0 && slot != 2.0 && slot != 3.0)
                reader.Fail(field + ".slot", "must be 0, 1, 2 or 3");
            phase.slot = static_cast<int>(slot);
            if (!slots.insert(phase.slot).second)
                reader.Fail(field + ".slot", fmt::format("slot {} given twice", phase.slot));
            if (!item.contains("fraction")) reader.Fail(field + ".fraction", "missing");
            phase.fraction = reader.Number(item["fraction"], field + ".fraction");
            if (phase.fraction < 0.0 || phase.fraction > 1.0) reader.Fail(field + ".fraction", "must lie in [0, 1]");
            total += phase.fraction;
            phase.moleFractions = reader.Composition(item, field + ".", n);
            fluid.phases.push_back(std::move(phase));
        }
        if (!fluid.phases.empty() && std::fabs(total - 1.0) > 1e-6)
            reader.Warn("phases", fmt::format("phase fractions sum to {:.9g}, not 1", total));
    }
    result.warnings = reader.TakeWarnings();
    return result;
}

}  // namespace

ParsedFluid ReadFluidDocument(const Json& doc, const std::string& source, const FluidReadOptions& options) {
    return ReadFluid(doc, source, options);
}

ParsedFluid ParseFluidJson(std::string_view text, const std::string& source, const FluidReadOptions& options) {
    return ReadFluid(ParseDocument(text, source), source, options);
}

ParsedFluid ParseFluidJson(std::string_view text, const std::string& source) {
    return ParseFluidJson(text, source, FluidReadOptions{});
}

std::vector<ParsedFluid> ParseFluidsJson(std::string_view text, const std::string& source,
                                         const FluidReadOptions& options) {
    const Json doc = ParseDocument(text, source);
    std::vector<ParsedFluid> fluids;
    if (!doc.is_array()) {
        fluids.push_back(ReadFluid(doc, source, options));
        return fluids;
    }
    if (doc.empty()) throw FluidInputError(fmt::format("{}: (document): empty list of fluids", source));
    fluids.reserve(doc.size());
    for (std::size_t i = 0; i < doc.size(); ++i)
        fluids.push_back(ReadFluid(doc[i], fmt::format("{}[{}]", source, i), options));
    return fluids;
}

std::ifstream OpenInputFile(const std::string& path) {
    std::ifstream in(platform::FileSystemPath(path), std::ios::binary);
    if (!in) throw FluidInputError(fmt::format("{}: cannot open the file", path));
    return in;
}

std::string ReadInputFile(const std::string& path) {
    std::ifstream in = OpenInputFile(path);
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) throw FluidInputError(fmt::format("{}: cannot read the file", path));
    return text.str();
}

ParsedFluid ReadFluidFile(const std::string& path, const FluidReadOptions& options) {
    return ParseFluidJson(ReadInputFile(path), path, options);
}

ParsedFluid ReadFluidFile(const std::string& path) { return ReadFluidFile(path, FluidReadOptions{}); }

std::string_view DefaultFluidJson() noexcept { return kDefaultFluidJson; }

}  // namespace calorix::host
