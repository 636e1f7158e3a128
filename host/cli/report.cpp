#include "host/cli/report.h"

#include <algorithm>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

namespace calorix::host {

namespace {

using Json = nlohmann::ordered_json;

constexpr std::array<const char*, kOutputColumns> kHeadings = {"Overall", "Vapour", "HC liquid", "Aqueous", "Phase 3"};

// Decimals shown in the table for a result type.
int Decimals(std::int32_t resultType) {
    switch (resultType) {
        case 1: return 2;     // degC
        case 4: return 3;     // kg/h
        case 16: return 5;    // kg/m3
        case 21: return 1;    // kJ/kmol
        case 30: return 1;    // kJ/kg
        case 128: return 4;   // MJ/m3
        case 174: return 2;   // mg/Sm3
        default: return 4;
    }
}

std::string CsvField(std::string_view text) {
    if (text.find_first_of(",\"\n\r") == std::string_view::npos) return std::string(text);
    std::string out = "\"";
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

// "ISO 6976:2016 reference combustion 25 degC, metering 0 degC" or "ISO 6976:1995 reference 15 degC".
std::string EditionText(const IsoEdition& e) {
    return e.year == 2016 ? fmt::format("ISO 6976:2016 reference combustion {:g} degC, metering {:g} degC",
                                        e.combustionC, e.meteringC)
                          : fmt::format("ISO 6976:1995 reference {:g} degC", e.meteringC);
}

std::string Label(const CorrelationReport& r) { return r.displayName.empty() ? r.word : r.displayName; }

Json FluidJson(const FluidResult& result) {
    const Fluid& f = result.fluid;
    Json fluid = Json::object();
    if (!f.id.empty()) fluid["id"] = f.id;
    fluid["temperature_C"] = f.temperatureC;
    fluid["pressure_kPa"] = f.pressureKPa;
    fluid["molar_flow_kmol_h"] = f.molarFlowKmolPerH;
    Json components = Json::array();
    for (const auto& c : f.components)
        components.push_back(Json{{"name", c.name}, {"cas", FormatCasNumber(c.casKey)}, {"mw", c.molarMassKgPerKmol}});
    fluid["components"] = components;
    fluid["mole_fractions"] = f.moleFractions;
    Json phases = Json::object();
    for (const auto& p : f.phases)
        if (p.slot >= 0 && p.slot < 4)
            phases[kPhaseKey[static_cast<std::size_t>(p.slot) + 1]] =
                Json{{"fraction", p.fraction}, {"mole_fractions", p.moleFractions}};
    if (!phases.empty()) fluid["phases"] = phases;
    return fluid;
}

Json CorrelationsJson(const RunDescription& run, const FluidResult& result) {
    Json list = Json::array();
    for (const auto& c : result.correlations) {
        const CorrelationReport& r = c.report;
        Json item = Json::object();
        item["class"] = r.word;
        item["class_id"] = r.classId;
        item["display_name"] = r.displayName;
        item["result_type"] = r.resultType;
        item["unit"] = OutputUnit(r.resultType, run.usUnits);
        if (c.edition) {
            item["iso6976_edition"] = c.edition->year;
            item["reference_temperature_C"] = c.edition->meteringC;
            item["combustion_temperature_C"] = c.edition->combustionC;
        }
        if (c.model) item["model"] = *c.model;
        item["status"] = c.StatusText();
        Json phases = Json::object();
        for (std::size_t k = 0; k < kOutputColumns; ++k) {
            const PhaseStatus& s = c.phases[k];
            Json phase = Json::object();
            phase["status"] = s.Text();
            if (s.state == PhaseState::Ok)
                phase["value"] = OutputValue(r.resultType, *r.phaseValues[kPhaseValueIndex[k]], run.usUnits);
            if (s.state == PhaseState::NotComputed) phase["reason"] = s.reason;
            phases[kPhaseKey[k]] = phase;
        }
        item["phases"] = phases;
        list.push_back(item);
    }
    return list;
}

std::string FlashStatus(const RunDescription& run, const FluidResult& result) {
    if (!run.flashed) return "not asked";
    return result.flashProblem.empty() ? "ok" : "failed: " + result.flashProblem;
}

std::string TableHeader(const RunDescription& run, const FluidResult& result) {
    const Fluid& f = result.fluid;
    // The editions of the values shown (that of the run when no ISO 6976 class is among them).
    std::string editions;
    for (int year : {2016, 1995})
        for (const auto& c : result.correlations)
            if (c.edition && c.edition->year == year) {
                editions += (editions.empty() ? "" : "; ") + EditionText(*c.edition);
                break;
            }
    if (editions.empty())
        editions = EditionText(IsoEdition{run.isoEdition, run.combustionTemperatureC, run.referenceTemperatureC});
    std::string out = fmt::format("calorix-host {}; {}, 101.325 kPa\n", ProgramVersion(), editions);
    // The equation of the GERG-2008 classes shown (each record of JSON and CSV names its own).
    for (const auto& c : result.correlations)
        if (c.model) {
            out += fmt::format("Line conditions: {}\n", *c.model);
            break;
        }
    const bool us = run.usUnits;
    out += fmt::format("Fluid{}: {:.2f} deg{}, {:.1f} {}, {:.3f} {}, {} components\n", f.id.empty() ? "" : " " + f.id,
                       OutputValue(1, f.temperatureC, us), us ? "F" : "C", us ? f.pressureKPa / kKPaPerPsi : f.pressureKPa,
                       us ? "psia" : "kPa", OutputMolarFlow(f.molarFlowKmolPerH, us), MolarFlowUnit(us),
                       f.components.size());
    if (!result.flashProblem.empty()) out += fmt::format("Flash: {}\n", result.flashProblem);
    std::size_t nameWidth = 14;  // "phase fraction"
    for (const auto& c : f.components) nameWidth = std::max(nameWidth, c.name.size());
    out += fmt::format("\n{:<{}}  {:>10}", "mol %", nameWidth, "Overall");
    for (const auto& p : f.phases) out += fmt::format("  {:>10}", kHeadings[static_cast<std::size_t>(p.slot) + 1]);
    out += '\n';
    for (std::size_t i = 0; i < f.components.size(); ++i) {
        out += fmt::format("{:<{}}  {:>10.4f}", f.components[i].name, nameWidth, 100.0 * f.moleFractions[i]);
        for (const auto& p : f.phases)
            out += fmt::format("  {:>10.4f}", i < p.moleFractions.size() ? 100.0 * p.moleFractions[i] : 0.0);
        out += '\n';
    }
    if (!f.phases.empty()) {
        out += fmt::format("{:<{}}  {:>10}", "phase fraction", nameWidth, "");
        for (const auto& p : f.phases) out += fmt::format("  {:>10.6f}", p.fraction);
        out += fmt::format("\n(phases {})\n", run.flashed ? "from the host's flash" : "as given");
    }
    return out + '\n';
}

}  // namespace

std::string_view ProgramVersion() noexcept { return CALORIX_VERSION; }

RunDescription DescribeRun(const EvaluationSettings& settings, std::span<const CatalogueEntry* const> classes,
                           bool usUnits) {
    const IsoEdition& chosen = settings.edition;
    IsoEdition head = chosen.year == 2016 ? IsoEdition{2016, chosen.combustionC, chosen.meteringC}
                                          : IsoEdition{1995, chosen.reference1995C, chosen.reference1995C};
    std::optional<IsoEdition> shared;
    bool mixed = false;
    for (const CatalogueEntry* e : classes) {
        const auto edition = EditionOfClass(*e, chosen);
        if (!edition) continue;
        mixed = mixed || (shared && shared->year != edition->year);
        shared = edition;
    }
    if (shared && !mixed) head = *shared;
    return RunDescription{head.meteringC, settings.flash, head.year, head.combustionC, usUnits};
}

std::string FormatTable(const RunDescription& run, const FluidResult& result) {
    std::string out = TableHeader(run, result);
    std::size_t nameWidth = 11;
    for (const auto& c : result.correlations) nameWidth = std::max(nameWidth, Label(c.report).size());
    out += fmt::format("{:<{}}  {:<8}", "Correlation", nameWidth, "Unit");
    for (const char* h : kHeadings) out += fmt::format("  {:>13}", h);
    out += '\n';
    std::string notes;
    bool notComputed = false;
    for (const auto& c : result.correlations) {
        const CorrelationReport& r = c.report;
        out += fmt::format("{:<{}}  {:<8}", Label(r), nameWidth, OutputUnit(r.resultType, run.usUnits));
        if (FAILED(r.status)) {
            out += fmt::format("  {}\n", c.StatusText());
            continue;
        }
        for (std::size_t k = 0; k < kOutputColumns; ++k) {
            const PhaseStatus& s = c.phases[k];
            std::string cell = "-";
            if (s.state == PhaseState::Ok) {
                cell = fmt::format("{:.{}f}", OutputValue(r.resultType, *r.phaseValues[kPhaseValueIndex[k]], run.usUnits),
                                   Decimals(r.resultType));
                if (!s.note.empty()) notes += fmt::format("  {}, {}: ok ({})\n", Label(r), kHeadings[k], s.note);
            } else if (s.state == PhaseState::NotComputed) {
                cell = "n/c";
                notComputed = true;
                notes += fmt::format("  {}, {}: {}\n", Label(r), kHeadings[k], s.reason);
            }
            out += fmt::format("  {:>13}", cell);
        }
        out += '\n';
    }
    if (!notes.empty()) out += (notComputed ? "\nn/c: not computed\n" : "\n") + notes;
    return out;
}

namespace {

Json JsonHead(const RunDescription& run) {
    Json doc = Json::object();
    doc["program"] = "calorix-host";
    doc["version"] = ProgramVersion();
    doc["reference_temperature_C"] = run.referenceTemperatureC;
    doc["iso6976_edition"] = run.isoEdition;
    doc["combustion_temperature_C"] = run.combustionTemperatureC;
    return doc;
}

// An element of the list "fluids", indented as dump(2) indents it in the document.
std::string JsonBatchElement(const Json& element, bool first) {
    std::string out = first ? "\n    " : ",\n    ";
    for (char c : element.dump(2)) {
        out += c;
        if (c == '\n') out += "    ";
    }
    return out;
}

}  // namespace

std::string JsonBatchHead(const RunDescription& run) {
    std::string head = JsonHead(run).dump(2);
    head.resize(head.size() - 2);  // "\n}"
    return head + ",\n  \"fluids\": [";
}

std::string JsonBatchFluid(const RunDescription& run, const FluidResult& result, bool first) {
    return JsonBatchElement(
        Json{{"fluid", FluidJson(result)}, {"flash", FlashStatus(run, result)}, {"correlations", CorrelationsJson(run, result)}},
        first);
}

std::string JsonBatchInputError(const std::string& problem, const std::string& id, bool first) {
    Json element{{"input_error", problem}};
    if (!id.empty()) element["id"] = id;
    return JsonBatchElement(element, first);
}

std::string JsonBatchTail() { return "\n  ]\n}\n"; }

std::string FormatJson(const RunDescription& run, std::span<const FluidResult> results, bool batch) {
    if (batch || results.size() != 1) {
        std::string out = JsonBatchHead(run);
        for (std::size_t i = 0; i < results.size(); ++i) out += JsonBatchFluid(run, results[i], i == 0);
        return out + JsonBatchTail();
    }
    Json doc = JsonHead(run);
    doc["fluid"] = FluidJson(results[0]);
    doc["flash"] = FlashStatus(run, results[0]);
    doc["correlations"] = CorrelationsJson(run, results[0]);
    return doc.dump(2) + "\n";
}

std::string CsvHeader() {
    std::string phases;
    for (const char* key : kPhaseKey) phases += fmt::format("{0}_status,{0}_reason,", key);
    return "fluid,id,class,display_name,result_type,unit,status,overall,vapour,hc_liquid,aqueous,phase3,"
           "reference_temperature_C,iso6976_edition,combustion_temperature_C,model," +
           phases + "version\n";
}

std::string CsvErrorRow(std::size_t fluidNumber, const std::string& id, const std::string& problem) {
    return fmt::format("{},{},,,,,{}{},{}\n", fluidNumber, CsvField(id), CsvField("input error: " + problem),
                       std::string(kOutputColumns + 4 + 2 * kOutputColumns, ','), ProgramVersion());
}

std::string CsvRows(const RunDescription& run, const FluidResult& result, std::size_t fluidNumber) {
    std::string out;
    for (const auto& c : result.correlations) {
        const CorrelationReport& r = c.report;
        out += fmt::format("{},{},{},{},{},{},{}", fluidNumber, CsvField(result.fluid.id), CsvField(r.word),
                           CsvField(r.displayName), r.resultType, OutputUnit(r.resultType, run.usUnits),
                           CsvField(c.StatusText()));
        for (std::size_t k = 0; k < kOutputColumns; ++k)
            out += c.phases[k].state == PhaseState::Ok
                       ? fmt::format(",{}", OutputValue(r.resultType, *r.phaseValues[kPhaseValueIndex[k]], run.usUnits))
                                                      : std::string(",");
        out += c.edition ? fmt::format(",{:g},{},{:g}", c.edition->meteringC, c.edition->year, c.edition->combustionC)
                         : std::string(",,,");
        out += ',';
        if (c.model) out += CsvField(*c.model);
        for (const PhaseStatus& s : c.phases) out += fmt::format(",{},{}", CsvField(s.Text()), CsvField(s.reason));
        out += fmt::format(",{}\n", ProgramVersion());
    }
    return out;
}

std::string FormatCsv(const RunDescription& run, std::span<const FluidResult> results) {
    std::string out = CsvHeader();
    for (std::size_t i = 0; i < results.size(); ++i) out += CsvRows(run, results[i], i + 1);
    return out;
}

}  // namespace calorix::host
