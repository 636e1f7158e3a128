#include "host/manager/iso_edition.h"

#include <cstdlib>
#include <span>
#include <string_view>

#include <fmt/format.h>

#include "calorific/iso6976_table.h"
#include "platform/strings.h"

namespace calorix::host {

namespace {

constexpr double kCombustion[] = {0.0, 15.0, 15.55, 20.0, 25.0};
constexpr double kMetering[] = {0.0, 15.0, 15.55, 20.0};

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

// The pair an option text names: "Combustion 25.0 deg C, metering 0.0 deg C".
bool ParsePairText(const std::string& text, double* combustion, double* metering) {
    constexpr std::string_view kCombustionWord = "Combustion ", kMeteringWord = ", metering ";
    const std::size_t at = text.find(kMeteringWord);
    if (text.rfind(kCombustionWord, 0) != 0 || at == std::string::npos) return false;
    *combustion = std::strtod(text.c_str() + kCombustionWord.size(), nullptr);
    *metering = std::strtod(text.c_str() + at + kMeteringWord.size(), nullptr);
    return true;
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
    if (slash == std::string::npos || !ParseTemperature(pair.substr(0, slash), kCombustion, &e.combustionC) ||
        !ParseTemperature(pair.substr(slash + 1), kMetering, &e.meteringC)) {
        *problem = "--ref: '" + ref +
                   "' is not a pair COMB/MET of combustion 0, 15, 15.55, 20 or 25 and metering 0, 15, 15.55 or "
                   "20 degC";
        return false;
    }
    *chosen = e;
    return true;
}

std::optional<IsoEdition> EditionOfClass(const CatalogueEntry& entry, const IsoEdition& chosen) noexcept {
    if (IsEditionClass(entry, IsoEdition{2016}))
        return IsoEdition{2016, chosen.combustionC, chosen.meteringC, chosen.reference1995C};
    if (IsIso6976Class(entry))
        return IsoEdition{1995, chosen.reference1995C, chosen.reference1995C, chosen.reference1995C};
    return std::nullopt;
}

std::vector<std::string> ReferenceOptionWarnings(std::span<const CatalogueEntry* const> classes, const std::string& ref,
                                                 bool refTempGiven, const IsoEdition& chosen) {
    std::string of1995, of2016;
    for (const CatalogueEntry* e : classes) {
        const auto edition = EditionOfClass(*e, chosen);
        if (!edition) continue;
        std::string& list = edition->year == 2016 ? of2016 : of1995;
        list += (list.empty() ? "" : ", ") + std::string(e->word);
    }
    std::vector<std::string> warnings;
    if (!ref.empty() && (of2016.empty() || !of1995.empty()))
        warnings.push_back(fmt::format(
            "--ref {} applies to the ISO 6976:2016 classes only; {}", ref,
            of1995.empty() ? std::string("none of them is run")
                           : fmt::format("{} (ISO 6976:1995) take --ref-temp ({:g} degC)", of1995, chosen.reference1995C)));
    if (refTempGiven && (of1995.empty() || !of2016.empty()))
        warnings.push_back(fmt::format(
            "--ref-temp {:g} applies to the ISO 6976:1995 classes only; {}", chosen.reference1995C,
            of2016.empty() ? std::string("none of them is run")
                           : fmt::format("{} (ISO 6976:2016) take --ref ({:g}/{:g} degC)", of2016, chosen.combustionC,
                                         chosen.meteringC)));
    return warnings;
}

bool IsEditionClass(const CatalogueEntry& entry, const IsoEdition& edition) noexcept {
    const std::string_view word = entry.word;
    // The eight heating-value classes of 2016; its relative density, compression factor and net
    // Wobbe index are asked for by name.
    const bool is2016 = word.size() > 4 && word.substr(word.size() - 4) == "2016" &&
                        word != "RelativeDensity2016" && word != "CompressionFactor2016" &&
                        word != "NetWobbeIndex2016";
    return edition.year == 2016 ? is2016 : IsIso6976Class(entry);
}

double CompressionFactorAtReference(const Fluid& fluid, double meteringC) noexcept {
    double sum = 0.0;
    for (std::size_t i = 0; i < fluid.components.size() && i < fluid.moleFractions.size(); ++i) {
        const Component& c = fluid.components[i];
        const Iso6976Row row = LookUpIso6976Row(c.casKey, c.molarMassKgPerKmol).row;
        sum += fluid.moleFractions[i] * (meteringC < 7.5 ? row.sqrtB0 : row.sqrtB15);
    }
    return 1.0 - sum * sum;
}

std::int32_t RefTempOptionOf(const IsoEdition& edition) noexcept { return edition.reference1995C == 0.0 ? 1 : 0; }

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

HRESULT SelectRefConditions(ICorrelation* correlation, const IsoEdition& edition) {
    platform::ComPtr<IEnumVariable> option;
    const HRESULT found = FindEnumParameter(correlation, "RefConditions", &option);
    if (found != S_OK) return found;
    std::int32_t count = 0;
    option->GetOptionCount(&count);
    for (std::int32_t i = 0; i < count; ++i) {
        BSTR text = nullptr;
        if (FAILED(option->GetEnumText(i, &text))) continue;
        const std::string narrow = text ? platform::WideToAnsi(platform::WideStringView(text, SysStringLen(text))) : "";
        SysFreeString(text);
        double combustion = -1.0, metering = -1.0;
        if (ParsePairText(narrow, &combustion, &metering) && combustion == edition.combustionC &&
            metering == edition.meteringC)
            return option->SetValue(0, i);
    }
    return E_INVALIDARG;
}

}  // namespace calorix::host
