// The generated registration scripts and the registrar applying them to a registry file.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>

#include "calorix/guids.h"
#include "platform/registry.h"
#include "tests/support/file_events.h"
#include "tests/support/registry_samples.h"
#include "tests/support/text_file.h"
#include "platform/resources.h"
#include "platform/strings.h"
#include "server/registrar/registrar.h"

extern char** environ;

namespace {

using platform::RegistryTransaction;
using server::RegistrarMode;

constexpr int kScriptCO2ESAR = 130;
constexpr int kScriptCO2EAR4 = 131;
const HRESULT kBadFormat = HRESULT_FROM_WIN32(ERROR_BAD_FORMAT);

using testfiles::ReadFile;
using testfiles::WriteFile;

std::string Resource(int id) {
    std::span<const std::byte> data;
    if (FAILED(platform::FindModuleResource(platform::ResourceType("REGISTRY"), id, &data))) return {};
    return std::string(reinterpret_cast<const char*>(data.data()), data.size());
}

std::string ReplaceAll(std::string text, std::string_view from, std::string_view to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

// The whole registry below the root: key path -> "name=data" of each value, in order.
using Tree = std::map<std::string, std::vector<std::string>>;

void Walk(const RegistryTransaction& r, const std::string& path, Tree* tree) {
    std::vector<platform::RegistryValue> values;
    ASSERT_EQ(r.EnumValues(path, &values), S_OK) << path;
    auto& entry = (*tree)[path];
    for (const auto& v : values) entry.push_back(v.name + "=" + v.data);
    std::vector<std::string> keys;
    ASSERT_EQ(r.EnumSubkeys(path, &keys), S_OK) << path;
    for (const auto& k : keys) Walk(r, path.empty() ? k : path + "\\" + k, tree);
}

// The file of another program's keys that every test starts from.
const std::string& kForeign = testfiles::kForeignRegistry;

class Registrar : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/calorix-registrar-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_folder = pattern;
        m_file = m_folder + "/registry.reg";
        const char* saved = std::getenv("CALORIX_REGISTRY");
        m_hadSaved = saved != nullptr;
        if (saved) m_saved = saved;
        setenv("CALORIX_REGISTRY", m_file.c_str(), 1);
        m_classKey = "CLSID\\" + platform::GuidToString(CLSID_CO2ESAR);
        m_script = Resource(kScriptCO2ESAR);
        ASSERT_FALSE(m_script.empty());
    }
    void TearDown() override {
        if (m_hadSaved) setenv("CALORIX_REGISTRY", m_saved.c_str(), 1); else unsetenv("CALORIX_REGISTRY");
        std::string command = "rm -rf '" + m_folder + "'";
        [[maybe_unused]] int rc = std::system(command.c_str());
    }

    HRESULT Apply(std::string_view script, RegistrarMode mode, const std::string& module = "/opt/calorix/Calorix.so") {
        return server::ApplyRegistryScript(script, {{"MODULE", module}}, mode);
    }
    std::string Value(const std::string& path, const std::string& name = "") {
        RegistryTransaction r;
        EXPECT_EQ(r.Begin(m_file), S_OK);
        std::string value;
        HRESULT hr = r.QueryValue(path, name, &value);
        return SUCCEEDED(hr) ? value : "<" + std::to_string(hr) + ">";
    }
    std::vector<std::string> Subkeys(const std::string& path) {
        RegistryTransaction r;
        EXPECT_EQ(r.Begin(m_file), S_OK);
        std::vector<std::string> keys;
        r.EnumSubkeys(path, &keys);
        return keys;
    }
    bool Exists(const std::string& path) {
        RegistryTransaction r;
        EXPECT_EQ(r.Begin(m_file), S_OK);
        return r.KeyExists(path);
    }
    Tree WholeTree() {
        RegistryTransaction r;
        EXPECT_EQ(r.Begin(m_file), S_OK);
        Tree tree;
        Walk(r, "", &tree);
        return tree;
    }

    std::string m_folder, m_file, m_saved, m_classKey, m_script;
    bool m_hadSaved = false;
};

TEST_F(Registrar, GeneratedScriptIsTheListedText) {
    struct Line {
        int tabs;
        const char* text;
    };
    constexpr std::array<Line, 26> kListed = {{
        {0, "HKCR"},
        {0, "{"},
        {1, "Calorix.CO2ESAR.1 = s 'CO2ESAR Class'"},
        {1, "{"},
        {2, "CLSID = s '{CLSID_CO2ESAR}'"},
        {1, "}"},
        {1, "Calorix.CO2ESAR = s 'CO2ESAR Class'"},
        {1, "{"},
        {2, "CLSID = s '{CLSID_CO2ESAR}'"},
        {2, "CurVer = s 'Calorix.CO2ESAR.1'"},
        {1, "}"},
        {1, "NoRemove CLSID"},
        {1, "{"},
        {2, "ForceRemove {CLSID_CO2ESAR} = s 'CO2ESAR Class'"},
        {2, "{"},
        {3, "ProgID = s 'Calorix.CO2ESAR.1'"},
        {3, "VersionIndependentProgID = s 'Calorix.CO2ESAR'"},
        {3, "ForceRemove 'Programmable'"},
        {3, "InprocServer32 = s '%MODULE%'"},
        {3, "{"},
        {4, "val ThreadingModel = s 'Apartment'"},
        {3, "}"},
        {3, "'TypeLib' = s '{LIBID_CALORIXLib}'"},
        {2, "}"},
        {1, "}"},
        {0, "}"},
    }};
    std::string expected;
    for (const Line& line : kListed) expected += std::string(line.tabs, '\t') + line.text + "\r\n";
    expected = ReplaceAll(expected, "{CLSID_CO2ESAR}", platform::GuidToString(CLSID_CO2ESAR));
    expected = ReplaceAll(expected, "{LIBID_CALORIXLib}", platform::GuidToString(LIBID_CALORIXLib));
    EXPECT_EQ(m_script, expected);
    EXPECT_EQ(server::CheckRegistryScript(m_script, {{"MODULE", "x"}}), S_OK);
}

TEST_F(Registrar, RegisterWritesTheClassKeys) {
    WriteFile(m_file, kForeign);
    const std::string module = "/opt/calorix/lib/Calorix.so";
    ASSERT_EQ(Apply(m_script, RegistrarMode::Register, module), S_OK);
    const std::string clsid = platform::GuidToString(CLSID_CO2ESAR);

    EXPECT_EQ(Value("Calorix.CO2ESAR.1"), "CO2ESAR Class");
    EXPECT_EQ(Subkeys("Calorix.CO2ESAR.1"), (std::vector<std::string>{"CLSID"}));
    EXPECT_EQ(Value("Calorix.CO2ESAR.1\\CLSID"), clsid);

    EXPECT_EQ(Value("Calorix.CO2ESAR"), "CO2ESAR Class");
    EXPECT_EQ(Subkeys("Calorix.CO2ESAR"), (std::vector<std::string>{"CLSID", "CurVer"}));
    EXPECT_EQ(Value("Calorix.CO2ESAR\\CLSID"), clsid);
    EXPECT_EQ(Value("Calorix.CO2ESAR\\CurVer"), "Calorix.CO2ESAR.1");

    EXPECT_EQ(Value(m_classKey), "CO2ESAR Class");
    EXPECT_EQ(Subkeys(m_classKey), (std::vector<std::string>{"ProgID", "VersionIndependentProgID", "Programmable",
                                                             "InprocServer32", "TypeLib"}));
    EXPECT_EQ(Value(m_classKey + "\\ProgID"), "Calorix.CO2ESAR.1");
    EXPECT_EQ(Value(m_classKey + "\\VersionIndependentProgID"), "Calorix.CO2ESAR");
    EXPECT_EQ(Value(m_classKey + "\\TypeLib"), platform::GuidToString(LIBID_CALORIXLib));
    Tree tree = WholeTree();
    EXPECT_EQ(tree[m_classKey + "\\Programmable"], std::vector<std::string>{});
    EXPECT_EQ(tree[m_classKey + "\\InprocServer32"],
              (std::vector<std::string>{"=" + module, "ThreadingModel=Apartment"}));

    // The other program's keys are untouched and CLSID now holds both classes.
    EXPECT_EQ(Value(".txt"), "txtfile");
    EXPECT_EQ(Subkeys("CLSID"),
              (std::vector<std::string>{"{0A0B0C0D-1111-2222-3333-444455556666}", clsid}));
    EXPECT_NE(ReadFile(m_file).find("[HKEY_LOCAL_MACHINE\\Software\\Other]\n\"Level\"=dword:00000003\n"),
              std::string::npos);
}

TEST_F(Registrar, RegisteringTwiceRecreatesTheClassKey) {
    WriteFile(m_file, kForeign);
    ASSERT_EQ(Apply(m_script, RegistrarMode::Register), S_OK);
    const std::string once = ReadFile(m_file);
    {
        RegistryTransaction r;
        ASSERT_EQ(r.Begin(m_file), S_OK);
        ASSERT_EQ(r.SetValue(m_classKey + "\\Stale\\Deeper", "", "old"), S_OK);
        ASSERT_EQ(r.SetValue(m_classKey, "Leftover", "old"), S_OK);
        ASSERT_EQ(r.SetValue(m_classKey + "\\InprocServer32", "", "/old/path.so"), S_OK);
        ASSERT_EQ(r.Commit(), S_OK);
    }
    ASSERT_EQ(Apply(m_script, RegistrarMode::Register), S_OK);
    EXPECT_FALSE(Exists(m_classKey + "\\Stale"));
    EXPECT_EQ(Value(m_classKey + "\\InprocServer32"), "/opt/calorix/Calorix.so");
    EXPECT_EQ(ReadFile(m_file), once);
}

TEST_F(Registrar, UnregisterRemovesTheClassAndKeepsClsid) {
    WriteFile(m_file, kForeign);
    ASSERT_EQ(Apply(m_script, RegistrarMode::Register), S_OK);
    ASSERT_EQ(Apply(m_script, RegistrarMode::Unregister), S_OK);
    EXPECT_FALSE(Exists("Calorix.CO2ESAR.1"));
    EXPECT_FALSE(Exists("Calorix.CO2ESAR"));
    EXPECT_FALSE(Exists(m_classKey));
    EXPECT_TRUE(Exists("CLSID"));
    EXPECT_EQ(ReadFile(m_file), kForeign);  // exactly what was there before

    // Unregistering what is not registered is no error and writes nothing.
    ASSERT_EQ(Apply(m_script, RegistrarMode::Unregister), S_OK);
    EXPECT_EQ(ReadFile(m_file), kForeign);
    std::string fresh = m_folder + "/fresh.reg";
    setenv("CALORIX_REGISTRY", fresh.c_str(), 1);
    ASSERT_EQ(Apply(m_script, RegistrarMode::Unregister), S_OK);
    EXPECT_EQ(access(fresh.c_str(), F_OK), -1);
}

TEST_F(Registrar, ModulePathIsStoredAsItIs) {
    const char* paths[] = {
        "/home/o'brien/lib/Calorix.so",
        "/tmp/''/Calorix.so",
        "/tmp/100%/Calorix.so",
        "C:\\Program Files\\Calorix\\\"Calorix\".dll",
        "/tmp/sp ace/{x}/=/Calorix.so",
    };
    for (const char* path : paths) {
        SCOPED_TRACE(path);
        ASSERT_EQ(Apply(m_script, RegistrarMode::Register, path), S_OK);
        EXPECT_EQ(Value(m_classKey + "\\InprocServer32"), path);
    }
}

TEST_F(Registrar, ScriptLanguage) {
    const std::string script =
        "hkcr {\n"
        "  'It''s' = S 'a ''quoted'' value, 50%% off' { VAL 'Name With Space' = s '' }\n"
        "  noremove Shared { FORCEREMOVE 'val' { 'NoRemove' } }\n"
        "  Module = s '%MODULE%'\n"
        "}\n"
        "HKEY_CLASSES_ROOT { Second { val v = s 'x' } }";
    ASSERT_EQ(Apply(script, RegistrarMode::Register, "/a'b"), S_OK);
    EXPECT_EQ(Value("It's"), "a 'quoted' value, 50% off");
    EXPECT_EQ(Value("It's", "Name With Space"), "");
    EXPECT_TRUE(Exists("Shared\\val\\NoRemove"));
    EXPECT_EQ(Value("Module"), "/a'b");
    EXPECT_EQ(Value("Second", "v"), "x");

    ASSERT_EQ(Apply(script, RegistrarMode::Unregister), S_OK);
    EXPECT_EQ(Subkeys(""), (std::vector<std::string>{"Shared"}));
    EXPECT_EQ(Subkeys("Shared"), std::vector<std::string>{});
}

TEST_F(Registrar, UnregisterKeepsWhatOthersStillUse) {
    const std::string script =
        "HKCR {\n"
        "  NoRemove Shared { Mine = s 'x' { Leaf } }\n"
        "  Plain = s 'p' { Child { val v = s '1' } }\n"
        "  ForceRemove Forced { Sub }\n"
        "  Absent\n"
        "}\n";
    ASSERT_EQ(Apply(script, RegistrarMode::Register), S_OK);
    {
        RegistryTransaction r;
        ASSERT_EQ(r.Begin(m_file), S_OK);
        ASSERT_EQ(r.CreateKey("Shared\\Foreign"), S_OK);
        ASSERT_EQ(r.CreateKey("Plain\\Foreign"), S_OK);
        ASSERT_EQ(r.CreateKey("Forced\\Foreign\\Deep"), S_OK);
        ASSERT_EQ(r.DeleteKey("Absent"), S_OK);
        ASSERT_EQ(r.Commit(), S_OK);
    }
    ASSERT_EQ(Apply(script, RegistrarMode::Unregister), S_OK);
    EXPECT_EQ(Subkeys("Shared"), std::vector<std::string>{"Foreign"});
    EXPECT_EQ(Subkeys("Plain"), std::vector<std::string>{"Foreign"});  // kept for its foreign subkey
    EXPECT_FALSE(Exists("Forced"));                                     // removed whole

    {
        RegistryTransaction r;
        ASSERT_EQ(r.Begin(m_file), S_OK);
        ASSERT_EQ(r.DeleteKey("Plain\\Foreign"), S_OK);
        ASSERT_EQ(r.Commit(), S_OK);
    }
    ASSERT_EQ(Apply(script, RegistrarMode::Unregister), S_OK);
    EXPECT_FALSE(Exists("Plain"));
    EXPECT_TRUE(Exists("Shared\\Foreign"));
}

TEST_F(Registrar, MalformedScriptsChangeNothing) {
    WriteFile(m_file, kForeign);
    const struct {
        const char* what;
        std::string script;
    } cases[] = {
        {"empty", ""},
        {"only blanks", " \r\n\t"},
        {"block not closed", "HKCR { A = s 'x' { B }"},
        {"extra closing brace", "HKCR { A } }"},
        {"no root", "{ A }"},
        {"other root", "HKLM { Software }"},
        {"root without block", "HKCR A"},
        {"unterminated string", "HKCR { A = s 'x }"},
        {"missing type", "HKCR { A = 'x' }"},
        {"other type", "HKCR { A = d '5' }"},
        {"missing value", "HKCR { A = s }"},
        {"equals alone", "HKCR { A = }"},
        {"value without equals", "HKCR { A { val V s 'x' } }"},
        {"value without name", "HKCR { A { val = s 'x' } }"},
        {"value on the root", "HKCR { val V = s 'x' }"},
        {"block after value", "HKCR { A { val V = s 'x' { B } } }"},
        {"flag without name", "HKCR { NoRemove }"},
        {"two flags", "HKCR { NoRemove ForceRemove A }"},
        {"flag on a value", "HKCR { A { NoRemove val V = s 'x' } }"},
        {"empty name", "HKCR { '' = s 'x' }"},
        {"name with backslash", "HKCR { 'A\\B' }"},
        {"value with line break", "HKCR { A = s 'one\ntwo' }"},
        {"unknown replacement", "HKCR { A = s '%OTHER%' }"},
        {"unclosed replacement", "HKCR { A = s '%MODULE' }"},
        {"null character", std::string("HKCR { A\0B }", 12)},
        {"error after good keys", "HKCR { A = s 'x' { B } C = s 'y' }\nHKCR { D = }"},
        {"the class script cut short", m_script.substr(0, m_script.size() - 3)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(server::CheckRegistryScript(c.script, {{"MODULE", "/m.so"}}), kBadFormat);
        EXPECT_EQ(Apply(c.script, RegistrarMode::Register), kBadFormat);
        EXPECT_EQ(Apply(c.script, RegistrarMode::Unregister), kBadFormat);
        EXPECT_EQ(ReadFile(m_file), kForeign);
    }
    EXPECT_EQ(server::ApplyRegistryResource(999, {}, RegistrarMode::Register),
              HRESULT_FROM_WIN32(ERROR_RESOURCE_NAME_NOT_FOUND));
}

TEST_F(Registrar, MalformedRegistryFileIsNotOverwritten) {
    const std::string broken = "REGEDIT4\n\n[HKEY_CLASSES_ROOT\\CLSID]\n[HKEY_CLASSES_ROOT\\CLSID\\{0A";
    WriteFile(m_file, broken);
    EXPECT_EQ(Apply(m_script, RegistrarMode::Register), HRESULT_FROM_WIN32(ERROR_INVALID_DATA));
    EXPECT_EQ(Apply(m_script, RegistrarMode::Unregister), HRESULT_FROM_WIN32(ERROR_INVALID_DATA));
    EXPECT_EQ(ReadFile(m_file), broken);
}

TEST_F(Registrar, TwoProcessesAtOnceLoseNothing) {
    WriteFile(m_file, kForeign);
    const std::string module = "/opt/calorix/Calorix.so";
    pid_t pids[2] = {};
    int ids[2] = {kScriptCO2ESAR, kScriptCO2EAR4};
    for (int i = 0; i < 2; ++i) {
        std::string id = std::to_string(ids[i]);
        const char* argv[] = {CALORIX_REGISTRY_STRESS, m_file.c_str(), id.c_str(), "100", module.c_str(), nullptr};
        ASSERT_EQ(posix_spawn(&pids[i], CALORIX_REGISTRY_STRESS, nullptr, nullptr, const_cast<char**>(argv), environ),
                  0);
    }
    for (pid_t pid : pids) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    }
    const Tree after = WholeTree();

    // The same two registrations one after the other, in one transaction, on a fresh copy.
    std::string reference = m_folder + "/reference.reg";
    WriteFile(reference, kForeign);
    {
        RegistryTransaction r;
        ASSERT_EQ(r.Begin(reference), S_OK);
        for (int id : ids) {
            HRESULT hr = server::ApplyRegistryScript(Resource(id), {{"MODULE", module}}, RegistrarMode::Register, r);
            ASSERT_EQ(hr, S_OK);
        }
        ASSERT_EQ(r.Commit(), S_OK);
    }
    m_file = reference;
    const Tree expected = WholeTree();
    EXPECT_EQ(after, expected);
    EXPECT_EQ(expected.count("CLSID\\" + platform::GuidToString(CLSID_CO2EAR4) + "\\InprocServer32"), 1u);
    EXPECT_EQ(expected.count("CLSID\\{0A0B0C0D-1111-2222-3333-444455556666}\\InprocServer32"), 1u);
}

}  // namespace

TEST_F(Registrar, RegistrationStepsShareOneReadAndOneWrite) {
    WriteFile(m_file, kForeign);
    const std::string ar4 = Resource(kScriptCO2EAR4);
    testfiles::FileEvents events(m_folder);
    ASSERT_TRUE(events.Watching());
    const std::function<HRESULT()> steps[] = {
        [&] { return Apply(m_script, RegistrarMode::Register); },
        [&] { return Apply(ar4, RegistrarMode::Register); },
    };
    EXPECT_EQ(server::RunRegistrationSteps(steps), S_OK);
    EXPECT_EQ(events.Opens("registry.reg"), 1);
    EXPECT_EQ(events.RenamesTo("registry.reg"), 1);
    EXPECT_EQ(Value(m_classKey), "CO2ESAR Class");
    EXPECT_EQ(Value("CLSID\\" + platform::GuidToString(CLSID_CO2EAR4)), "CO2EAR4 Class");
}

TEST_F(Registrar, FailingStepLeavesWhatOneByOneWouldLeave) {
    // A step that fails after changing its transaction: the steps before it stay applied,
    // its own changes and the steps after it do not, and its status is returned.
    WriteFile(m_file, kForeign);
    const std::string ar4 = Resource(kScriptCO2EAR4);
    const HRESULT kStepFailure = HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
    std::map<std::string, int> runs;
    const std::function<HRESULT()> steps[] = {
        [&] {
            ++runs["first"];
            return Apply(m_script, RegistrarMode::Register);
        },
        [&] {
            ++runs["failing"];
            RegistryTransaction r;
            HRESULT hr = r.Begin();
            if (SUCCEEDED(hr)) hr = r.SetValue("HalfDone", "", "never kept");
            return FAILED(hr) ? hr : kStepFailure;  // abandoned
        },
        [&] {
            ++runs["after"];
            return Apply(ar4, RegistrarMode::Register);
        },
    };
    EXPECT_EQ(server::RunRegistrationSteps(steps), kStepFailure);
    EXPECT_EQ(Value(m_classKey), "CO2ESAR Class");
    EXPECT_FALSE(Exists("HalfDone"));
    EXPECT_FALSE(Exists("CLSID\\" + platform::GuidToString(CLSID_CO2EAR4)));
    EXPECT_EQ(Value(".txt"), "txtfile");
    // Once in the batch that was dropped, once one by one.
    EXPECT_EQ(runs, (std::map<std::string, int>{{"first", 2}, {"failing", 2}}));

    // A malformed script fails before any change: the file stays byte for byte as it was.
    WriteFile(m_file, kForeign);
    const std::function<HRESULT()> malformed[] = {[&] { return Apply("HKCR { A = }", RegistrarMode::Register); }};
    EXPECT_EQ(server::RunRegistrationSteps(malformed), kBadFormat);
    EXPECT_EQ(ReadFile(m_file), kForeign);
}
