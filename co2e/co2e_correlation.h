// CO2-equivalent mass flow after a table of global-warming potentials.
#pragma once

#include "framework/correlation_core.h"

class Co2eCorrelation : public CorrelationBase {
public:
    struct Parameter {
        const char* label;  // "SAR", "AR4" or "US"
    };
    Co2eCorrelation(const ClassIdentity& identity, const Parameter& parameter)
        : CorrelationBase(identity), m_parameter(parameter) {}
    HRESULT Initialize() override { return InitializeVariables(nullptr); }

private:
    const Parameter m_parameter;
};
