// Output of the command-line host: units, missing values, index 4, failed correlations.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "host/correlation_manager.h"
#include "host/report.h"

namespace calorix::host {
namespace {

std::vector<CorrelationReport> Reports() {
    CorrelationReport hhv;
    hhv.word = "HHV";
    hhv.displayName = "HHV Vol. Basis";
    hhv.classId = "{8F2BB331-1820-42E6-B6A7-37BADBA6ED7B}";
    hhv.resultType = 128;
    hhv.phaseValues = {40.5, 40.5, std::nullopt, std::nullopt, std::nullopt, std::nullopt};
    CorrelationReport dew;
    dew.word = "HCDewPt";
    dew.displayName = "HC Dew Point";
    dew.resultType = 1;
    dew.status = static_cast<HRESULT>(0x80004005u);
    dew.failedStep = "Calculate";
    return {hhv, dew};
}

TEST(Report, Units) {
    const std::pair<std::int32_t, const char*> cases[] = {{1, "degC"},     {4, "kg/h"},   {16, "kg/m3"}, {21, "kJ/kmol"},
                                                          {30, "kJ/kg"},   {128, "MJ/m3"}, {174, "mg/Sm3"}, {0, ""},
                                                          {129, ""}};
    for (const auto& [code, unit] : cases) EXPECT_EQ(UnitOfResultType(code), unit) << code;
}

TEST(Report, JsonHasSixPhaseValuesWithNullsForMissingOnes) {
    Fluid fluid;
    fluid.temperatureC = 15.0;
    fluid.pressureKPa = 5000.0;
    fluid.components.push_back(Component{"methane", 74828, 16.0425, 190.56, 4599, 0.011, 201});
    const auto reports = Reports();
    const auto doc = nlohmann::json::parse(FormatJson({&fluid, 0.0}, reports));
    EXPECT_EQ(doc["reference_temperature_C"], 0.0);
    EXPECT_EQ(doc["fluid"]["components"][0], "methane");
    const auto& hhv = doc["correlations"][0];
    EXPECT_EQ(hhv["class"], "HHV");
    EXPECT_EQ(hhv["display_name"], "HHV Vol. Basis");
    EXPECT_EQ(hhv["result_type"], 128);
    EXPECT_EQ(hhv["unit"], "MJ/m3");
    EXPECT_EQ(hhv["status"], "ok");
    ASSERT_EQ(hhv["phase_values"].size(), 6u);
    EXPECT_EQ(hhv["phase_values"][0], 40.5);
    EXPECT_EQ(hhv["phase_values"][1], 40.5);
    for (int i = 2; i < 6; ++i) EXPECT_TRUE(hhv["phase_values"][i].is_null()) << i;
    EXPECT_EQ(doc["correlations"][1]["status"], "Calculate failed: 0x80004005");
}

TEST(Report, TableShowsDashesAndFailures) {
    const auto reports = Reports();
    const std::string table = FormatTable({}, reports);
    EXPECT_NE(table.find("HHV Vol. Basis"), std::string::npos);
    EXPECT_NE(table.find("MJ/m3"), std::string::npos);
    // Overall and vapour values, then three dashes for the absent phases.
    const auto line = table.substr(table.find("HHV Vol. Basis"));
    EXPECT_NE(line.find("40.5          40.5             -             -             -"), std::string::npos) << table;
    EXPECT_NE(table.find("HC Dew Point    degC      Calculate failed: 0x80004005"), std::string::npos) << table;
}

TEST(Report, CsvHasEmptyCellsForMissingValues) {
    const auto reports = Reports();
    const std::string csv = FormatCsv({}, reports);
    EXPECT_EQ(csv,
              "class,display_name,result_type,unit,status,overall,phase0_vapour,phase1_hc_liquid,phase2_aqueous,phase3\n"
              "HHV,HHV Vol. Basis,128,MJ/m3,ok,40.5,40.5,,,\n"
              "HCDewPt,HC Dew Point,1,degC,0x80004005,,,,,\n");
}

TEST(Catalogue, WordsProgIdsAndClassIds) {
    EXPECT_EQ(Catalogue().size(), 22u);
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
