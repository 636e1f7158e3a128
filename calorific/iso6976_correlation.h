// The ISO 6976 family: density at standard conditions, Wobbe index and the six heating
// values. Each class reports one result of the mixture engine, times a factor.
#pragma once

#include "calorific/iso6976_slots.h"
#include "calorific/wobbe_calcs.h"
#include "framework/correlation_core.h"

class Iso6976Correlation : public CorrelationBase {
public:
    struct Parameter {
        double WobbeCalcs::*result;  // the engine result the class reports
        double factor;               // 1000 on mass and molar basis (MJ to kJ), else 1
    };

    Iso6976Correlation(const ClassIdentity& identity, const Parameter& parameter)
        : CorrelationBase(identity), m_parameter(parameter) {}
    ~Iso6976Correlation() override;

    // Both sets, "Phase_Values" and the parameter "RefTempOption".
    HRESULT Initialize() override;

protected:
    HRESULT EvaluateSlots(IComponentData* data, const FluidComposition& record, double results[kSlotCount]) override;

private:
    // The selected reference temperature: 0 for 15 degC, anything else 0 degC.
    HRESULT ReadRefTempOption(std::int32_t* option) const;

    platform::ComPtr<IEnumVariable> m_refTempOption;
    const Parameter m_parameter;
    // The engine, kept from one calculation to the next with the components it was loaded for.
    FluidComposition m_engineRecord{};  // the engine reads only its component count
    WobbeCalcs m_engine{&m_engineRecord};
    LoadedComponents m_loaded;
};
