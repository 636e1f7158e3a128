// The host data server's variable objects ("varbank2.dll") and their creation.
// Operations are in the data server's vtable order; slot numbers count after IUnknown.
#pragma once

#include <cstdint>

#include "calorix/guids.h"
#include "platform/comptr.h"

struct IVariable : IUnknown {
    virtual HRESULT COMCALL GetTaggedName(BSTR* name) = 0;                  // 1
    virtual HRESULT COMCALL SetTaggedName(const OLECHAR* name) = 0;         // 2
    virtual HRESULT COMCALL GetDisplayName(BSTR* name) = 0;                 // 3
    virtual HRESULT COMCALL SetDisplayName(BSTR name) = 0;                  // 4
    virtual HRESULT COMCALL GetIntAttribute(std::int32_t* value) = 0;       // 5
    virtual HRESULT COMCALL SetIntAttribute(std::int32_t value) = 0;        // 6
};

struct INumericVectorVariable : IVariable {
    virtual HRESULT COMCALL GetSize(std::int32_t* size) = 0;                          // 7
    virtual HRESULT COMCALL SetSize(std::int32_t size) = 0;                           // 8
    virtual HRESULT COMCALL GetValue(std::int32_t index, double* value) = 0;          // 9
    virtual HRESULT COMCALL GetValues(std::int32_t count, double* values) = 0;        // 10
    virtual HRESULT COMCALL SetValues(std::int32_t count, const double* values) = 0;  // 11
    virtual HRESULT COMCALL GetUnitCode(std::int32_t* code) = 0;                      // 12
    virtual HRESULT COMCALL SetUnitCode(std::int32_t code) = 0;                       // 13
    virtual HRESULT COMCALL Clear() = 0;                                              // 14
    virtual HRESULT COMCALL SetValue(std::int32_t index, double value) = 0;           // 15
};

struct IEnumVariable : IVariable {
    virtual HRESULT COMCALL GetOptionCount(std::int32_t* count) = 0;                      // 7
    virtual HRESULT COMCALL GetEnumText(std::int32_t option, BSTR* text) = 0;             // 8
    virtual HRESULT COMCALL GetEnumParameter1(std::int32_t* value) = 0;                   // 9
    virtual HRESULT COMCALL GetEnumParameter2(std::int32_t* value) = 0;                   // 10
    virtual HRESULT COMCALL GetElementCount(std::int32_t* count) = 0;                     // 11
    virtual HRESULT COMCALL SetElementCount(std::int32_t count) = 0;                      // 12
    virtual HRESULT COMCALL ClearOptions() = 0;                                           // 13
    virtual HRESULT COMCALL GetSelectedText(std::int32_t element, BSTR* text) = 0;        // 14
    virtual HRESULT COMCALL GetValue(std::int32_t element, std::int32_t* option) = 0;     // 15
    virtual HRESULT COMCALL SetValue(std::int32_t element, std::int32_t option) = 0;      // 16
    virtual HRESULT COMCALL SelectText(std::int32_t element, const OLECHAR* text) = 0;    // 17
    virtual HRESULT COMCALL SetEnumParameter1(std::int32_t value) = 0;                    // 18
    virtual HRESULT COMCALL SetEnumParameter2(std::int32_t value) = 0;                    // 19
    virtual HRESULT COMCALL SetEnumText(std::int32_t option, BSTR text) = 0;              // 20
};

struct IVariableSet : IUnknown {
    virtual HRESULT COMCALL GetCount(std::int32_t* count) = 0;                             // 1
    virtual HRESULT COMCALL GetVariableAt(std::int32_t index, IVariable** variable) = 0;   // 2
    virtual HRESULT COMCALL GetSetName(BSTR* name) = 0;                                    // 3
    virtual HRESULT COMCALL SetSetName(const OLECHAR* name) = 0;                           // 4
    virtual HRESULT COMCALL AddVariable(IVariable* variable) = 0;                          // 5
    virtual HRESULT COMCALL RemoveVariable(const OLECHAR* taggedName) = 0;                 // 6
    virtual HRESULT COMCALL RemoveAll() = 0;                                               // 7
    virtual HRESULT COMCALL Contains(const OLECHAR* taggedName, std::int32_t* found) = 0;  // 8
    virtual HRESULT COMCALL GetModified(std::int32_t* modified) = 0;                       // 9
    virtual HRESULT COMCALL SetModified(std::int32_t modified) = 0;                        // 10
    // Afterwards *set refers to a new set, a deep copy holding its own variables.
    virtual HRESULT COMCALL Clone(IVariableSet** set) = 0;                                 // 11
    virtual HRESULT COMCALL CopyValuesFrom(IVariableSet* other) = 0;                       // 12
    virtual HRESULT COMCALL GetOwnerTag(std::int32_t* tag) = 0;                            // 13
    virtual HRESULT COMCALL SetOwnerTag(std::int32_t tag) = 0;                             // 14
    virtual HRESULT COMCALL GetVariable(const OLECHAR* taggedName, IVariable** variable) = 0;  // 15
};

CALORIX_DECLARE_IID(IVariable, IID_IVariable)
CALORIX_DECLARE_IID(INumericVectorVariable, IID_INumericVectorVariable)
CALORIX_DECLARE_IID(IEnumVariable, IID_IEnumVariable)
CALORIX_DECLARE_IID(IVariableSet, IID_IVariableSet)

// File name of the host's data-server library.
inline constexpr char kDataServerFileName[] = "varbank2.dll";

// Loads the library by file name (kept loaded), asks its DllGetClassObject for the class
// object of clsid, creates an instance without an outer object and queries it for iid.
// A failed load, a missing export, or a failed or null class object: E_FAIL. Otherwise the
// status of the creation, or of the query when an instance was created.
HRESULT CreateDataServerObject(const char* fileName, REFCLSID clsid, REFIID iid, void** object) noexcept;

template <typename T>
HRESULT CreateDataServerObject(REFCLSID clsid, platform::ComPtr<T>* object) noexcept {
    return CreateDataServerObject(kDataServerFileName, clsid, platform::uuidof<T>(), object->PutVoid());
}
