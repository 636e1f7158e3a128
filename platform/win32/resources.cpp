// The module's resources, compiled in by the resource compiler from the script CMake writes.
#include "platform/resources.h"

#include "platform/strings.h"
#include "platform/win32/module_handle.h"

namespace platform {

void RegisterModuleResource(const ResourceType&, int, const unsigned char*, std::size_t) {}

HRESULT FindModuleResource(const ResourceType& type, int id, std::span<const std::byte>* data) noexcept {
    if (!data) return E_POINTER;
    *data = {};
    try {
        const HMODULE module = win32::ThisModule();
        const WideString typeName = AnsiToWide(type.Name());
        const LPCWSTR typeId = type.Number() >= 0 ? MAKEINTRESOURCEW(type.Number()) : typeName.c_str();
        HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), typeId);
        if (!found) return HRESULT_FROM_WIN32(ERROR_RESOURCE_NAME_NOT_FOUND);
        HGLOBAL loaded = LoadResource(module, found);
        const void* bytes = loaded ? LockResource(loaded) : nullptr;
        if (!bytes) return HRESULT_FROM_WIN32(GetLastError());
        *data = std::span<const std::byte>(static_cast<const std::byte*>(bytes), SizeofResource(module, found));
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

}  // namespace platform
