// The CO2-equivalent calculator: reads one fluid from the host's component data (composition
// record, molecular weights, molar flow, CAS numbers) and forms, per phase, the sum over the
// listed greenhouse gases of mass flow x global-warming potential.
//
// One calculator serves the whole process (GetPropertyCalculator); every CO2-equivalent
// correlation hands it the component data of its fluid and reads the phase sums back. It keeps
// the host's component data, and the fluid data it loaded, from one calculation to the next.
// Calculations share it, so each one holds PropertyCalculatorLock() from start to end.
#pragma once

#include <cstdint>
#include <mutex>
#include <string_view>

#include "framework/empty_value.h"
#include "framework/host_interfaces.h"
#include "platform/comptr.h"

class CPropertyCalculator {
public:
    CPropertyCalculator() noexcept = default;
    virtual ~CPropertyCalculator();

    CPropertyCalculator(const CPropertyCalculator&) = delete;
    CPropertyCalculator& operator=(const CPropertyCalculator&) = delete;

    // Frees the loaded fluid data: molecular weights, molar flow, the composition record and
    // its mole-fraction arrays. Keeps the component data, the host's last property array and
    // the loaded flag.
    void ResetFluid() noexcept;

    // Asks the host for a per-component property ("Molecular Weight", "CAS_Numbers",
    // "MolarFlow", ...). copy 0: the calculator's own array, valid until the next request,
    // not to be freed; otherwise a task-allocator copy of PropertyCount() values that the
    // caller frees with CoTaskMemFree. Null when there is no component data, the request fails
    // or the copy cannot be allocated.
    double* GetPropertyArray(const char* name, int copy) noexcept;

    // 1 when the fluid data are loaded (at once while the loaded flag is set), 0 when not.
    int LoadFluid() noexcept;

    // The CO2-equivalent mass flow of phase slot 0-3 with the labelled factor table, in the
    // host's mass-flow units; EMPTY_VALUE when the fluid or its CAS numbers cannot be read.
    double SumPhase(int phase, std::string_view label) noexcept;

    // Slot 0-3: that phase; slot 4: the sum of the four phases, EMPTY_VALUE as soon as one of
    // them is.
    double CalculateCO2E(int slot, std::string_view label) noexcept;

    static double LookUpGwpFactor(double casValue, std::string_view label) noexcept;

    // Takes a reference of its own to the component data (null allowed), then releases the
    // one it held.
    void SetComponentData(IComponentData* componentData) noexcept;
    IComponentData* ComponentData() const noexcept { return m_componentData.Get(); }

    std::int32_t Loaded() const noexcept { return m_loaded; }
    void SetLoaded(std::int32_t loaded) noexcept { m_loaded = loaded; }

    // Read-only views of the loaded state.
    const FluidComposition& Composition() const noexcept { return m_composition; }
    double MolarFlow() const noexcept { return m_molarFlow; }
    std::int32_t PropertyCount() const noexcept { return m_propertyCount; }

private:
    platform::ComPtr<IComponentData> m_componentData;
    FluidComposition m_composition{};     // the five mole-fraction arrays are ours once filled
    double* m_molecularWeights = nullptr;  // kg/kmol, task allocator, component order
    double* m_propertyValues = nullptr;    // the host's array of the last property request
    double m_molarFlow = EMPTY_VALUE;      // first value of the host's "MolarFlow"
    std::int32_t m_propertyCount = 0;      // values in m_propertyValues
    std::int32_t m_loaded = 0;
    // Number of doubles m_molecularWeights was allocated for. Kept per calculator rather than
    // per process, so that a second calculator (as in tests) can never reuse an array sized for
    // another one.
    std::int32_t m_molecularWeightCount = 0;
};

// The process-wide calculator; constant-initialised, so it is in its start state before any
// code of the library runs, and destroyed (releasing the host's component data) when the
// library is unloaded. Never null.
CPropertyCalculator& GetPropertyCalculator() noexcept;

// Held by each CO2-equivalent calculation for its whole length: correlation objects living in
// different threads share the one calculator. Recursive, so that a host which starts another
// CO2-equivalent calculation from inside one of its callbacks, on the same thread, does not
// deadlock.
std::recursive_mutex& PropertyCalculatorLock() noexcept;
