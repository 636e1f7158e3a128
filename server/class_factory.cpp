#include "server/class_factory.h"

#include <atomic>
#include <new>

#include "server/module.h"

namespace server {

namespace {

// The object map holds the first reference; every further one, held from outside the
// library, counts toward the module lock count.
class ClassFactory final : public IClassFactory {
public:
    explicit ClassFactory(InstanceCreator createInstance) : m_createInstance(createInstance) {}

    HRESULT COMCALL QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (riid != IID_IUnknown && riid != IID_IClassFactory) return E_NOINTERFACE;
        *ppv = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    ULONG COMCALL AddRef() override {
        ULONG n = ++m_refs;
        if (n == 2) LockModule();
        return n;
    }
    ULONG COMCALL Release() override {
        ULONG n = --m_refs;
        if (n == 1) UnlockModule();
        if (n == 0) delete this;
        return n;
    }
    HRESULT COMCALL CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (outer && riid != IID_IUnknown) return CLASS_E_NOAGGREGATION;
        return m_createInstance(outer, riid, ppv);
    }
    HRESULT COMCALL LockServer(BOOL lock) override {
        if (lock)
            LockModule();
        else
            UnlockModule();
        return S_OK;
    }

private:
    std::atomic<ULONG> m_refs{0};
    InstanceCreator m_createInstance;
};

}  // namespace

HRESULT CreateClassObject(InstanceCreator createInstance, IClassFactory** factory) noexcept {
    if (!factory) return E_POINTER;
    *factory = nullptr;
    auto* object = new (std::nothrow) ClassFactory(createInstance);
    if (!object) return E_OUTOFMEMORY;
    return object->QueryInterface(IID_IClassFactory, reinterpret_cast<void**>(factory));
}

}  // namespace server
