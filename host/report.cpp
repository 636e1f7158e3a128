#include "host/report.h"

#include <fmt/format.h>
#include <nlohmann/json.hpp>

namespace calorix::host {

namespace {

// Columns of the table: the "Phase_Values" index shown and its heading.
struct Column {
    std::size_t index;
    const char* heading;
};
constexpr Column kColumns[] = {{0, "Overall"}, {1, "Vapour"}, {2, "HC liquid"}, {3, "Aqueous"}, {5, "Phase 3"}};

std::string Cell(const std::optional<double>& v) { return v ? fmt::format("{:.6g}", *v) : std::string("-"); }

std::string CsvField(std::string_view text) {
    if (text.find_first_of(",\"\n") == std::string_view::npos) return std::string(text);
    std::string out = "\"";
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

}  // namespace

std::string_view UnitOfResultType(std::int32_t resultType) noexcept {
    switch (resultType) {
        case 1: return "degC";
        case 4: return "kg/h";
        case 16: return "kg/m3";
        case 21: return "kJ/kmol";
        case 30: return "kJ/kg";
        case 128: return "MJ/m3";
        case 174: return "mg/Sm3";
        default: return "";
    }
}

std::string FormatStatus(HRESULT status) { return fmt::format("0x{:08X}", static_cast<std::uint32_t>(status)); }

std::string FormatTable(const RunDescription& run, std::span<const CorrelationReport> reports) {
    std::string out;
    if (run.fluid) {
        const Fluid& f = *run.fluid;
        const std::string reference =
            run.isoEdition == 2016 ? fmt::format("combustion {:g} degC, metering {:g} degC", run.combustionTemperatureC,
                                                 run.referenceTemperatureC)
                                   : fmt::format("{:g} degC", run.referenceTemperatureC);
        out += fmt::format("Fluid: {} components, {:g} degC, {:g} kPa, {:g} kmol/h; ISO 6976:{} reference {}\n\n",
                           f.components.size(), f.temperatureC, f.pressureKPa, f.molarFlowKmolPerH, run.isoEdition,
                           reference);
    }
    std::size_t nameWidth = 11;
    for (const auto& r : reports) nameWidth = std::max(nameWidth, (r.displayName.empty() ? r.word : r.displayName).size());
    out += fmt::format("{:<{}}  {:<8}", "Correlation", nameWidth, "Unit");
    for (const auto& c : kColumns) out += fmt::format("  {:>12}", c.heading);
    out += '\n';
    for (const auto& r : reports) {
        out += fmt::format("{:<{}}  {:<8}", r.displayName.empty() ? r.word : r.displayName, nameWidth,
                           UnitOfResultType(r.resultType));
        if (FAILED(r.status)) {
            out += fmt::format("  {} failed: {}\n", r.failedStep, FormatStatus(r.status));
            continue;
        }
        for (const auto& c : kColumns) out += fmt::format("  {:>12}", Cell(r.phaseValues[c.index]));
        out += '\n';
    }
    return out;
}

std::string FormatJson(const RunDescription& run, std::span<const CorrelationReport> reports) {
    using Json = nlohmann::ordered_json;
    Json doc = Json::object();
    if (run.fluid) {
        const Fluid& f = *run.fluid;
        Json fluid = Json::object();
        fluid["temperature_C"] = f.temperatureC;
        fluid["pressure_kPa"] = f.pressureKPa;
        fluid["molar_flow_kmol_h"] = f.molarFlowKmolPerH;
        Json names = Json::array();
        for (const auto& c : f.components) names.push_back(c.name);
        fluid["components"] = names;
        doc["fluid"] = fluid;
    }
    doc["reference_temperature_C"] = run.referenceTemperatureC;
    doc["iso6976_edition"] = run.isoEdition;
    doc["combustion_temperature_C"] = run.isoEdition == 2016 ? run.combustionTemperatureC : run.referenceTemperatureC;
    Json list = Json::array();
    for (const auto& r : reports) {
        Json item = Json::object();
        item["class"] = r.word;
        item["class_id"] = r.classId;
        item["display_name"] = r.displayName;
        item["result_type"] = r.resultType;
        item["unit"] = UnitOfResultType(r.resultType);
        if (FAILED(r.status))
            item["status"] = fmt::format("{} failed: {}", r.failedStep, FormatStatus(r.status));
        else
            item["status"] = "ok";
        Json values = Json::array();
        for (const auto& v : r.phaseValues) values.push_back(v ? Json(*v) : Json(nullptr));
        item["phase_values"] = values;
        list.push_back(item);
    }
    doc["correlations"] = list;
    return doc.dump(2) + "\n";
}

std::string FormatCsv(const RunDescription&, std::span<const CorrelationReport> reports) {
    std::string out = "class,display_name,result_type,unit,status,overall,phase0_vapour,phase1_hc_liquid,phase2_aqueous,phase3\n";
    for (const auto& r : reports) {
        out += fmt::format("{},{},{},{},{}", CsvField(r.word), CsvField(r.displayName), r.resultType,
                           UnitOfResultType(r.resultType), FAILED(r.status) ? FormatStatus(r.status) : "ok");
        for (const auto& c : kColumns) {
            const auto& v = r.phaseValues[c.index];
            out += v ? fmt::format(",{}", *v) : std::string(",");
        }
        out += '\n';
    }
    return out;
}

}  // namespace calorix::host
