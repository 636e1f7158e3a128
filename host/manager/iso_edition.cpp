#include "host/manager/iso_edition.h"

#include <cstdlib>
#include <span>
#include <string_view>

#include <fmt/format.h>

#include "framework/reference_conditions.h"
#include "platform/strings.h"

namespace calorix::host {

namespace {

using reference_conditions::kCombustionTemperature_C;
using reference_conditions::kMeteringTemperature_C;

// A temperature of the list, written as the list writes it ("15.55", "25" or "25.0").
bool ParseTemperature(const std::string& text, std::span<const double> allowed, double* value) {
    std::size_t used = 0;
    double t = 0.0;
    try {
        t = std::stod(text, &used);
    } catch (const std::exception&) {
        return false;
    }
    if (used != text.size()) return false;
    for (double a : allowed)
        if (t == a) {
            *value = a;
            return true;
        }
    return false;
}

}  // namespace

bool ChooseIsoEdition(const std::string& edition, const std::string& ref, const std::string& refTemp,
                      bool refTempGiven, IsoEdition* chosen, std::string* problem) {
    IsoEdition e;
    if (edition != "1995" && edition != "2016") {
        *problem = "--edition: '" + edition + "' is neither 1995 nor 2016";
        return false;
    }
    e.year = edition == "2016" ? 2016 : 1995;
    if (refTempGiven && refTemp != "15" && refTemp != "0") {
        *problem = "--ref-temp: '" + refTemp + "' is neither 15 nor 0";
        return false;
    }
    e.reference1995C = refTemp == "0" ? 0.0 : 15.0;
    const std::string pair = ref.empty() ? "15/15" : ref;
    const std::size_t slash = pair.find('/');
    if (slash == std::string::npos || !ParseTemperature(pair.substr(0, slash), kCombustionTemperature_C, &e.combustionC) ||
        !ParseTemperature(pair.substr(slash + 1), kMeteringTemperature_C, &e.meteringC) ||
        reference_conditions::RefConditionsOption(e.combustionC, e.meteringC) < 0) {
        *problem = "--ref: '" + ref +
                   "' is not a pair COMB/MET of combustion 0, 15, 15.55, 20 or 25 and metering 0, 15, 15.55 or "
                   "20 degC";
        return false;
    }
    *chosen = e;
    return true;
}

std::optional<IsoEdition> EditionOf(int year, bool refConditions, bool refTempOption, const IsoEdition& chosen) noexcept {
    const double first = reference_conditions::kRefTempOption_C[0];
    if (refConditions) return IsoEdition{year, chosen.combustionC, chosen.meteringC, chosen.reference1995C};
    if (refTempOption) return IsoEdition{year, chosen.reference1995C, chosen.reference1995C, chosen.reference1995C};
    if (year != 0) return IsoEdition{year, first, first, first};
    return std::nullopt;
}

std::optional<IsoEdition> EditionOfClass(const CatalogueEntry& entry, const IsoEdition& chosen) noexcept {
    return EditionOf(entry.iso6976Edition, entry.HasParameter("RefConditions"), entry.HasParameter("RefTempOption"),
                     chosen);
}

std::vector<std::string> ReferenceOptionWarnings(std::span<const CatalogueEntry* const> classes, const std::string& ref,
                                                 bool refTempGiven, const IsoEdition& chosen) {
    // The classes that take each option, by the parameters the catalogue gives them.
    std::string withRefTemp, withRef;
    for (const CatalogueEntry* e : classes) {
        if (e->HasParameter("RefConditions")) withRef += (withRef.empty() ? "" : ", ") + std::string(e->word);
        if (e->HasParameter("RefTempOption")) withRefTemp += (withRefTemp.empty() ? "" : ", ") + std::string(e->word);
    }
    std::vector<std::string> warnings;
    if (!ref.empty() && (withRef.empty() || !withRefTemp.empty()))
        warnings.push_back(fmt::format(
            "--ref {} applies to the ISO 6976:2016 classes only; {}", ref,
            withRefTemp.empty() ? std::string("none of them is run")
                                : fmt::format("{} (ISO 6976:1995) take --ref-temp ({:g} degC)", withRefTemp,
                                              chosen.reference1995C)));
    if (refTempGiven && (withRefTemp.empty() || !withRef.empty()))
        warnings.push_back(fmt::format(
            "--ref-temp {:g} applies to the ISO 6976:1995 classes only; {}", chosen.reference1995C,
            withRef.empty() ? std::string("none of them is run")
                            : fmt::format("{} (ISO 6976:2016) take --ref ({:g}/{:g} degC)", withRef, chosen.combustionC,
                                          chosen.meteringC)));
    return warnings;
}

bool IsEditionClass(const CatalogueEntry& entry, const IsoEdition& edition) noexcept {
    return entry.InGroup("iso6976") && entry.iso6976Edition == edition.year;
}

std::int32_t RefTempOptionOf(const IsoEdition& edition) noexcept {
    return reference_conditions::RefTempOption(edition.reference1995C);
}

std::int32_t RefConditionsOptionOf(const IsoEdition& edition) noexcept {
    return reference_conditions::RefConditionsOption(edition.combustionC, edition.meteringC);
}

namespace {

// The enumeration parameter `name` of a correlation: S_FALSE, with none, when it has no such
// parameter.
HRESULT FindEnumParameter(ICorrelation* correlation, const char* name, platform::ComPtr<IEnumVariable>* option) {
    platform::ComPtr<IVariableSet> parameters;
    HRESULT hr = correlation->GetParameters(parameters.Put());
    if (FAILED(hr) || !parameters) return FAILED(hr) ? hr : S_FALSE;
    platform::ComPtr<IVariable> variable;
    if (FAILED(parameters->GetVariable(platform::AnsiToWide(name).c_str(), variable.Put())) || !variable ||
        FAILED(variable.As(option)) || !*option)
        return S_FALSE;
    return S_OK;
}

}  // namespace

HRESULT SelectEnumOption(ICorrelation* correlation, const char* name, std::int32_t option) {
    platform::ComPtr<IEnumVariable> variable;
    const HRESULT hr = FindEnumParameter(correlation, name, &variable);
    return hr == S_OK ? variable->SetValue(0, option) : hr;
}

std::optional<std::string> SelectedEnumText(ICorrelation* correlation, const char* name) {
    platform::ComPtr<IEnumVariable> variable;
    std::int32_t option = -1;
    if (FindEnumParameter(correlation, name, &variable) != S_OK || FAILED(variable->GetValue(0, &option)))
        return std::nullopt;
    BSTR text = nullptr;
    if (FAILED(variable->GetEnumText(option, &text)) || !text) return std::nullopt;
    std::string narrow = platform::WideToAnsi(platform::WideStringView(text, SysStringLen(text)));
    SysFreeString(text);
    return narrow;
}

}  // namespace calorix::host
