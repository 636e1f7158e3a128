// The registry file below HKEY_CLASSES_ROOT: format, preservation of foreign content, case,
// malformed files, locking.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/registry.h"
#include "tests/support/text_file.h"

namespace {

using platform::RegistryTransaction;
using platform::RegistryValue;

using testfiles::ReadFile;
using testfiles::WriteFile;

std::vector<std::string> FolderEntries(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* dir = opendir(folder.c_str())) {
        while (dirent* e = readdir(dir)) {
            std::string name = e->d_name;
            if (name != "." && name != "..") names.push_back(name);
        }
        closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

class RegistryBackend : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/calorix-registry-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_folder = pattern;
        m_file = m_folder + "/registry.reg";
    }
    void TearDown() override {
        std::string command = "rm -rf '" + m_folder + "'";
        [[maybe_unused]] int rc = std::system(command.c_str());
    }

    std::string m_folder;
    std::string m_file;
};

TEST_F(RegistryBackend, WritesRegedit4WithEscapesAndReadsItBack) {
    {
        RegistryTransaction r;
        ASSERT_EQ(r.Begin(m_file), S_OK);
        EXPECT_EQ(r.SetValue("Calorix.HHV", "", "HHV Class"), S_OK);
        EXPECT_EQ(r.SetValue("Calorix.HHV\\CLSID", "", "{X}"), S_OK);
        EXPECT_EQ(r.SetValue("Calorix.HHV", "Path", "C:\\dir \"quoted\""), S_OK);
        EXPECT_EQ(r.CreateKey("Empty\\Below"), S_OK);
        EXPECT_EQ(r.CreateKey("empty\\below"), S_FALSE);
        ASSERT_EQ(r.Commit(), S_OK);
    }
    EXPECT_EQ(ReadFile(m_file),
              "REGEDIT4\n\n"
              "[HKEY_CLASSES_ROOT\\Calorix.HHV]\n"
              "@=\"HHV Class\"\n"
              "\"Path\"=\"C:\\\\dir \\\"quoted\\\"\"\n\n"
              "[HKEY_CLASSES_ROOT\\Calorix.HHV\\CLSID]\n"
              "@=\"{X}\"\n\n"
              "[HKEY_CLASSES_ROOT\\Empty]\n\n"
              "[HKEY_CLASSES_ROOT\\Empty\\Below]\n\n");

    RegistryTransaction r;
    ASSERT_EQ(r.Begin(m_file), S_OK);
    std::string value;
    EXPECT_EQ(r.QueryValue("Calorix.HHV", "Path", &value), S_OK);
    EXPECT_EQ(value, "C:\\dir \"quoted\"");
    EXPECT_EQ(r.QueryValue("Calorix.HHV\\CLSID", "", &value), S_OK);
    EXPECT_EQ(value, "{X}");
    EXPECT_EQ(r.QueryValue("Calorix.HHV", "Missing", &value), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(r.QueryValue("Nowhere", "", &value), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    std::vector<std::string> keys;
    EXPECT_EQ(r.EnumSubkeys("", &keys), S_OK);
    EXPECT_EQ(keys, (std::vector<std::string>{"Calorix.HHV", "Empty"}));
    EXPECT_TRUE(r.KeyExists("Empty\\Below"));
    EXPECT_FALSE(r.KeyExists("Empty\\Below\\Deeper"));
}

TEST_F(RegistryBackend, KeysAndValueNamesIgnoreCaseAndKeepTheFirstSpelling) {
    {
        RegistryTransaction r;
        ASSERT_EQ(r.Begin(m_file), S_OK);
        ASSERT_EQ(r.SetValue("CLSID\\{abc}\\InprocServer32", "ThreadingModel", "Free"), S_OK);
        ASSERT_EQ(r.SetValue("clsid\\{ABC}\\INPROCSERVER32", "threadingmodel", "Apartment"), S_OK);
        ASSERT_EQ(r.CreateKey("Clsid\\{Abc}\\TypeLib"), S_OK);
        ASSERT_EQ(r.Commit(), S_OK);
    }
    std::string text = ReadFile(m_file);
    EXPECT_NE(text.find("[HKEY_CLASSES_ROOT\\CLSID\\{abc}\\TypeLib]"), std::string::npos) << text;
    EXPECT_EQ(text.find("clsid"), std::string::npos) << text;
    EXPECT_EQ(text.find("Abc"), std::string::npos) << text;

    RegistryTransaction r;
    ASSERT_EQ(r.Begin(m_file), S_OK);
    std::vector<RegistryValue> values;
    ASSERT_EQ(r.EnumValues("CLSID\\{ABC}\\inprocserver32", &values), S_OK);
    ASSERT_EQ(values.size(), 1u);
    EXPECT_EQ(values[0].name, "ThreadingModel");
    EXPECT_EQ(values[0].data, "Apartment");
    std::vector<std::string> keys;
    ASSERT_EQ(r.EnumSubkeys("clsid\\{ABC}", &keys), S_OK);
    EXPECT_EQ(keys, (std::vector<std::string>{"InprocServer32", "TypeLib"}));
    EXPECT_TRUE(r.KeyExists("cLsId"));
    EXPECT_EQ(r.DeleteTree("CLSID\\{ABC}"), S_OK);
    EXPECT_FALSE(r.KeyExists("CLSID\\{abc}\\TypeLib"));
    EXPECT_TRUE(r.KeyExists("CLSID"));
}

TEST_F(RegistryBackend, ForeignContentSurvivesARewrite) {
    const std::string original =
        "REGEDIT4\r\n"
        "\r\n"
        "; written by hand\r\n"
        "\r\n"
        "[HKEY_LOCAL_MACHINE\\Software\\Other]\r\n"
        "\"Count\"=dword:0000002a\r\n"
        "\r\n"
        "[HKEY_CLASSES_ROOT\\Other.Thing]\r\n"
        "@=\"Other\"\r\n"
        "; a note inside a key\r\n"
        "\"Blob\"=hex:01,02,03,\\\r\n"
        "  04,05\r\n"
        "\"Odd\"=\"keeps \\q its escape\"\r\n"
        "\r\n"
        "[HKEY_CLASSES_ROOT\\CLSID]\r\n"
        "\r\n"
        "[HKEY_CLASSES_ROOT\\CLSID\\{11111111-2222-3333-4444-555555555555}]\r\n"
        "@=\"Other Class\"\r\n"
        "\r\n"
        "[HKEY_CURRENT_USER\\Environment]\r\n"
        "\"Path\"=hex(2):25,00\r\n"
        "\r\n";
    WriteFile(m_file, original);
    {
        RegistryTransaction r;
        ASSERT_EQ(r.Begin(m_file), S_OK);
        std::vector<RegistryValue> values;
        ASSERT_EQ(r.EnumValues("Other.Thing", &values), S_OK);
        ASSERT_EQ(values.size(), 3u);
        EXPECT_FALSE(values[1].isString);
        EXPECT_EQ(values[1].data, "hex:01,02,03,\\");
        std::string odd;
        EXPECT_EQ(r.QueryValue("Other.Thing", "Blob", &odd), HRESULT_FROM_WIN32(ERROR_INVALID_DATA));
        ASSERT_EQ(r.SetValue("CLSID\\{B0000000-0000-0000-0000-000000000000}", "", "Ours"), S_OK);
        ASSERT_EQ(r.Commit(), S_OK);
    }
    // Everything as it was (CR LF kept), our key added at the end of the CLSID subtree.
    std::string expected = original;
    std::string ours = "[HKEY_CLASSES_ROOT\\CLSID\\{B0000000-0000-0000-0000-000000000000}]\r\n@=\"Ours\"\r\n\r\n";
    expected.insert(expected.find("[HKEY_CURRENT_USER"), ours);
    EXPECT_EQ(ReadFile(m_file), expected);
}

TEST_F(RegistryBackend, MalformedFileIsReportedAndLeftAlone) {
    const std::string good = "REGEDIT4\n\n[HKEY_CLASSES_ROOT\\A]\n@=\"x\"\n";
    const struct {
        const char* what;
        std::string text;
    } cases[] = {
        {"no header", "[HKEY_CLASSES_ROOT\\A]\n@=\"x\"\n"},
        {"other header", "Windows Registry Editor Version 5.00\n\n[HKEY_CLASSES_ROOT\\A]\n"},
        {"unterminated key", "REGEDIT4\n\n[HKEY_CLASSES_ROOT\\A\n@=\"x\"\n"},
        {"unterminated value", "REGEDIT4\n\n[HKEY_CLASSES_ROOT\\A]\n@=\"x\n\"B\"=\"y\"\n"},
        {"unterminated name", "REGEDIT4\n\n[HKEY_CLASSES_ROOT\\A]\n\"Name=\"x\"\n"},
        {"value outside a key", "REGEDIT4\n\n@=\"x\"\n[HKEY_CLASSES_ROOT\\A]\n"},
        {"text after a string", "REGEDIT4\n\n[HKEY_CLASSES_ROOT\\A]\n@=\"x\"y\n"},
        {"stray line", "REGEDIT4\n\n[HKEY_CLASSES_ROOT\\A]\nhello\n"},
        {"ends inside binary", "REGEDIT4\n\n[HKEY_CLASSES_ROOT\\A]\n\"B\"=hex:01,\\\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WriteFile(m_file, c.text);
        RegistryTransaction r;
        EXPECT_EQ(r.Begin(m_file), HRESULT_FROM_WIN32(ERROR_INVALID_DATA));
        EXPECT_EQ(r.SetValue("A", "", "changed"), E_UNEXPECTED);
        EXPECT_EQ(r.Commit(), E_UNEXPECTED);
        EXPECT_EQ(ReadFile(m_file), c.text);
    }

    // Cut anywhere inside a line, a file of keys and strings is reported.
    std::string full;
    {
        WriteFile(m_file, "");
        RegistryTransaction r;
        ASSERT_EQ(r.Begin(m_file), S_OK);
        ASSERT_EQ(r.SetValue("Calorix.LHV\\CLSID", "", "{4D1B2F11-0000-4000-8000-000000000001}"), S_OK);
        ASSERT_EQ(r.SetValue("CLSID\\{4D1B2F11-0000-4000-8000-000000000001}\\InprocServer32", "ThreadingModel",
                             "Apartment"),
                  S_OK);
        ASSERT_EQ(r.Commit(), S_OK);
        full = ReadFile(m_file);
    }
    for (std::size_t cut = 1; cut < full.size(); ++cut) {
        // A cut between lines, or just before a line break, leaves a well-formed file.
        if (full[cut - 1] == '\n' || full[cut] == '\n') continue;
        SCOPED_TRACE("cut at " + std::to_string(cut));
        std::string truncated = full.substr(0, cut);
        WriteFile(m_file, truncated);
        RegistryTransaction r;
        ASSERT_EQ(r.Begin(m_file), HRESULT_FROM_WIN32(ERROR_INVALID_DATA));
        ASSERT_EQ(ReadFile(m_file), truncated);
    }

    WriteFile(m_file, good);
    RegistryTransaction r;
    EXPECT_EQ(r.Begin(m_file), S_OK);
}

TEST_F(RegistryBackend, DeletingKeys) {
    RegistryTransaction r;
    ASSERT_EQ(r.Begin(m_file), S_OK);
    ASSERT_EQ(r.SetValue("A\\B\\C", "v", "1"), S_OK);
    ASSERT_EQ(r.SetValue("A", "", "top"), S_OK);

    EXPECT_EQ(r.DeleteKey("A\\B"), E_ACCESSDENIED);  // still has C
    EXPECT_TRUE(r.KeyExists("A\\B\\C"));
    EXPECT_EQ(r.DeleteKey("a\\b\\c"), S_OK);
    EXPECT_EQ(r.DeleteKey("A\\B\\C"), S_FALSE);
    EXPECT_EQ(r.DeleteKey("A\\B"), S_OK);
    EXPECT_TRUE(r.KeyExists("A"));

    ASSERT_EQ(r.SetValue("A\\X\\Y", "", "deep"), S_OK);
    EXPECT_EQ(r.DeleteTree("A"), S_OK);
    EXPECT_FALSE(r.KeyExists("A"));
    EXPECT_EQ(r.DeleteTree("A"), S_FALSE);
    ASSERT_EQ(r.Commit(), S_OK);
    EXPECT_EQ(ReadFile(m_file), "REGEDIT4\n\n");
}

TEST_F(RegistryBackend, RejectsNamesAndValuesTheFileCannotHold) {
    RegistryTransaction r;
    ASSERT_EQ(r.Begin(m_file), S_OK);
    const char* badPaths[] = {"A\\\\B", "\\A", "A\\", "Line\nBreak"};
    for (const char* path : badPaths) {
        SCOPED_TRACE(path);
        EXPECT_EQ(r.CreateKey(path), E_INVALIDARG);
        EXPECT_EQ(r.SetValue(path, "", "x"), E_INVALIDARG);
        EXPECT_EQ(r.DeleteTree(path), E_INVALIDARG);
    }
    EXPECT_EQ(r.SetValue("A", "", "two\nlines"), E_INVALIDARG);
    EXPECT_EQ(r.SetValue("A", "na\rme", "x"), E_INVALIDARG);
    EXPECT_EQ(r.SetValue("", "", "root"), E_INVALIDARG);
    EXPECT_EQ(r.DeleteTree(""), E_INVALIDARG);
    EXPECT_FALSE(r.KeyExists("A"));
    ASSERT_EQ(r.Commit(), S_OK);
    EXPECT_EQ(access(m_file.c_str(), F_OK), -1);  // nothing changed, nothing written
}

TEST_F(RegistryBackend, AbandonedChangesAreNotWritten) {
    WriteFile(m_file, "REGEDIT4\n[HKEY_CLASSES_ROOT\\Kept]\n@=\"as is\"\n");
    {
        RegistryTransaction r;
        ASSERT_EQ(r.Begin(m_file), S_OK);
        ASSERT_EQ(r.SetValue("Kept", "", "changed"), S_OK);
        r.Abandon();
    }
    {
        RegistryTransaction r;
        ASSERT_EQ(r.Begin(m_file), S_OK);
        ASSERT_EQ(r.SetValue("Other", "", "x"), S_OK);
    }  // destroyed without Commit
    {
        RegistryTransaction r;
        ASSERT_EQ(r.Begin(m_file), S_OK);
        ASSERT_EQ(r.SetValue("Kept", "", "as is"), S_OK);  // same value: no change
        EXPECT_EQ(r.Begin(m_file), E_UNEXPECTED);
        ASSERT_EQ(r.Commit(), S_OK);
    }
    EXPECT_EQ(ReadFile(m_file), "REGEDIT4\n[HKEY_CLASSES_ROOT\\Kept]\n@=\"as is\"\n");
    // No temporary files left behind.
    std::string listing;
    for (const std::string& name : FolderEntries(m_folder)) listing += name + " ";
    EXPECT_EQ(listing, "registry.reg registry.reg.lock ");
}

TEST_F(RegistryBackend, DefaultPlaceAndMissingFolders) {
    const char* saved = std::getenv("CALORIX_REGISTRY");
    std::string savedRegistry = saved ? saved : "";
    const char* savedXdgPtr = std::getenv("XDG_DATA_HOME");
    std::string savedXdg = savedXdgPtr ? savedXdgPtr : "";
    const char* savedHomePtr = std::getenv("HOME");
    std::string savedHome = savedHomePtr ? savedHomePtr : "";

    setenv("CALORIX_REGISTRY", (m_folder + "/a/b/named.reg").c_str(), 1);
    EXPECT_EQ(platform::DefaultRegistryFilePath(), m_folder + "/a/b/named.reg");
    {
        RegistryTransaction r;
        ASSERT_EQ(r.Begin(), S_OK);
        ASSERT_EQ(r.CreateKey("K"), S_OK);
        ASSERT_EQ(r.Commit(), S_OK);
    }
    EXPECT_EQ(ReadFile(m_folder + "/a/b/named.reg"), "REGEDIT4\n\n[HKEY_CLASSES_ROOT\\K]\n\n");

    unsetenv("CALORIX_REGISTRY");
    setenv("XDG_DATA_HOME", (m_folder + "/data").c_str(), 1);
    EXPECT_EQ(platform::DefaultRegistryFilePath(), m_folder + "/data/calorix/registry.reg");
    setenv("XDG_DATA_HOME", "", 1);
    setenv("HOME", (m_folder + "/home").c_str(), 1);
    EXPECT_EQ(platform::DefaultRegistryFilePath(), m_folder + "/home/.local/share/calorix/registry.reg");
    {
        RegistryTransaction r;
        ASSERT_EQ(r.Begin(), S_OK);
        ASSERT_EQ(r.CreateKey("K"), S_OK);
        ASSERT_EQ(r.Commit(), S_OK);
    }
    EXPECT_EQ(access((m_folder + "/home/.local/share/calorix/registry.reg").c_str(), R_OK), 0);

    if (saved) setenv("CALORIX_REGISTRY", savedRegistry.c_str(), 1); else unsetenv("CALORIX_REGISTRY");
    if (savedXdgPtr) setenv("XDG_DATA_HOME", savedXdg.c_str(), 1); else unsetenv("XDG_DATA_HOME");
    if (savedHomePtr) setenv("HOME", savedHome.c_str(), 1); else unsetenv("HOME");
}

TEST_F(RegistryBackend, ASecondTransactionWaitsForTheFirst) {
    RegistryTransaction first;
    ASSERT_EQ(first.Begin(m_file), S_OK);
    ASSERT_EQ(first.SetValue("Counter", "", "1"), S_OK);
    std::string seen;
    HRESULT secondBegin = E_FAIL;
    std::thread second([&] {
        RegistryTransaction r;
        secondBegin = r.Begin(m_file);
        if (SUCCEEDED(secondBegin)) r.QueryValue("Counter", "", &seen);
    });
    // Without the lock the second would read the file before the first commits.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_EQ(first.Commit(), S_OK);
    second.join();
    EXPECT_EQ(secondBegin, S_OK);
    EXPECT_EQ(seen, "1");
}

}  // namespace

// ---------------------------------------------------------------- links, permissions, leftovers

namespace {

ino_t Inode(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

void SetAge(const std::string& path, int seconds) {
    struct timespec times[2];
    times[0].tv_sec = times[1].tv_sec = time(nullptr) - seconds;
    times[0].tv_nsec = times[1].tv_nsec = 0;
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
}

HRESULT SetOne(const std::string& file, const std::string& key, const std::string& value) {
    RegistryTransaction r;
    HRESULT hr = file.empty() ? r.Begin() : r.Begin(file);
    if (FAILED(hr)) return hr;
    if (FAILED(hr = r.SetValue(key, "", value))) return hr;
    return r.Commit();
}

std::string Read(const std::string& file, const std::string& key) {
    RegistryTransaction r;
    if (FAILED(r.Begin(file))) return "<no file>";
    std::string data;
    return SUCCEEDED(r.QueryValue(key, "", &data)) ? data : "<missing>";
}

}  // namespace

TEST_F(RegistryBackend, SymbolicLinksAreWrittenThroughToTheirTarget) {
    // A relative link, a chain of two links, and a link to a file not yet there.
    ASSERT_EQ(mkdir((m_folder + "/real").c_str(), 0755), 0);
    const std::string target = m_folder + "/real/target.reg";
    WriteFile(target, "REGEDIT4\n\n[HKEY_CLASSES_ROOT\\Other]\n@=\"kept\"\n\n");
    ASSERT_EQ(symlink("real/target.reg", m_file.c_str()), 0);
    ASSERT_EQ(symlink("registry.reg", (m_folder + "/second.reg").c_str()), 0);
    ASSERT_EQ(symlink("real/later.reg", (m_folder + "/dangling.reg").c_str()), 0);

    ASSERT_EQ(SetOne(m_file, "A", "through one link"), S_OK);
    ASSERT_EQ(SetOne(m_folder + "/second.reg", "B", "through two"), S_OK);
    ASSERT_EQ(SetOne(m_folder + "/dangling.reg", "C", "created at the target"), S_OK);

    for (const char* link : {"/registry.reg", "/second.reg", "/dangling.reg"}) {
        struct stat st {};
        ASSERT_EQ(lstat((m_folder + link).c_str(), &st), 0);
        EXPECT_TRUE(S_ISLNK(st.st_mode)) << link;
    }
    EXPECT_EQ(Read(target, "Other"), "kept");
    EXPECT_EQ(Read(target, "A"), "through one link");
    EXPECT_EQ(Read(target, "B"), "through two");
    EXPECT_EQ(Read(m_folder + "/real/later.reg", "C"), "created at the target");
    // The temporaries and the locks live beside the targets.
    EXPECT_EQ(FolderEntries(m_folder), (std::vector<std::string>{"dangling.reg", "real", "registry.reg", "second.reg"}));
    EXPECT_EQ(FolderEntries(m_folder + "/real"),
              (std::vector<std::string>{"later.reg", "later.reg.lock", "target.reg", "target.reg.lock"}));

    // A loop of links is reported, not followed for ever.
    ASSERT_EQ(symlink("loop-b.reg", (m_folder + "/loop-a.reg").c_str()), 0);
    ASSERT_EQ(symlink("loop-a.reg", (m_folder + "/loop-b.reg").c_str()), 0);
    EXPECT_TRUE(FAILED(SetOne(m_folder + "/loop-a.reg", "D", "never")));
}

TEST_F(RegistryBackend, ReadOnlyFileIsRefusedAndLeftAsItWas) {
    const std::string text = "REGEDIT4\n\n[HKEY_CLASSES_ROOT\\Other]\n@=\"kept\"\n\n";
    WriteFile(m_file, text);
    ASSERT_EQ(chmod(m_file.c_str(), 0444), 0);
    const ino_t before = Inode(m_file);
    const std::vector<std::string> entries = {"registry.reg", "registry.reg.lock"};

    EXPECT_EQ(SetOne(m_file, "A", "refused"), E_ACCESSDENIED);
    EXPECT_EQ(ReadFile(m_file), text);
    EXPECT_EQ(Inode(m_file), before);
    EXPECT_EQ(FolderEntries(m_folder), entries);
    struct stat st {};
    ASSERT_EQ(stat(m_file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0444u);
    // Reading it still works; made writable again, it is written.
    EXPECT_EQ(Read(m_file, "Other"), "kept");
    ASSERT_EQ(chmod(m_file.c_str(), 0640), 0);
    EXPECT_EQ(SetOne(m_file, "A", "accepted"), S_OK);
    ASSERT_EQ(stat(m_file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST_F(RegistryBackend, StaleTemporariesAreRemovedByTheNextWrite) {
    struct Leftover {
        std::string name;
        int age_s;
        bool removed;
    };
    const std::vector<Leftover> leftovers = {
        {"registry.reg.tmp.Ab12Cd", 120, true},    // ours, killed before its rename
        {"registry.reg.tmp.Xy34Zw", 5, false},     // ours, but young
        {"registry.reg.backup", 3600, false},      // not named like a temporary of ours
        {"registry.reg.tmp.Ab12C", 3600, false},   // five letters: mkstemp leaves six
        {"registry.reg.tmp.Ab-2Cd", 3600, false},  // not mkstemp's letters
        {"other.reg.tmp.Ab12Cd", 3600, false},     // another file's
    };
    for (const Leftover& l : leftovers) {
        WriteFile(m_folder + "/" + l.name, "REGEDIT4\n");
        SetAge(m_folder + "/" + l.name, l.age_s);
    }
    ASSERT_EQ(mkdir((m_folder + "/registry.reg.tmp.Dir123").c_str(), 0755), 0);
    SetAge(m_folder + "/registry.reg.tmp.Dir123", 3600);  // not a file

    ASSERT_EQ(SetOne(m_file, "A", "x"), S_OK);
    std::vector<std::string> expected = {"registry.reg", "registry.reg.lock", "registry.reg.tmp.Dir123"};
    for (const Leftover& l : leftovers)
        if (!l.removed) expected.push_back(l.name);
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(FolderEntries(m_folder), expected);
}

TEST_F(RegistryBackend, BatchWritesItsTransactionsOnce) {
    ::setenv("CALORIX_REGISTRY", m_file.c_str(), 1);
    WriteFile(m_file, "REGEDIT4\n\n[HKEY_CLASSES_ROOT\\Other]\n@=\"kept\"\n\n");
    const ino_t before = Inode(m_file);
    {
        platform::RegistryBatch batch;
        ASSERT_EQ(batch.Begin(), S_OK);
        EXPECT_EQ(SetOne("", "A", "1"), S_OK);      // the default place
        EXPECT_EQ(SetOne(m_file, "B", "2"), S_OK);  // the same file by its path: no wait for itself
        EXPECT_EQ(Read(m_file, "A"), "1");  // a transaction in the batch sees what it holds
        EXPECT_EQ(Inode(m_file), before);    // nothing written yet
        {
            RegistryTransaction r;
            ASSERT_EQ(r.Begin(), S_OK);
            EXPECT_EQ(r.SetValue("C", "", "3"), S_OK);
        }  // ended without Commit()
        EXPECT_EQ(batch.Commit(), E_ABORT);
    }
    // A transaction given up inside the batch spoils it: nothing is written.
    EXPECT_EQ(Inode(m_file), before);
    EXPECT_EQ(Read(m_file, "A"), "<missing>");

    {
        platform::RegistryBatch batch;
        ASSERT_EQ(batch.Begin(), S_OK);
        EXPECT_EQ(SetOne("", "A", "1"), S_OK);
        EXPECT_EQ(SetOne(m_file, "B", "2"), S_OK);
        EXPECT_EQ(Inode(m_file), before);
        EXPECT_EQ(batch.Commit(), S_OK);
    }
    EXPECT_NE(Inode(m_file), before);
    EXPECT_EQ(Read(m_file, "A"), "1");
    EXPECT_EQ(Read(m_file, "B"), "2");
    EXPECT_EQ(Read(m_file, "Other"), "kept");

    // A batch ended without Commit() writes nothing; another file is not part of it.
    const ino_t written = Inode(m_file);
    {
        platform::RegistryBatch batch;
        ASSERT_EQ(batch.Begin(), S_OK);
        EXPECT_EQ(SetOne("", "C", "3"), S_OK);
        EXPECT_EQ(SetOne(m_folder + "/elsewhere.reg", "D", "4"), S_OK);
    }
    EXPECT_EQ(Inode(m_file), written);
    EXPECT_EQ(Read(m_file, "C"), "<missing>");
    EXPECT_EQ(Read(m_folder + "/elsewhere.reg", "D"), "4");
}
