// The module: lock count, object map with cached class objects, the exported entry points
// DllGetClassObject and DllCanUnloadNow, and what happens at load and unload.
#include "server/module.h"

#include <array>
#include <atomic>
#include <mutex>

#include "calorix/catalogue.h"
#include "platform/export.h"
#include "server/class_factory.h"
#include "server/classes.h"
#include "server/creators.h"
#include "server/object_map.h"

namespace server {

namespace {
std::atomic<LONG> g_lockCount{0};
std::mutex g_classObjectLock;

template <typename T>
HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** ppv) noexcept {
    return outer ? CreateAggregated<T>(outer, riid, ppv) : CreateStandalone<T>(riid, ppv);
}

#define CALORIX_MAP_ENTRY(word, scriptId) ObjectMapEntry{&CLSID_##word, #word, scriptId, &CreateInstance<C##word>},
std::array<ObjectMapEntry, kCatalogueSize> g_objectMap = {CALORIX_CATALOGUE(CALORIX_MAP_ENTRY)};
#undef CALORIX_MAP_ENTRY

// Stands for the application object: start-up at load (the map is static data, so there
// is nothing to attach), exit at unload, which releases the cached class objects.
struct ModuleLifetime {
    ~ModuleLifetime() {
        for (ObjectMapEntry& entry : g_objectMap)
            if (IClassFactory* factory = entry.classObject.exchange(nullptr)) factory->Release();
    }
} g_lifetime;
}  // namespace

void LockModule() noexcept { ++g_lockCount; }
void UnlockModule() noexcept { --g_lockCount; }
LONG ModuleLockCount() noexcept { return g_lockCount; }

std::span<ObjectMapEntry> ObjectMap() noexcept { return g_objectMap; }

HRESULT GetClassObject(REFCLSID clsid, REFIID riid, void** ppv) noexcept {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    for (ObjectMapEntry& entry : g_objectMap) {
        if (*entry.classId != clsid) continue;
        // Double-checked creation: the acquire load pairs with the release store, so a class
        // object seen without the lock is fully constructed.
        HRESULT created = S_OK;
        IClassFactory* factory = entry.classObject.load(std::memory_order_acquire);
        if (!factory) {
            std::lock_guard lock(g_classObjectLock);
            factory = entry.classObject.load(std::memory_order_relaxed);
            if (!factory) {
                created = CreateClassObject(entry.createInstance, &factory);
                if (factory) entry.classObject.store(factory, std::memory_order_release);
            }
        }
        if (factory) return factory->QueryInterface(riid, ppv);
        return created;
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

}  // namespace server

extern "C" CALORIX_EXPORT HRESULT COMCALL DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
    return server::GetClassObject(clsid, riid, ppv);
}

extern "C" CALORIX_EXPORT HRESULT COMCALL DllCanUnloadNow() {
    return server::ModuleLockCount() == 0 ? S_OK : S_FALSE;
}
