// Output of the command-line host: units, missing values, index 4, failed correlations.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "host/cli/report.h"
#include "host/manager/correlation_manager.h"

#include <cmath>

namespace calorix::host {
namespace {

// An HHV with vapour only, a failed HC dew point, and a water dew point whose aqueous phase
// was not computed.
FluidResult Result() {
    FluidResult result;
    result.fluid.temperatureC = 15.0;
    result.fluid.pressureKPa = 5000.0;
    result.fluid.molarFlowKmolPerH = 1000.0;
    result.fluid.components.push_back(Component{"methane", 74828, 16.0425, 190.56, 4599, 0.011, 201});
    result.fluid.moleFractions = {1.0};
    auto phases = [](PhaseState vapour, PhaseState aqueous) {
        std::array<PhaseStatus, kOutputColumns> p{};
        p[0] = {PhaseState::Ok, ""};
        p[1] = {vapour, ""};
        p[3] = {aqueous, aqueous == PhaseState::NotComputed ? "no dew point found" : ""};
        return p;
    };
    CorrelationResult hhv;
    hhv.report.word = "HHV";
    hhv.report.displayName = "HHV Vol. Basis";
    hhv.report.classId = "{8F2BB331-1820-42E6-B6A7-37BADBA6ED7B}";
    hhv.report.resultType = 128;
    hhv.report.phaseValues = {40.5, 40.5, std::nullopt, std::nullopt, std::nullopt, std::nullopt};
    hhv.phases = phases(PhaseState::Ok, PhaseState::Absent);
    hhv.edition = IsoEdition{1995, 15.0, 15.0};
    CorrelationResult dew;
    dew.report.word = "HCDewPt";
    dew.report.displayName = "HC Dew Point";
    dew.report.resultType = 1;
    dew.report.status = static_cast<HRESULT>(0x80004005u);
    dew.report.failedStep = "Calculate";
    dew.phases.fill({PhaseState::NotComputed, "the correlation failed"});
    CorrelationResult water;
    water.report.word = "WaterDewPt";
    water.report.displayName = "Water Dew Point";
    water.report.resultType = 1;
    water.report.phaseValues = {-12.3456, -12.3456, std::nullopt, std::nullopt, std::nullopt, std::nullopt};
    water.phases = phases(PhaseState::Ok, PhaseState::NotComputed);
    result.correlations = {hhv, dew, water};
    return result;
}

TEST(Report, Units) {
    const std::pair<std::int32_t, const char*> cases[] = {{1, "degC"},     {4, "kg/h"},   {16, "kg/m3"}, {21, "kJ/kmol"},
                                                          {30, "kJ/kg"},   {128, "MJ/m3"}, {174, "mg/Sm3"}, {0, ""},
                                                          {129, ""}};
    for (const auto& [code, unit] : cases) EXPECT_EQ(UnitOfResultType(code), unit) << code;
}

TEST(Report, JsonNamesThePhasesAndTellsAbsentFromNotComputed) {
    const FluidResult result = Result();
    const auto doc = nlohmann::json::parse(FormatJson({0.0, false}, std::span(&result, 1), false));
    EXPECT_EQ(doc["reference_temperature_C"], 0.0);
    EXPECT_EQ(doc["version"], std::string(ProgramVersion()));
    EXPECT_EQ(doc["flash"], "not asked");
    EXPECT_EQ(doc["fluid"]["components"][0]["name"], "methane");
    EXPECT_EQ(doc["fluid"]["components"][0]["cas"], "74-82-8");
    const auto& hhv = doc["correlations"][0];
    EXPECT_EQ(hhv["class"], "HHV");
    EXPECT_EQ(hhv["display_name"], "HHV Vol. Basis");
    EXPECT_EQ(hhv["result_type"], 128);
    EXPECT_EQ(hhv["unit"], "MJ/m3");
    EXPECT_EQ(hhv["status"], "ok");
    const auto& p = hhv["phases"];
    EXPECT_EQ(p.size(), 5u);
    EXPECT_EQ(p["overall"]["status"], "ok");
    EXPECT_EQ(p["overall"]["value"], 40.5);
    EXPECT_EQ(p["vapour"]["value"], 40.5);
    for (const char* absent : {"hc_liquid", "aqueous", "phase3"}) {
        EXPECT_EQ(p[absent]["status"], "absent") << absent;
        EXPECT_FALSE(p[absent].contains("value")) << absent;
    }
    EXPECT_EQ(doc["correlations"][1]["status"], "Calculate failed: 0x80004005 (unspecified failure)");
    const auto& aqueous = doc["correlations"][2]["phases"]["aqueous"];
    EXPECT_EQ(aqueous["status"], "not computed");
    EXPECT_EQ(aqueous["reason"], "no dew point found");

    // A batch: one document, the fluids in a list.
    const FluidResult two[] = {result, result};
    const auto batch = nlohmann::json::parse(FormatJson({15.0, true}, two, true));
    ASSERT_EQ(batch["fluids"].size(), 2u);
    EXPECT_EQ(batch["fluids"][1]["flash"], "ok");
    EXPECT_EQ(batch["fluids"][1]["correlations"][0]["phases"]["overall"]["value"], 40.5);
}

TEST(Report, TableIsFixedPointWithTheFluidAndTheReasons) {
    FluidResult result = Result();
    result.correlations[0].report.resultType = 21;  // kJ/kmol: large numbers stay fixed-point
    result.correlations[0].report.phaseValues[0] = 1100180.04;
    const std::string table = FormatTable({15.0, false}, result);
    EXPECT_NE(table.find("ISO 6976:1995 reference 15 degC"), std::string::npos) << table;
    EXPECT_NE(table.find("Fluid: 15.00 degC, 5000.0 kPa, 1000.000 kmol/h, 1 components"), std::string::npos) << table;
    EXPECT_NE(table.find("methane           100.0000"), std::string::npos) << table;
    EXPECT_NE(table.find("1100180.0"), std::string::npos) << table;
    EXPECT_EQ(table.find("e+"), std::string::npos) << table;
    EXPECT_NE(table.find("HC Dew Point     degC      Calculate failed: 0x80004005"), std::string::npos) << table;
    const auto water = table.substr(table.find("Water Dew Point"));
    EXPECT_EQ(water.rfind("Water Dew Point  degC             -12.35         -12.35              -            n/c              -", 0), 0u) << table;
    EXPECT_NE(table.find("Water Dew Point, Aqueous: no dew point found"), std::string::npos) << table;
}

// Each record carries the edition it was computed with (none outside ISO 6976), the model of a
// class that has one, and each phase its status and reason; a record without its overall value
// is not "ok".
TEST(Report, CsvHasEmptyCellsPhaseStatusesTheRecordsEditionAndTheVersion) {
    FluidResult result = Result();
    CorrelationResult hhv2016 = result.correlations[0];
    hhv2016.report.word = "HHV2016";
    hhv2016.report.displayName = "HHV";
    hhv2016.edition = IsoEdition{2016, 25.0, 0.0};
    CorrelationResult missing = result.correlations[2];
    missing.report.phaseValues[0].reset();
    missing.phases[0] = {PhaseState::NotComputed, "no dew point found, above the cricondenbar"};
    CorrelationResult z = result.correlations[0];
    z.report.word = "ZGERG2008";
    z.report.displayName = "Z";
    z.report.resultType = 50;
    z.edition.reset();
    z.model = "GERG-2008 with the 2021 hydrogen binaries";
    result.correlations.push_back(hhv2016);
    result.correlations.push_back(missing);
    result.correlations.push_back(z);
    const std::string csv = FormatCsv({15.0, false}, std::span(&result, 1));
    const std::string v(ProgramVersion());
    const std::string failed = "not computed,the correlation failed,";
    EXPECT_EQ(csv,
              "fluid,id,class,display_name,result_type,unit,status,overall,vapour,hc_liquid,aqueous,phase3,"
              "reference_temperature_C,iso6976_edition,combustion_temperature_C,model,overall_status,overall_reason,"
              "vapour_status,vapour_reason,hc_liquid_status,hc_liquid_reason,aqueous_status,aqueous_reason,"
              "phase3_status,phase3_reason,version\n"
              "1,,HHV,HHV Vol. Basis,128,MJ/m3,ok,40.5,40.5,,,,15,1995,15,,ok,,ok,,absent,,absent,,absent,," + v + "\n"
              "1,,HCDewPt,HC Dew Point,1,degC,Calculate failed: 0x80004005 (unspecified failure),,,,,,,,,," +
                  failed + failed + failed + failed + failed + v + "\n"
              "1,,WaterDewPt,Water Dew Point,1,degC,ok,-12.3456,-12.3456,,,,,,,,ok,,ok,,absent,,"
              "not computed,no dew point found,absent,," + v + "\n"
              "1,,HHV2016,HHV,128,MJ/m3,ok,40.5,40.5,,,,0,2016,25,,ok,,ok,,absent,,absent,,absent,," + v + "\n"
              "1,,WaterDewPt,Water Dew Point,1,degC,\"not computed: no dew point found, above the cricondenbar\","
              ",-12.3456,,,,,,,,not computed,\"no dew point found, above the cricondenbar\",ok,,absent,,"
              "not computed,no dew point found,absent,," + v + "\n"
              "1,,ZGERG2008,Z,50,-,ok,40.5,40.5,,,,,,,GERG-2008 with the 2021 hydrogen binaries,ok,,ok,,absent,,"
              "absent,,absent,," + v + "\n");
    EXPECT_EQ(CsvErrorRow(7, "", "b.csv:8: ethane: '0,5' is not a number"),
              "7,,,,,,\"input error: b.csv:8: ethane: '0,5' is not a number\",,,,,,,,,,,,,,,,,,,," + v + "\n");
    EXPECT_EQ(CsvErrorRow(8, "well 8, north", "b.csv:9: ethane: missing"),
              "8,\"well 8, north\",,,,,input error: b.csv:9: ethane: missing,,,,,,,,,,,,,,,,,,,," + v + "\n");
}

// US customary units where the quantity has them, checked against values known in both systems.
TEST(Report, OutputUnits) {
    struct Case {
        std::int32_t type;
        double si, us;
        const char* unit;
    };
    const Case cases[] = {
        {1, 15.0, 59.0, "degF"},           {1, -40.0, -40.0, "degF"},
        {16, 16.018463373960138, 1.0, "lb/ft3"},   // 1 lb/ft3 in kg/m3
        {128, 37.258945807, 1000.0, "Btu/ft3"},    // 1000 Btu/ft3 in MJ/m3
        {30, 2.326, 1.0, "Btu/lb"},                // 1 Btu/lb = 2.326 kJ/kg exactly
        {21, 2.326, 1.0, "Btu/lbmol"},
        {4, 0.45359237, 1.0, "lb/h"},
        {40, 0.3048, 1.0, "ft/s"},
        {174, 16.018463373960138, 1.0, "lb/MMscf"},  // 1 lb/MMscf in mg/m3 (at the same reference)
        {50, 0.9, 0.9, "-"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.type);
        EXPECT_NEAR(OutputValue(c.type, c.si, true), c.us, 1e-9 * std::max(1.0, std::fabs(c.us)));
        EXPECT_EQ(OutputUnit(c.type, true), c.unit);
        EXPECT_EQ(OutputValue(c.type, c.si, false), c.si);
        EXPECT_EQ(OutputUnit(c.type, false), UnitOfResultType(c.type));
    }
    const FluidResult result = Result();
    RunDescription us{15.0, false};
    us.usUnits = true;
    const std::string table = FormatTable(us, result);
    EXPECT_NE(table.find("Fluid: 59.00 degF, 725.2 psia, 2204.623 lbmol/h"), std::string::npos) << table;
    EXPECT_NE(table.find("Btu/ft3"), std::string::npos) << table;
    EXPECT_NE(FormatCsv(us, std::span(&result, 1)).find(",WaterDewPt,Water Dew Point,1,degF,ok,9.7779"), std::string::npos);
}

TEST(Report, ImpossibleValuesAreNotPlausible) {
    struct Case {
        std::int32_t type;
        double value;
        bool plausible;
    };
    const Case cases[] = {{128, 40.0, true},  {128, 0.0, true},    {128, -1.0, false},
                          {128, std::nan(""), false}, {16, 0.0, false}, {16, -0.5, false},
                          {16, 0.78, true},   {1, -40.0, true},    {1, -300.0, false},
                          {174, HUGE_VAL, false}, {4, 12.0, true}};
    for (const auto& c : cases) EXPECT_EQ(PlausibleValue(c.type, c.value), c.plausible) << c.type << " " << c.value;
}

TEST(Catalogue, WordsProgIdsAndClassIds) {
    EXPECT_EQ(Catalogue().size(), 42u);
    struct Case {
        const char* name;
        const char* word;  // null: not found
    };
    const Case cases[] = {{"HHV", "HHV"},           {"hhv", "HHV"},         {"Calorix.HHV.1", "HHV"},
                          {"Calorix.WobbleIndex", "WobbleIndex"}, {"calorix.molarlhv.1", "MolarLHV"},
                          {"{AFFCA0C7-48AD-4097-AE97-B07803079BD7}", "HCDewPt"},
                          {"Calorix.", nullptr},     {"Calorix.HHV.2", nullptr}, {"HHV2", nullptr},
                          {"{00000000-0000-0000-0000-000000000000}", nullptr}, {"", nullptr}};
    for (const auto& c : cases) {
        const CatalogueEntry* e = FindCatalogueEntry(c.name);
        EXPECT_EQ(e ? std::string(e->word) : std::string("(none)"), c.word ? c.word : "(none)") << c.name;
    }
    int iso = 0;
    for (const auto& e : Catalogue()) iso += IsIso6976Class(e);
    EXPECT_EQ(iso, 8);
}

}  // namespace
}  // namespace calorix::host
