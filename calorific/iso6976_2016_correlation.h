// The ISO 6976:2016 family: density at standard conditions, Wobbe index and the six heating
// values at the pair of combustion and metering temperatures chosen by "RefConditions". Each
// class reports one result of the 2016 engine, times a factor; core, driver, failures and
// the layout of "Phase_Values" are those of the 1995 family.
#pragma once

#include <optional>

#include "calorific/iso6976_2016.h"
#include "calorific/iso6976_slots.h"
#include "framework/correlation_core.h"

inline constexpr char kRefConditionsName[] = "RefConditions";

class Iso2016Correlation : public CorrelationBase {
public:
    struct Parameter {
        double Iso2016Calcs::*result;  // the engine result the class reports
        double factor;                 // 1000 on mass and molar basis (MJ to kJ), else 1
    };

    Iso2016Correlation(const ClassIdentity& identity, const Parameter& parameter)
        : CorrelationBase(identity), m_parameter(parameter) {}
    ~Iso2016Correlation() override;

    // Both sets, "Phase_Values" and the parameter "RefConditions".
    HRESULT Initialize() override;

protected:
    HRESULT EvaluateSlots(IComponentData* data, const FluidComposition& record, double results[kSlotCount]) override;

private:
    // The selected pair of reference temperatures (option 0, 15/15 degC, without the
    // variable). E_FAIL when the option cannot be read or names no pair.
    HRESULT ReadRefConditions(iso6976_2016::RefConditions* conditions) const;

    platform::ComPtr<IEnumVariable> m_refConditions;
    const Parameter m_parameter;
    // The engine, kept from one calculation to the next with the components it was loaded for.
    std::optional<Iso2016Calcs> m_engine;
    LoadedComponents m_loaded;
};
