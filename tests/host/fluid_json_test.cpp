// Fluid files of the command-line host: what is read, what is refused, what is warned about.
#include <gtest/gtest.h>

#include <fstream>

#include "host/fluid_json.h"

namespace calorix::host {
namespace {

TEST(FluidJson, ReadsEveryField) {
    const char* text = R"({
      "temperature_C": -5.5, "pressure_kPa": 7000, "molar_flow_kmol_h": 12.5,
      "components": [{"name": "Methane"}, {"cas": "74-84-0"},
                     {"name": "C7+", "cas": "142-82-5", "mw": 101.5},
                     {"name": "heavy end", "cas": "50-00-0", "mw": 128.0, "tc_K": 600, "pc_kPa": 2500,
                      "omega": 0.4, "class": 250}],
      "mole_fractions": [0.7, 0.2, 0.06, 0.04],
      "phases": [{"slot": 0, "fraction": 0.9, "mole_fractions": [0.75, 0.2, 0.04, 0.01]},
                 {"slot": 1, "fraction": 0.1, "mole_fractions": [0.25, 0.2, 0.24, 0.31]}]
    })";
    const ParsedFluid p = ParseFluidJson(text, "gas.json");
    EXPECT_TRUE(p.warnings.empty());
    const Fluid& f = p.fluid;
    EXPECT_EQ(f.temperatureC, -5.5);
    EXPECT_EQ(f.pressureKPa, 7000.0);
    EXPECT_EQ(f.molarFlowKmolPerH, 12.5);
    ASSERT_EQ(f.components.size(), 4u);
    EXPECT_EQ(f.components[0].casKey, 74828);
    EXPECT_EQ(f.components[0].name, "Methane");
    EXPECT_EQ(f.components[1].name, "ethane");
    EXPECT_EQ(f.components[1].componentClass, 201);
    // cas and mw override the list; the rest comes from the row of that CAS number.
    EXPECT_EQ(f.components[2].casKey, 142825);
    EXPECT_EQ(f.components[2].molarMassKgPerKmol, 101.5);
    EXPECT_EQ(f.components[2].criticalTemperatureK, 540.2);
    // Not in the list: everything given.
    EXPECT_EQ(f.components[3].casKey, 50000);
    EXPECT_EQ(f.components[3].criticalTemperatureK, 600.0);
    EXPECT_EQ(f.components[3].criticalPressureKPa, 2500.0);
    EXPECT_EQ(f.components[3].acentricFactor, 0.4);
    EXPECT_EQ(f.components[3].componentClass, 250);
    ASSERT_EQ(f.phases.size(), 2u);
    EXPECT_EQ(f.phases[1].slot, 1);
    EXPECT_EQ(f.phases[1].fraction, 0.1);
    EXPECT_EQ(f.phases[1].moleFractions[3], 0.31);
}

TEST(FluidJson, UnknownComponentWithCasAndMolarMassIsAnAlkaneLikeHydrocarbon) {
    const ParsedFluid p = ParseFluidJson(
        R"({"temperature_C": 15, "pressure_kPa": 100, "components": [{"name": "x", "cas": "50-00-0", "mw": 79.1635}],
            "mole_fractions": [1]})",
        "x.json");
    const Component& c = p.fluid.components[0];
    EXPECT_EQ(c.name, "x");
    EXPECT_EQ(c.componentClass, 200);
    EXPECT_EQ(p.fluid.molarFlowKmolPerH, 1.0);
    EXPECT_TRUE(p.fluid.phases.empty());
    // Halfway between n-pentane and n-hexane.
    EXPECT_NEAR(c.criticalTemperatureK, 0.5 * (469.70 + 507.60), 0.01);
    EXPECT_NEAR(c.acentricFactor, 0.5 * (0.252 + 0.300), 1e-4);
}

TEST(FluidJson, BadInputNamesTheFileTheFieldAndTheProblem) {
    const std::string base = R"("temperature_C": 15, "pressure_kPa": 5000, )";
    struct Case {
        std::string text;
        const char* message;
    };
    const Case cases[] = {
        {"{ \"temperature_C\": 15,, }", "gas.json: malformed JSON at line 1, column 23"},
        {"", "gas.json: malformed JSON"},
        {"[1, 2]", "gas.json: (document): expected an object, found a list"},
        {R"({"pressure_kPa": 5000, "components": [{"name": "methane"}], "mole_fractions": [1]})",
         "gas.json: temperature_C: missing"},
        {"{" + base + R"("components": [{"name": "methane"}, {"name": "unobtainium"}], "mole_fractions": [0.5, 0.5]})",
         "gas.json: components[1]: unknown component 'unobtainium': give both cas and mw"},
        {"{" + base + R"("components": [{"name": "x", "cas": "50-00-0"}], "mole_fractions": [1]})",
         "gas.json: components[0]: unknown component 'x': give both cas and mw"},
        {"{" + base + R"("components": [{"mw": 16}], "mole_fractions": [1]})",
         "gas.json: components[0]: needs a name or a cas number"},
        {"{" + base + R"("components": [{"name": "methane", "cas": "74-82-9"}], "mole_fractions": [1]})",
         "gas.json: components[0].cas: '74-82-9' is not a valid CAS number"},
        {"{" + base + R"("components": [{"name": "methane"}, {"name": "ethane"}], "mole_fractions": [1]})",
         "gas.json: mole_fractions: 1 entries for 2 components"},
        {"{" + base + R"("components": [{"name": "methane"}, {"name": "ethane"}], "mole_fractions": [0.5, 1e999]})",
         "gas.json: mole_fractions[1]: not a finite number"},
        {"{" + base + R"("components": [{"name": "methane"}], "mole_fractions": ["1"]})",
         "gas.json: mole_fractions[0]: expected a number, found the string \"1\""},
        {"{" + base + R"("components": [{"name": "methane"}], "mole_fractions": [null]})",
         "gas.json: mole_fractions[0]: expected a number, found null"},
        {"{" + base + R"("components": [], "mole_fractions": []})", "gas.json: components: empty list"},
        {R"({"temperature_C": -300, "pressure_kPa": 5000, "components": [{"name": "methane"}], "mole_fractions": [1]})",
         "gas.json: temperature_C: below absolute zero"},
        {R"({"temperature_C": 15, "pressure_kPa": 0, "components": [{"name": "methane"}], "mole_fractions": [1]})",
         "gas.json: pressure_kPa: must be positive"},
        {"{" + base + R"("components": [{"name": "methane"}], "mole_fractions": [1], "phases": [{"slot": 4, "fraction": 1, "mole_fractions": [1]}]})",
         "gas.json: phases[0].slot: must be 0, 1, 2 or 3"},
        {"{" + base + R"("components": [{"name": "methane"}], "mole_fractions": [1], "phases": [{"slot": 0, "fraction": 0.5, "mole_fractions": [1]}, {"slot": 0, "fraction": 0.5, "mole_fractions": [1]}]})",
         "gas.json: phases[1].slot: slot 0 given twice"},
        {"{" + base + R"("components": [{"name": "methane"}], "mole_fractions": [1], "phases": [{"slot": 0, "fraction": 1, "mole_fractions": [1, 0]}]})",
         "gas.json: phases[0].mole_fractions: 2 entries for 1 components"},
        {"{" + base + R"("components": [{"name": "methane"}], "mole_fractions": [1], "phases": [{"slot": 0, "fraction": 1.5, "mole_fractions": [1]}]})",
         "gas.json: phases[0].fraction: must lie in [0, 1]"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        try {
            ParseFluidJson(c.text, "gas.json");
            ADD_FAILURE() << "accepted";
        } catch (const FluidInputError& e) {
            const std::string message = e.what();
            EXPECT_EQ(message.rfind(c.message, 0), 0u) << message;
            EXPECT_EQ(message.find('\n'), std::string::npos) << "one line";
        }
    }
}

TEST(FluidJson, WarningsDoNotRefuse) {
    const ParsedFluid p = ParseFluidJson(
        R"({"temperature_C": 15, "pressure_kPa": 100, "temprature": 3,
            "components": [{"name": "methane", "colour": "blue"}, {"name": "ethane"}],
            "mole_fractions": [0.9, -0.001]})",
        "w.json");
    ASSERT_EQ(p.warnings.size(), 4u);
    EXPECT_EQ(p.warnings[0], "w.json: temprature: unknown field, ignored");
    EXPECT_EQ(p.warnings[1], "w.json: components[0].colour: unknown field, ignored");
    EXPECT_EQ(p.warnings[2], "w.json: mole_fractions[1]: negative fraction -0.001");
    EXPECT_EQ(p.warnings[3], "w.json: mole_fractions: fractions sum to 0.899, not 1 (ISO 6976 assumes they do)");
    EXPECT_EQ(p.fluid.moleFractions[1], -0.001);
    // Within 1e-6 of 1: no warning.
    const ParsedFluid q = ParseFluidJson(
        R"({"temperature_C": 15, "pressure_kPa": 100, "components": [{"name": "C1"}, {"name": "C2"}],
            "mole_fractions": [0.9999995, 0]})",
        "q.json");
    EXPECT_TRUE(q.warnings.empty());
}

TEST(FluidJson, DefaultFluidAndFiles) {
    const ParsedFluid p = ParseFluidJson(DefaultFluidJson(), "default");
    EXPECT_TRUE(p.warnings.empty());
    EXPECT_EQ(p.fluid.components.size(), 12u);
    EXPECT_EQ(p.fluid.pressureKPa, 5000.0);
    EXPECT_EQ(p.fluid.temperatureC, 15.0);
    EXPECT_EQ(p.fluid.molarFlowKmolPerH, 1000.0);

    try {
        ReadFluidFile("/nonexistent/gas.json");
        ADD_FAILURE() << "accepted";
    } catch (const FluidInputError& e) {
        EXPECT_STREQ(e.what(), "/nonexistent/gas.json: cannot open the file");
    }
}

}  // namespace
}  // namespace calorix::host
