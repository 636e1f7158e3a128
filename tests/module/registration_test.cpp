// DllRegisterServer and DllUnregisterServer of the built module, on a registry file of the
// test's own.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

#include "platform/library.h"
#include "platform/registry.h"
#include "platform/strings.h"
#include "tests/support/file_events.h"
#include "tests/support/module_client.h"
#include "tests/support/text_file.h"

namespace fs = std::filesystem;
using moduleclient::Classes;

namespace {

class Registration : public ::testing::Test {
protected:
    void SetUp() override {
        m_folder = fs::temp_directory_path() / ("calorix-reg-" + std::to_string(::getpid()) + "-" +
                                                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(m_folder);
        m_file = (m_folder / "registry.reg").string();
        ::setenv("CALORIX_REGISTRY", m_file.c_str(), 1);
    }
    void TearDown() override { fs::remove_all(m_folder); }

    std::string Value(const std::string& key, const std::string& name = "") {
        platform::RegistryTransaction registry;
        EXPECT_EQ(registry.Begin(m_file), S_OK);
        std::string data;
        if (FAILED(registry.QueryValue(key, name, &data))) return "<missing>";
        return data;
    }
    bool Exists(const std::string& key) {
        platform::RegistryTransaction registry;
        EXPECT_EQ(registry.Begin(m_file), S_OK);
        return registry.KeyExists(key);
    }

    fs::path m_folder;
    std::string m_file;
};

// Many keys of other programs, as a long-used registry holds them.
std::string ForeignKeys(int count) {
    std::string text = "REGEDIT4\n\n";
    for (int i = 0; i < count; ++i) {
        const std::string key = "[HKEY_CLASSES_ROOT\\CLSID\\{00000000-0000-0000-0000-" + std::to_string(100000000000 + i) + "}";
        text += key + "]\n@=\"Other " + std::to_string(i) + "\"\n\n";
        text += key + "\\InprocServer32]\n@=\"/usr/lib/other.so\"\n\"ThreadingModel\"=\"Both\"\n\n";
    }
    return text;
}

std::string ClassKey(const CLSID& clsid) { return "CLSID\\" + platform::GuidToString(clsid); }

const std::string& ModulePath() {
    static const std::string path = platform::FolderOf(platform::ModuleFilePath()) + "/Calorix.so";
    return path;
}

}  // namespace

TEST_F(Registration, RegisterWritesEveryClassAndTheTypeLibrary) {
    moduleclient::Module m = moduleclient::Load();
    ASSERT_EQ(m.registerServer(), S_OK);
    const std::string libid = platform::GuidToString(LIBID_CALORIXLib);
    for (const auto& info : Classes()) {
        SCOPED_TRACE(info.word);
        const std::string key = ClassKey(*info.clsid);
        const std::string word = info.word;
        EXPECT_EQ(Value(key), word + " Class");
        EXPECT_EQ(Value(key + "\\InprocServer32"), ModulePath());
        EXPECT_EQ(Value(key + "\\InprocServer32", "ThreadingModel"), "Apartment");
        EXPECT_EQ(Value(key + "\\TypeLib"), libid);
        EXPECT_EQ(Value(key + "\\ProgID"), "Calorix." + word + ".1");
        EXPECT_EQ(Value(key + "\\VersionIndependentProgID"), "Calorix." + word);
        EXPECT_TRUE(Exists(key + "\\Programmable"));
        EXPECT_EQ(Value("Calorix." + word + ".1\\CLSID"), platform::GuidToString(*info.clsid));
        EXPECT_EQ(Value("Calorix." + word + "\\CurVer"), "Calorix." + word + ".1");
    }
    EXPECT_EQ(Value("TypeLib\\" + libid + "\\1.0"), "Calorix 1.0 Type Library");
    EXPECT_EQ(Value("TypeLib\\" + libid + "\\1.0\\0\\win64"), ModulePath());
    EXPECT_EQ(Value("TypeLib\\" + libid + "\\1.0\\FLAGS"), "0");
    EXPECT_TRUE(Exists("TypeLib\\" + libid + "\\1.0\\HELPDIR"));
}

TEST_F(Registration, RegisteringAgainRemovesStaleKeysAndUnregisteringKeepsOthers) {
    moduleclient::Module m = moduleclient::Load();
    {
        platform::RegistryTransaction registry;
        ASSERT_EQ(registry.Begin(m_file), S_OK);
        ASSERT_TRUE(SUCCEEDED(registry.CreateKey(ClassKey(CLSID_HHV) + "\\Stale")));
        ASSERT_TRUE(SUCCEEDED(registry.SetValue("CLSID\\{00000000-1111-2222-3333-444444444444}", "", "Other")));
        ASSERT_EQ(registry.Commit(), S_OK);
    }
    ASSERT_EQ(m.registerServer(), S_OK);
    ASSERT_EQ(m.registerServer(), S_OK);
    EXPECT_FALSE(Exists(ClassKey(CLSID_HHV) + "\\Stale"));

    ASSERT_EQ(m.unregisterServer(), S_OK);
    for (const auto& info : Classes()) {
        SCOPED_TRACE(info.word);
        EXPECT_FALSE(Exists(ClassKey(*info.clsid)));
        EXPECT_FALSE(Exists(std::string("Calorix.") + info.word + ".1"));
        EXPECT_FALSE(Exists(std::string("Calorix.") + info.word));
    }
    EXPECT_TRUE(Exists("CLSID"));
    EXPECT_EQ(Value("CLSID\\{00000000-1111-2222-3333-444444444444}"), "Other");
    EXPECT_FALSE(Exists("TypeLib\\" + platform::GuidToString(LIBID_CALORIXLib)));
}

TEST_F(Registration, PathWithAQuoteIsStoredWithOneQuote) {
    fs::path folder = m_folder / "it's here";
    fs::create_directories(folder);
    fs::copy_file(ModulePath(), folder / "Calorix.so");
    moduleclient::Module m = moduleclient::Load((folder / "Calorix.so").string());
    ASSERT_EQ(m.registerServer(), S_OK);
    EXPECT_EQ(Value(ClassKey(CLSID_Density) + "\\InprocServer32"), (folder / "Calorix.so").string());
}

TEST_F(Registration, MalformedRegistryFileIsReportedNotOverwritten) {
    const std::string broken = "REGEDIT4\n\n[HKEY_CLASSES_ROOT\\CLSID\n";
    testfiles::WriteFile(m_file, broken);
    moduleclient::Module m = moduleclient::Load();
    EXPECT_TRUE(FAILED(m.registerServer()));
    EXPECT_TRUE(FAILED(m.unregisterServer()));
    EXPECT_EQ(testfiles::ReadFile(m_file), broken);
}

TEST_F(Registration, OneReadAndOneWritePerRegistration) {
    testfiles::WriteFile(m_file, ForeignKeys(2000));
    const moduleclient::Module m = moduleclient::Load();
    for (auto operation : {m.registerServer, m.unregisterServer}) {
        testfiles::FileEvents events(m_folder.string());
        ASSERT_TRUE(events.Watching());
        ASSERT_EQ(operation(), S_OK);
        EXPECT_EQ(events.Opens("registry.reg"), 1);
        EXPECT_EQ(events.RenamesTo("registry.reg"), 1);
    }
    // The others' keys are still there.
    platform::RegistryTransaction registry;
    ASSERT_EQ(registry.Begin(m_file), S_OK);
    std::string value;
    EXPECT_EQ(registry.QueryValue("CLSID\\{00000000-0000-0000-0000-100000001999}", "", &value), S_OK);
    EXPECT_EQ(value, "Other 1999");
}

TEST_F(Registration, ReadOnlyRegistryIsRefusedAndUnchanged) {
    const std::string text = ForeignKeys(3);
    testfiles::WriteFile(m_file, text);
    ASSERT_EQ(chmod(m_file.c_str(), 0444), 0);
    const moduleclient::Module m = moduleclient::Load();
    EXPECT_EQ(m.registerServer(), E_ACCESSDENIED);
    EXPECT_EQ(m.unregisterServer(), S_OK);  // nothing of ours in it: nothing to write
    EXPECT_EQ(testfiles::ReadFile(m_file), text);
}
