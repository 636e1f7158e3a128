// DllRegisterServer and DllUnregisterServer of the built module, on a registry file of the
// test's own.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/library.h"
#include "platform/registry.h"
#include "platform/strings.h"
#include "platform/typelib.h"
#include "tests/support/module_client.h"
#include "tests/support/scratch_registry.h"
#include "tests/support/text_file.h"

namespace fs = std::filesystem;
using moduleclient::Classes;

namespace {

class Registration : public ::testing::Test {
protected:
    std::string Value(const std::string& key, const std::string& name = "") {
        platform::RegistryTransaction registry;
        EXPECT_EQ(m_registry.Begin(&registry), S_OK);
        std::string data;
        if (FAILED(registry.QueryValue(key, name, &data))) return "<missing>";
        return data;
    }
    bool Exists(const std::string& key) {
        platform::RegistryTransaction registry;
        EXPECT_EQ(m_registry.Begin(&registry), S_OK);
        return registry.KeyExists(key);
    }

    testregistry::ScratchRegistry m_registry{::testing::UnitTest::GetInstance()->current_test_info()->name()};
};

std::string ClassKey(const CLSID& clsid) { return "CLSID\\" + platform::GuidToString(clsid); }

const std::string& ModulePath() {
    static const std::string path =
        platform::PathIn(platform::FolderOf(platform::ModuleFilePath()), platform::LibraryFileName("Calorix"));
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
    // The system writes the library's own flags (a widl-built one says it has a disk image,
    // 8); the POSIX stand-in writes those of a plain library.
    if (platform::kTypeLibrariesAvailable)
        EXPECT_TRUE(Exists("TypeLib\\" + libid + "\\1.0\\FLAGS"));
    else
        EXPECT_EQ(Value("TypeLib\\" + libid + "\\1.0\\FLAGS"), "0");
    EXPECT_TRUE(Exists("TypeLib\\" + libid + "\\1.0\\HELPDIR"));
}

TEST_F(Registration, RegisteringAgainRemovesStaleKeysAndUnregisteringKeepsOthers) {
    moduleclient::Module m = moduleclient::Load();
    {
        platform::RegistryTransaction registry;
        ASSERT_EQ(m_registry.Begin(&registry), S_OK);
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
    fs::path folder = fs::path(m_registry.Folder()) / "it's here";
    fs::create_directories(folder);
    const fs::path copy = folder / platform::LibraryFileName("Calorix");
    fs::copy_file(ModulePath(), copy, fs::copy_options::overwrite_existing);
    moduleclient::Module m = moduleclient::Load(copy.string());
    ASSERT_EQ(m.registerServer(), S_OK);
    EXPECT_EQ(Value(ClassKey(CLSID_Density) + "\\InprocServer32"), copy.string());
}

TEST_F(Registration, MalformedRegistryFileIsReportedNotOverwritten) {
    const std::string file = m_registry.File();
    if (file.empty()) GTEST_SKIP() << "the registry is no file here";
    const std::string broken = "REGEDIT4\n\n[HKEY_CLASSES_ROOT\\CLSID\n";
    testfiles::WriteFile(file, broken);
    moduleclient::Module m = moduleclient::Load();
    EXPECT_TRUE(FAILED(m.registerServer()));
    EXPECT_TRUE(FAILED(m.unregisterServer()));
    EXPECT_EQ(testfiles::ReadFile(file), broken);
}
