// Dew points and water content.
#pragma once

#include "framework/correlation_core.h"

// Until the searches arrive, these classes initialise and attach but do not calculate.
class PendingWaterFamily : public CorrelationBase {
public:
    struct Parameter {};
    PendingWaterFamily(const ClassIdentity& identity, const Parameter&) : CorrelationBase(identity) {}
    HRESULT Initialize() override { return InitializeVariables(nullptr); }
};
using HcDewPointCorrelation = PendingWaterFamily;
using WaterDewPointCorrelation = PendingWaterFamily;
using WaterContentCorrelation = PendingWaterFamily;
