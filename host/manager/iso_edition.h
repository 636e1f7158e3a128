// The ISO 6976 editions calorix-host runs: 1995 (classes with "RefTempOption", 15 or 0 degC,
// chosen by --ref-temp) and 2016 (classes with "RefConditions", a pair of combustion and
// metering temperatures chosen by --ref COMB/MET). --edition says which eight classes of the
// catalogue's group "iso6976" that word means; each option applies to every class that has its
// parameter whatever --edition says, and every value is labelled with the edition (the
// catalogue's) and temperatures it was computed with.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "host/fluid/fluid_model.h"
#include "host/manager/correlation_manager.h"

namespace calorix::host {

struct IsoEdition {
    int year = 1995;
    double combustionC = 15.0;  // 2016 classes (a 1995 label: the one reference temperature)
    double meteringC = 15.0;
    double reference1995C = 15.0;  // 1995 classes: --ref-temp

    bool operator==(const IsoEdition&) const = default;
};

// From --edition ("1995" or "2016"), --ref ("COMB/MET" for the 2016 classes; empty: 15/15) and
// --ref-temp ("15" or "0" for the 1995 classes). False, with the problem, for an unknown edition
// or a pair the 2016 edition does not allow.
bool ChooseIsoEdition(const std::string& edition, const std::string& ref, const std::string& refTemp,
                      bool refTempGiven, IsoEdition* chosen, std::string* problem);

// The edition and reference temperatures a class computes with under `chosen`: its edition
// `year` (the catalogue's) and, with "RefConditions", the chosen pair; with "RefTempOption", the
// 1995 reference temperature for both; else the first option's. Nothing for a class outside ISO
// 6976 without either parameter.
std::optional<IsoEdition> EditionOf(int year, bool refConditions, bool refTempOption, const IsoEdition& chosen) noexcept;
// The same with the parameters the catalogue gives the class.
std::optional<IsoEdition> EditionOfClass(const CatalogueEntry& entry, const IsoEdition& chosen) noexcept;

// Warnings for --ref or --ref-temp given while classes without its parameter (or none with it)
// run: which option applies to which classes.
std::vector<std::string> ReferenceOptionWarnings(std::span<const CatalogueEntry* const> classes, const std::string& ref,
                                                 bool refTempGiven, const IsoEdition& chosen);

// The eight classes of the group "iso6976" of the edition.
bool IsEditionClass(const CatalogueEntry& entry, const IsoEdition& edition) noexcept;

// "RefTempOption" of a 1995 class: 0 for 15 degC, 1 for 0 degC.
std::int32_t RefTempOptionOf(const IsoEdition& edition) noexcept;
// "RefConditions" of a 2016 class: the option of the chosen pair (framework/reference_conditions.h).
std::int32_t RefConditionsOptionOf(const IsoEdition& edition) noexcept;

// Selects option of the enumeration parameter `name` of a correlation. S_FALSE for a class
// without that parameter.
HRESULT SelectEnumOption(ICorrelation* correlation, const char* name, std::int32_t option);

// The text of the selected option of the enumeration parameter `name` (the model a GERG-2008
// class computes with); nothing for a class without that parameter or an unreadable option.
std::optional<std::string> SelectedEnumText(ICorrelation* correlation, const char* name);

}  // namespace calorix::host
