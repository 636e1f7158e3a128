// The line-condition family: compressibility factor, density, speed of sound and isentropic
// exponent at the fluid's own temperature and pressure, by GERG-2008 or AGA8 DETAIL.
//
// Each phase present is computed with its own composition, the vapour on the gas-like density
// root and a liquid phase on the liquid root; the overall slot holds a value only when the
// fluid is one phase (the value of that phase). A phase with a component outside the model's
// 21, a state outside the model's range or a density solve that fails gets no value.
//
// The GERG-2008 classes take the enumeration parameter "Model": 0 the published equation,
// 1 GERG-2008 with the 2021 hydrogen binaries (lineprops/gerg2008_hydrogen_table.h).
#pragma once

#include "framework/correlation_core.h"
#include "lineprops/line_evaluation.h"

inline constexpr char kGergModelName[] = "Model";

class LineCorrelation : public CorrelationBase {
public:
    struct Parameter {
        calorix::lineprops::LineModel model;
        calorix::lineprops::LineQuantity quantity;
    };

    LineCorrelation(const ClassIdentity& identity, const Parameter& parameter)
        : CorrelationBase(identity), m_parameter(parameter) {}
    ~LineCorrelation() override;

    // Both variable sets and "Phase_Values"; "Model" for a GERG-2008 class, no parameter for
    // DETAIL.
    HRESULT Initialize() override;

protected:
    // Requests "CAS_Numbers"; the record's temperature (degC) and pressure (kPa, absolute).
    HRESULT EvaluateSlots(IComponentData* data, const FluidComposition& record, double results[kSlotCount]) override;

private:
    platform::ComPtr<IEnumVariable> m_gergModel;
    const Parameter m_parameter;
};
