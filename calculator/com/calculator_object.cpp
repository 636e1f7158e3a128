#include "calculator/com/calculator_object.h"

#include <atomic>
#include <initializer_list>
#include <string_view>
#include <utility>
#include <variant>
#include <new>

#include "calculator/calculator.h"
#include "calculator/com/variants.h"
#include "calorix/guids.h"
#include "platform/com_object.h"
#include "platform/strings.h"
#include "platform/typelib.h"

CALORIX_DECLARE_IID(ISupportErrorInfo, IID_ISupportErrorInfo)

namespace calorix::calculator {

namespace {

std::atomic<LONG> g_live{0};
constexpr platform::DispatchInterface kDispatch{&LIBID_CalorixCalcLib, &IID_ICalculator};
constexpr char kSource[] = "Calorix.Calculator";

// The arguments of a fluid: composition, temperature and pressure.
struct FluidArguments {
    Composition composition;
    double temperatureC;
    double pressureKPa;
    std::string options;
};
FluidArguments ReadFluidArguments(const VARIANT& components, const VARIANT& fractions, const VARIANT& temperature,
                                  const VARIANT& pressure, const VARIANT& options) {
    FluidArguments a;
    a.composition = ReadComposition(ListArgument(components, "components"), ListArgument(fractions, "mole_fractions"));
    a.temperatureC = NumberArgument(CellArgument(temperature, "temperature_C"), "temperature_C");
    a.pressureKPa = NumberArgument(CellArgument(pressure, "pressure_kPa"), "pressure_kPa");
    a.options = TextArgument(options, "options");
    return a;
}

// Rows of a table, cell by cell (cells made in place: lists of them copied from braces draw a
// false "may be used uninitialized" from GCC 12).
void AddText(std::vector<Cell>& row, std::string_view text) { row.emplace_back(std::in_place_type<std::string>, text); }
void AddNumber(std::vector<Cell>& row, double value) { row.emplace_back(std::in_place_type<double>, value); }
std::vector<Cell> Header(std::initializer_list<const char*> names) {
    std::vector<Cell> row;
    for (const char* name : names) AddText(row, name);
    return row;
}

class CalculatorObject final : public platform::ComObject<ICalculator, ISupportErrorInfo> {
public:
    CalculatorObject() { ++g_live; }
    ~CalculatorObject() override { --g_live; }

    // IDispatch, from the registered type library.
    HRESULT COMCALL GetTypeInfoCount(UINT* count) override { return platform::DispatchGetTypeInfoCount(count); }
    HRESULT COMCALL GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
        return platform::DispatchGetTypeInfo(kDispatch, index, info);
    }
    HRESULT COMCALL GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        return platform::DispatchGetIDsOfNames(kDispatch, riid, names, count, ids);
    }
    HRESULT COMCALL Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                           EXCEPINFO* exception, UINT* argumentError) override {
        m_failure = S_OK;
        HRESULT hr = platform::DispatchInvoke(kDispatch, static_cast<ICalculator*>(this), id, riid, flags, params,
                                              result, exception, argumentError);
        // The method failed: the caller gets the exception with our description, whether or
        // not the system's dispatcher copied it from the error object.
        if (FAILED(m_failure) && (hr == DISP_E_EXCEPTION || hr == m_failure)) {
            if (exception && !exception->bstrDescription) {
                exception->scode = m_failure;
                exception->bstrDescription = SysAllocString(platform::Utf8ToWide(m_message).c_str());
                exception->bstrSource = SysAllocString(platform::Utf8ToWide(kSource).c_str());
            }
            hr = DISP_E_EXCEPTION;
        }
        return hr;
    }

    // ISupportErrorInfo
    HRESULT COMCALL InterfaceSupportsErrorInfo(REFIID riid) override {
        return riid == IID_ICalculator ? S_OK : S_FALSE;
    }

    // ICalculator
    HRESULT COMCALL Value(VARIANT correlation, VARIANT components, VARIANT fractions, VARIANT temperature,
                          VARIANT pressure, VARIANT options, double* value) override {
        if (!value) return E_POINTER;
        return Run([&] {
            const FluidArguments a = ReadFluidArguments(components, fractions, temperature, pressure, options);
            *value = m_calculator.Value(TextArgument(correlation, "correlation"), a.composition, a.temperatureC,
                                        a.pressureKPa, a.options);
        });
    }
    HRESULT COMCALL PhaseValues(VARIANT correlation, VARIANT components, VARIANT fractions, VARIANT temperature,
                                VARIANT pressure, VARIANT options, VARIANT* values) override {
        if (!values) return E_POINTER;
        VariantInit(values);
        return Run([&] {
            const FluidArguments a = ReadFluidArguments(components, fractions, temperature, pressure, options);
            const PhaseValueRow row = m_calculator.PhaseValues(TextArgument(correlation, "correlation"),
                                                               a.composition, a.temperatureC, a.pressureKPa, a.options);
            NumberRow({row.begin(), row.end()}, values);
        });
    }
    HRESULT COMCALL Flash(VARIANT components, VARIANT fractions, VARIANT temperature, VARIANT pressure,
                          VARIANT options, VARIANT* phases) override {
        if (!phases) return E_POINTER;
        VariantInit(phases);
        return Run([&] {
            const FluidArguments a = ReadFluidArguments(components, fractions, temperature, pressure, options);
            const host::Fluid fluid = m_calculator.Flash(a.composition, a.temperatureC, a.pressureKPa, a.options);
            // A header row, then overall, vapour, hydrocarbon liquid, aqueous and phase 3: the
            // phase, its share of the moles and its mole fractions (Empty where it is absent).
            std::vector<std::vector<Cell>> rows(1 + host::kOutputColumns);
            rows[0] = Header({"phase", "fraction"});
            for (const auto& c : fluid.components) AddText(rows[0], c.name);
            auto fill = [&](std::vector<Cell>& row, double fraction, const std::vector<double>& x) {
                AddNumber(row, fraction);
                for (std::size_t i = 0; i < fluid.components.size(); ++i) AddNumber(row, i < x.size() ? x[i] : 0.0);
            };
            for (std::size_t k = 0; k < host::kOutputColumns; ++k) AddText(rows[1 + k], host::kPhaseKey[k]);
            fill(rows[1], 1.0, fluid.moleFractions);
            for (const auto& p : fluid.phases)
                if (p.slot >= 0 && p.slot < 4) fill(rows[2 + p.slot], p.fraction, p.moleFractions);
            Table(rows, phases);
        });
    }
    HRESULT COMCALL Components(VARIANT* table) override {
        if (!table) return E_POINTER;
        VariantInit(table);
        return Run([&] {
            std::vector<std::vector<Cell>> rows;
            rows.push_back(Header({"name", "cas", "molar_mass_kg_kmol", "class"}));
            for (const auto& c : host::ComponentTable()) {
                auto& row = rows.emplace_back();
                AddText(row, c.name);
                AddText(row, c.cas);
                AddNumber(row, c.molarMassKgPerKmol);
                AddNumber(row, c.componentClass);
            }
            Table(rows, table);
        });
    }
    HRESULT COMCALL Correlations(VARIANT* table) override {
        if (!table) return E_POINTER;
        VariantInit(table);
        return Run([&] {
            std::vector<std::vector<Cell>> rows;
            rows.push_back(Header({"word", "prog_id", "display_name", "unit", "iso6976_edition"}));
            for (const auto& r : m_calculator.Correlations()) {
                auto& row = rows.emplace_back();
                for (const std::string* text : {&r.word, &r.progId, &r.displayName, &r.unit}) AddText(row, *text);
                if (r.iso6976Edition)
                    AddNumber(row, r.iso6976Edition);
                else
                    row.emplace_back();
            }
            Table(rows, table);
        });
    }
    HRESULT COMCALL get_Version(BSTR* version) override {
        if (!version) return E_POINTER;
        *version = nullptr;
        return Run([&] {
            *version = SysAllocString(platform::Utf8ToWide(Calculator::Version()).c_str());
            if (!*version) throw std::bad_alloc();
        });
    }

private:
    void* QueryOther(REFIID riid) override {
        return riid == IID_IDispatch ? static_cast<IDispatch*>(static_cast<ICalculator*>(this)) : nullptr;
    }

    // Runs a method's body: no exception leaves it, and a failure leaves its message in an
    // error object for the caller.
    template <typename F>
    HRESULT Run(F&& body) noexcept {
        try {
            body();
            SetErrorInfo(0, nullptr);
            return S_OK;
        } catch (const CalculatorError& e) {
            return Fail(E_INVALIDARG, e.what());
        } catch (const std::bad_alloc&) {
            return Fail(E_OUTOFMEMORY, "out of memory");
        } catch (const std::exception& e) {
            return Fail(E_FAIL, e.what());
        } catch (...) {
            return Fail(E_FAIL, "unexpected failure");
        }
    }

    HRESULT Fail(HRESULT status, const char* message) noexcept {
        m_failure = status;
        try {
            m_message = message;
            ICreateErrorInfo* create = nullptr;
            if (FAILED(CreateErrorInfo(&create))) return status;
            platform::WideString description = platform::Utf8ToWide(message);
            platform::WideString source = platform::Utf8ToWide(kSource);
            create->SetGUID(IID_ICalculator);
            create->SetSource(source.data());
            create->SetDescription(description.data());
            IErrorInfo* info = nullptr;
            if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)))) {
                SetErrorInfo(0, info);
                info->Release();
            }
            create->Release();
        } catch (...) {
        }
        return status;
    }

    Calculator m_calculator;
    HRESULT m_failure = S_OK;   // the last method's failure, for Invoke
    std::string m_message;
};

}  // namespace

HRESULT CreateCalculator(REFIID riid, void** ppv) noexcept {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    try {
        return platform::Make<CalculatorObject>()->QueryInterface(riid, ppv);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
}

LONG LiveCalculators() noexcept { return g_live; }

}  // namespace calorix::calculator
