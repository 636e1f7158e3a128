// The automation calculator's work without COM: its lists, options and fluids, and its values
// against calorix-host's (the program's own code, run in-process with --format json), bit for bit.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "calculator/calculator.h"
#include "host/cli/cli.h"
#include "platform/library.h"

namespace {

using namespace calorix::calculator;
using calorix::host::kOutputColumns;
using calorix::host::kPhaseKey;

std::vector<Cell> Texts(std::initializer_list<const char*> items) {
    std::vector<Cell> cells;
    for (const char* s : items) cells.push_back(*s ? Cell{std::string(s)} : Cell{});
    return cells;
}

std::string ErrorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const CalculatorError& e) {
        return e.what();
    }
    return "(no error)";
}

TEST(CalculatorArguments, TextListsSplitAtSemicolonsOrCommasKeepingLocants) {
    const struct {
        const char* text;
        std::vector<Cell> cells;
    } cases[] = {
        {"methane, ethane,propane", Texts({"methane", "ethane", "propane"})},
        {"2,2-dimethylbutane, methane", Texts({"2,2-dimethylbutane", "methane"})},
        {"2,3,4-trimethylpentane,74-82-8", Texts({"2,3,4-trimethylpentane", "74-82-8"})},
        {"1,0", Texts({"1", "0"})},
        {"0,9; 0,1", Texts({"0,9", "0,1"})},
        {"methane;; ethane ;", Texts({"methane", "", "ethane", ""})},
        {"  ", {}},
    };
    for (const auto& c : cases) EXPECT_EQ(SplitTextList(c.text), c.cells) << c.text;
}

TEST(CalculatorArguments, CompositionFromRangesWithBlankRowsAndTextNumbers) {
    // A column range chosen longer than the data, a blank row inside, a fraction typed as text.
    const std::vector<Cell> names = {Cell{std::string("methane")}, Cell{}, Cell{std::string(" 74-84-0 ")}, Cell{},
                                     Cell{std::string("water")}, Cell{}};
    const std::vector<Cell> fractions = {Cell{0.95}, Cell{}, Cell{std::string("0.05")}, Cell{}, Cell{}, Cell{}};
    const Composition c = ReadComposition(names, fractions);
    EXPECT_EQ(c.components, (std::vector<std::string>{"methane", "74-84-0", "water"}));
    EXPECT_EQ(c.moleFractions, (std::vector<double>{0.95, 0.05, 0.0}));

    const struct {
        std::vector<Cell> names, fractions;
        const char* message;
    } bad[] = {
        {Texts({"methane", "ethane"}), {Cell{1.0}}, "mole_fractions: 1 entries for 2 components"},
        {{Cell{std::string("methane")}, Cell{2.0}}, {Cell{0.5}, Cell{0.5}},
         "components[1]: expected a component name or CAS number, found the number 2"},
        {Texts({"methane", "ethane"}), Texts({"0,9", "0.1"}),
         "mole_fractions[0]: '0,9' is not a number (decimal commas are not read: write 0.9, not 0,9)"},
        {{Cell{}, Cell{std::string("ethane")}}, {Cell{0.9}, Cell{0.1}}, "components[0]: empty, beside the mole fraction 0.9"},
    };
    for (const auto& b : bad) EXPECT_EQ(ErrorOf([&] { ReadComposition(b.names, b.fractions); }), b.message);
}

TEST(CalculatorArguments, NumberArguments) {
    EXPECT_EQ(NumberArgument(Cell{15.5}, "temperature_C"), 15.5);
    EXPECT_EQ(NumberArgument(Cell{std::string(" 5000 ")}, "pressure_kPa"), 5000.0);
    EXPECT_EQ(ErrorOf([] { NumberArgument(Cell{}, "temperature_C"); }), "temperature_C: missing");
    EXPECT_EQ(ErrorOf([] { NumberArgument(Cell{std::string("50 bar")}, "pressure_kPa"); }),
              "pressure_kPa: expected a number, found '50 bar'");
}

TEST(CalculatorArguments, OptionsTextChoosesTheSettings) {
    const CalculatorOptions o = ParseOptions(" REF=25/0; flash=1 ;methane-origin=Non-Fossil; normalise=yes; molar-flow=1000");
    EXPECT_EQ(o.choices.ref, "25/0");
    EXPECT_TRUE(o.settings.flash);
    EXPECT_EQ(o.settings.methaneOriginOption, 1);
    EXPECT_EQ(o.settings.edition.combustionC, 25.0);
    EXPECT_EQ(o.settings.edition.meteringC, 0.0);
    EXPECT_TRUE(o.normalise);
    EXPECT_EQ(o.molarFlowKmolPerH, 1000.0);
    EXPECT_EQ(ParseOptions("ref-temp=0, flash=0").settings.refTempOption, 1);
    EXPECT_FALSE(ParseOptions("").settings.flash);
    EXPECT_EQ(ParseOptions("gerg-model=GERG2008-H2").settings.gergModelOption, 1);
    EXPECT_EQ(ParseOptions("").settings.gergModelOption, 0);

    const struct {
        const char* text;
        const char* message;
    } bad[] = {
        {"flash", "options: 'flash': expected name=value, as in \"ref=25/0; flash=1\""},
        {"falsh=1", "options: unknown option 'falsh' (expected ref, ref-temp, flash, methane-origin, gerg-model, "
                    "normalise or molar-flow)"},
        {"gerg-model=aga8", "options: GERG-2008 model 'aga8': expected gerg2008 or gerg2008-h2 (GERG-2008 with the "
                            "2021 hydrogen binaries)"},
        {"flash=2", "options: flash: expected 0 or 1, found '2'"},
        {"flash=1; flash=0", "options: flash given twice; give it once"},
        {"methane-origin=bio", "options: methane-origin: expected fossil or non-fossil, found 'bio'"},
        {"molar-flow=-1", "options: molar-flow: expected a molar flow in kmol/h, 0 or more, found '-1'"},
        {"ref-temp=5", "options: ref-temp: '5' is neither 15 nor 0"},
    };
    for (const auto& b : bad) EXPECT_EQ(ErrorOf([&] { ParseOptions(b.text); }), b.message);
    // The host's pair check, in the options' words.
    EXPECT_EQ(ErrorOf([] { ParseOptions("ref=30/0"); }).rfind("options: ref: '30/0'", 0), 0u)
        << ErrorOf([] { ParseOptions("ref=30/0"); });
}

TEST(CalculatorArguments, HostMessagesInTheOptionsWords) {
    EXPECT_EQ(InOptionWords("fractions sum to 0.9, not 1; use --normalise to scale them"),
              "fractions sum to 0.9, not 1; use normalise=1 to scale them");
    EXPECT_EQ(InOptionWords("--ref 25/0 applies to ...; HHV take --ref-temp (15 degC)"),
              "ref 25/0 applies to ...; HHV take ref-temp (15 degC)");
}

// ---- through the module ------------------------------------------------------------------

namespace fs = std::filesystem;

bool ModuleBuilt() {
    return fs::exists(platform::FileSystemPath(calorix::host::DefaultModulePath()));
}

// A pipeline gas, a CAS number among the names.
const Composition kGas = [] {
    Composition c;
    c.components = {"methane", "ethane", "propane", "isobutane", "n-butane", "isopentane", "n-pentane",
                    "n-hexane", "nitrogen", "124-38-9"};
    c.moleFractions = {0.895, 0.05, 0.02, 0.004, 0.005, 0.002, 0.0015, 0.0015, 0.01, 0.011};
    return c;
}();

// calorix-host --format json on the same fluid, run in-process; the document.
nlohmann::json HostJson(const Composition& c, double t, double p, const std::string& args) {
    nlohmann::json fluid = {{"temperature_C", t}, {"pressure_kPa", p}, {"mole_fractions", c.moleFractions}};
    for (const auto& n : c.components)
        fluid["components"].push_back(calorix::host::ParseCasNumber(n) ? nlohmann::json{{"cas", n}}
                                                                       : nlohmann::json{{"name", n}});
    const fs::path file = fs::temp_directory_path() /
                          ("calorix-calculator-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + ".json");
    std::ofstream(file) << fluid.dump();
    std::vector<std::string> words = {"calorix-host", "--format", "json", "--fluid", file.string()};
    std::istringstream more(args);
    for (std::string w; more >> w;) words.push_back(w);
    std::vector<const char*> argv;
    for (const auto& w : words) argv.push_back(w.c_str());
    std::ostringstream out, err;
    calorix::host::RunHostProgram(static_cast<int>(argv.size()), argv.data(), out, err);
    fs::remove(file);
    return nlohmann::json::parse(out.str());
}

TEST(Calculator, ValuesEqualTheCommandLinesBitForBit) {
    if (!ModuleBuilt()) GTEST_SKIP() << "the module is not built";
    const Calculator calculator;
    const struct {
        const char* word;
        double t, p;
        const char* options;
        const char* hostArgs;
    } cases[] = {
        {"HHV2016", 15.0, 5000.0, "ref=25/0", "--correlations HHV2016 --ref 25/0"},
        {"HHV", 15.0, 5000.0, "ref-temp=0", "--correlations HHV --ref-temp 0"},
        {"Calorix.WobbeIndex2016.1", 15.0, 5000.0, "", "--correlations WobbeIndex2016"},
        {"ZGERG2008", 20.0, 7000.0, "", "--correlations ZGERG2008"},
        {"CO2EAR6", 15.0, 5000.0, "methane-origin=non-fossil; molar-flow=1", "--correlations CO2EAR6 --methane-origin non-fossil"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.word);
        const auto host = HostJson(kGas, c.t, c.p, c.hostArgs)["correlations"][0]["phases"];
        const double value = calculator.Value(c.word, kGas, c.t, c.p, c.options);
        EXPECT_EQ(std::memcmp(&value, &host["overall"]["value"].get_ref<const double&>(), sizeof value), 0)
            << value << " vs " << host["overall"]["value"];
    }

    // A hydrogen blend under both GERG-2008 models: the calculator's gerg-model is the command
    // line's --gerg-model, and the 2021 hydrogen binaries move Z.
    Composition blend;
    blend.components = {"methane", "hydrogen", "nitrogen", "carbon dioxide"};
    blend.moleFractions = {0.75, 0.20, 0.03, 0.02};
    double z[2] = {};
    for (int model = 0; model < 2; ++model) {
        const std::string name = model == 0 ? "gerg2008" : "gerg2008-h2";
        SCOPED_TRACE(name);
        const auto hostZ = HostJson(blend, 10.0, 8000.0, "--correlations ZGERG2008 --gerg-model " + name)
            ["correlations"][0]["phases"]["overall"]["value"].get<double>();
        z[model] = calculator.Value("ZGERG2008", blend, 10.0, 8000.0, "gerg-model=" + name);
        EXPECT_EQ(z[model], hostZ);
    }
    EXPECT_NE(z[0], z[1]);

    // A wet rich gas flashed: each phase its own value, as calorix-host --flash gives them.
    Composition wet;
    wet.components = {"methane", "propane", "n-hexane", "n-octane", "water"};
    wet.moleFractions = {0.80, 0.08, 0.05, 0.04, 0.03};
    const auto host = HostJson(wet, 10.0, 3000.0, "--correlations HHV --flash")["correlations"][0]["phases"];
    const PhaseValueRow row = calculator.PhaseValues("HHV", wet, 10.0, 3000.0, "flash=1");
    for (std::size_t k = 0; k < kOutputColumns; ++k) {
        SCOPED_TRACE(kPhaseKey[k]);
        ASSERT_EQ(row[k].has_value(), host[kPhaseKey[k]].contains("value"));
        if (row[k]) {
            EXPECT_EQ(*row[k], host[kPhaseKey[k]]["value"].get<double>());
        }
    }
    EXPECT_TRUE(row[1] && row[2] && row[3] && !row[4]);
    const calorix::host::Fluid flashed = calculator.Flash(wet, 10.0, 3000.0, "");
    EXPECT_EQ(flashed.phases.size(), 3u);
}

TEST(Calculator, BadInputSaysTheFieldAndTheProblem) {
    if (!ModuleBuilt()) GTEST_SKIP() << "the module is not built";
    const Calculator calculator;
    Composition typo = kGas;
    typo.components[0] = "methan";
    Composition off = kGas;
    off.moleFractions[0] = 0.795;
    const struct {
        const char* word;
        const Composition* gas;
        double p;
        const char* options;
        const char* start;
    } cases[] = {
        {"HHV2016", &typo, 5000.0, "", "components[0]: unknown component 'methan' (did you mean 'methane'?)"},
        {"HHV2016", &off, 5000.0, "", "mole_fractions: fractions sum to 0.9, not 1; use normalise=1 to scale them"},
        {"HHV2016", &kGas, 1e9, "", "pressure_kPa: 1e+09 is 1e+09 kPa, above 1e+06 kPa"},
        {"HHV2016", &kGas, -5.0, "", "pressure_kPa: must be positive"},
        {"HHV", &kGas, 5000.0, "ref=25/0", "options: ref 25/0 applies to the ISO 6976:2016 classes only"},
        {"HVV", &kGas, 5000.0, "", "correlation: unknown correlation class 'HVV' (did you mean 'HHV'?)"},
        {"iso6976", &kGas, 5000.0, "", "correlation: 'iso6976' names 8 classes"},
    };
    for (const auto& c : cases) {
        const std::string message = ErrorOf([&] { calculator.Value(c.word, *c.gas, 15.0, c.p, c.options); });
        EXPECT_EQ(message.rfind(c.start, 0), 0u) << message;
        EXPECT_EQ(message.find('\n'), std::string::npos) << message;
    }
    // normalise=1 scales the composition the way --normalise does.
    EXPECT_NO_THROW(calculator.Value("HHV2016", off, 15.0, 5000.0, "normalise=1"));
    // A value missing for a reason is an error of Value, an empty place of PhaseValues.
    Composition wet;
    wet.components = {"methane", "n-octane"};
    wet.moleFractions = {0.9, 0.1};
    EXPECT_EQ(ErrorOf([&] { calculator.Value("ZGERG2008", wet, 0.0, 3000.0, "flash=1"); }).rfind("ZGERG2008: ", 0), 0u);
    const PhaseValueRow row = calculator.PhaseValues("ZGERG2008", wet, 0.0, 3000.0, "flash=1");
    EXPECT_FALSE(row[0]);
    EXPECT_TRUE(row[1]);
}

TEST(Calculator, CorrelationsListTheCatalogue) {
    if (!ModuleBuilt()) GTEST_SKIP() << "the module is not built";
    const auto rows = Calculator().Correlations();
    ASSERT_EQ(rows.size(), calorix::host::Catalogue().size());
    const auto hhv = std::find_if(rows.begin(), rows.end(), [](const CorrelationRow& r) { return r.word == "HHV2016"; });
    ASSERT_NE(hhv, rows.end());
    EXPECT_EQ(hhv->progId, "Calorix.HHV2016.1");
    EXPECT_EQ(hhv->unit, "MJ/m3");
    EXPECT_EQ(hhv->iso6976Edition, 2016);
    EXPECT_FALSE(hhv->displayName.empty());
}

}  // namespace
