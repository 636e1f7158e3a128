// The CO2-equivalent family: the CO2-equivalent mass flow of the attached fluid, per phase,
// after one table of global-warming potentials ("SAR", "AR4" or "US").
//
// The objects keep no fluid data of their own: every calculation hands the host's component
// data to the process-wide CPropertyCalculator, which reads the fluid and forms the sums.
#pragma once

#include "framework/correlation_core.h"

class Co2eCorrelation : public CorrelationBase {
public:
    struct Parameter {
        const char* label;  // the factor table: "SAR", "AR4" or "US"
    };

    Co2eCorrelation(const ClassIdentity& identity, const Parameter& parameter)
        : CorrelationBase(identity), m_parameter(parameter) {}

    // Both variable sets and "Phase_Values"; no parameters.
    HRESULT Initialize() override { return InitializeVariables(nullptr); }

    // "Phase_Values" of the attachment: index 0 the sum of phase slots 0-3, indexes 1-3 the
    // phase slots 0-2, index 5 EMPTY_VALUE, index 4 untouched. Calculations of all
    // CO2-equivalent objects of the process are serialised, since they share one calculator.
    HRESULT COMCALL Calculate(std::int32_t key) override;

private:
    const Parameter m_parameter;
};
