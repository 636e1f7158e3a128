// DllRegisterServer and DllUnregisterServer: each class's registry script, in catalogue
// order, then the type library.
#include <functional>
#include <vector>

#include "calorix/guids.h"
#include "platform/export.h"
#include "platform/library.h"
#include "platform/typelib.h"
#include "server/object_map.h"
#include "server/registrar/registrar.h"

namespace {

const platform::TypeLibraryInfo kTypeLibrary{&LIBID_CALORIXLib, 1, 0, "Calorix 1.0 Type Library"};

HRESULT Register(server::RegistrarMode mode) noexcept {
    try {
        const std::string path = platform::ModuleFilePath();
        if (path.empty()) return E_FAIL;
        const server::RegistrarReplacements replacements{{"MODULE", path}};
        std::vector<std::function<HRESULT()>> steps;
        for (const server::ObjectMapEntry& entry : server::ObjectMap())
            steps.emplace_back([&, id = entry.scriptId] { return server::ApplyRegistryResource(id, replacements, mode); });
        steps.emplace_back([&] {
            return mode == server::RegistrarMode::Register ? platform::RegisterModuleTypeLibrary(path, kTypeLibrary)
                                                           : platform::UnregisterModuleTypeLibrary(path, kTypeLibrary);
        });
        // One read and one write of the registry where nothing fails.
        return server::RunRegistrationSteps(steps);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

}  // namespace

extern "C" CALORIX_EXPORT HRESULT COMCALL DllRegisterServer() { return Register(server::RegistrarMode::Register); }

extern "C" CALORIX_EXPORT HRESULT COMCALL DllUnregisterServer() { return Register(server::RegistrarMode::Unregister); }
