#include "framework/dataserver.h"

#include <mutex>
#include <string>
#include <utility>
#include <vector>

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
        // A library loaded stays loaded, so its entry point is looked up once per process (the
        // loader's search of its path on every creation made creation a hundred times slower);
        // later callers read it under the same lock, which orders them after the load.
        static std::mutex loading;
        static std::vector<std::pair<std::string, GetClassObjectFn>> loaded;
        platform::ComPtr<IClassFactory> factory;
        {
            const std::lock_guard<std::mutex> lock(loading);
            GetClassObjectFn getClassObject = nullptr;
            for (const auto& [name, entry] : loaded)
                if (name == fileName) getClassObject = entry;
            if (!getClassObject) {
                platform::LibraryHandle library = nullptr;
                if (FAILED(platform::LoadComponentLibrary(fileName, &library))) return E_FAIL;
                getClassObject =
                    reinterpret_cast<GetClassObjectFn>(platform::GetLibraryExport(library, "DllGetClassObject"));
                if (!getClassObject) return E_FAIL;
                loaded.emplace_back(fileName, getClassObject);
            }
            if (FAILED(getClassObject(clsid, IID_IClassFactory, factory.PutVoid())) || !factory) return E_FAIL;
        }
        platform::ComPtr<IUnknown> instance;
        HRESULT hr = factory->CreateInstance(nullptr, IID_IUnknown, instance.PutVoid());
        if (FAILED(hr) || !instance) return FAILED(hr) ? hr : E_FAIL;
        return instance->QueryInterface(iid, object);
    });
}
