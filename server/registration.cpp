// DllRegisterServer and DllUnregisterServer: each class's registry script, in catalogue
// order, then the type library.
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
        for (const server::ObjectMapEntry& entry : server::ObjectMap()) {
            HRESULT hr = server::ApplyRegistryResource(entry.scriptId, replacements, mode);
            if (FAILED(hr)) return hr;
        }
        return mode == server::RegistrarMode::Register ? platform::RegisterModuleTypeLibrary(path, kTypeLibrary)
                                                       : platform::UnregisterModuleTypeLibrary(path, kTypeLibrary);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

}  // namespace

extern "C" CALORIX_EXPORT HRESULT COMCALL DllRegisterServer() { return Register(server::RegistrarMode::Register); }

extern "C" CALORIX_EXPORT HRESULT COMCALL DllUnregisterServer() { return Register(server::RegistrarMode::Unregister); }
