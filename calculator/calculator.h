// The automation calculator's work, without COM: one correlation on one fluid given by its
// composition, temperature and pressure, through the host's correlation manager and the
// correlation module beside this code (Calorix.dll, Calorix.so), exactly as calorix-host runs
// it, so that the values are the command line's bit for bit. Every method throws
// CalculatorError with a one-line message (the field and the problem) when it gives no value.
//
// A calculator keeps the correlation objects it made (one per correlation and settings, the
// last few used), which are apartment-threaded: a calculator is used on one thread at a time,
// and made and released on the thread that uses it.
#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "calculator/arguments.h"
#include "host/manager.h"

namespace calorix::calculator {

// The five values PhaseValues gives, in the order of host::kPhaseKey: overall, vapour,
// hydrocarbon liquid, aqueous, phase 3; nothing where a phase is absent or has no value.
using PhaseValueRow = std::array<std::optional<double>, host::kOutputColumns>;

// A class of the catalogue, as Correlations() lists it.
struct CorrelationRow {
    std::string word;          // "HHV2016"
    std::string progId;        // "Calorix.HHV2016.1"
    std::string displayName;   // "HHV Vol. Basis (ISO 6976:2016)"
    std::string unit;          // "MJ/m3"
    int iso6976Edition = 0;    // 1995, 2016, or 0 outside the eight classes of an edition
};

class Calculator {
public:
    // The module beside this code; `modulePath` names another.
    explicit Calculator(std::string modulePath = {});
    ~Calculator();
    Calculator(const Calculator&) = delete;
    Calculator& operator=(const Calculator&) = delete;

    // The overall value of `correlation` (a class word or ProgID).
    double Value(std::string_view correlation, const Composition& composition, double temperatureC,
                 double pressureKPa, std::string_view options) const;
    // The five phase values; a phase present without a value is no error (nothing in its place).
    PhaseValueRow PhaseValues(std::string_view correlation, const Composition& composition, double temperatureC,
                              double pressureKPa, std::string_view options) const;
    // The fluid after the host's flash at its temperature and pressure.
    host::Fluid Flash(const Composition& composition, double temperatureC, double pressureKPa,
                      std::string_view options) const;
    std::vector<CorrelationRow> Correlations() const;

    static std::string Version();

private:
    host::CorrelationResult Evaluate(std::string_view correlation, const Composition& composition,
                                     double temperatureC, double pressureKPa, std::string_view options) const;
    host::FluidEvaluator& EvaluatorFor(const host::CatalogueEntry* entry,
                                       const host::EvaluationSettings& settings) const;

    std::string m_modulePath;
    struct Kept {
        const host::CatalogueEntry* entry;
        host::EvaluationSettings settings;
        std::unique_ptr<host::FluidEvaluator> evaluator;
    };
    mutable std::vector<Kept> m_kept;   // the most recently used last
};

}  // namespace calorix::calculator
