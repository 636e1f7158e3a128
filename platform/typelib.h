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
// Whether a failed unregistration of the module only met its type library not registered
// (a second uninstall; the system answers E_INVALIDARG or a registry error): an uninstaller
// takes it as done.
bool IsAlreadyUnregistered(const std::string& modulePath, HRESULT status) noexcept;

// IDispatch of an interface described in a registered type library (version 1.0). The type
// information is loaded once per interface and module, on first use under a lock, and
// released when the module unloads. Where there are no type libraries, GetTypeInfoCount
// answers 0 and the others E_NOTIMPL.
struct DispatchInterface {
    const GUID* libraryId;
    const IID* interfaceId;
};
#if defined(_WIN32)
inline constexpr bool kTypeLibrariesAvailable = true;
#else
inline constexpr bool kTypeLibrariesAvailable = false;
#endif
HRESULT DispatchGetTypeInfoCount(UINT* count) noexcept;
HRESULT DispatchGetTypeInfo(const DispatchInterface& dispatch, UINT index, ITypeInfo** info) noexcept;
HRESULT DispatchGetIDsOfNames(const DispatchInterface& dispatch, REFIID riid, LPOLESTR* names, UINT count,
                              DISPID* ids) noexcept;
HRESULT DispatchInvoke(const DispatchInterface& dispatch, void* object, DISPID id, REFIID riid, WORD flags,
                       DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception, UINT* argumentError) noexcept;

}  // namespace platform
