// The registrar on arbitrary scripts, over a registry file holding other programs' keys. A
// script that is refused changes nothing, byte for byte, and is refused by the check alone as
// well; one that is applied leaves a file that reads back, and applying it again changes
// nothing more. Both modes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "fuzz/registry_tree.h"
#include "fuzz/scratch_folder.h"
#include "server/registrar/registrar.h"
#include "tests/support/registry_samples.h"
#include "tests/support/text_file.h"

namespace {

const std::string& kForeign = testfiles::kForeignRegistry;

const server::RegistrarReplacements kReplacements{{"MODULE", "/opt/it's here/Calorix.so"}};

RegistryTree Tree(const std::string& file) {
    platform::RegistryTransaction r;
    FUZZ_CHECK(r.Begin(file) == S_OK);
    RegistryTree tree;
    FUZZ_CHECK(ReadRegistryTree(r, &tree));
    r.Abandon();
    return tree;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setenv("CALORIX_REGISTRY", (ScratchFolder() + "/registry.reg").c_str(), 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string file = ScratchFolder() + "/registry.reg";
    const std::string_view script(reinterpret_cast<const char*>(data), size);
    const HRESULT checked = server::CheckRegistryScript(script, kReplacements);
    for (server::RegistrarMode mode : {server::RegistrarMode::Register, server::RegistrarMode::Unregister}) {
        testfiles::WriteFile(file, kForeign);
        const HRESULT applied = server::ApplyRegistryScript(script, kReplacements, mode);
        // The check alone tells whether a script applies (the registry file is sound here).
        FUZZ_CHECK(FAILED(checked) ? applied == checked : SUCCEEDED(applied));
        if (FAILED(applied)) {
            FUZZ_CHECK(testfiles::ReadFile(file) == kForeign);
            continue;
        }
        const RegistryTree once = Tree(file);
        FUZZ_CHECK(server::ApplyRegistryScript(script, kReplacements, mode) == S_OK);
        FUZZ_CHECK(Tree(file) == once);
    }
    return 0;
}
