// The core every correlation class shares: identity strings, the three integer
// properties, the attachments, the variable sets and result vector, the nine common
// ICorrelation operations, initialisation of the variables, and the calculation driver.
//
// A class is assembled in three layers:
//   CorrelationBase (this file)       members and operations common to all fourteen classes
//   a family (calorific/, water/, co2e/)  Initialize and the property step of Calculate
//   CorrelationClass<Identity>        the class's own dual interface and interface map
// The creation wrappers of the server add reference counting and IUnknown.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "framework/correlation_interface.h"
#include "framework/empty_value.h"
#include "framework/host_interfaces.h"
#include "framework/value_status.h"
#include "platform/guarded_call.h"
#include "platform/typelib.h"

// One attachment of a correlation to a host fluid.
class CConnectionInfo {
public:
    virtual ~CConnectionInfo();  // releases m_source, then m_results

    std::int32_t m_index = -1;                     // fluid index given to GetFluidState
    std::int32_t m_key = -1;                       // position in the list + 1
    platform::ComPtr<IVariableSet> m_results;      // the attachment's own result set
    platform::ComPtr<IFluidSource> m_source;
};

// The fixed identity of a correlation class.
struct ClassIdentity {
    const CLSID* classId;
    const char* displayName;
    std::int32_t resultType;
};

// A task-allocator array of doubles, freed with the task allocator.
class TaskArray {
public:
    TaskArray() = default;
    TaskArray(const TaskArray&) = delete;
    TaskArray& operator=(const TaskArray&) = delete;
    ~TaskArray() { Free(); }
    // Allocates count doubles (a negative count counts as 0); false when memory runs out.
    bool Allocate(std::int32_t count);
    void Free() noexcept;
    double*& Data() noexcept { return m_data; }
    double* Get() const noexcept { return m_data; }
    double operator[](std::size_t i) const noexcept { return m_data[i]; }

private:
    double* m_data = nullptr;
};

// Requests one per-component property: allocates count doubles, hands them to the host and
// keeps what it returns. The host may change count. E_FAIL on any failure.
HRESULT RequestProperty(IComponentData* data, const char* name, std::int32_t* count, TaskArray* values);

// A FluidComposition whose five arrays are freed with the task allocator.
class OwnedComposition {
public:
    OwnedComposition() = default;
    OwnedComposition(const OwnedComposition&) = delete;
    OwnedComposition& operator=(const OwnedComposition&) = delete;
    ~OwnedComposition() { Clear(); }
    void Clear() noexcept;  // frees the arrays and zeroes the record
    FluidComposition& Record() noexcept { return m_record; }
    const FluidComposition& Record() const noexcept { return m_record; }

private:
    FluidComposition m_record{};
};

class CorrelationBase : public ICorrelation {
public:
    CorrelationBase(const CorrelationBase&) = delete;
    CorrelationBase& operator=(const CorrelationBase&) = delete;

    // ICorrelation (the class supplies IUnknown and IDispatch)
    HRESULT COMCALL GetDisplayName(BSTR* name) override;
    HRESULT COMCALL GetClassIdString(BSTR* classId) override;
    HRESULT COMCALL GetIntProperty1(std::int32_t* value) override;
    HRESULT COMCALL GetIntProperty2(std::int32_t* value) override;
    HRESULT COMCALL GetIntProperty3(std::int32_t* value) override;
    HRESULT COMCALL GetIntProperty4(std::int32_t* value) override;
    HRESULT COMCALL Attach(IUnknown* host, std::int32_t fluidIndex, std::int32_t* key, IVariableSet** results) override;
    HRESULT COMCALL Detach(std::int32_t key) override;
    HRESULT COMCALL Calculate(std::int32_t key) override;
    HRESULT COMCALL GetParameters(IVariableSet** parameters) override;
    // IDispatch of ICorrelation, from the host's registered type library CORRMANLib.
    HRESULT COMCALL GetTypeInfoCount(UINT* count) override;
    HRESULT COMCALL GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    HRESULT COMCALL GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override;
    HRESULT COMCALL Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                           EXCEPINFO* exception, UINT* argumentError) override;

    // The class's own operations, after those of its first interface.
    virtual ~CorrelationBase();
    virtual HRESULT Setup() { return S_OK; }
    // Releases the sets and the result vector and deletes every attachment; touches no
    // family member. The library never calls it; destruction does the complete teardown.
    virtual HRESULT Cleanup();
    // Creates the variable sets and variables; run once by the creator.
    virtual HRESULT Initialize() = 0;

    std::size_t AttachmentCount() const noexcept { return m_attachments.size(); }

protected:
    explicit CorrelationBase(const ClassIdentity& identity);

    // The short initialisation: both sets, "Phase_Values" in the result set, the result
    // type. With refTempOption, also the enumeration parameterName ("RefTempOption" unless
    // told otherwise) in the parameter set (full version).
    HRESULT InitializeVariables(platform::ComPtr<IEnumVariable>* refTempOption,
                                const char* parameterName = kRefTempOptionName);

    // The attached fluid as the driver obtains it.
    struct Fluid {
        platform::ComPtr<IFluidState> state;
        platform::ComPtr<IComponentData> data;
        IVariableSet* results = nullptr;  // owned by the attachment
    };
    // Steps common to every Calculate: the attachment, the fluid state, the recalculation
    // test, the component data. S_OK to go on, S_FALSE when the results are current,
    // otherwise the status to return.
    HRESULT OpenFluid(std::int32_t key, Fluid* fluid);
    // The vector "Phase_Values" of a result set: E_FAIL when the set has no such variable,
    // S_OK with a null vector when it is not a numeric vector.
    static HRESULT FindPhaseValues(IVariableSet* results, platform::ComPtr<INumericVectorVariable>* vector);
    // "Phase_Status" of the slots written with these values, where the result set has room for
    // it: Ok for a slot with a value (ExtendedRange where m_slotStatus says so), else its
    // m_slotStatus.
    void WritePhaseStatus(IVariableSet* results, const double values[kSlotCount]) const;

    // The property step of the driver: evaluates the composition slots of a filled record
    // into results (slots 0-4; each starts at EMPTY_VALUE). A failure writes nothing. A slot
    // left without a value may say why in m_slotStatus (EncodeValueStatus; each starts at
    // NoValue, and a slot with a value is Ok whatever it holds but ExtendedRange).
    virtual HRESULT EvaluateSlots(IComponentData* data, const FluidComposition& record, double results[kSlotCount]);

    // Releases sets, vector and attachments (the first part of the teardown); a family
    // destructor calls it before freeing its own members.
    void TeardownCore() noexcept;

    std::string m_classId;
    std::string m_displayName;
    std::vector<std::unique_ptr<CConnectionInfo>> m_attachments;
    std::int32_t m_intPropertyA = 0;
    std::int32_t m_resultType = 0;
    std::int32_t m_intPropertyB = 0;
    platform::ComPtr<IVariableSet> m_resultSet;
    platform::ComPtr<IVariableSet> m_parameterSet;
    platform::ComPtr<INumericVectorVariable> m_phaseValues;
    platform::ComPtr<INumericVectorVariable> m_phaseStatus;
    double m_slotStatus[kSlotCount] = {};

private:
    CConnectionInfo* FindAttachment(std::int32_t key) noexcept;
    const std::int32_t m_classResultType;
};

using platform::GuardedCall;

// IDispatch of a class's own dual interface, from the module's registered type library
// CALORIXLib (ICorrelation's comes from the host's CORRMANLib, in CorrelationBase).
template <typename Interface>
class ClassDispatch : public Interface {
public:
    HRESULT COMCALL GetTypeInfoCount(UINT* count) override { return platform::DispatchGetTypeInfoCount(count); }
    HRESULT COMCALL GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
        return platform::DispatchGetTypeInfo(kDispatch, index, info);
    }
    HRESULT COMCALL GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        return platform::DispatchGetIDsOfNames(kDispatch, riid, names, count, ids);
    }
    HRESULT COMCALL Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                           EXCEPINFO* exception, UINT* argumentError) override {
        return platform::DispatchInvoke(kDispatch, static_cast<Interface*>(this), id, riid, flags, params, result,
                                        exception, argumentError);
    }

private:
    static inline const platform::DispatchInterface kDispatch{&LIBID_CALORIXLib, &platform::uuidof<Interface>()};
};

// A correlation class: its own dual interface first, ICorrelation second, on a family.
// Identity provides: Interface (the dual interface), Family, ClassId(), kDisplayName,
// kResultType and kParameter (the family's parameter).
template <typename Identity>
class CorrelationClass : public ClassDispatch<typename Identity::Interface>, public Identity::Family {
public:
    using Interface = typename Identity::Interface;

    CorrelationClass()
        : Identity::Family(ClassIdentity{&Identity::ClassId(), Identity::kDisplayName, Identity::kResultType},
                           Identity::kParameter) {}

    static const CLSID& ClassId() { return Identity::ClassId(); }

    // The interface map: the class's own interface (also IUnknown and IDispatch), then
    // ICorrelation. The reference is added through the object's AddRef, which the creator
    // routes to the object itself or to an outer object.
    HRESULT InternalQueryInterface(REFIID riid, void** ppv) {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (riid == IID_IUnknown || riid == platform::uuidof<Interface>() || riid == IID_IDispatch)
            *ppv = static_cast<Interface*>(this);
        else if (riid == IID_ICorrelation)
            *ppv = static_cast<ICorrelation*>(this);
        else
            return E_NOINTERFACE;
        static_cast<IUnknown*>(*ppv)->AddRef();
        return S_OK;
    }

};

// The dual interface of each class: IDispatch and nothing of its own.
#include "calorix/catalogue.h"
#define CALORIX_DECLARE_CLASS_INTERFACE(word, scriptId) \
    struct I##word : IDispatch {};                      \
    CALORIX_DECLARE_IID(I##word, IID_I##word)
CALORIX_CATALOGUE(CALORIX_DECLARE_CLASS_INTERFACE)
#undef CALORIX_DECLARE_CLASS_INTERFACE
