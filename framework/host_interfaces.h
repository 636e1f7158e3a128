// The host simulator's fluid interfaces as the correlations call them, and the fluid record
// FluidComposition. Operations are in the host's vtable order.
#pragma once

#include <cstddef>
#include <cstdint>

#include "calorix/guids.h"
#include "platform/comptr.h"

// The host's fluid record: 308 bytes on 4-byte boundaries.
#pragma pack(push, 4)
struct FluidComposition {
    double temperature;          // deg C
    double pressure;             // host units; EMPTY_VALUE when the host has none
    std::int32_t componentCount;
    double* moleFractions[5];    // slots 0-3 the phases (0 vapour), 4 the overall fluid
    double slotValuesA[5];       // per slot; the library only resets them
    double slotValuesB[5];
    double slotValuesC[5];
    double slotValuesD[5];
    double phaseFraction[4];     // phases 0-3
    std::int32_t phasePresent[4];  // 1 when the phase is present
    std::uint8_t reserved[40];
};
#pragma pack(pop)

static_assert(sizeof(FluidComposition) == 308);
static_assert(offsetof(FluidComposition, temperature) == 0);
static_assert(offsetof(FluidComposition, pressure) == 8);
static_assert(offsetof(FluidComposition, componentCount) == 16);
static_assert(offsetof(FluidComposition, moleFractions) == 20);
static_assert(offsetof(FluidComposition, slotValuesA) == 60);
static_assert(offsetof(FluidComposition, slotValuesB) == 100);
static_assert(offsetof(FluidComposition, slotValuesC) == 140);
static_assert(offsetof(FluidComposition, slotValuesD) == 180);
static_assert(offsetof(FluidComposition, phaseFraction) == 220);
static_assert(offsetof(FluidComposition, phasePresent) == 252);
static_assert(offsetof(FluidComposition, reserved) == 268);

inline constexpr int kOverallSlot = 4;
inline constexpr int kSlotCount = 5;
inline constexpr int kPhaseCount = 4;

struct IFluidState;

struct IFluidSource : IUnknown {
    virtual HRESULT COMCALL GetFluidState(std::int32_t fluidIndex, IFluidState** state) = 0;
};

struct IFluidState : IUnknown {
    // A counted object; the caller queries it for IComponentData.
    virtual HRESULT COMCALL GetComponentData(IUnknown** componentData) = 0;
    // The caller presets 1; a success leaving 0 means the results are current.
    virtual HRESULT COMCALL NeedsRecalculation(std::int32_t* flag) = 0;
};

struct IComponentData : IUnknown {
    // name: "Molecular Weight", "CAS_Numbers", "ComponentClass", "ComponentIDs",
    // "TempUnitFlag", "MolarFlow". On entry *values is a task-allocator block of *count
    // doubles or the array of the previous request (null at first); on success it holds
    // *count doubles, which the caller frees with CoTaskMemFree.
    virtual HRESULT COMCALL GetComponentProperty(const char* name, std::int32_t* count,
                                                 double** values) = 0;
    // Fills the record; the host allocates its five arrays with the task allocator.
    virtual HRESULT COMCALL GetComposition(FluidComposition* composition) = 0;
};

struct IFlashCalculator : IUnknown {
    virtual HRESULT COMCALL GetPropertyPackageName(BSTR* name) = 0;
    virtual HRESULT COMCALL GetMaxPhaseCount(std::int32_t* count) = 0;
    virtual HRESULT COMCALL GetTolerance(double* tolerance) = 0;
    virtual HRESULT COMCALL SetTolerance(double tolerance) = 0;
    virtual HRESULT COMCALL GetFlashCount(std::int32_t* count) = 0;
    // One equilibrium flash; the record states the flash and receives its results.
    // temperature EMPTY_VALUE with phaseFraction[0] 1.0 asks for the dew-point temperature.
    virtual HRESULT COMCALL Flash(FluidComposition* record) = 0;
};

CALORIX_DECLARE_IID(IFluidSource, IID_IFluidSource)
CALORIX_DECLARE_IID(IFluidState, IID_IFluidState)
CALORIX_DECLARE_IID(IComponentData, IID_IComponentData)
CALORIX_DECLARE_IID(IFlashCalculator, IID_IFlashCalculator)
