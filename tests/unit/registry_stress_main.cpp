// Registers and unregisters one class script many times against the registry file given, and
// checks after every step that its own keys are there or gone. Started twice at once by the
// registrar tests; the exit status tells them whether any update was lost.
//
//   registry_stress <registry file> <REGISTRY resource id> <iterations> <module path>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/registry.h"
#include "platform/resources.h"
#include "server/registrar/registrar.h"

namespace {

// The key that the class's script creates below CLSID.
std::string ClassKey(int scriptId) {
    std::span<const std::byte> data;
    if (FAILED(platform::FindModuleResource(platform::ResourceType("REGISTRY"), scriptId, &data))) return {};
    std::string_view script(reinterpret_cast<const char*>(data.data()), data.size());
    auto at = script.find("ForceRemove {");
    if (at == std::string_view::npos) return {};
    auto begin = at + 12;
    auto end = script.find('}', begin);
    return "CLSID\\" + std::string(script.substr(begin, end - begin + 1));
}

bool ClassKeyPresent(const std::string& key, bool* present) {
    platform::RegistryTransaction registry;
    if (FAILED(registry.Begin())) return false;
    *present = registry.KeyExists(key);
    registry.Abandon();
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: registry_stress <registry file> <script id> <iterations> <module>\n");
        return 2;
    }
    setenv("CALORIX_REGISTRY", argv[1], 1);
    int scriptId = std::atoi(argv[2]);
    int iterations = std::atoi(argv[3]);
    server::RegistrarReplacements replacements{{"MODULE", argv[4]}};
    std::string key = ClassKey(scriptId);
    if (key.empty()) {
        std::fprintf(stderr, "no script %d\n", scriptId);
        return 2;
    }
    for (int i = 0; i <= iterations; ++i) {
        for (auto mode : {server::RegistrarMode::Register, server::RegistrarMode::Unregister}) {
            // The last round only registers, so that both classes are left registered.
            if (i == iterations && mode == server::RegistrarMode::Unregister) break;
            HRESULT hr = server::ApplyRegistryResource(scriptId, replacements, mode);
            if (FAILED(hr)) {
                std::fprintf(stderr, "round %d: status 0x%08X\n", i, static_cast<unsigned>(hr));
                return 1;
            }
            bool present = false;
            if (!ClassKeyPresent(key, &present) || present != (mode == server::RegistrarMode::Register)) {
                std::fprintf(stderr, "round %d: %s lost\n", i, key.c_str());
                return 1;
            }
        }
    }
    return 0;
}
