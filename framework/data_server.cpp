#include "framework/dataserver.h"
#include "platform/guarded_call.h"
#include "platform/library.h"

namespace {
using GetClassObjectFn = HRESULT(COMCALL*)(REFCLSID, REFIID, void**);
}

HRESULT CreateDataServerObject(const char* fileName, REFCLSID clsid, REFIID iid, void** object) noexcept {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (!fileName) return E_FAIL;
    return platform::GuardedCall([&]() -> HRESULT {
        platform::LibraryHandle library = nullptr;
        if (FAILED(platform::LoadComponentLibrary(fileName, &library))) return E_FAIL;
        auto getClassObject =
            reinterpret_cast<GetClassObjectFn>(platform::GetLibraryExport(library, "DllGetClassObject"));
        if (!getClassObject) return E_FAIL;
        platform::ComPtr<IClassFactory> factory;
        if (FAILED(getClassObject(clsid, IID_IClassFactory, factory.PutVoid())) || !factory) return E_FAIL;
        platform::ComPtr<IUnknown> instance;
        HRESULT hr = factory->CreateInstance(nullptr, IID_IUnknown, instance.PutVoid());
        if (FAILED(hr) || !instance) return FAILED(hr) ? hr : E_FAIL;
        return instance->QueryInterface(iid, object);
    });
}
