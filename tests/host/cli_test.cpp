// calorix-host run as a process: bad input and its exit status (no module needed), and, when
// the module has been built, the output for the default gas and a fluid file, and registration.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "host/correlation_manager.h"
#include "host/fluid.h"
#include "host/fluid_json.h"
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

TEST_F(HostProgram, BadInputGivesOneLineAndStatusTwo) {
    const std::string methane = R"("temperature_C": 15, "pressure_kPa": 5000, "components": [{"name": "methane"}, {"name": "ethane"}], )";
    struct Case {
        const char* file;
        std::string text;
        const char* message;  // after "calorix-host: <file>: "
    };
    const Case cases[] = {
        {"malformed.json", "{\"temperature_C\": 15,", "malformed JSON at line 1"},
        {"unknown.json",
         R"({"temperature_C": 15, "pressure_kPa": 5000, "components": [{"name": "kryptonite"}], "mole_fractions": [1]})",
         "components[0]: unknown component 'kryptonite': give both cas and mw"},
        {"length.json", "{" + methane + R"("mole_fractions": [1]})", "mole_fractions: 1 entries for 2 components"},
        {"infinite.json", "{" + methane + R"("mole_fractions": [0.5, -1e400]})", "mole_fractions[1]: not a finite number"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string path = File(c.file, c.text);
        const ProgramRun r = Start("--fluid '" + path + "' --module /nonexistent/Calorix.so");
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.err.rfind("calorix-host: " + path + ": " + c.message, 0), 0u) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_TRUE(r.out.empty());
    }
    // A file that is not there, and a bad command line.
    ProgramRun r = Start("--fluid '" + (m_dir / "missing.json").string() + "'");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("missing.json: cannot open the file"), std::string::npos) << r.err;
    r = Start("--ref-temp 20");
    EXPECT_EQ(r.status, 2);
    r = Start("--format xml");
    EXPECT_EQ(r.status, 2);
    r = Start("--correlations HHV,Nonsense --module /nonexistent/Calorix.so");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("unknown correlation class 'Nonsense'"), std::string::npos) << r.err;
}

TEST_F(HostProgram, WarningsGoToStandardErrorWithoutRefusing) {
    const std::string path = File("sum.json", R"({"temperature_C": 15, "pressure_kPa": 5000,
        "components": [{"name": "methane"}, {"name": "ethane"}], "mole_fractions": [0.9, 0.09]})");
    // The module is missing, so the run fails after reading the fluid, with status 1.
    const ProgramRun r = Start("--fluid '" + path + "' --module /nonexistent/Calorix.so");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("warning: " + path + ": mole_fractions: fractions sum to 0.99, not 1"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("cannot load /nonexistent/Calorix.so"), std::string::npos) << r.err;
}

TEST_F(HostProgram, RegistrationOfAMissingModuleFails) {
    const ProgramRun r = Start("register /nonexistent/Calorix.so");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("cannot load /nonexistent/Calorix.so"), std::string::npos) << r.err;
}

TEST_F(HostProgram, DefaultGasGivesTheEightIso6976Results) {
    if (!ModuleBuilt()) GTEST_SKIP() << "Calorix.so not built";
    ProgramRun r = Start("--format json" + ModuleArg());
    ASSERT_EQ(r.status, 0) << r.err;
    const auto doc = nlohmann::json::parse(r.out);
    const auto& list = doc["correlations"];
    ASSERT_EQ(list.size(), 8u);
    double hhv15 = 0.0;
    for (const auto& c : list) {
        SCOPED_TRACE(c["class"].get<std::string>());
        EXPECT_EQ(c["status"], "ok");
        ASSERT_EQ(c["phase_values"].size(), 6u);
        const auto& v = c["phase_values"];
        ASSERT_TRUE(v[0].is_number());
        EXPECT_EQ(v[0], v[1]);  // one vapour phase equal to the overall fluid
        for (int i : {2, 3, 4, 5}) EXPECT_TRUE(v[i].is_null()) << i;
        EXPECT_FALSE(c["unit"].get<std::string>().empty());
        if (c["class"] == "HHV") hhv15 = v[0].get<double>();
    }
    EXPECT_GT(hhv15, 38.0);
    EXPECT_LT(hhv15, 44.0);

    // At 0 degC a cubic metre holds more gas.
    r = Start("--format json --ref-temp 0 --correlations HHV" + ModuleArg());
    ASSERT_EQ(r.status, 0) << r.err;
    const double hhv0 = nlohmann::json::parse(r.out)["correlations"][0]["phase_values"][0].get<double>();
    EXPECT_GT(hhv0, hhv15 * 1.04);
    EXPECT_LT(hhv0, hhv15 * 1.07);

    r = Start("--format csv" + ModuleArg());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 9);
    r = Start(ModuleArg());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("HHV Vol. Basis"), std::string::npos) << r.out;
}

TEST_F(HostProgram, FluidFileWithWaterPhase) {
    if (!ModuleBuilt()) GTEST_SKIP() << "Calorix.so not built";
    const ProgramRun r = Start("--format json --correlations HHV,Density --fluid '" CALORIX_HOST_TEST_DATA
                        "/wet_gas_two_phases.json'" + ModuleArg());
    ASSERT_EQ(r.status, 0) << r.err;
    const auto doc = nlohmann::json::parse(r.out);
    for (const auto& c : doc["correlations"]) {
        const auto& v = c["phase_values"];
        EXPECT_TRUE(v[0].is_number());
        EXPECT_TRUE(v[1].is_number());  // vapour
        EXPECT_TRUE(v[2].is_null());    // no hydrocarbon liquid
        EXPECT_TRUE(v[3].is_number());  // aqueous phase
        EXPECT_TRUE(v[4].is_null());
        EXPECT_TRUE(v[5].is_null());
    }
}

TEST_F(HostProgram, FlashOptionGivesTheFluidItsEquilibriumPhases) {
    if (!ModuleBuilt()) GTEST_SKIP() << "Calorix.so not built";
    // The rich wet gas below its dew points: vapour, hydrocarbon liquid and water.
    const std::string path = File("rich.json", R"({"temperature_C": 10, "pressure_kPa": 3000,
        "components": [{"name": "methane"}, {"name": "propane"}, {"name": "n-hexane"}, {"name": "n-octane"},
                       {"name": "water"}],
        "mole_fractions": [0.80, 0.08, 0.05, 0.04, 0.03]})");
    const ProgramRun r = Start("--flash --format json --correlations HHV --fluid '" + path + "'" + ModuleArg());
    ASSERT_EQ(r.status, 0) << r.err;
    const auto doc = nlohmann::json::parse(r.out);
    const auto& v = doc["correlations"][0]["phase_values"];
    for (int i : {0, 1, 2, 3}) EXPECT_TRUE(v[i].is_number()) << i;
    EXPECT_GT(v[2].get<double>(), v[1].get<double>());  // the liquid of heavy ends burns richer
    EXPECT_LT(v[3].get<double>(), 2.1);                 // nearly pure water (1.88 MJ/m3 ideal)
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
        if (c["class"] == "HHV2016") hhv25_0 = c["phase_values"][0].get<double>();
    }
    r = Start("--edition 2016 --format json --correlations HHV2016" + ModuleArg());  // 15/15 by default
    ASSERT_EQ(r.status, 0) << r.err;
    const double hhv15_15 = nlohmann::json::parse(r.out)["correlations"][0]["phase_values"][0].get<double>();
    EXPECT_GT(hhv25_0, hhv15_15 * 1.04);  // mostly the denser cubic metre at 0 degC

    r = Start("--edition 2016 --ref 15.55/15.55" + ModuleArg());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("ISO 6976:2016 reference combustion 15.55 degC, metering 15.55 degC"), std::string::npos)
        << r.out;
    r = Start(ModuleArg());
    EXPECT_NE(r.out.find("ISO 6976:1995 reference 15 degC"), std::string::npos) << r.out;

    for (const char* bad : {"--edition 2016 --ref 25/25", "--edition 2016 --ref 25", "--edition 2016 --ref-temp 0",
                            "--ref 25/0", "--edition 2000"}) {
        r = Start(std::string(bad) + ModuleArg());
        EXPECT_EQ(r.status, 2) << bad;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }
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
            if (std::string_view(entry.word).starts_with("CO2E")) continue;  // their calculator keeps the fluid
            SCOPED_TRACE(entry.word);
            platform::ComPtr<ICorrelation> c;
            ASSERT_EQ(manager.Create(*entry.classId, &c), S_OK);
            const auto report = RunCorrelation(c.Get(), entry.word, source.Get(), 0, 0);
            EXPECT_EQ(report.status, S_OK) << report.failedStep;
            EXPECT_TRUE(report.phaseValues[0].has_value());
        }
    }
    EXPECT_EQ(LiveHostObjects(), objects) << "host objects still referenced";
    EXPECT_EQ(fakehost::AllocatorSpy::Instance().Live(), blocks) << "task-allocator blocks not returned";
}

TEST_F(HostProgram, RegisterAndUnregister) {
    if (!ModuleBuilt()) GTEST_SKIP() << "Calorix.so not built";
    const std::string registry = (m_dir / "registry.reg").string();
    const std::string env = "CALORIX_REGISTRY='" + registry + "'";
    ProgramRun r = Start("register '" CALORIX_MODULE_PATH "'", env);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("DllRegisterServer"), std::string::npos);
    EXPECT_NE(ReadAll(registry).find("InprocServer32"), std::string::npos);
    r = Start("unregister '" CALORIX_MODULE_PATH "'", env);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadAll(registry).find("InprocServer32"), std::string::npos);
}

}  // namespace
