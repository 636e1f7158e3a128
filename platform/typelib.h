// Registration of the module's type library. On Windows the type library is a resource of
// the module, loaded and registered by the system; elsewhere there is no binary type library
// and registration writes the keys the system would write.
#pragma once

#include <string>

#include "platform/com.h"

namespace platform {

struct TypeLibraryInfo {
    const GUID* libraryId;
    unsigned short majorVersion;
    unsigned short minorVersion;
    const char* helpString;  // "Calorix 1.0 Type Library"
};

HRESULT RegisterModuleTypeLibrary(const std::string& modulePath, const TypeLibraryInfo& info) noexcept;
HRESULT UnregisterModuleTypeLibrary(const std::string& modulePath, const TypeLibraryInfo& info) noexcept;

}  // namespace platform
