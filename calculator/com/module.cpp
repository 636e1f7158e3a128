// CalorixCalc.dll: the class object of Calorix.Calculator and the four entry points.
// Registration applies the registry script (REGISTRY 101) and registers the type library
// CalorixCalcLib (TYPELIB 1), the way Calorix.dll registers its classes.
#include <atomic>

#include "calculator/com/calculator_object.h"
#include "calorix/guids.h"
#include "platform/export.h"
#include "platform/typelib.h"
#include "server/registrar/registrar.h"

namespace {

using calorix::calculator::CreateCalculator;
using calorix::calculator::LiveCalculators;

constexpr int kRegistryScriptId = 101;
const platform::TypeLibraryInfo kTypeLibrary{&LIBID_CalorixCalcLib, 1, 0, "Calorix Calculator 1.0 Type Library"};

std::atomic<LONG> g_serverLocks{0};

// One class object for the life of the module; references held from outside lock the module.
class ClassFactory final : public IClassFactory {
public:
    HRESULT COMCALL QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (riid != IID_IUnknown && riid != IID_IClassFactory) return E_NOINTERFACE;
        *ppv = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    ULONG COMCALL AddRef() override { return static_cast<ULONG>(++g_serverLocks) + 1; }
    ULONG COMCALL Release() override { return static_cast<ULONG>(--g_serverLocks) + 1; }
    HRESULT COMCALL CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        return CreateCalculator(riid, ppv);
    }
    HRESULT COMCALL LockServer(BOOL lock) override {
        if (lock)
            ++g_serverLocks;
        else
            --g_serverLocks;
        return S_OK;
    }
} g_classFactory;

HRESULT Register(server::RegistrarMode mode) noexcept {
    const int scripts[] = {kRegistryScriptId};
    return server::RegisterThisModule(scripts, kTypeLibrary, mode);
}

}  // namespace

extern "C" CALORIX_EXPORT HRESULT COMCALL DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (clsid != CLSID_Calculator) return CLASS_E_CLASSNOTAVAILABLE;
    return g_classFactory.QueryInterface(riid, ppv);
}

extern "C" CALORIX_EXPORT HRESULT COMCALL DllCanUnloadNow() {
    return g_serverLocks == 0 && LiveCalculators() == 0 ? S_OK : S_FALSE;
}

extern "C" CALORIX_EXPORT HRESULT COMCALL DllRegisterServer() { return Register(server::RegistrarMode::Register); }

extern "C" CALORIX_EXPORT HRESULT COMCALL DllUnregisterServer() { return Register(server::RegistrarMode::Unregister); }
