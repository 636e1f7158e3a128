// The reference host's correlation manager: loads a correlation module the way a simulator
// does (DllGetClassObject, class objects, ICorrelation), creates correlations by class id or
// ProgID, and runs one calculation of a correlation on a fluid.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "calorix/catalogue.h"
#include "framework/correlation_interface.h"
#include "platform/comptr.h"
#include "platform/library.h"

namespace calorix::host {

// One class of the module's catalogue, in catalogue order: the catalogue's facts of the class
// (framework/class_facts.h) and its class id.
struct CatalogueEntry : ClassFacts {
    const CLSID* classId;    // CLSID_HHV
};

std::span<const CatalogueEntry> Catalogue() noexcept;

// The entry of a class word ("HHV"), a ProgID ("Calorix.HHV.1" or "Calorix.HHV") or a class id
// in registry form; words compare without regard to case. Null when there is none.
const CatalogueEntry* FindCatalogueEntry(std::string_view wordOrProgId) noexcept;

// The eight ISO 6976:1995 classes of the group "iso6976".
bool IsIso6976Class(const CatalogueEntry& entry) noexcept;

// The tagged names of a correlation's parameters, asked of the object (ICorrelation::
// GetParameters, then the set's variables); empty when it has none or cannot say.
std::vector<std::string> ParameterNames(ICorrelation* correlation);

class CorrelationManager {
public:
    // Loads the module (kept loaded for the life of the process) and finds DllGetClassObject.
    HRESULT Load(const std::string& modulePath) noexcept;
    bool Loaded() const noexcept { return m_getClassObject != nullptr; }

    // IClassFactory::CreateInstance of the class, asked for ICorrelation.
    HRESULT Create(REFCLSID classId, platform::ComPtr<ICorrelation>* correlation) const noexcept;
    // By class word, ProgID or class-id string; CLASS_E_CLASSNOTAVAILABLE when unknown.
    HRESULT Create(std::string_view wordOrProgId, platform::ComPtr<ICorrelation>* correlation) const noexcept;

    // Calls an exported function of the module taking no argument (DllRegisterServer,
    // DllUnregisterServer, DllCanUnloadNow). HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND) when the
    // module does not export it.
    HRESULT CallExport(const char* name) const noexcept;

private:
    using GetClassObjectFn = HRESULT (*)(REFCLSID, REFIID, void**);
    platform::LibraryHandle m_library = nullptr;
    GetClassObjectFn m_getClassObject = nullptr;
};

// What one calculation of one correlation gave.
struct CorrelationReport {
    std::string word;                 // class word of the catalogue
    std::string displayName;          // ICorrelation::GetDisplayName
    std::string classId;              // ICorrelation::GetClassIdString
    std::int32_t resultType = 0;      // ICorrelation::GetIntProperty2
    HRESULT status = S_OK;            // the first failure of attach, calculate or read
    std::string failedStep;           // which step failed ("Attach", "Calculate", ...)
    // "Phase_Values" 0 to 5: 0 overall, 1-3 phases 0-2, 5 phase 3; nothing for EMPTY_VALUE,
    // for index 4 (never written) and for values that could not be read.
    std::array<std::optional<double>, 6> phaseValues;
    // "Phase_Status" at the same indexes (framework/value_status.h): why a value is missing, as
    // the module says; nothing where the module wrote none.
    std::array<std::optional<double>, 6> phaseStatus;
};

// The word, display name, class id and result type of a class, read from an object of it made
// for the purpose; when it cannot be made, the status and "create" as the failed step.
CorrelationReport DescribeClass(const CorrelationManager& manager, const CatalogueEntry& entry);

// Unit of a correlation's result type code: 1 "degC", 4 "kg/h", 16 "kg/m3", 21 "kJ/kmol",
// 30 "kJ/kg", 128 "MJ/m3", 174 "mg/Sm3", 40 "m/s", 50 "-" (compressibility factor, isentropic exponent); "" for any other code.
std::string_view UnitOfResultType(std::int32_t resultType) noexcept;

// Attaches the correlation to fluid `fluidIndex` of `host`, calculates, reads "Phase_Values"
// and "Phase_Status" from the attachment's result set and detaches (its options are set once, when it is made). The result set that Attach hands back carries
// no reference for the host (the correlation holds the one reference until Detach); it is
// held with a reference of our own while it is read.
CorrelationReport RunCorrelation(ICorrelation* correlation, std::string_view word, IUnknown* host,
                                 std::int32_t fluidIndex);

// "0x80004005 (unspecified failure)": the code and, for the usual ones, what it means.
std::string FormatStatus(HRESULT status);

}  // namespace calorix::host
