// The ISO 6976 edition calorix-host runs: 1995 (the eight classes with "RefTempOption", 15 or
// 0 degC) or 2016 (the eight classes with "RefConditions", a pair of combustion and metering
// temperatures given as --ref COMB/MET).
#pragma once

#include <string>

#include "host/correlation_manager.h"

namespace calorix::host {

struct IsoEdition {
    int year = 1995;
    double combustionC = 15.0;  // 1995: the one reference temperature
    double meteringC = 15.0;
};

// From --edition ("1995" or "2016"), --ref ("COMB/MET", 2016 only; empty: 15/15) and
// --ref-temp ("15" or "0", 1995 only). False, with the problem, for a pair the edition does
// not allow or an option of the other edition.
bool ChooseIsoEdition(const std::string& edition, const std::string& ref, const std::string& refTemp,
                      bool refTempGiven, IsoEdition* chosen, std::string* problem);

// The eight classes of the edition.
bool IsEditionClass(const CatalogueEntry& entry, const IsoEdition& edition) noexcept;

// "RefTempOption" of a 1995 class: 0 for 15 degC, 1 for 0 degC.
std::int32_t RefTempOptionOf(const IsoEdition& edition) noexcept;

// Selects option of the enumeration parameter `name` of a correlation. S_FALSE for a class
// without that parameter.
HRESULT SelectEnumOption(ICorrelation* correlation, const char* name, std::int32_t option);

// Selects the pair in the "RefConditions" of a 2016 class: the option whose text names the
// pair ("Combustion 25.0 deg C, metering 0.0 deg C"). S_FALSE for a class without the
// parameter; E_INVALIDARG when no option names the pair.
HRESULT SelectRefConditions(ICorrelation* correlation, const IsoEdition& edition);

}  // namespace calorix::host
