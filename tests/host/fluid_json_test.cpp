// Fluid files of the command-line host: what is read, what is refused, what is warned about.
#include <gtest/gtest.h>

#include <fstream>

#include "host/fluid/fluid_csv.h"
#include "host/fluid/fluid_json.h"

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
    ASSERT_EQ(p.warnings.size(), 1u);
    EXPECT_EQ(p.warnings[0], "gas.json: components[3]: 50-00-0 'heavy end' is not in the component list: the "
                             "heating-value correlations price it as an alkane of molar mass 128 kg/kmol");
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
        {"{" + base + R"("components": [{"name": "methane"}, {"name": "ethane"}], "mole_fractions": [1.0001, -0.0001]})",
         "gas.json: mole_fractions[1]: negative fraction -0.0001; a mole fraction is 0 or more"},
        {"{" + base + R"("components": [{"name": "C1"}], "mole_fractions": [1], "phases": [{"slot": 0, "fraction": 1, "mole_percent": [-1]}]})",
         "gas.json: phases[0].mole_percent[0]: negative fraction -1"},
        {R"({"temperature_C": 15, "pressure_bar": 1e308, "components": [{"name": "methane"}], "mole_fractions": [1]})",
         "gas.json: pressure_bar: 1e+308 is inf kPa, above 1e+06 kPa: not a pressure of a gas process"},
        {R"({"temperature_C": 15, "pressure_MPa": 2000, "components": [{"name": "methane"}], "mole_fractions": [1]})",
         "gas.json: pressure_MPa: 2000 is 2e+06 kPa, above 1e+06 kPa"},
        {R"({"temperature_K": 1e300, "pressure_kPa": 5000, "components": [{"name": "methane"}], "mole_fractions": [1]})",
         "gas.json: temperature_K: 1e+300 is 1e+300 degC, above 1000 degC"},
        {R"({"temperature_F": 1e999, "pressure_kPa": 5000, "components": [{"name": "methane"}], "mole_fractions": [1]})",
         "gas.json: temperature_F: not a finite number"},
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
            "mole_fractions": [0.9994, 0]})",
        "w.json");
    ASSERT_EQ(p.warnings.size(), 3u);
    EXPECT_EQ(p.warnings[0], "w.json: temprature: unknown field, ignored");
    EXPECT_EQ(p.warnings[1], "w.json: components[0].colour: unknown field, ignored");
    EXPECT_EQ(p.warnings[2], "w.json: mole_fractions: fractions sum to 0.9994, not 1 (ISO 6976 assumes they do)");
    // Within 1e-6 of 1: no warning.
    const ParsedFluid q = ParseFluidJson(
        R"({"temperature_C": 15, "pressure_kPa": 100, "components": [{"name": "C1"}, {"name": "C2"}],
            "mole_fractions": [0.9999995, 0]})",
        "q.json");
    EXPECT_TRUE(q.warnings.empty());
}

// Mistakes people make with real gas analyses: each refused with the field and what to do.
TEST(FluidJson, EverydayMistakesAreRefused) {
    const std::string tp = R"("temperature_C": 15, "pressure_kPa": 5000, )";
    const std::string c1c2 = R"("components": [{"name": "methane"}, {"name": "ethane"}], )";
    const std::pair<std::string, const char*> cases[] = {
        {"{" + tp + c1c2 + R"("mole_fractions": [95, 5]})",
         "g.json: mole_fractions: fractions sum to 100, not 1; use --normalise to scale them (or, for mole percent, "
         "name the list mole_percent)"},
        {"{" + tp + c1c2 + R"("mole_percent": [0.95, 0.05]})",
         "g.json: mole_percent: fractions sum to 1 %, not 100 %; use --normalise to scale them"},
        // An analysis 1 % off is refused; a tolerance of 0.1 % is all that is forgiven.
        {"{" + tp + c1c2 + R"("mole_fractions": [0.94, 0.05]})",
         "g.json: mole_fractions: fractions sum to 0.99, not 1; use --normalise to scale them"},
        {"{" + tp + c1c2 + R"("mole_percent": [96, 5]})",
         "g.json: mole_percent: fractions sum to 101 %, not 100 %; use --normalise to scale them"},
        {"{" + tp + c1c2 + R"("mole_fractions": [0.95, 0.05], "mole_percent": [95, 5]})",
         "g.json: mole_percent: the composition is given twice (mole_fractions and mole_percent); give one"},
        {"{" + tp + R"("temperature_K": 288.15, )" + c1c2 + R"("mole_fractions": [0.95, 0.05]})",
         "g.json: temperature_K: the temperature is given twice (temperature_C and temperature_K); give one"},
        {R"({"temperature_C": 15, "pressure_psig": 700, )" + c1c2 + R"("mole_fractions": [0.95, 0.05]})",
         "g.json: pressure_psig: unknown unit; give the pressure as one of pressure_kPa, pressure_bar, pressure_MPa, "
         "pressure_psia"},
        {R"({"temperature_C": 15, )" + c1c2 + R"("mole_fractions": [0.95, 0.05]})",
         "g.json: pressure_kPa: missing (or one of pressure_kPa, pressure_bar, pressure_MPa, pressure_psia)"},
        {"{" + tp + R"("components": [{"name": "methane"}, {"name": "C1"}], "mole_fractions": [0.95, 0.05]})",
         "g.json: components[1]: 'C1' is the same component as components[0] (CAS 74-82-8); give it once"},
        {"{" + tp + R"("components": [{"name": "methane", "cas": "74-84-0"}], "mole_fractions": [1]})",
         "g.json: components[0]: name 'methane' is methane (CAS 74-82-8) but cas is 74-84-0; give one of them"},
        {"{" + tp + R"("components": [{"name": "methane"}, {"name": "C7+", "cas": "142-82-5"}], "mole_fractions": [0.99, 0.01]})",
         "g.json: components[1].mw: missing: the plus fraction 'C7+' needs its molar mass"},
        {"{" + tp + R"("components": [{"name": "methnae"}], "mole_fractions": [1]})",
         "g.json: components[0]: unknown component 'methnae' (did you mean 'methane'?): give both cas and mw"},
        // Control characters from the input stay escaped, so the message is one line.
        {"{" + tp + R"("components": [{"name": "eth\ne\t\u0001"}], "mole_fractions": [1]})",
         "g.json: components[0]: unknown component 'eth\\ne\\t\\x01': give both cas and mw"},
    };
    for (const auto& [text, message] : cases) {
        SCOPED_TRACE(text);
        try {
            ParseFluidJson(text, "g.json");
            ADD_FAILURE() << "accepted";
        } catch (const FluidInputError& e) {
            EXPECT_EQ(std::string(e.what()), message);
        }
    }
}

TEST(FluidJson, UnitsByKeyAndNormalising) {
    const std::string c1c2 = R"("components": [{"name": "methane"}, {"name": "ethane"}], )";
    struct Case {
        std::string keys;
        double temperatureC, pressureKPa;
    };
    const Case cases[] = {
        {R"("temperature_K": 273.15, "pressure_bar": 50)", 0.0, 5000.0},
        {R"("temperature_F": 59, "pressure_psia": 14.6959487755134)", 15.0, 101.325},
        {R"("temperature_C": -10, "pressure_MPa": 7.5)", -10.0, 7500.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.keys);
        const ParsedFluid p = ParseFluidJson("{" + c.keys + ", " + c1c2 + R"("mole_percent": [95, 5]})", "u.json");
        EXPECT_TRUE(p.warnings.empty());
        EXPECT_NEAR(p.fluid.temperatureC, c.temperatureC, 1e-9);
        EXPECT_NEAR(p.fluid.pressureKPa, c.pressureKPa, 1e-6);
        EXPECT_DOUBLE_EQ(p.fluid.moleFractions[0], 0.95);
    }
    // --normalise scales a composition that does not sum to 1, and says so.
    const ParsedFluid n = ParseFluidJson("{\"temperature_C\": 15, \"pressure_kPa\": 100, " + c1c2 +
                                             R"("mole_fractions": [90, 10]})",
                                         "n.json", FluidReadOptions{true});
    ASSERT_EQ(n.warnings.size(), 1u);
    EXPECT_EQ(n.warnings[0], "n.json: mole_fractions: sum 100 scaled to 1 (--normalise)");
    EXPECT_DOUBLE_EQ(n.fluid.moleFractions[0], 0.9);
}

TEST(FluidJson, BatchesAsAJsonListOrCsv) {
    const auto json = ParseFluidsJson(R"([
        {"id": "a", "temperature_C": 15, "pressure_kPa": 5000, "components": [{"name": "methane"}], "mole_fractions": [1]},
        {"temperature_C": 5, "pressure_bar": 70, "components": [{"name": "ethane"}], "mole_fractions": [1]}])",
                                      "b.json", {});
    ASSERT_EQ(json.size(), 2u);
    EXPECT_EQ(json[0].fluid.id, "a");
    EXPECT_EQ(json[1].fluid.pressureKPa, 7000.0);
    try {
        ParseFluidsJson(R"([{"temperature_C": 15}])", "b.json", {});
        ADD_FAILURE() << "accepted";
    } catch (const FluidInputError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("b.json[0]: pressure_kPa: missing", 0), 0u) << e.what();
    }

    const auto csv = ParseFluidsCsv("id,temperature_C,pressure_bar,molar_flow_kmol_h,methane,ethane,74-98-6\n"
                                    "\"well 1, north\",15,50,1000,0.90,0.09,0.01\n"
                                    "well 2,-5,70,10,0.95,,0.05\n",
                                    "b.csv", {});
    ASSERT_EQ(csv.size(), 2u);
    EXPECT_EQ(csv[0].fluid.id, "well 1, north");
    EXPECT_EQ(csv[0].fluid.pressureKPa, 5000.0);
    EXPECT_EQ(csv[0].fluid.components[2].name, "propane");
    EXPECT_EQ(csv[1].fluid.temperatureC, -5.0);
    EXPECT_EQ(csv[1].fluid.moleFractions[1], 0.0);
    EXPECT_EQ(csv[1].fluid.molarFlowKmolPerH, 10.0);

    const std::pair<const char*, const char*> bad[] = {
        {"temperature_C,pressure_kPa,methane\n15,5000,abc\n", "b.csv:2: methane: 'abc' is not a finite number"},
        {"temperature_C,pressure_kPa,methane\n15,5000\n", "b.csv:2: 2 cells for 3 columns of the header"},
        {"temperature_C,pressure_kPa,methane\n15,5000,95\n", "b.csv:2: mole_fractions: fractions sum to 95, not 1"},
        {"temperature_C,pressure_kPa,methane,methane\n", "b.csv:1: methane: column given twice"},
        {"temperature_C,pressure_kPa,methane\n", "b.csv: no fluid rows after the header"},
    };
    for (const auto& [text, message] : bad) {
        SCOPED_TRACE(text);
        try {
            ParseFluidsCsv(text, "b.csv", {});
            ADD_FAILURE() << "accepted";
        } catch (const FluidInputError& e) {
            EXPECT_EQ(std::string(e.what()).rfind(message, 0), 0u) << e.what();
        }
    }
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
