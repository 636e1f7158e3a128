// calorix-host run as a process: bad input and its exit status (no module needed), and, when
// the module has been built, the output for the default gas and a fluid file, and registration.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>

#include <fmt/format.h>
#include <nlohmann/json.hpp>
#include <pugixml.hpp>

#include "host/cli/options.h"
#include "host/cli/report.h"
#include "host/fluid/fluid_json.h"
#include "host/manager/batch.h"
#include "host/manager/correlation_manager.h"
#include "host/manager/envelope.h"
#include "host/manager/fluid.h"
#include "platform/strings.h"
#include "tests/support/fake_host.h"

namespace {

using namespace calorix::host;

namespace fs = std::filesystem;

struct ProgramRun {
    int status = -1;
    std::string out, err;
};

std::string ReadAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

class HostProgram : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() /
                ("calorix-host-test-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(m_dir);
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(m_dir, ec);
    }

    std::string File(const std::string& name, const std::string& text) {
        const fs::path p = m_dir / name;
        std::ofstream(p, std::ios::binary) << text;
        return p.string();
    }

    // Runs the program with the arguments (already quoted where needed).
    ProgramRun Start(const std::string& args, const std::string& environment = "") {
        const fs::path out = m_dir / "stdout", err = m_dir / "stderr";
        const std::string command = environment + " '" CALORIX_HOST_PROGRAM "' " + args + " >'" + out.string() +
                                    "' 2>'" + err.string() + "'";
        const int raw = std::system(command.c_str());
        ProgramRun r;
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        r.out = ReadAll(out);
        r.err = ReadAll(err);
        return r;
    }

    static bool ModuleBuilt() { return fs::exists(CALORIX_MODULE_PATH); }
    static std::string ModuleArg() { return " --module '" CALORIX_MODULE_PATH "'"; }

    fs::path m_dir;
};

// The mistakes people make, each with its exit status and its one-line message. No module is
// needed: bad input is refused before the module is loaded.
TEST_F(HostProgram, BadInputGivesOneLineAndStatusTwo) {
    const std::string tp = R"("temperature_C": 15, "pressure_kPa": 5000, )";
    const std::string c1c2 = R"("components": [{"name": "methane"}, {"name": "ethane"}], )";
    struct Case {
        const char* name;
        std::string file;      // the fluid file's text, written to <name>.json; empty: none
        std::string args;      // after --fluid FILE when there is a file
        std::string message;   // after "calorix-host: " (and "<file>: " when there is a file)
    };
    const Case cases[] = {
        {"malformed", "{\"temperature_C\": 15,", "", "malformed JSON at line 1"},
        {"unknown", "{" + tp + R"("components": [{"name": "kryptonite"}], "mole_fractions": [1]})", "",
         "components[0]: unknown component 'kryptonite': give both cas and mw"},
        {"misspelt", "{" + tp + R"("components": [{"name": "nitorgen"}], "mole_fractions": [1]})", "",
         "components[0]: unknown component 'nitorgen' (did you mean 'nitrogen'?): give both cas and mw"},
        {"length", "{" + tp + c1c2 + R"("mole_fractions": [1]})", "", "mole_fractions: 1 entries for 2 components"},
        {"infinite", "{" + tp + c1c2 + R"("mole_fractions": [0.5, -1e400]})", "", "mole_fractions[1]: not a finite number"},
        {"percent", "{" + tp + c1c2 + R"("mole_fractions": [95, 5]})", "",
         "mole_fractions: fractions sum to 100, not 1; use --normalise to scale them"},
        {"duplicate", "{" + tp + R"("components": [{"name": "CO2"}, {"cas": "124-38-9"}], "mole_fractions": [0.5, 0.5]})",
         "", "components[1]: 'carbon dioxide' is the same component as components[0] (CAS 124-38-9); give it once"},
        {"conflict", "{" + tp + R"("components": [{"name": "ethane", "cas": "74-98-6"}], "mole_fractions": [1]})", "",
         "components[0]: name 'ethane' is ethane (CAS 74-84-0) but cas is 74-98-6; give one of them"},
        {"plus", "{" + tp + R"("components": [{"name": "C1"}, {"name": "C7+"}], "mole_fractions": [0.99, 0.01]})", "",
         "components[1].mw: missing: the plus fraction 'C7+' needs its molar mass"},
        {"units", R"({"temperature_C": 15, "pressure_barg": 50, )" + c1c2 + R"("mole_fractions": [0.9, 0.1]})", "",
         "pressure_barg: unknown unit; give the pressure as one of pressure_kPa, pressure_bar, pressure_MPa, pressure_psia"},
        {"twice", R"({"temperature_C": 15, "temperature_F": 59, "pressure_bar": 50, )" + c1c2 + R"("mole_fractions": [0.9, 0.1]})",
         "", "temperature_F: the temperature is given twice (temperature_C and temperature_F); give one"},
        {"missing", "", "", "cannot open the file"},
        {"option before register", "", "--flash register", "--flash does not apply to 'register'"},
        {"option after register", "", "register --format json", "The following argument was not expected: --format"},
        {"two modules", "", "register --module /a/Calorix.so /b/Calorix.so",
         "two modules given (/b/Calorix.so and --module /a/Calorix.so); give one"},
        {"batch as a table", "", "batch --fluid x.csv --format table", "--format: a batch is written as csv or json"},
        {"reference temperature", "", "--ref-temp 20", "--ref-temp: 20 not in {15,0}"},
        {"format", "", "--format xml", "--format: xml not in {table,json,csv}"},
        {"correlation", "", "--correlations 'HHV, wobbe-index'",
         "--correlations: unknown correlation class 'wobbe-index' (did you mean 'WobbleIndex'?)"},
        {"negative fraction", "{" + tp + c1c2 + R"("mole_fractions": [1.05, -0.05]})", "",
         "mole_fractions[1]: negative fraction -0.05; a mole fraction is 0 or more"},
        {"absurd pressure", R"({"temperature_C": 15, "pressure_bar": 1e308, )" + c1c2 + R"("mole_fractions": [0.9, 0.1]})",
         "", "pressure_bar: 1e+308 is inf kPa, above 1e+06 kPa: not a pressure of a gas process"},
        {"absurd temperature", R"({"temperature_F": 1e30, "pressure_bar": 50, )" + c1c2 + R"("mole_fractions": [0.9, 0.1]})",
         "", "temperature_F: 1e+30 is 5.55556e+29 degC, above 1000 degC"},
        {"delimiter", "", "batch --fluid x.csv --delimiter '|'", "--delimiter: | not in {,,;,tab}"},
        {"strict outside batch", "", "--strict", "The following argument was not expected: --strict"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string args = c.args, prefix = "calorix-host: ";
        if (!c.file.empty() || c.args.empty()) {
            const std::string path = c.file.empty() ? (m_dir / "missing.json").string() : File(std::string(c.name) + ".json", c.file);
            args = "--fluid '" + path + "' " + c.args;
            prefix += path + ": ";
        }
        const ProgramRun r = Start("--module /nonexistent/Calorix.so " + args);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.err.rfind(prefix + c.message, 0), 0u) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_TRUE(r.out.empty());
    }
}

TEST_F(HostProgram, WarningsGoToStandardErrorWithoutRefusing) {
    const std::string path = File("sum.json", R"({"temperature_C": 15, "pressure_kPa": 5000,
        "components": [{"name": "methane"}, {"name": "ethane"}], "mole_fractions": [0.9, 0.0995]})");
    // The module is missing, so the run fails after reading the fluid, with status 1.
    const ProgramRun r = Start("--fluid '" + path + "' --module /nonexistent/Calorix.so");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("warning: " + path + ": mole_fractions: fractions sum to 0.9995, not 1"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("cannot load /nonexistent/Calorix.so: 0x8007007E (module not found)"), std::string::npos) << r.err;
}

TEST_F(HostProgram, ListsVersionComponentsAndCorrelations) {
    ProgramRun r = Start("--version");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("calorix-host ", 0), 0u) << r.out;
    r = Start("components");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("74-82-8          16.0425    201  methane"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("7732-18-5"), std::string::npos);
    r = Start("correlations");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), static_cast<long>(Catalogue().size())) << r.out;
    EXPECT_NE(r.out.find("HCDewPt           Calorix.HCDewPt.1"), std::string::npos) << r.out;
    // --help-all, which the man page is made from: every command with the options only it takes.
    r = Start("--help-all");
    EXPECT_EQ(r.status, 0);
    for (const char* text : {"batch", "--strict", "--delimiter", "envelope", "--pressures", "--pressure-unit", "--points",
                             "--svg", "unregister", "MODULE", "components", "correlations"})
        EXPECT_NE(r.out.find(text), std::string::npos) << text << " missing from --help-all:\n" << r.out;
}

TEST_F(HostProgram, RegistrationOfAMissingModuleFails) {
    const ProgramRun r = Start("register /nonexistent/Calorix.so");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("cannot load /nonexistent/Calorix.so"), std::string::npos) << r.err;
}

// The value of a phase in the JSON output, or NaN when it has none.
double Value(const nlohmann::json& correlation, const char* phase) {
    const auto& p = correlation["phases"][phase];
    return p.contains("value") ? p["value"].get<double>() : std::nan("");
}

TEST_F(HostProgram, DefaultGasGivesTheEightIso6976Results) {
    if (!ModuleBuilt()) GTEST_SKIP() << "Calorix.so not built";
    ProgramRun r = Start("--format json" + ModuleArg());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.err.empty()) << r.err;
    const auto doc = nlohmann::json::parse(r.out);
    EXPECT_EQ(doc["reference_temperature_C"], 15.0);
    EXPECT_FALSE(doc["version"].get<std::string>().empty());
    const auto& list = doc["correlations"];
    ASSERT_EQ(list.size(), 8u);
    double hhv15 = 0.0;
    for (const auto& c : list) {
        SCOPED_TRACE(c["class"].get<std::string>());
        EXPECT_EQ(c["status"], "ok");
        EXPECT_GT(Value(c, "overall"), 0.0);
        EXPECT_EQ(Value(c, "overall"), Value(c, "vapour"));  // one vapour phase equal to the overall fluid
        for (const char* absent : {"hc_liquid", "aqueous", "phase3"}) EXPECT_EQ(c["phases"][absent]["status"], "absent");
        EXPECT_FALSE(c["unit"].get<std::string>().empty());
        if (c["class"] == "HHV") hhv15 = Value(c, "overall");
    }
    EXPECT_GT(hhv15, 38.0);
    EXPECT_LT(hhv15, 44.0);

    // At 0 degC a cubic metre holds more gas.
    r = Start("--format json --ref-temp 0 --correlations HHV" + ModuleArg());
    ASSERT_EQ(r.status, 0) << r.err;
    const double hhv0 = Value(nlohmann::json::parse(r.out)["correlations"][0], "overall");
    EXPECT_GT(hhv0, hhv15 * 1.04);
    EXPECT_LT(hhv0, hhv15 * 1.07);

    r = Start("--format csv" + ModuleArg());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 9);
    r = Start(ModuleArg());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("HHV Vol. Basis"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("methane            89.5000"), std::string::npos) << r.out;
}

TEST_F(HostProgram, FluidFileWithWaterPhase) {
    if (!ModuleBuilt()) GTEST_SKIP() << "Calorix.so not built";
    const ProgramRun r = Start("--format json --correlations HHV,Density --fluid '" CALORIX_HOST_TEST_DATA
                        "/wet_gas_two_phases.json'" + ModuleArg());
    ASSERT_EQ(r.status, 0) << r.err;
    const auto doc = nlohmann::json::parse(r.out);
    for (const auto& c : doc["correlations"]) {
        const auto& p = c["phases"];
        EXPECT_EQ(p["overall"]["status"], "ok");
        EXPECT_EQ(p["vapour"]["status"], "ok");
        EXPECT_EQ(p["hc_liquid"]["status"], "absent");
        EXPECT_EQ(p["aqueous"]["status"], "ok");
        EXPECT_EQ(p["phase3"]["status"], "absent");
    }
}

TEST_F(HostProgram, FlashOptionGivesTheFluidItsEquilibriumPhases) {
    if (!ModuleBuilt()) GTEST_SKIP() << "Calorix.so not built";
    // The rich wet gas below its dew points: vapour, hydrocarbon liquid and water.
    const std::string path = File("rich.json", R"({"temperature_C": 10, "pressure_kPa": 3000,
        "components": [{"name": "methane"}, {"name": "propane"}, {"name": "n-hexane"}, {"name": "n-octane"},
                       {"name": "water"}],
        "mole_fractions": [0.80, 0.08, 0.05, 0.04, 0.03]})");
    ProgramRun r = Start("--flash --format json --correlations HHV --fluid '" + path + "'" + ModuleArg());
    ASSERT_EQ(r.status, 0) << r.err;
    const auto doc = nlohmann::json::parse(r.out);
    EXPECT_EQ(doc["flash"], "ok");
    EXPECT_EQ(doc["fluid"]["phases"].size(), 3u);
    const auto& c = doc["correlations"][0];
    for (const char* phase : {"overall", "vapour", "hc_liquid", "aqueous"}) EXPECT_EQ(c["phases"][phase]["status"], "ok") << phase;
    EXPECT_GT(Value(c, "hc_liquid"), Value(c, "vapour"));  // the liquid of heavy ends burns richer
    EXPECT_LT(Value(c, "aqueous"), 2.1);                   // nearly pure water (1.88 MJ/m3 ideal)

    // The table shows the phase fractions and each phase's composition.
    r = Start("--flash --correlations HHV --fluid '" + path + "'" + ModuleArg());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("phase fraction"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("HC liquid"), std::string::npos) << r.out;

    // Without --flash the same fluid is one vapour phase, and a warning says so.
    r = Start("--correlations HHV --fluid '" + path + "'" + ModuleArg());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("warning: " + path + ": the fluid splits into phases at 10.00 degC and 3000.0 kPa"),
              std::string::npos)
        << r.err;
}

// Lines of CSV output: each with as many cells as the header (quotes respected).
std::size_t CsvCells(const std::string& line) {
    std::size_t cells = 1;
    bool quoted = false;
    for (char c : line) {
        if (c == '"') quoted = !quoted;
        if (c == ',' && !quoted) ++cells;
    }
    return cells;
}

void ExpectRectangularCsv(const std::string& text, std::size_t rows) {
    std::istringstream in(text);
    std::string header, line;
    ASSERT_TRUE(std::getline(in, header)) << text;
    std::size_t n = 0;
    while (std::getline(in, line)) {
        EXPECT_EQ(CsvCells(line), CsvCells(header)) << line;
        ++n;
    }
    if (rows) {
        EXPECT_EQ(n, rows) << text;
    }
    EXPECT_EQ(text.find('\r'), std::string::npos);
}

TEST_F(HostProgram, BatchGivesOneRowPerFluidAndCorrelationInInputOrder) {
    if (!ModuleBuilt()) GTEST_SKIP() << "Calorix.so not built";
    std::string csv = "id,temperature_C,pressure_bar,methane,ethane,propane,n-hexane,water\n";
    for (int i = 0; i < 24; ++i)
        csv += fmt::format("f{},{},{},0.85,0.07,0.05,{},{}\n", i, 5 + i, 30 + 2 * i, i % 2 ? 0.02 : 0.029,
                           i % 2 ? 0.01 : 0.001);
    const std::string path = File("fluids.csv", csv);
    ProgramRun r = Start("batch --flash --correlations HHV,HCDewPt --fluid '" + path + "'" + ModuleArg());
    ASSERT_EQ(r.status, 0) << r.err;
    ExpectRectangularCsv(r.out, 48);
    std::istringstream lines(r.out);
    std::string line;
    std::getline(lines, line);
    for (int i = 0; i < 24; ++i) {
        for (const char* word : {",HHV,", ",HCDewPt,"}) {
            ASSERT_TRUE(std::getline(lines, line));
            EXPECT_EQ(line.rfind(fmt::format("{},f{}{}", i + 1, i, word), 0), 0u) << line;
        }
    }
    // Threads finish in any order; the output does not change.
    EXPECT_EQ(Start("batch --flash --correlations HHV,HCDewPt --fluid '" + path + "'" + ModuleArg()).out, r.out);
    const ProgramRun json = Start("batch --format json --correlations HHV --fluid '" + path + "'" + ModuleArg());
    ASSERT_EQ(json.status, 0) << json.err;
    const auto doc = nlohmann::json::parse(json.out);
    ASSERT_EQ(doc["fluids"].size(), 24u);
    EXPECT_EQ(doc["fluids"][23]["fluid"]["id"], "f23");
    EXPECT_EQ(doc["fluids"][23]["correlations"][0]["status"], "ok");
}

// A bad row in the middle: an error row with its line, its id and reason, the others computed,
// exit status 2 and the count on standard error; --strict refuses the whole batch. Separators
// and decimal commas of another locale are explained.
TEST_F(HostProgram, BatchGoesOnPastBadRowsUnlessStrict) {
    if (!ModuleBuilt()) GTEST_SKIP() << "Calorix.so not built";
    const std::string csv = File("mixed.csv", "id,temperature_C,pressure_bar,methane,ethane\n"
                                              "a,15,50,0.9,0.1\n"
                                              "b,15,50,1.1,-0.1\n"
                                              "c,15,1e308,0.9,0.1\n"
                                              "d,15,50,0.9\n"
                                              "e,15,50,0.8,0.2\n");
    ProgramRun r = Start("batch --correlations HHV --fluid '" + csv + "'" + ModuleArg());
    EXPECT_EQ(r.status, 2) << r.err;
    ExpectRectangularCsv(r.out, 5);
    EXPECT_NE(r.out.find("\n1,a,HHV,"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\n2,b,,,,,input error: " + csv + ":3: mole_fractions[1]: negative fraction"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("\n3,c,,,,,\"input error: " + csv + ":4: pressure_bar: 1e+308 is inf kPa"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("\n4,d,,,,,input error: " + csv + ":5: 4 cells for 5 columns"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\n5,e,HHV,"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("calorix-host: 3 of 5 fluids refused (bad input; see the error rows)"), std::string::npos) << r.err;

    r = Start("batch --strict --correlations HHV --fluid '" + csv + "'" + ModuleArg());
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(r.out.empty()) << r.out;
    EXPECT_EQ(r.err, "calorix-host: " + csv + ":3: mole_fractions[1]: negative fraction -0.1; a mole fraction is 0 or more\n");

    const std::string json = File("mixed.json", R"([{"temperature_C": 15, "pressure_kPa": 5000, "components": [{"name": "methane"}], "mole_fractions": [1]},
        {"temperature_C": 15,, "x": 1},
        {"temperature_C": 15, "pressure_kPa": 5000, "components": [{"name": "n-decane"}], "mole_fractions": [1]},
        {"id": "no pressure", "temperature_C": 15, "components": [{"name": "methane"}], "mole_fractions": [1]}])");
    r = Start("batch --format json --correlations HHV --fluid '" + json + "'" + ModuleArg());
    EXPECT_EQ(r.status, 2) << r.err;
    const auto doc = nlohmann::json::parse(r.out);
    ASSERT_EQ(doc["fluids"].size(), 4u);
    EXPECT_EQ(doc["fluids"][1]["input_error"].get<std::string>().rfind(json + "[1]: malformed JSON", 0), 0u) << r.out;
    EXPECT_FALSE(doc["fluids"][1].contains("id")) << r.out;
    EXPECT_EQ(doc["fluids"][2]["correlations"][0]["status"], "ok");
    EXPECT_EQ(doc["fluids"][3]["id"], "no pressure") << r.out;
    EXPECT_EQ(doc["fluids"][3]["input_error"].get<std::string>().rfind(json + "[3]: pressure_kPa: missing", 0), 0u) << r.out;
    // Pure n-decane is no gas at 15 degC: ISO 6976 values come with a warning.
    EXPECT_NE(r.err.find("warning: " + json + "[2]: compression factor"), std::string::npos) << r.err;

    struct Locale {
        const char* text;
        const char* args;
        const char* message;
    };
    const Locale locales[] = {
        {"id;temperature_C;pressure_bar;methane\na;15;50;1\n", "", ":1: the header has no ',' separators but ';' ones; give --delimiter ';'"},
        {"id;temperature_C;pressure_bar;methane;ethane\na;15;50;0,9;0,1\n", "--delimiter ';'",
         ":2: methane: '0,9' is not a finite number (decimal commas are not read: write 0.9, not 0,9)"},
        {"id,temperature_C,pressure_bar,methane,ethane\na,15,50,0,9,0,1\n", "",
         ":2: 7 cells for 5 columns of the header (decimal commas, 0,9, are not read: write 0.9)"},
    };
    for (const auto& l : locales) {
        SCOPED_TRACE(l.text);
        const std::string path = File("locale.csv", l.text);
        r = Start("batch --correlations HHV " + std::string(l.args) + " --fluid '" + path + "'" + ModuleArg());
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find(path + l.message), std::string::npos) << r.err;
    }
    const std::string tabs = File("tabs.csv", "id\ttemperature_C\tpressure_bar\tmethane\na\t15\t50\t1\n");
    r = Start("batch --correlations HHV --delimiter tab --fluid '" + tabs + "'" + ModuleArg());
    EXPECT_EQ(r.status, 0) << r.err;
    ExpectRectangularCsv(r.out, 1);
}

// Fractions rounded to six decimals warn on every row; the batch shows the first few and then
// says how many more there were and where, instead of one line per row.
TEST_F(HostProgram, BatchSummarisesAWarningThatRepeats) {
    if (!ModuleBuilt()) GTEST_SKIP() << "Calorix.so not built";
    std::string csv = "id,temperature_C,pressure_bar,methane,ethane,propane\n";
    for (int i = 0; i < 20; ++i) csv += fmt::format("g{},15,10,0.9,0.05,0.049998\n", i);
    const ProgramRun r = Start("batch --correlations HHV --fluid '" + File("rounded.csv", csv) + "'" + ModuleArg());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 4) << r.err;
    EXPECT_NE(r.err.find("fractions sum to 0.999998, not 1"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("(and 17 more such warnings, fluids 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, ...)"),
              std::string::npos)
        << r.err;
}

TEST_F(HostProgram, WobbeIndexIsTakenForThe1995Class) {
    if (!ModuleBuilt()) GTEST_SKIP() << "Calorix.so not built";
    const ProgramRun r = Start("--format csv --correlations WobbeIndex" + ModuleArg());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\n1,,WobbleIndex,"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("note: --correlations: 'WobbeIndex' taken as the class WobbleIndex"), std::string::npos) << r.err;
}

// A line-condition value that does not exist says why: the component outside the 21, the
// state outside the model's range with the limit it passes; a value beyond the model's normal
// range says so beside "ok", in the CSV, the JSON and the table.
TEST_F(HostProgram, LineConditionsSayWhyAValueIsMissingOrWhereItLies) {
    if (!ModuleBuilt()) GTEST_SKIP() << "Calorix.so not built";
    struct Case {
        const char* fluid;
        const char* gerg;    // status of ZGERG2008
        const char* detail;  // status of ZDetail
    };
    const Case cases[] = {
        {R"({"temperature_C": 15, "pressure_bar": 50, "components": [{"name": "methane"}, {"name": "neopentane"}],
             "mole_fractions": [0.99, 0.01]})",
         "not computed: neopentane (463-82-1) is not one of the model's 21 components",
         "not computed: neopentane (463-82-1) is not one of the model's 21 components"},
        {R"({"temperature_C": 500, "pressure_bar": 50, "components": [{"name": "methane"}, {"name": "ethane"}],
             "mole_fractions": [0.99, 0.01]})",
         "not computed: outside the model's range: T 773.15 K above 700.00 K",
         "not computed: outside the model's range: T 773.15 K above 673.00 K"},
        {R"({"temperature_C": 15, "pressure_bar": 50, "components": [{"name": "methane"}, {"name": "hydrogen"}],
             "mole_fractions": [0.8, 0.2]})",
         "ok", "ok (extended range: hydrogen 20 % above 10 %)"},
        {R"({"temperature_C": 15, "pressure_bar": 20, "components": [{"name": "methane"}, {"name": "propane"}],
             "mole_fractions": [0.85, 0.15]})",
         "ok", "not computed: outside the model's range: propane 15 % above 12 %"},
        {R"({"temperature_C": 200, "pressure_bar": 50, "components": [{"name": "methane"}],
             "mole_fractions": [1]})",
         "ok (extended range: T 473.15 K above 450.00 K)", "ok (extended range: T 473.15 K above 335.15 K)"},
    };
    for (const Case& c : cases) {
        const std::string fluid = File("line.json", c.fluid);
        const ProgramRun r = Start("--format csv --correlations ZGERG2008,ZDetail --fluid '" + fluid + "'" + ModuleArg());
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.out.find(std::string("ZGERG2008,Compressibility Factor (GERG-2008),50,-,") + c.gerg + ","),
                  std::string::npos)
            << r.out;
        EXPECT_NE(r.out.find(std::string(",50,-,") + c.detail + ","), std::string::npos) << r.out;
        const ProgramRun json = Start("--format json --correlations ZDetail --fluid '" + fluid + "'" + ModuleArg());
        EXPECT_NE(json.out.find(std::string("\"status\": \"") + c.detail + "\""), std::string::npos) << json.out;
    }
    const ProgramRun table = Start("--correlations ZDetail --fluid '" + File("line.json", cases[2].fluid) + "'" +
                                   ModuleArg());
    EXPECT_NE(table.out.find("Overall: ok (extended range: hydrogen 20 % above 10 %)"), std::string::npos) << table.out;
}

// Nitrogen with water has a water dew point but no hydrocarbon one: the module says why, rather
// than giving the nitrogen's dew point as the hydrocarbons'.
TEST_F(HostProgram, FluidWithoutHydrocarbonsHasNoHydrocarbonDewPoint) {
    if (!ModuleBuilt()) GTEST_SKIP() << "Calorix.so not built";
    const std::string fluid = File("nitrogen.json", R"({"temperature_C": 15, "pressure_bar": 50,
        "components": [{"name": "nitrogen"}, {"name": "water"}], "mole_fractions": [0.999, 0.001]})");
    const ProgramRun r = Start("--format csv --correlations HCDewPt,WaterDewPt --fluid '" + fluid + "'" + ModuleArg());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("HCDewPt,HC Dew Point,1,degC,not computed: no hydrocarbons in the fluid,,"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("WaterDewPt,Water Dew Point,1,degC,ok,"), std::string::npos) << r.out;
}

// --gerg-model selects the equation of the GERG-2008 classes, and each of their records names it;
// DETAIL has no such choice and no model in its record. An unknown model is refused.
TEST_F(HostProgram, GergModelIsChosenAndNamedInEveryRecord) {
    if (!ModuleBuilt()) GTEST_SKIP() << "Calorix.so not built";
    const std::string fluid = File("blend.json", R"({"temperature_C": 15, "pressure_bar": 80,
        "components": [{"name": "methane"}, {"name": "nitrogen"}, {"name": "hydrogen"}],
        "mole_fractions": [0.7, 0.1, 0.2]})");
    const auto run = [&](const std::string& model) {
        const ProgramRun r = Start("--format json --correlations ZGERG2008,ZDetail" + model + " --fluid '" + fluid +
                                   "'" + ModuleArg());
        EXPECT_EQ(r.status, 0) << r.err;
        return nlohmann::json::parse(r.out)["correlations"];
    };
    const auto published = run("");
    const auto hydrogen = run(" --gerg-model gerg2008-h2");
    EXPECT_EQ(published[0]["model"], "GERG-2008");
    EXPECT_EQ(hydrogen[0]["model"], "GERG-2008 with the 2021 hydrogen binaries");
    EXPECT_FALSE(hydrogen[1].contains("model"));
    EXPECT_NE(Value(published[0], "overall"), Value(hydrogen[0], "overall"));
    EXPECT_EQ(Value(published[1], "overall"), Value(hydrogen[1], "overall"));
    EXPECT_EQ(run(" --gerg-model gerg2008")[0]["model"], "GERG-2008");

    const ProgramRun table = Start("--correlations ZGERG2008 --gerg-model gerg2008-h2 --fluid '" + fluid + "'" +
                                   ModuleArg());
    EXPECT_NE(table.out.find("Line conditions: GERG-2008 with the 2021 hydrogen binaries\n"), std::string::npos)
        << table.out;
    const ProgramRun bad = Start("--gerg-model gerg2004 --fluid '" + fluid + "'" + ModuleArg());
    EXPECT_NE(bad.status, 0);
    EXPECT_NE(bad.err.find("--gerg-model"), std::string::npos) << bad.err;
}

TEST_F(HostProgram, EnvelopeDrawsBothCurves) {
    if (!ModuleBuilt()) GTEST_SKIP() << "Calorix.so not built";
    const std::string fluid = File("wet.json", R"({"temperature_C": 10, "pressure_bar": 50,
        "components": [{"name": "nitrogen"}, {"name": "methane"}, {"name": "ethane"}, {"name": "propane"},
                       {"name": "n-butane"}, {"name": "n-hexane"}, {"name": "water"}],
        "mole_percent": [1.0, 89.4, 5.0, 2.5, 1.0, 1.0, 0.1]})");
    const std::string svg = (m_dir / "dew.svg").string();
    const ProgramRun r = Start("envelope --pressure-unit bar --pressures 1,150 --points 8 --svg '" + svg +
                               "' --fluid '" + fluid + "'" + ModuleArg());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Cricondenbar: "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Cricondentherm: "), std::string::npos) << r.out;

    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_file(svg.c_str())) << ReadAll(svg);
    for (const char* id : {"hc-dew-point", "water-dew-point"}) {
        const auto curve = doc.select_node(fmt::format("//*[@id='{}']", id).c_str()).node();
        ASSERT_TRUE(curve) << id;
        const std::string points = curve.attribute("points").as_string();
        EXPECT_GE(std::count(points.begin(), points.end(), ' '), 3) << id << ": " << points;
    }
    EXPECT_TRUE(doc.select_node("//*[@id='fluid']").node());
    // Every mark inside the axes, with its values beside it; the title names the fluid.
    const auto axes = doc.select_node("//*[local-name()='rect'][@fill='none']").node();
    ASSERT_TRUE(axes);
    const double left = axes.attribute("x").as_double(), top = axes.attribute("y").as_double();
    const double right = left + axes.attribute("width").as_double(), bottom = top + axes.attribute("height").as_double();
    for (const char* id : {"cricondenbar", "cricondentherm"}) {
        const auto mark = doc.select_node(fmt::format("//*[@id='{}']", id).c_str()).node();
        ASSERT_TRUE(mark) << id;
        EXPECT_GE(mark.attribute("cx").as_double(), left) << id;
        EXPECT_LE(mark.attribute("cx").as_double(), right) << id;
        EXPECT_GE(mark.attribute("cy").as_double(), top) << id;
        EXPECT_LE(mark.attribute("cy").as_double(), bottom) << id;
        const std::string label = mark.next_sibling().child_value();
        EXPECT_TRUE(std::regex_search(label, std::regex(std::string(id) + R"( \(-?[0-9.]+ °C, [0-9.]+ bar\))"))) << label;
    }
    EXPECT_NE(ReadAll(svg).find("Dew-point curves of wet</text>"), std::string::npos);
    EXPECT_NE(ReadAll(svg).find("Temperature (°C)"), std::string::npos);
    EXPECT_NE(ReadAll(svg).find("Pressure (bar, absolute)"), std::string::npos);
    // The drawing renders.
    if (std::system("command -v rsvg-convert >/dev/null 2>&1") != 0) GTEST_SKIP() << "rsvg-convert not installed";
    const std::string png = (m_dir / "dew.png").string();
    ASSERT_EQ(std::system(("rsvg-convert '" + svg + "' -o '" + png + "'").c_str()), 0);
    EXPECT_EQ(ReadAll(png).substr(1, 3), "PNG");
}

// The labels of the cricondenbar and the cricondentherm keep clear of the fluid's cross wherever
// the fluid lies beside them (above, below, to the right or left of the label's usual place),
// and of each other, and stay within the axes. A label's box is taken at 0.6 em per character,
// 0.8 em above its baseline and 0.25 em below.
TEST(EnvelopePlot, LabelsKeepClearOfTheFluidsMark) {
    DewPointEnvelope env;
    for (const auto& [p, t] : std::vector<std::pair<double, double>>{
             {1000, -20}, {3000, 0}, {5000, 8}, {7000, 5}, {9000, -10}})
        env.points.push_back({p, t, std::nullopt});
    env.cricondentherm = EnvelopePoint{5000, 8.0, std::nullopt};
    env.cricondenbar = EnvelopePoint{9400, -14.0, std::nullopt};
    struct Box {
        double left, top, right, bottom;
    };
    auto overlap = [](const Box& a, const Box& b) {
        return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
    };
    // The fluid where each label would go first (its right, just above or below its mark), and a
    // little left of the cricondentherm.
    const std::pair<double, double> fluids[] = {{12, 5200}, {16, 5150}, {12, 4800}, {2, 5200},
                                                {-8, 9600}, {-10, 9250}, {8.5, 5000}};
    for (const auto& [t, p] : fluids) {
        SCOPED_TRACE(fmt::format("fluid at {} degC, {} kPa", t, p));
        Fluid fluid;
        fluid.temperatureC = t;
        fluid.pressureKPa = p;
        pugi::xml_document doc;
        ASSERT_TRUE(doc.load_string(EnvelopeSvg(env, fluid, "gas", "°C", "kPa", 1.0).c_str()));
        const auto axesNode = doc.select_node("//*[local-name()='rect'][@fill='none']").node();
        const Box axes{axesNode.attribute("x").as_double(), axesNode.attribute("y").as_double(),
                       axesNode.attribute("x").as_double() + axesNode.attribute("width").as_double(),
                       axesNode.attribute("y").as_double() + axesNode.attribute("height").as_double()};
        double fx = 0, fy = 0;
        ASSERT_EQ(std::sscanf(doc.select_node("//*[@id='fluid']").node().attribute("d").as_string(), "M %lf %lf", &fx,
                              &fy),
                  2);
        const Box cross{fx - 6, fy - 6, fx + 6, fy + 6};
        std::vector<Box> labels;
        for (const char* id : {"cricondenbar", "cricondentherm"}) {
            const auto mark = doc.select_node(fmt::format("//*[@id='{}']", id).c_str()).node();
            ASSERT_TRUE(mark) << id;
            const auto text = mark.next_sibling();
            const std::string label = text.child_value();
            std::size_t characters = 0;
            for (unsigned char c : label) characters += (c & 0xC0) != 0x80 ? 1 : 0;
            const double size = text.attribute("font-size").as_double(), width = 0.6 * size * characters;
            const double x = text.attribute("x").as_double(), baseline = text.attribute("y").as_double();
            const bool end = std::string(text.attribute("text-anchor").as_string()) == "end";
            const Box box{end ? x - width : x, baseline - 0.8 * size, end ? x : x + width, baseline + 0.25 * size};
            EXPECT_FALSE(overlap(box, cross)) << id << ": " << label;
            EXPECT_TRUE(box.left >= axes.left && box.right <= axes.right && box.top >= axes.top &&
                        box.bottom <= axes.bottom)
                << id;
            for (const Box& other : labels) EXPECT_FALSE(overlap(box, other)) << id;
            labels.push_back(box);
        }
    }
}

// A plot that cannot be written is refused before any work is done.
TEST_F(HostProgram, EnvelopeIntoAFolderThatDoesNotExistIsABadCommandLine) {
    const ProgramRun r = Start("envelope --svg '" + (m_dir / "missing" / "dew.svg").string() + "'" + ModuleArg());
    EXPECT_EQ(r.status, 2) << r.err;
    EXPECT_NE(r.err.find("--svg: "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("no such folder"), std::string::npos) << r.err;
}

// Without any dew point in the range there is nothing to draw: an error says why, and no file.
TEST_F(HostProgram, EnvelopeWithoutDewPointWritesNoPlot) {
    if (!ModuleBuilt()) GTEST_SKIP() << "Calorix.so not built";
    // Methane above its critical pressure.
    const std::string fluid = File("methane.json", R"({"temperature_C": 10, "pressure_bar": 50,
        "components": [{"name": "methane"}], "mole_fractions": [1]})");
    const std::string svg = (m_dir / "none.svg").string();
    const ProgramRun r = Start("envelope --pressure-unit bar --pressures 60,80 --points 3 --svg '" + svg + "' --fluid '" +
                               fluid + "'" + ModuleArg());
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("no dew point found at any pressure from 60 to 80 bar"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("; no plot written"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(svg));
}

// Every ./run.sh command of the README, run with the built program on the README's own
// files, gives output that parses (JSON or CSV) and exit status 0.
TEST_F(HostProgram, ReadmeCommandsGiveOutputThatParses) {
    if (!ModuleBuilt()) GTEST_SKIP() << "Calorix.so not built";
    std::istringstream readme(ReadAll(CALORIX_SOURCE_DIR "/README.md"));
    std::string line, pendingFile, block, blockFile, language;
    std::vector<std::string> commands;
    bool inBlock = false;
    const std::regex fileName("`([A-Za-z0-9_-]+\\.(json|csv))`");
    while (std::getline(readme, line)) {
        if (line.rfind("```", 0) == 0) {
            if (!inBlock) {
                language = line.substr(3);
                blockFile = pendingFile.size() > language.size() &&
                                    pendingFile.compare(pendingFile.size() - language.size(), language.size(), language) == 0
                                ? pendingFile
                                : "";
                block.clear();
            } else {
                if (!blockFile.empty()) File(blockFile, block);
                pendingFile.clear();
            }
            inBlock = !inBlock;
            continue;
        }
        if (inBlock) {
            block += line + "\n";
            if (language == "sh" && line.rfind("./run.sh ", 0) == 0) commands.push_back(line.substr(9, line.find(" #") - 9));
            continue;
        }
        std::smatch m;
        for (auto it = line.cbegin(); std::regex_search(it, line.cend(), m, fileName); it = m.suffix().first)
            pendingFile = m[1];
    }
    ASSERT_GE(commands.size(), 6u);
    for (std::string command : commands) {
        SCOPED_TRACE(command);
        std::string redirect;
        if (const auto gt = command.find(" > "); gt != std::string::npos) {
            redirect = command.substr(gt + 3);
            command = command.substr(0, gt);
        }
        const ProgramRun r = Start("--module '" CALORIX_MODULE_PATH "' " + command, "cd '" + m_dir.string() + "' &&");
        ASSERT_EQ(r.status, 0) << r.err;
        const std::string out = r.out;
        if (command.find("--format json") != std::string::npos)
            EXPECT_TRUE(nlohmann::json::accept(out)) << out;
        else if (command.find("--format csv") != std::string::npos || command.rfind("batch", 0) == 0)
            ExpectRectangularCsv(out, 0);
        else
            EXPECT_FALSE(out.empty());
    }
}

TEST_F(HostProgram, Edition2016RunsItsEightClassesAtTheChosenPair) {
    if (!ModuleBuilt()) GTEST_SKIP() << "Calorix.so not built";
    ProgramRun r = Start("--edition 2016 --ref 25/0 --format json" + ModuleArg());
    ASSERT_EQ(r.status, 0) << r.err;
    const auto doc = nlohmann::json::parse(r.out);
    EXPECT_EQ(doc["iso6976_edition"], 2016);
    EXPECT_EQ(doc["combustion_temperature_C"], 25.0);
    EXPECT_EQ(doc["reference_temperature_C"], 0.0);
    ASSERT_EQ(doc["correlations"].size(), 8u);
    double hhv25_0 = 0.0;
    for (const auto& c : doc["correlations"]) {
        EXPECT_EQ(c["status"], "ok");
        EXPECT_NE(c["class"].get<std::string>().find("2016"), std::string::npos);
        if (c["class"] == "HHV2016") hhv25_0 = Value(c, "overall");
    }
    r = Start("--edition 2016 --format json --correlations HHV2016" + ModuleArg());  // 15/15 by default
    ASSERT_EQ(r.status, 0) << r.err;
    const double hhv15_15 = Value(nlohmann::json::parse(r.out)["correlations"][0], "overall");
    EXPECT_GT(hhv25_0, hhv15_15 * 1.04);  // mostly the denser cubic metre at 0 degC

    r = Start("--edition 2016 --ref 15.55/15.55" + ModuleArg());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("ISO 6976:2016 reference combustion 15.55 degC, metering 15.55 degC"), std::string::npos)
        << r.out;
    r = Start(ModuleArg());
    EXPECT_NE(r.out.find("ISO 6976:1995 reference 15 degC"), std::string::npos) << r.out;

    // A 1995 class named under --edition 2016 --ref: computed at --ref-temp, labelled so, with a warning.
    r = Start("--edition 2016 --ref 25/0 --format csv --correlations HHV,HHV2016" + ModuleArg());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find(",15,1995,15,"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(",0,2016,25,"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("warning: --ref 25/0 applies to the ISO 6976:2016 classes only; HHV (ISO 6976:1995) take "
                         "--ref-temp (15 degC)"),
              std::string::npos)
        << r.err;
    r = Start("--ref-temp 0 --correlations HHV2016 --format json" + ModuleArg());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(nlohmann::json::parse(r.out)["correlations"][0]["iso6976_edition"], 2016);
    EXPECT_EQ(nlohmann::json::parse(r.out)["correlations"][0]["reference_temperature_C"], 15.0);
    EXPECT_NE(r.err.find("warning: --ref-temp 0 applies to the ISO 6976:1995 classes only; HHV2016 (ISO 6976:2016) "
                         "take --ref (15/15 degC)"),
              std::string::npos)
        << r.err;

    for (const char* bad : {"--edition 2016 --ref 25/25", "--edition 2016 --ref 25", "--edition 2000"}) {
        r = Start(std::string(bad) + ModuleArg());
        EXPECT_EQ(r.status, 2) << bad;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }
}

// US conventions: water content in lb/MMscf, per cubic foot at 60 degF (the module asked for its
// 60 degF basis), speed of sound in ft/s, flow in lbmol/h, and the 2016 classes at 60 degF /
// 60 degF unless a pair is given, which the records and the header say.
TEST_F(HostProgram, UsUnitsTakeTheUsReferenceConditions) {
    if (!ModuleBuilt()) GTEST_SKIP() << "Calorix.so not built";
    const std::string fluid = File("gas.json", R"({"temperature_C": 15, "pressure_bar": 50, "molar_flow_kmol_h": 1000,
        "components": [{"name": "methane"}, {"name": "ethane"}, {"name": "nitrogen"}, {"name": "water"}],
        "mole_fractions": [0.9, 0.06, 0.0395, 0.0005]})");
    const std::string args = " --fluid '" + fluid + "'" + ModuleArg();
    auto records = [&](const std::string& options) {
        const ProgramRun r = Start("--format json --correlations HHV2016,WaterContentMg,SoundSpeedGERG2008 " + options + args);
        EXPECT_EQ(r.status, 0) << r.err;
        const auto doc = nlohmann::json::parse(r.out);
        std::map<std::string, nlohmann::json> byClass;
        for (const auto& c : doc["correlations"]) byClass[c["class"].get<std::string>()] = c;
        return byClass;
    };
    auto si = records("--ref 15.55/15.55");
    auto us = records("--output-units us");
    // The module's standard molar volumes: 23.644436 m3/kmol at 15 degC, 23.6900231 at 60 degF;
    // 1 lb/MMscf is 16.018463373960138 mg/m3.
    EXPECT_EQ(us["WaterContentMg"]["unit"], "lb/MMscf");
    const double water = Value(si["WaterContentMg"], "overall") * 23.644436 / 23.6900231 / 16.018463373960138;
    EXPECT_NEAR(Value(us["WaterContentMg"], "overall"), water, 1e-12 * water);
    EXPECT_EQ(us["SoundSpeedGERG2008"]["unit"], "ft/s");
    const double sound = Value(si["SoundSpeedGERG2008"], "overall") / 0.3048;
    EXPECT_NEAR(Value(us["SoundSpeedGERG2008"], "overall"), sound, 1e-12 * sound);
    for (const char* key : {"reference_temperature_C", "combustion_temperature_C"})
        EXPECT_EQ(us["HHV2016"][key], 15.55) << key;
    const double hhv = Value(si["HHV2016"], "overall") * 1e6 * 0.3048 * 0.3048 * 0.3048 / 1055.05585262;
    EXPECT_NEAR(Value(us["HHV2016"], "overall"), hhv, 1e-12 * hhv);
    // A pair given is the pair used.
    us = records("--output-units us --ref 15/0");
    EXPECT_EQ(us["HHV2016"]["combustion_temperature_C"], 15.0);
    EXPECT_EQ(us["HHV2016"]["reference_temperature_C"], 0.0);
    const ProgramRun table = Start("--output-units us --correlations HHV2016,WaterContentMg" + args);
    ASSERT_EQ(table.status, 0) << table.err;
    for (const char* text : {"ISO 6976:2016 reference combustion 15.55 degC, metering 15.55 degC",
                             "Fluid: 59.00 degF, 725.2 psia, 2204.623 lbmol/h", "lb/MMscf", "Btu/ft3"})
        EXPECT_NE(table.out.find(text), std::string::npos) << text << "\n" << table.out;
}

// In-process, the way a simulator drives the module: every reference and every array the host
// hands to a correlation comes back.
TEST(CorrelationManager, EveryReferenceAndArrayComesBack) {
    if (!std::filesystem::exists(CALORIX_MODULE_PATH)) GTEST_SKIP() << "Calorix.so not built";
    CorrelationManager manager;
    EXPECT_FALSE(SUCCEEDED(manager.Load("/nonexistent/Calorix.so")));
    ASSERT_EQ(manager.Load(CALORIX_MODULE_PATH), S_OK);
    platform::ComPtr<ICorrelation> correlation;
    EXPECT_EQ(manager.Create("Nonsense", &correlation), CLASS_E_CLASSNOTAVAILABLE);
    ASSERT_EQ(manager.Create("Calorix.HHV.1", &correlation), S_OK);
    BSTR name = nullptr;
    ASSERT_EQ(correlation->GetDisplayName(&name), S_OK);
    EXPECT_EQ(platform::WideString(name), OLESTR("HHV Vol. Basis"));
    SysFreeString(name);
    correlation = nullptr;

    auto wet = ParseFluidJson(R"({"temperature_C": 5, "pressure_kPa": 5000,
        "components": [{"name": "nitrogen"}, {"name": "methane"}, {"name": "ethane"}, {"name": "propane"},
                       {"name": "n-hexane"}, {"name": "water"}],
        "mole_fractions": [0.01, 0.9, 0.05, 0.025, 0.005, 0.01],
        "phases": [{"slot": 0, "fraction": 0.99, "mole_fractions": [0.0101, 0.909, 0.0505, 0.0252, 0.005, 0.0002]},
                   {"slot": 2, "fraction": 0.01, "mole_fractions": [0, 0, 0, 0, 0, 1]}]})", "wet");
    const std::size_t blocks = fakehost::AllocatorSpy::Instance().Live();
    const std::int32_t objects = LiveHostObjects();
    {
        auto source = MakeFluidSource({wet.fluid});
        for (const auto& entry : Catalogue()) {
            if (entry.family == "co2e") continue;  // their calculator keeps the fluid
            SCOPED_TRACE(entry.word);
            platform::ComPtr<ICorrelation> c;
            ASSERT_EQ(manager.Create(*entry.classId, &c), S_OK);
            const auto report = RunCorrelation(c.Get(), entry.word, source.Get(), 0);
            EXPECT_EQ(report.status, S_OK) << report.failedStep;
            // Line-condition classes leave the overall slot of a fluid of two phases empty.
            EXPECT_TRUE(report.phaseValues[0].has_value() || report.phaseValues[1].has_value());
        }
    }
    EXPECT_EQ(LiveHostObjects(), objects) << "host objects still referenced";
    EXPECT_EQ(fakehost::AllocatorSpy::Instance().Live(), blocks) << "task-allocator blocks not returned";
}

// Every correlation on many fluids over several threads (each with its own correlation objects)
// gives, byte for byte, what one thread gives. Run under the thread sanitizer in CI.
TEST(Batch, ThreadsGiveWhatOneThreadGives) {
    if (!std::filesystem::exists(CALORIX_MODULE_PATH)) GTEST_SKIP() << "Calorix.so not built";
    CorrelationManager manager;
    ASSERT_EQ(manager.Load(CALORIX_MODULE_PATH), S_OK);
    std::vector<const CatalogueEntry*> classes;
    bool optional = false;
    std::string problem;
    ASSERT_TRUE(SelectClasses("all", IsoEdition{}, classes, optional, problem));
    std::vector<Fluid> fluids;
    const Fluid gas = ParseFluidJson(DefaultFluidJson(), "default").fluid;
    for (int i = 0; i < 12; ++i) {
        fluids.push_back(gas);
        fluids.back().temperatureC = -10.0 + 3.0 * i;
        fluids.back().pressureKPa = 2000.0 + 400.0 * i;
    }
    EvaluationSettings settings;
    settings.flash = true;
    settings.refTempOption = 0;
    std::size_t calls = 0;
    const BatchRun many = EvaluateBatch(manager, classes, optional, settings, fluids, 4, [&](std::size_t) { ++calls; });
    const BatchRun one = EvaluateBatch(manager, classes, optional, settings, fluids, 1);
    EXPECT_GE(calls, 1u);
    const RunDescription run{15.0, true};
    EXPECT_EQ(FormatCsv(run, many.results), FormatCsv(run, one.results));
    ASSERT_EQ(many.results.size(), fluids.size());
    for (const auto& r : many.results) EXPECT_TRUE(r.Ok()) << FormatCsv(run, std::span(&r, 1));
}

// One evaluator, fluids of other components in turn: each fluid taken as one vapour is checked
// with a model of its own components (the one kept for the fluid before serves only the same
// components), so that the wet gas warns between two dry gases, and a fluid with its phases
// given is not checked.
TEST(Batch, SplitWarningFollowsEachFluidsComponents) {
    if (!std::filesystem::exists(CALORIX_MODULE_PATH)) GTEST_SKIP() << "Calorix.so not built";
    CorrelationManager manager;
    ASSERT_EQ(manager.Load(CALORIX_MODULE_PATH), S_OK);
    const CatalogueEntry* classes[] = {FindCatalogueEntry("HHV")};
    FluidEvaluator evaluator(manager, classes, false, EvaluationSettings{});
    const Fluid gas = ParseFluidJson(DefaultFluidJson(), "default").fluid;
    const Fluid wet = ParseFluidJson(R"({"temperature_C": 10, "pressure_kPa": 3000,
        "components": [{"name": "methane"}, {"name": "propane"}, {"name": "n-hexane"}, {"name": "n-octane"},
                       {"name": "water"}], "mole_fractions": [0.80, 0.08, 0.05, 0.04, 0.03]})",
                                     "wet").fluid;
    Fluid given = wet;
    given.phases = {Phase{kVapourSlot, 1.0, wet.moleFractions}};
    Fluid warmer = wet;
    warmer.temperatureC = 300.0;
    const std::pair<const Fluid*, bool> sequence[] = {{&gas, false},   {&wet, true},  {&gas, false}, {&wet, true},
                                                      {&warmer, false}, {&wet, true}, {&given, false}};
    for (const auto& [fluid, splits] : sequence) {
        const FluidResult r = evaluator.Evaluate(*fluid);
        const bool warned = std::any_of(r.warnings.begin(), r.warnings.end(), [](const std::string& w) {
            return w.rfind("the fluid splits into phases", 0) == 0;
        });
        EXPECT_EQ(warned, splits) << fluid->temperatureC << " degC, " << fluid->components.size() << " components";
    }
}

// The stream writes each fluid in input order as soon as it and those before it are done, and
// never holds more than its window: the first fluid leaves long before the last is read.
TEST(Batch, StreamWritesInOrderWithinItsWindow) {
    if (!std::filesystem::exists(CALORIX_MODULE_PATH)) GTEST_SKIP() << "Calorix.so not built";
    CorrelationManager manager;
    ASSERT_EQ(manager.Load(CALORIX_MODULE_PATH), S_OK);
    const CatalogueEntry* classes[] = {FindCatalogueEntry("HHV")};
    const Fluid gas = ParseFluidJson(DefaultFluidJson(), "default").fluid;
    constexpr std::size_t kInputs = 300;
    const StreamOptions options{3, 2};   // a window of 6
    std::size_t read = 0, maxHeld = 0, readAtFirstWrite = 0;
    std::vector<std::size_t> order;
    StreamBatch(
        manager, classes, false, EvaluationSettings{},
        [&](BatchEntry& entry) {
            if (read == kInputs) return false;
            if (read % 7 == 3) {
                entry.problem = fmt::format("bad {}", read);
            } else {
                entry.fluid = gas;
                entry.fluid->id = std::to_string(read);
            }
            ++read;
            return true;
        },
        [&](const BatchEntry& entry, const FluidResult* result) {
            if (order.empty()) readAtFirstWrite = read;
            maxHeld = std::max(maxHeld, read - order.size());
            ASSERT_EQ(result == nullptr, !entry.fluid);
            order.push_back(result ? std::stoul(result->fluid.id) : std::stoul(entry.problem.substr(4)));
            if (result) {
                EXPECT_TRUE(result->Ok());
            }
        },
        options);
    ASSERT_EQ(order.size(), kInputs);
    for (std::size_t i = 0; i < kInputs; ++i) EXPECT_EQ(order[i], i);
    EXPECT_LE(readAtFirstWrite, 6u);
    EXPECT_LE(maxHeld, 6u);
}

// Percent, rate and time left, one column short of the terminal's width, redrawn in place.
TEST(Batch, ProgressBar) {
    const std::string half = ProgressBar({500, 0.5, 10.0, 80, false});
    EXPECT_EQ(half.rfind("\r[", 0), 0u) << half;
    EXPECT_EQ(half.size(), 80u) << half;
    EXPECT_NE(half.find("]  50%  500 fluids  50/s  0:10 left"), std::string::npos) << half;
    const std::string narrow = ProgressBar({500, 0.5, 10.0, 30, false});
    EXPECT_EQ(narrow.size(), 30u) << narrow;
    const std::string done = ProgressBar({1000, 1.0, 20.0, 120, true});
    EXPECT_EQ(done.back(), '\n');
    EXPECT_EQ(done.find("left"), std::string::npos) << done;
    EXPECT_NE(done.find("100%  1000 fluids  50/s"), std::string::npos) << done;
}

TEST_F(HostProgram, RegisterAndUnregister) {
    if (!ModuleBuilt()) GTEST_SKIP() << "Calorix.so not built";
    const std::string registry = (m_dir / "registry.reg").string();
    const std::string env = "CALORIX_REGISTRY='" + registry + "'";
    // --module after the command, or before it, or the module as an argument: all honoured.
    for (const char* args : {"register --module '" CALORIX_MODULE_PATH "'",
                                    "--module '" CALORIX_MODULE_PATH "' register"}) {
        SCOPED_TRACE(args);
        ProgramRun r = Start(args, env);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.out.find("DllRegisterServer in " CALORIX_MODULE_PATH " succeeded."), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("Registry written: " + registry), std::string::npos) << r.out;
        EXPECT_NE(ReadAll(registry).find("InprocServer32"), std::string::npos);
        // The host's own type library with it.
        EXPECT_NE(r.out.find("Type library CORRMANLib registered."), std::string::npos) << r.out;
        EXPECT_NE(ReadAll(registry).find("Correlation Manager 1.0 Type Library"), std::string::npos);
        r = Start("unregister '" CALORIX_MODULE_PATH "'", env);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(ReadAll(registry).find("InprocServer32"), std::string::npos);
        EXPECT_EQ(ReadAll(registry).find("TypeLib\\{"), std::string::npos);
    }
    // A registry that cannot be written: the failure in words.
    const ProgramRun r = Start("register --module '" CALORIX_MODULE_PATH "'", "CALORIX_REGISTRY=/proc/calorix.reg");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("DllRegisterServer in " CALORIX_MODULE_PATH " failed: 0x"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("(registry /proc/calorix.reg)"), std::string::npos) << r.err;
}

}  // namespace
