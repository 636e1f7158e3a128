// Reaches the built Calorix module the way a host does: by file name, through its exports.
#pragma once

#include <string>
#include <vector>

#include "framework/correlation_interface.h"
#include "framework/empty_value.h"

namespace moduleclient {

using GetClassObjectFn = HRESULT(COMCALL*)(REFCLSID, REFIID, void**);
using CanUnloadNowFn = HRESULT(COMCALL*)();
using RegisterFn = HRESULT(COMCALL*)();

struct Module {
    GetClassObjectFn getClassObject = nullptr;
    CanUnloadNowFn canUnloadNow = nullptr;
    RegisterFn registerServer = nullptr;
    RegisterFn unregisterServer = nullptr;
};

// The module at a path, or "Calorix.dll" beside the test program. Fails the test when it
// cannot be loaded.
Module Load(const std::string& path = "Calorix.dll");

// Creates a correlation standalone and returns its ICorrelation (null on failure; the
// status in *status when given).
platform::ComPtr<ICorrelation> Create(const Module& module, REFCLSID clsid, HRESULT* status = nullptr);

// The six values of "Phase_Values" in a result set; an index the vector does not hold
// reads as NaN.
std::vector<double> PhaseValues(IVariableSet* results);
// Sets element 0 of "RefTempOption" in the correlation's parameter set.
HRESULT SetRefTempOption(ICorrelation* correlation, std::int32_t option);

std::u16string TakeString(BSTR text);

// The fourteen classes in catalogue order, with their identity.
struct ClassInfo {
    const CLSID* clsid;
    const char* word;
};
const std::vector<ClassInfo>& Classes();

}  // namespace moduleclient
