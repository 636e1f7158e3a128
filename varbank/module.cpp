// Entry points of the data-server module: class objects for the variable set, the numeric
// vector and the enumeration variable.
#include <atomic>

#include "platform/export.h"
#include "platform/guarded_call.h"
#include "varbank/variables.h"

namespace {

std::atomic<LONG> g_lockCount{0};

using Creator = platform::ComPtr<IUnknown> (*)();

template <typename T, platform::ComPtr<T> (*New)()>
platform::ComPtr<IUnknown> CreateAs() {
    platform::ComPtr<T> object = New();
    return platform::ComPtr<IUnknown>(object.Get());
}

// Class objects are static: their counts only keep the module loaded while held.
class ClassFactory final : public IClassFactory {
public:
    explicit ClassFactory(Creator create) : m_create(create) {}
    HRESULT COMCALL QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (riid != IID_IUnknown && riid != IID_IClassFactory) return E_NOINTERFACE;
        *ppv = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    ULONG COMCALL AddRef() override { return static_cast<ULONG>(++g_lockCount + 1); }
    ULONG COMCALL Release() override { return static_cast<ULONG>(--g_lockCount + 1); }
    HRESULT COMCALL CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        return platform::GuardedCall([&]() -> HRESULT {
            platform::ComPtr<IUnknown> object = m_create();
            return object->QueryInterface(riid, ppv);
        });
    }
    HRESULT COMCALL LockServer(BOOL lock) override {
        if (lock)
            ++g_lockCount;
        else
            --g_lockCount;
        return S_OK;
    }

private:
    Creator m_create;
};

ClassFactory g_setFactory(&CreateAs<IVariableSet, &varbank::NewVariableSet>);
ClassFactory g_vectorFactory(&CreateAs<INumericVectorVariable, &varbank::NewNumericVector>);
ClassFactory g_enumFactory(&CreateAs<IEnumVariable, &varbank::NewEnumVariable>);

}  // namespace

extern "C" CALORIX_EXPORT HRESULT COMCALL DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    ClassFactory* factory = clsid == CLSID_VariableSet             ? &g_setFactory
                            : clsid == CLSID_NumericVectorVariable ? &g_vectorFactory
                            : clsid == CLSID_EnumVariable          ? &g_enumFactory
                                                                   : nullptr;
    if (!factory) return CLASS_E_CLASSNOTAVAILABLE;
    return factory->QueryInterface(riid, ppv);
}

// Objects are counted by the callers that hold them; the module stays loaded while any
// class object is held or locked.
extern "C" CALORIX_EXPORT HRESULT COMCALL DllCanUnloadNow() { return g_lockCount == 0 ? S_OK : S_FALSE; }
