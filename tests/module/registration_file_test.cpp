// DllRegisterServer and DllUnregisterServer on the POSIX registry file: one read and one write
// per registration, and a file that may not be written left as it was.
#include <gtest/gtest.h>

#include <string>

#include <sys/stat.h>

#include "platform/registry.h"
#include "tests/support/file_events.h"
#include "tests/support/module_client.h"
#include "tests/support/scratch_registry.h"
#include "tests/support/text_file.h"

namespace {

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

class RegistrationFile : public ::testing::Test {
protected:
    testregistry::ScratchRegistry m_registry{::testing::UnitTest::GetInstance()->current_test_info()->name()};
    const std::string& m_file = m_registry.File();
};

TEST_F(RegistrationFile, OneReadAndOneWritePerRegistration) {
    testfiles::WriteFile(m_file, ForeignKeys(2000));
    const moduleclient::Module m = moduleclient::Load();
    for (auto operation : {m.registerServer, m.unregisterServer}) {
        testfiles::FileEvents events(m_registry.Folder());
        ASSERT_TRUE(events.Watching());
        ASSERT_EQ(operation(), S_OK);
        EXPECT_EQ(events.Opens("registry.reg"), 1);
        EXPECT_EQ(events.RenamesTo("registry.reg"), 1);
    }
    // The others' keys are still there.
    platform::RegistryTransaction registry;
    ASSERT_EQ(m_registry.Begin(&registry), S_OK);
    std::string value;
    EXPECT_EQ(registry.QueryValue("CLSID\\{00000000-0000-0000-0000-100000001999}", "", &value), S_OK);
    EXPECT_EQ(value, "Other 1999");
}

TEST_F(RegistrationFile, ReadOnlyRegistryIsRefusedAndUnchanged) {
    const std::string text = ForeignKeys(3);
    testfiles::WriteFile(m_file, text);
    ASSERT_EQ(chmod(m_file.c_str(), 0444), 0);
    const moduleclient::Module m = moduleclient::Load();
    EXPECT_EQ(m.registerServer(), E_ACCESSDENIED);
    EXPECT_EQ(m.unregisterServer(), S_OK);  // nothing of ours in it: nothing to write
    EXPECT_EQ(testfiles::ReadFile(m_file), text);
}

}  // namespace
