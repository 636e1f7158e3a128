// The keys below HKEY_CLASSES_ROOT\TypeLib that registering a type library writes:
//   TypeLib\{libid}\<major>.<minor>            = help string
//   TypeLib\{libid}\<major>.<minor>\0\win64    = module path (language neutral, 64-bit)
//   TypeLib\{libid}\<major>.<minor>\FLAGS      = "0"
//   TypeLib\{libid}\<major>.<minor>\HELPDIR    = "" (the library names no help file)
#include "platform/registry.h"
#include "platform/strings.h"
#include "platform/typelib.h"

namespace platform {

namespace {
std::string LibraryKey(const TypeLibraryInfo& info) { return "TypeLib\\" + GuidToString(*info.libraryId); }
std::string VersionKey(const TypeLibraryInfo& info) {
    return LibraryKey(info) + "\\" + std::to_string(info.majorVersion) + "." + std::to_string(info.minorVersion);
}
}  // namespace

HRESULT RegisterModuleTypeLibrary(const std::string& modulePath, const TypeLibraryInfo& info) noexcept {
    try {
        RegistryTransaction registry;
        HRESULT hr = registry.Begin();
        if (FAILED(hr)) return hr;
        const std::string version = VersionKey(info);
        const std::pair<std::string, std::string> values[] = {
            {version, info.helpString},
            {version + "\\0\\win64", modulePath},
            {version + "\\FLAGS", "0"},
            {version + "\\HELPDIR", ""},
        };
        for (const auto& [key, value] : values) {
            if (FAILED(hr = registry.CreateKey(key))) return hr;
            if (FAILED(hr = registry.SetValue(key, "", value))) return hr;
        }
        return registry.Commit();
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT UnregisterModuleTypeLibrary(const std::string&, const TypeLibraryInfo& info) noexcept {
    try {
        RegistryTransaction registry;
        HRESULT hr = registry.Begin();
        if (FAILED(hr)) return hr;
        if (FAILED(hr = registry.DeleteTree(VersionKey(info)))) return hr;
        // The library's key goes when no other version is left in it.
        std::vector<std::string> others;
        if (registry.KeyExists(LibraryKey(info)) && SUCCEEDED(registry.EnumSubkeys(LibraryKey(info), &others)) &&
            others.empty())
            registry.DeleteKey(LibraryKey(info));
        return registry.Commit();
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

// Deleting what is not there succeeds here.
bool IsAlreadyUnregistered(const std::string&, HRESULT) noexcept { return false; }

// No type information without type libraries.
HRESULT DispatchGetTypeInfoCount(UINT* count) noexcept {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
}
HRESULT DispatchGetTypeInfo(const DispatchInterface&, UINT, ITypeInfo** info) noexcept {
    if (info) *info = nullptr;
    return E_NOTIMPL;
}
HRESULT DispatchGetIDsOfNames(const DispatchInterface&, REFIID, LPOLESTR*, UINT, DISPID*) noexcept { return E_NOTIMPL; }
HRESULT DispatchInvoke(const DispatchInterface&, void*, DISPID, REFIID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                       UINT*) noexcept {
    return E_NOTIMPL;
}

}  // namespace platform
