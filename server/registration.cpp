// DllRegisterServer and DllUnregisterServer: each class's registry script, in catalogue
// order, then the type library.
#include <vector>

#include "calorix/guids.h"
#include "platform/export.h"
#include "platform/typelib.h"
#include "server/object_map.h"
#include "server/registrar/registrar.h"

namespace {

const platform::TypeLibraryInfo kTypeLibrary{&LIBID_CALORIXLib, 1, 0, "Calorix 1.0 Type Library"};

HRESULT Register(server::RegistrarMode mode) noexcept {
    try {
        std::vector<int> scripts;
        for (const server::ObjectMapEntry& entry : server::ObjectMap()) scripts.push_back(entry.scriptId);
        return server::RegisterThisModule(scripts, kTypeLibrary, mode);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

}  // namespace

extern "C" CALORIX_EXPORT HRESULT COMCALL DllRegisterServer() { return Register(server::RegistrarMode::Register); }

extern "C" CALORIX_EXPORT HRESULT COMCALL DllUnregisterServer() { return Register(server::RegistrarMode::Unregister); }
