#include "framework/dataserver.h"

#include <mutex>

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
        // One load at a time: threads that create their first correlations together would
        // otherwise reach the data server's class factory while another thread's load of the
        // library is still running its static initialisation, with nothing ordering the two.
        static std::mutex loading;
        platform::ComPtr<IClassFactory> factory;
        {
            const std::lock_guard<std::mutex> lock(loading);
            platform::LibraryHandle library = nullptr;
            if (FAILED(platform::LoadComponentLibrary(fileName, &library))) return E_FAIL;
            auto getClassObject =
                reinterpret_cast<GetClassObjectFn>(platform::GetLibraryExport(library, "DllGetClassObject"));
            if (!getClassObject) return E_FAIL;
            if (FAILED(getClassObject(clsid, IID_IClassFactory, factory.PutVoid())) || !factory) return E_FAIL;
        }
        platform::ComPtr<IUnknown> instance;
        HRESULT hr = factory->CreateInstance(nullptr, IID_IUnknown, instance.PutVoid());
        if (FAILED(hr) || !instance) return FAILED(hr) ? hr : E_FAIL;
        return instance->QueryInterface(iid, object);
    });
}
