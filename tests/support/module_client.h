// Reaches the built Calorix module the way a host does: by file name, through its exports.
#pragma once

#include <string>
#include <vector>

#include "framework/correlation_interface.h"
#include "framework/empty_value.h"
#include "platform/strings.h"

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

// The module beside the test program, loaded once.
const Module& Calorix();

// Creates a correlation standalone and returns its ICorrelation (null on failure; the
// status in *status when given).
platform::ComPtr<ICorrelation> Create(const Module& module, REFCLSID clsid, HRESULT* status = nullptr);

// The six values of "Phase_Values" in a result set; an index the vector does not hold
// reads as NaN.
std::vector<double> PhaseValues(IVariableSet* results);
// The six values of "Phase_Status" (EncodeValueStatus), NaN where there is none.
std::vector<double> PhaseStatuses(IVariableSet* results);
// Sets element 0 of "RefTempOption" in the correlation's parameter set.
HRESULT SetRefTempOption(ICorrelation* correlation, std::int32_t option);

platform::WideString TakeString(BSTR text);

// A correlation created through the module and attached to a host object.
struct Attached {
    platform::ComPtr<ICorrelation> correlation;
    platform::ComPtr<IVariableSet> results;  // the attachment's result set; the test's own reference
    std::int32_t key = 0;

    HRESULT Calculate() const { return correlation->Calculate(key); }
    std::vector<double> Values() const { return PhaseValues(results.Get()); }
    std::vector<double> Statuses() const { return PhaseStatuses(results.Get()); }
};
// Creates clsid in Calorix() and attaches it to host (fluid index 0). Fails the test, and
// leaves the correlation null, when that cannot be done.
Attached Attach(REFCLSID clsid, IUnknown* host);
// Writes value into indexes 0-5 of "Phase_Values", so that what a calculation leaves shows.
void FillPhaseValues(IVariableSet* results, double value);

// The fourteen classes in catalogue order, with their identity.
struct ClassInfo {
    const CLSID* clsid;
    const char* word;
};
const std::vector<ClassInfo>& Classes();

}  // namespace moduleclient
