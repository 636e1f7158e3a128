// Calorix.Calculator: the automation object over the calculator's work (calculator.h). Its
// interface ICalculator is dual, described in the type library CalorixCalcLib; a failing call
// returns E_INVALIDARG (bad input, or no sound value) or E_FAIL with an IErrorInfo whose
// description is the one-line message, so that VBA's Err.Description and a script's
// exception say what is wrong. Apartment-threaded.
#pragma once

#include "calorix/guids.h"
#include "platform/comptr.h"

namespace calorix::calculator {

// The interface in the type library's order (calculator.idl.in).
struct ICalculator : IDispatch {
    virtual HRESULT COMCALL Value(VARIANT correlation, VARIANT components, VARIANT moleFractions,
                                  VARIANT temperatureC, VARIANT pressureKPa, VARIANT options, double* value) = 0;
    virtual HRESULT COMCALL PhaseValues(VARIANT correlation, VARIANT components, VARIANT moleFractions,
                                        VARIANT temperatureC, VARIANT pressureKPa, VARIANT options,
                                        VARIANT* values) = 0;
    virtual HRESULT COMCALL Flash(VARIANT components, VARIANT moleFractions, VARIANT temperatureC,
                                  VARIANT pressureKPa, VARIANT options, VARIANT* phases) = 0;
    virtual HRESULT COMCALL Components(VARIANT* table) = 0;
    virtual HRESULT COMCALL Correlations(VARIANT* table) = 0;
    virtual HRESULT COMCALL get_Version(BSTR* version) = 0;
};

}  // namespace calorix::calculator

CALORIX_DECLARE_IID(calorix::calculator::ICalculator, IID_ICalculator)

namespace calorix::calculator {

// A new calculator, asked for riid.
HRESULT CreateCalculator(REFIID riid, void** ppv) noexcept;

// Calculators alive in the process (the module's lock count adds its class object's locks).
LONG LiveCalculators() noexcept;

}  // namespace calorix::calculator
