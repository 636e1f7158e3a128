// Eight threads released at once ask a freshly loaded module for the class object of the same
// class, for every class of the catalogue: each must get the one class object of its class.
// The thread sanitizer checks that the cached class object is published safely.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <latch>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

#include "platform/library.h"
#include "tests/support/module_client.h"

namespace fs = std::filesystem;
using platform::ComPtr;

namespace {

constexpr int kThreads = 8;

// A copy of the module and its data server in a folder of its own: loaded from there, the
// module is fresh whatever this process loaded before.
std::string FreshModuleCopy() {
    const fs::path built = platform::FolderOf(platform::ModuleFilePath());
    const fs::path folder = fs::temp_directory_path() / ("calorix-race-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    for (const char* stem : {"Calorix", "varbank2"}) {
        const std::string file = platform::LibraryFileName(stem);
        fs::copy_file(built / file, folder / file, fs::copy_options::overwrite_existing);
    }
    return (folder / platform::LibraryFileName("Calorix")).string();
}

}  // namespace

TEST(ClassObjectRace, ThreadsAskingAtOnceShareOneClassObject) {
    const std::string path = FreshModuleCopy();
    const moduleclient::Module module = moduleclient::Load(path);
    struct RemoveCopy {
        fs::path folder;
        // The loaded modules stay mapped; where the system will not remove a mapped file, the
        // folder stays for the next run to overwrite.
        ~RemoveCopy() {
            std::error_code ignored;
            fs::remove_all(folder, ignored);
        }
    } removeCopy{fs::path(path).parent_path()};
    ASSERT_TRUE(module.getClassObject);
    ASSERT_EQ(module.canUnloadNow(), S_OK);

    for (const moduleclient::ClassInfo& info : moduleclient::Classes()) {
        SCOPED_TRACE(info.word);
        std::array<IClassFactory*, kThreads> factories{};
        std::array<HRESULT, kThreads> status{};
        std::latch start(kThreads);
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&, t] {
                start.arrive_and_wait();
                status[t] = module.getClassObject(*info.clsid, IID_IClassFactory,
                                                  reinterpret_cast<void**>(&factories[t]));
            });
        }
        for (std::thread& thread : threads) thread.join();

        for (int t = 0; t < kThreads; ++t) {
            EXPECT_EQ(status[t], S_OK) << t;
            EXPECT_EQ(factories[t], factories[0]) << t;
        }
        ASSERT_TRUE(factories[0]);
        EXPECT_EQ(module.canUnloadNow(), S_FALSE);
        // The class object that won creates working objects.
        ComPtr<ICorrelation> correlation;
        EXPECT_EQ(factories[0]->CreateInstance(nullptr, IID_ICorrelation, correlation.PutVoid()), S_OK);
        correlation = nullptr;
        for (IClassFactory* factory : factories)
            if (factory) factory->Release();
        EXPECT_EQ(module.canUnloadNow(), S_OK);
    }
}
