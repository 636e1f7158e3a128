// The module's type library: resource TYPELIB 1 of the module file, registered by the system.
#include "platform/typelib.h"

#include <mutex>
#include <utility>
#include <vector>

#include "platform/strings.h"

namespace platform {

namespace {
// The type library of the module file, else of the file beside it with the extension ".tlb".
HRESULT LoadModuleTypeLibrary(const std::string& modulePath, ITypeLib** library, WideString* loadedFrom) {
    WideString path = Utf8ToWide(modulePath);
    HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, library);
    if (FAILED(hr)) {
        const auto dot = path.find_last_of(OLESTR('.'));
        const auto slash = path.find_last_of(OLESTR("\\/"));
        if (dot != WideString::npos && (slash == WideString::npos || dot > slash)) path.resize(dot);
        path += OLESTR(".tlb");
        hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, library);
    }
    if (SUCCEEDED(hr)) *loadedFrom = path;
    return hr;
}
}  // namespace

HRESULT RegisterModuleTypeLibrary(const std::string& modulePath, const TypeLibraryInfo&) noexcept {
    try {
        ITypeLib* library = nullptr;
        WideString path;
        HRESULT hr = LoadModuleTypeLibrary(modulePath, &library, &path);
        if (FAILED(hr)) return hr;
        hr = RegisterTypeLib(library, path.data(), nullptr);
        library->Release();
        return hr;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT UnregisterModuleTypeLibrary(const std::string& modulePath, const TypeLibraryInfo&) noexcept {
    try {
        ITypeLib* library = nullptr;
        WideString path;
        HRESULT hr = LoadModuleTypeLibrary(modulePath, &library, &path);
        if (FAILED(hr)) return hr;
        TLIBATTR* attributes = nullptr;
        hr = library->GetLibAttr(&attributes);
        if (SUCCEEDED(hr)) {
            hr = UnRegisterTypeLib(attributes->guid, attributes->wMajorVerNum, attributes->wMinorVerNum,
                                   attributes->lcid, attributes->syskind);
            library->ReleaseTLibAttr(attributes);
        }
        library->Release();
        return hr;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

bool IsAlreadyUnregistered(const std::string& modulePath, HRESULT status) noexcept {
    if (SUCCEEDED(status)) return false;
    try {
        ITypeLib* library = nullptr;
        WideString path;
        if (FAILED(LoadModuleTypeLibrary(modulePath, &library, &path))) return false;
        TLIBATTR* attributes = nullptr;
        bool registered = true;
        if (SUCCEEDED(library->GetLibAttr(&attributes))) {
            BSTR registeredPath = nullptr;
            registered = SUCCEEDED(QueryPathOfRegTypeLib(attributes->guid, attributes->wMajorVerNum,
                                                         attributes->wMinorVerNum, attributes->lcid, &registeredPath));
            SysFreeString(registeredPath);
            library->ReleaseTLibAttr(attributes);
        }
        library->Release();
        return !registered;
    } catch (...) {
        return false;
    }
}

namespace {
// The type information loaded for IDispatch, one entry per interface, released at unload.
class TypeInfoCache {
public:
    ~TypeInfoCache() {
        for (auto& entry : m_entries) entry.second->Release();
    }
    HRESULT Get(const DispatchInterface& dispatch, ITypeInfo** info) {
        std::lock_guard lock(m_mutex);
        for (auto& [iid, cached] : m_entries)
            if (iid == *dispatch.interfaceId) {
                cached->AddRef();
                *info = cached;
                return S_OK;
            }
        ITypeLib* library = nullptr;
        HRESULT hr = LoadRegTypeLib(*dispatch.libraryId, 1, 0, LOCALE_NEUTRAL, &library);
        if (FAILED(hr)) return hr;
        ITypeInfo* loaded = nullptr;
        hr = library->GetTypeInfoOfGuid(*dispatch.interfaceId, &loaded);
        library->Release();
        if (FAILED(hr)) return hr;
        m_entries.emplace_back(*dispatch.interfaceId, loaded);
        loaded->AddRef();
        *info = loaded;
        return S_OK;
    }

private:
    std::mutex m_mutex;
    std::vector<std::pair<IID, ITypeInfo*>> m_entries;
};

TypeInfoCache& Cache() {
    static TypeInfoCache cache;
    return cache;
}

class TypeInfoRef {
public:
    ~TypeInfoRef() {
        if (m_info) m_info->Release();
    }
    ITypeInfo* m_info = nullptr;
};
}  // namespace

HRESULT DispatchGetTypeInfoCount(UINT* count) noexcept {
    if (!count) return E_POINTER;
    *count = 1;
    return S_OK;
}

HRESULT DispatchGetTypeInfo(const DispatchInterface& dispatch, UINT index, ITypeInfo** info) noexcept {
    if (!info) return E_POINTER;
    *info = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    try {
        return Cache().Get(dispatch, info);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT DispatchGetIDsOfNames(const DispatchInterface& dispatch, REFIID riid, LPOLESTR* names, UINT count,
                              DISPID* ids) noexcept {
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    TypeInfoRef info;
    HRESULT hr = DispatchGetTypeInfo(dispatch, 0, &info.m_info);
    return FAILED(hr) ? hr : DispGetIDsOfNames(info.m_info, names, count, ids);
}

HRESULT DispatchInvoke(const DispatchInterface& dispatch, void* object, DISPID id, REFIID riid, WORD flags,
                       DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception, UINT* argumentError) noexcept {
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    TypeInfoRef info;
    HRESULT hr = DispatchGetTypeInfo(dispatch, 0, &info.m_info);
    return FAILED(hr) ? hr : DispInvoke(object, info.m_info, id, flags, params, result, exception, argumentError);
}

}  // namespace platform
