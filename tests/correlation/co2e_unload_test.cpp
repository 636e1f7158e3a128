// The end of the module's life: the process-wide CO2-equivalent calculator holds the host's
// component data from one calculation to the next, and lets it go exactly once when the
// module goes, together with every array it kept.
//
// Each case runs in a child process that loads the module itself, calculates, drops its
// objects, closes the module and exits. A handler registered before the module was loaded
// runs after the module's static objects are destroyed (whether closing the library already
// unloaded it or only the exit does) and checks the fake host there.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "framework/correlation_interface.h"
#include "platform/library.h"
#include "tests/support/fake_host.h"

using fakehost::FakeHost;
using platform::ComPtr;

namespace {

using GetClassObjectFn = HRESULT(COMCALL*)(REFCLSID, REFIID, void**);

FakeHost* g_host = nullptr;  // the child's host; never destroyed, the module may outlive main

void CheckHostAfterTheModule() {
    const long references = g_host->OutstandingReferences();
    const std::string problems = g_host->Check();
    if (references != 0 || !problems.empty()) {
        std::fprintf(stderr, "after the module: %ld reference(s) outstanding; %s\n", references, problems.c_str());
        std::_Exit(3);
    }
    std::fputs("host data released exactly once\n", stderr);
}

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "%s\n", what);
    std::_Exit(2);
}

// In the child: one CO2-equivalent calculation, optionally followed by one that cannot find
// its "Phase_Values" (which makes the calculator drop the component data early).
[[noreturn]] void CalculateCloseAndExit(bool lastLookupFails) {
    g_host = new FakeHost();
    g_host->SetGas({{124389, 44.0, 0.5}, {74828, 16.0, 0.5}});
    g_host->SetPhase(0, 1.0, {0.5, 0.5});
    g_host->SetProperty("MolarFlow", {10.0});
    std::atexit(CheckHostAfterTheModule);

    const std::string path =
        platform::PathIn(platform::FolderOf(platform::ModuleFilePath()), platform::LibraryFileName("Calorix"));
    platform::LibraryHandle module = platform::OpenLibraryFile(path);
    if (!module) Fail("cannot load the module");
    auto getClassObject = reinterpret_cast<GetClassObjectFn>(platform::GetLibraryExport(module, "DllGetClassObject"));
    if (!getClassObject) Fail("no DllGetClassObject");
    {
        ComPtr<IClassFactory> factory;
        ComPtr<ICorrelation> correlation;
        if (FAILED(getClassObject(CLSID_CO2EAR4, IID_IClassFactory, factory.PutVoid())) ||
            FAILED(factory->CreateInstance(nullptr, IID_ICorrelation, correlation.PutVoid())))
            Fail("cannot create the correlation");
        std::int32_t key = 0;
        IVariableSet* set = nullptr;
        if (FAILED(correlation->Attach(g_host->Source(), 0, &key, &set))) Fail("cannot attach");
        if (correlation->Calculate(key) != S_OK) Fail("calculation failed");
        if (g_host->OutstandingReferences() != 2) Fail("the calculator does not hold the component data");
        if (lastLookupFails) {
            if (FAILED(set->RemoveVariable(OLESTR("Phase_Values")))) Fail("cannot remove Phase_Values");
            if (correlation->Calculate(key) != E_FAIL) Fail("lookup of Phase_Values did not fail");
            if (g_host->OutstandingReferences() != 1) Fail("the calculator kept the component data");
        }
    }
    if (g_host->OutstandingReferences() != (lastLookupFails ? 0 : 1)) Fail("unexpected references after release");
    platform::CloseLibraryFile(module);
    std::exit(0);
}

TEST(Co2eModuleEnd, ComponentDataReleasedExactlyOnceWhenTheModuleGoes) {
    EXPECT_EXIT(CalculateCloseAndExit(false), ::testing::ExitedWithCode(0), "host data released exactly once");
}

TEST(Co2eModuleEnd, ComponentDataDroppedEarlyIsNotReleasedAgain) {
    EXPECT_EXIT(CalculateCloseAndExit(true), ::testing::ExitedWithCode(0), "host data released exactly once");
}

}  // namespace
