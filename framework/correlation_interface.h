// ICorrelation, the host correlation manager's interface to every correlation object.
#pragma once

#include <cstdint>

#include "calorix/guids.h"
#include "framework/dataserver.h"
#include "platform/comptr.h"

struct ICorrelation : IDispatch {
    virtual HRESULT COMCALL GetDisplayName(BSTR* name) = 0;
    virtual HRESULT COMCALL GetClassIdString(BSTR* classId) = 0;
    virtual HRESULT COMCALL GetIntProperty1(std::int32_t* value) = 0;
    virtual HRESULT COMCALL GetIntProperty2(std::int32_t* value) = 0;
    virtual HRESULT COMCALL GetIntProperty3(std::int32_t* value) = 0;
    virtual HRESULT COMCALL GetIntProperty4(std::int32_t* value) = 0;
    // Attaches a host fluid (queried for IFluidSource); *results receives the attachment's
    // own result set, in which Calculate writes "Phase_Values".
    virtual HRESULT COMCALL Attach(IUnknown* host, std::int32_t fluidIndex, std::int32_t* key,
                                   IVariableSet** results) = 0;
    virtual HRESULT COMCALL Detach(std::int32_t key) = 0;
    virtual HRESULT COMCALL Calculate(std::int32_t key) = 0;
    virtual HRESULT COMCALL GetParameters(IVariableSet** parameters) = 0;
};

CALORIX_DECLARE_IID(ICorrelation, IID_ICorrelation)

// Result vector layout: index of "Phase_Values" for each composition slot 0-4.
inline constexpr std::int32_t kPhaseValuesIndex[5] = {1, 2, 3, 5, 0};
inline constexpr char kPhaseValuesName[] = "Phase_Values";
inline constexpr OLECHAR kPhaseValuesWideName[] = OLESTR("Phase_Values");  // as variables are asked for it
inline constexpr char kRefTempOptionName[] = "RefTempOption";
