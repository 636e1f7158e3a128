// The two dew-point correlations of the built module over the host's own flash: the cases in
// which the search once stepped over a window, took the wrong liquid or reported a dense phase
// as condensate. The right answers come from an independent Peng-Robinson solver with the
// host's constants.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "host/fluid/fluid_json.h"
#include "host/manager/correlation_manager.h"
#include "host/manager/fluid.h"
#include "platform/library.h"

namespace {

using namespace calorix::host;

std::optional<double> OverallDewPoint(const CorrelationManager& manager, const char* word, const std::string& json) {
    platform::ComPtr<ICorrelation> correlation;
    EXPECT_EQ(manager.Create(word, &correlation), S_OK);
    if (!correlation) return std::nullopt;
    auto source = MakeFluidSource({ParseFluidJson(json, "case").fluid});
    const auto report = RunCorrelation(correlation.Get(), word, source.Get(), 0);
    EXPECT_EQ(report.status, S_OK) << report.failedStep;
    return report.phaseValues[0];
}

std::string Fluid(double pressureKPa, const std::string& components, const std::string& fractions) {
    return R"({"temperature_C": 20, "pressure_kPa": )" + std::to_string(pressureKPa) + R"(, "components": [)" +
           components + R"(], "mole_fractions": [)" + fractions + "]}";
}

TEST(DewPointSearchOverTheHostFlash, CasesWithTheirRightAnswers) {
    // The module beside this test program, as the build puts it.
    const std::string module =
        platform::PathIn(platform::FolderOf(platform::ModuleFilePath()), platform::LibraryFileName("Calorix"));
    CorrelationManager manager;
    ASSERT_EQ(manager.Load(module), S_OK);
    struct Case {
        const char* name;
        const char* word;
        std::string fluid;
        std::optional<double> expectedC;  // nothing: no dew point
    };
    const std::string methaneHexaneWater = R"({"name": "methane"}, {"name": "n-hexane"}, {"name": "water"})";
    const std::string readmeWetGas =
        R"({"name": "nitrogen"}, {"name": "carbon dioxide"}, {"name": "methane"}, {"name": "ethane"},)"
        R"({"name": "propane"}, {"name": "n-butane"}, {"name": "n-pentane"}, {"name": "n-hexane"},)"
        R"({"name": "n-heptane"}, {"name": "water"})";
    const std::string readmeWetGasFractions = "0.01, 0.015, 0.88, 0.05, 0.025, 0.01, 0.004, 0.003, 0.002, 0.001";
    const Case cases[] = {
        // Water condenses first; the hydrocarbon liquid beside it appears at about 4.42 degC.
        {"hydrocarbon liquid beside water", "HCDewPt", Fluid(1000.0, methaneHexaneWater, "0.985, 0.01, 0.005"), 4.42},
        {"the same gas dry", "HCDewPt", Fluid(1000.0, R"({"name": "methane"}, {"name": "n-hexane"})", "0.99, 0.01"),
         4.33},
        // A narrow two-phase window and a single component's saturation temperature.
        {"propane / n-butane", "HCDewPt", Fluid(4000.0, R"({"name": "propane"}, {"name": "n-butane"})", "0.95, 0.05"),
         96.87},
        {"propane", "HCDewPt", Fluid(2000.0, R"({"name": "propane"})", "1"), 57.04},
        // Carbon dioxide alone has no hydrocarbon dew point (its saturation temperature, 21.89
        // degC at 60 bar, is no hydrocarbon's).
        {"carbon dioxide", "HCDewPt", Fluid(6000.0, R"({"name": "carbon dioxide"})", "1"), std::nullopt},
        // Above methane's critical pressure the dense methane beside water is no condensate.
        {"methane with water above its critical pressure", "HCDewPt",
         Fluid(6894.76, R"({"name": "methane"}, {"name": "water"})", "0.99, 0.01"), std::nullopt},
        {"dry methane above its critical pressure", "HCDewPt", Fluid(6894.76, R"({"name": "methane"})", "1"),
         std::nullopt},
        // The README's wet gas above its cricondenbar (some 107 bar): water condenses, the
        // hydrocarbons never form a liquid beside a vapour (once, a split of two liquids at
        // -215 degC was taken for one).
        {"wet gas at 120 bar", "HCDewPt", Fluid(12000.0, readmeWetGas, readmeWetGasFractions), std::nullopt},
        {"wet gas at 140 bar", "HCDewPt", Fluid(14000.0, readmeWetGas, readmeWetGasFractions), std::nullopt},
        {"wet gas at 160 bar", "HCDewPt", Fluid(16000.0, readmeWetGas, readmeWetGasFractions), std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto result = OverallDewPoint(manager, c.word, c.fluid);
        if (!c.expectedC) {
            EXPECT_FALSE(result.has_value()) << *result;
            continue;
        }
        ASSERT_TRUE(result.has_value());
        EXPECT_NEAR(*result, *c.expectedC, 0.02);
    }
}

}  // namespace
