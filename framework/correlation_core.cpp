#include "framework/correlation_core.h"

#include <algorithm>
#include <cstring>

#include "components/common/registry/class_id.h"
#include "framework/variable_definitions.h"
#include "platform/out_param.h"
#include "platform/strings.h"

using platform::ComPtr;

CConnectionInfo::~CConnectionInfo() {
    m_source = nullptr;
    m_results = nullptr;
}

// ---------------------------------------------------------------- helpers

bool TaskArray::Allocate(std::int32_t count) {
    Free();
    std::size_t n = static_cast<std::size_t>(std::max(count, 0));
    m_data = static_cast<double*>(CoTaskMemAlloc(std::max<std::size_t>(n, 1) * sizeof(double)));
    return m_data != nullptr;
}

void TaskArray::Free() noexcept {
    CoTaskMemFree(m_data);
    m_data = nullptr;
}

HRESULT RequestProperty(IComponentData* data, const char* name, std::int32_t* count, TaskArray* values) {
    if (!values->Allocate(*count)) return E_FAIL;
    if (FAILED(data->GetComponentProperty(name, count, &values->Data()))) {
        values->Free();
        return E_FAIL;
    }
    if (*count < 0) *count = 0;
    return S_OK;
}

void OwnedComposition::Clear() noexcept {
    // By index: the record is packed to 4 bytes, so a reference to one of its pointers
    // would be misaligned.
    for (int slot = 0; slot < kSlotCount; ++slot) CoTaskMemFree(m_record.moleFractions[slot]);
    std::memset(&m_record, 0, sizeof m_record);
}

// ---------------------------------------------------------------- construction

CorrelationBase::CorrelationBase(const ClassIdentity& identity) : m_classResultType(identity.resultType) {
    char buffer[CLSID_STRING_SIZE];
    ClassIdToString(*identity.classId, buffer, CLSID_STRING_SIZE);
    m_classId = buffer;
    m_displayName = identity.displayName;
}

CorrelationBase::~CorrelationBase() { TeardownCore(); }

void CorrelationBase::TeardownCore() noexcept {
    m_parameterSet = nullptr;
    m_resultSet = nullptr;
    m_phaseValues = nullptr;
    m_phaseStatus = nullptr;
    m_attachments.clear();
}

HRESULT CorrelationBase::Cleanup() {
    TeardownCore();
    return S_OK;
}

// ---------------------------------------------------------------- getters

namespace {
HRESULT OutString(const std::string& text, BSTR* out) {
    if (!out) return E_POINTER;
    BSTR value = platform::AllocSysString(text);
    if (!value) return E_OUTOFMEMORY;
    *out = value;
    return S_OK;
}
}  // namespace

HRESULT CorrelationBase::GetDisplayName(BSTR* name) { return OutString(m_displayName, name); }
HRESULT CorrelationBase::GetClassIdString(BSTR* classId) { return OutString(m_classId, classId); }
HRESULT CorrelationBase::GetIntProperty1(std::int32_t* value) { return platform::OutValue(m_intPropertyA, value); }
HRESULT CorrelationBase::GetIntProperty2(std::int32_t* value) { return platform::OutValue(m_resultType, value); }
HRESULT CorrelationBase::GetIntProperty3(std::int32_t* value) { return platform::OutValue(m_resultType, value); }
HRESULT CorrelationBase::GetIntProperty4(std::int32_t* value) { return platform::OutValue(m_intPropertyB, value); }

HRESULT CorrelationBase::GetParameters(IVariableSet** parameters) {
    if (!parameters) return E_POINTER;
    return m_parameterSet.CopyTo(parameters);
}

// ---------------------------------------------------------------- attachments

HRESULT CorrelationBase::Attach(IUnknown* host, std::int32_t fluidIndex, std::int32_t* key, IVariableSet** results) {
    if (!key || !results) return E_POINTER;
    return GuardedCall([&]() -> HRESULT {
        if (!host) return CONNECT_E_NOCONNECTION;
        ComPtr<IFluidSource> source;
        {
            ComPtr<IUnknown> held(host);  // a reference on the host object for the query
            if (FAILED(held.As(&source)) || !source) return CONNECT_E_NOCONNECTION;
        }
        auto record = std::make_unique<CConnectionInfo>();
        if (m_resultSet) {
            if (FAILED(m_resultSet->Clone(results))) return CONNECT_E_NOCONNECTION;
            // The one reference Clone created belongs to the attachment; the host sees the
            // same set through its argument.
            record->m_results = ComPtr<IVariableSet>::Adopt(*results);
        }
        record->m_index = fluidIndex;
        record->m_key = static_cast<std::int32_t>(m_attachments.size()) + 1;
        record->m_source = std::move(source);
        std::int32_t newKey = record->m_key;
        try {
            m_attachments.push_back(std::move(record));
        } catch (...) {
            // The host keeps its pointer; the attachment's reference would be released by
            // the record's destruction, so hand it back to the host instead.
            if (m_resultSet && *results) (*results)->AddRef();
            throw;
        }
        *key = newKey;
        return S_OK;
    });
}

HRESULT CorrelationBase::Detach(std::int32_t key) {
    auto it = std::find_if(m_attachments.begin(), m_attachments.end(),
                           [key](const auto& a) { return a->m_key == key; });
    if (it == m_attachments.end()) return CONNECT_E_CANNOTCONNECT;
    std::unique_ptr<CConnectionInfo> removed = std::move(*it);
    auto next = m_attachments.erase(it);
    removed.reset();  // releases its source and result set
    for (; next != m_attachments.end(); ++next) --(*next)->m_key;
    return S_OK;
}

CConnectionInfo* CorrelationBase::FindAttachment(std::int32_t key) noexcept {
    for (const auto& a : m_attachments)
        if (a->m_key == key) return a.get();
    return nullptr;
}

// ---------------------------------------------------------------- initialisation

namespace {
// Creates a data-server variable, names it, marks it and applies its definition.
template <typename T>
HRESULT CreateVariable(REFCLSID clsid, const char* taggedName, ComPtr<T>* variable) {
    if (FAILED(CreateDataServerObject(clsid, variable)) || !*variable) return E_FAIL;
    platform::WideString wide = platform::AnsiToWide(taggedName);
    if (FAILED((*variable)->SetTaggedName(wide.c_str()))) return E_FAIL;
    if (FAILED((*variable)->SetIntAttribute(-1))) return E_FAIL;
    if (!LoadVariableDefinition(taggedName, variable->Get())) return E_FAIL;
    return S_OK;
}
}  // namespace

HRESULT CorrelationBase::InitializeVariables(ComPtr<IEnumVariable>* refTempOption, const char* parameterName) {
    return GuardedCall([&]() -> HRESULT {
        if (FAILED(CreateDataServerObject(CLSID_VariableSet, &m_parameterSet)) || !m_parameterSet) return E_FAIL;
        if (FAILED(CreateDataServerObject(CLSID_VariableSet, &m_resultSet)) || !m_resultSet) return E_FAIL;
        if (FAILED(CreateVariable(CLSID_NumericVectorVariable, kPhaseValuesName, &m_phaseValues))) return E_FAIL;
        if (!m_resultSet || !m_phaseValues || FAILED(m_resultSet->AddVariable(m_phaseValues.Get()))) return E_FAIL;
        if (FAILED(CreateVariable(CLSID_NumericVectorVariable, kPhaseStatusName, &m_phaseStatus)) || !m_phaseStatus ||
            FAILED(m_resultSet->AddVariable(m_phaseStatus.Get())))
            return E_FAIL;
        if (refTempOption) {
            if (FAILED(CreateVariable(CLSID_EnumVariable, parameterName, refTempOption))) return E_FAIL;
            if (!m_parameterSet || !*refTempOption || FAILED(m_parameterSet->AddVariable(refTempOption->Get())))
                return E_FAIL;
        }
        m_resultType = m_classResultType;
        return S_OK;
    });
}

// ---------------------------------------------------------------- calculation driver

HRESULT CorrelationBase::OpenFluid(std::int32_t key, Fluid* fluid) {
    CConnectionInfo* attachment = FindAttachment(key);
    if (!attachment) return CONNECT_E_CANNOTCONNECT;
    HRESULT hr = attachment->m_source->GetFluidState(attachment->m_index, fluid->state.Put());
    if (FAILED(hr)) return hr;
    if (!fluid->state) return E_FAIL;
    std::int32_t flag = 1;
    if (SUCCEEDED(fluid->state->NeedsRecalculation(&flag)) && flag == 0) return S_FALSE;
    ComPtr<IUnknown> object;
    hr = fluid->state->GetComponentData(object.Put());
    if (FAILED(hr)) return hr;
    if (object && FAILED(object.As(&fluid->data))) fluid->data = nullptr;
    fluid->results = attachment->m_results.Get();
    if (!fluid->results || !fluid->data) return E_FAIL;
    return S_OK;
}

HRESULT CorrelationBase::FindPhaseValues(IVariableSet* results, ComPtr<INumericVectorVariable>* vector) {
    ComPtr<IVariable> variable;
    if (FAILED(results->GetVariable(kPhaseValuesWideName, variable.Put()))) return E_FAIL;
    if (variable && FAILED(variable.As(vector))) *vector = nullptr;
    return S_OK;
}

HRESULT CorrelationBase::EvaluateSlots(IComponentData*, const FluidComposition&, double*) { return E_NOTIMPL; }

HRESULT CorrelationBase::Calculate(std::int32_t key) {
    return GuardedCall([&]() -> HRESULT {
        Fluid fluid;
        HRESULT hr = OpenFluid(key, &fluid);
        if (hr != S_OK) return SUCCEEDED(hr) ? S_OK : hr;

        OwnedComposition composition;
        if (FAILED(fluid.data->GetComposition(&composition.Record()))) return E_FAIL;

        double results[kSlotCount];
        std::fill(std::begin(results), std::end(results), EMPTY_VALUE);
        std::fill(std::begin(m_slotStatus), std::end(m_slotStatus), EncodeValueStatus(ValueStatus::NoValue));
        hr = EvaluateSlots(fluid.data.Get(), composition.Record(), results);
        if (FAILED(hr)) return hr;

        ComPtr<INumericVectorVariable> vector;
        if (FAILED(FindPhaseValues(fluid.results, &vector))) return E_FAIL;
        if (vector)
            for (int slot : {kOverallSlot, 0, 1, 2, 3}) vector->SetValue(kPhaseValuesIndex[slot], results[slot]);
        WritePhaseStatus(fluid.results, results);
        return S_OK;
    });
}

void CorrelationBase::WritePhaseStatus(IVariableSet* results, const double values[kSlotCount]) const {
    // Why a value is missing, where the host's set has room for it.
    ComPtr<IVariable> variable;
    ComPtr<INumericVectorVariable> status;
    if (SUCCEEDED(results->GetVariable(kPhaseStatusWideName, variable.Put())) && variable &&
        SUCCEEDED(variable.As(&status)) && status)
        for (int slot : {kOverallSlot, 0, 1, 2, 3})
            status->SetValue(kPhaseValuesIndex[slot],
                             values[slot] == EMPTY_VALUE ||
                                     DecodeValueStatus(m_slotStatus[slot]).status == ValueStatus::ExtendedRange
                                 ? m_slotStatus[slot]
                                 : EncodeValueStatus(ValueStatus::Ok));
}

// ---------------------------------------------------------------- IDispatch of ICorrelation

namespace {
const platform::DispatchInterface kCorrelationDispatch{&LIBID_CORRMANLib, &IID_ICorrelation};
}  // namespace

HRESULT COMCALL CorrelationBase::GetTypeInfoCount(UINT* count) { return platform::DispatchGetTypeInfoCount(count); }

HRESULT COMCALL CorrelationBase::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
    return platform::DispatchGetTypeInfo(kCorrelationDispatch, index, info);
}

HRESULT COMCALL CorrelationBase::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    return platform::DispatchGetIDsOfNames(kCorrelationDispatch, riid, names, count, ids);
}

HRESULT COMCALL CorrelationBase::Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                        EXCEPINFO* exception, UINT* argumentError) {
    return platform::DispatchInvoke(kCorrelationDispatch, static_cast<ICorrelation*>(this), id, riid, flags, params,
                                    result, exception, argumentError);
}
