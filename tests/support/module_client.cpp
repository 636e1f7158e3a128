#include "tests/support/module_client.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "calorix/catalogue.h"
#include "platform/library.h"

namespace moduleclient {

using platform::ComPtr;

Module Load(const std::string& path) {
    Module m;
    platform::LibraryHandle library = nullptr;
    HRESULT hr = platform::LoadComponentLibrary(path, &library);
    EXPECT_EQ(hr, S_OK) << "cannot load " << path;
    if (FAILED(hr)) return m;
    m.getClassObject = reinterpret_cast<GetClassObjectFn>(platform::GetLibraryExport(library, "DllGetClassObject"));
    m.canUnloadNow = reinterpret_cast<CanUnloadNowFn>(platform::GetLibraryExport(library, "DllCanUnloadNow"));
    m.registerServer = reinterpret_cast<RegisterFn>(platform::GetLibraryExport(library, "DllRegisterServer"));
    m.unregisterServer = reinterpret_cast<RegisterFn>(platform::GetLibraryExport(library, "DllUnregisterServer"));
    return m;
}

const Module& Calorix() {
    static const Module module = Load();
    return module;
}

ComPtr<ICorrelation> Create(const Module& module, REFCLSID clsid, HRESULT* status) {
    ComPtr<ICorrelation> correlation;
    ComPtr<IClassFactory> factory;
    HRESULT hr = module.getClassObject ? module.getClassObject(clsid, IID_IClassFactory, factory.PutVoid()) : E_FAIL;
    if (SUCCEEDED(hr)) hr = factory->CreateInstance(nullptr, IID_ICorrelation, correlation.PutVoid());
    if (status) *status = hr;
    return correlation;
}

namespace {
std::vector<double> VectorValues(IVariableSet* results, const OLECHAR* name) {
    std::vector<double> values(6, std::numeric_limits<double>::quiet_NaN());
    ComPtr<IVariable> variable;
    if (!results || FAILED(results->GetVariable(name, variable.Put())) || !variable) return values;
    ComPtr<INumericVectorVariable> vector;
    if (FAILED(variable.As(&vector))) return values;
    for (std::int32_t i = 0; i < 6; ++i) {
        double v = 0;
        if (SUCCEEDED(vector->GetValue(i, &v))) values[static_cast<std::size_t>(i)] = v;
    }
    return values;
}
}  // namespace

std::vector<double> PhaseValues(IVariableSet* results) { return VectorValues(results, OLESTR("Phase_Values")); }
std::vector<double> PhaseStatuses(IVariableSet* results) { return VectorValues(results, OLESTR("Phase_Status")); }

HRESULT SetRefTempOption(ICorrelation* correlation, std::int32_t option) {
    ComPtr<IVariableSet> parameters;
    HRESULT hr = correlation->GetParameters(parameters.Put());
    if (FAILED(hr) || !parameters) return E_FAIL;
    ComPtr<IVariable> variable;
    if (FAILED(parameters->GetVariable(OLESTR("RefTempOption"), variable.Put()))) return E_FAIL;
    ComPtr<IEnumVariable> enumeration;
    if (FAILED(variable.As(&enumeration))) return E_FAIL;
    return enumeration->SetValue(0, option);
}

Attached Attach(REFCLSID clsid, IUnknown* host) {
    Attached a;
    a.correlation = Create(Calorix(), clsid);
    EXPECT_TRUE(a.correlation);
    if (!a.correlation) return a;
    IVariableSet* set = nullptr;
    EXPECT_EQ(a.correlation->Attach(host, 0, &a.key, &set), S_OK);
    // The attachment keeps the one reference Attach created; the test takes its own.
    a.results = ComPtr<IVariableSet>(set);
    return a;
}

void FillPhaseValues(IVariableSet* results, double value) {
    ComPtr<IVariable> variable;
    ASSERT_EQ(results->GetVariable(OLESTR("Phase_Values"), variable.Put()), S_OK);
    ComPtr<INumericVectorVariable> vector;
    ASSERT_EQ(variable.As(&vector), S_OK);
    for (std::int32_t i = 0; i < 6; ++i) ASSERT_EQ(vector->SetValue(i, value), S_OK);
}

platform::WideString TakeString(BSTR text) {
    platform::WideString s = text ? platform::WideString(text, SysStringLen(text)) : platform::WideString();
    SysFreeString(text);
    return s;
}

const std::vector<ClassInfo>& Classes() {
#define CALORIX_CLASS_INFO(word, scriptId) ClassInfo{&CLSID_##word, #word},
    static const std::vector<ClassInfo> classes = {CALORIX_CATALOGUE(CALORIX_CLASS_INFO)};
#undef CALORIX_CLASS_INFO
    return classes;
}

}  // namespace moduleclient
