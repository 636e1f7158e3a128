// The CO2-equivalent family: the CO2-equivalent mass flow of the attached fluid, per phase,
// after one table of global-warming potentials ("SAR", "AR4", "US", "AR5" or "AR6"; AR6 with
// the methane factor of fossil or non-fossil origin, chosen by the parameter "MethaneOrigin").
//
// The objects keep no fluid data of their own: every calculation hands the host's component
// data to the process-wide CPropertyCalculator, which reads the fluid and forms the sums.
#pragma once

#include "framework/correlation_core.h"

inline constexpr char kMethaneOriginName[] = "MethaneOrigin";

class Co2eCorrelation : public CorrelationBase {
public:
    struct Parameter {
        const char* label;  // the factor table: "SAR", "AR4", "US", "AR5" or "AR6"
        // The table for methane of non-fossil origin, chosen by "MethaneOrigin" option 1;
        // null for a class without the parameter.
        const char* nonFossilLabel = nullptr;
    };

    Co2eCorrelation(const ClassIdentity& identity, const Parameter& parameter)
        : CorrelationBase(identity), m_parameter(parameter) {}
    ~Co2eCorrelation() override;

    // Both variable sets and "Phase_Values"; "MethaneOrigin" for a class with a non-fossil
    // table, no parameter otherwise.
    HRESULT Initialize() override;

    // "Phase_Values" of the attachment: index 0 the sum of phase slots 0-3, indexes 1-3 the
    // phase slots 0-2, index 5 EMPTY_VALUE, index 4 untouched. Calculations of all
    // CO2-equivalent objects of the process are serialised, since they share one calculator.
    HRESULT COMCALL Calculate(std::int32_t key) override;

private:
    // The table of the selected methane origin (option 0, fossil, without the variable).
    // Null when the option cannot be read or names no origin.
    const char* SelectedLabel() const;

    platform::ComPtr<IEnumVariable> m_methaneOrigin;
    const Parameter m_parameter;
};
