#include "host/manager/correlation_manager.h"

#include <cctype>

#include <fmt/format.h>

#include "calorix/catalogue.h"
#include "framework/empty_value.h"
#include "framework/value_status.h"
#include "platform/strings.h"

namespace calorix::host {

namespace {

// The catalogue's facts with the class ids, both in catalogue order.
#define CALORIX_HOST_CLASS_ID(word, scriptId) &CLSID_##word,
constexpr const CLSID* kClassIds[] = {CALORIX_CATALOGUE(CALORIX_HOST_CLASS_ID)};
#undef CALORIX_HOST_CLASS_ID
static_assert(std::size(kClassIds) == std::size(kClassFacts));
constexpr auto kCatalogue = [] {
    std::array<CatalogueEntry, std::size(kClassFacts)> entries{};
    for (std::size_t i = 0; i < entries.size(); ++i) entries[i] = CatalogueEntry{kClassFacts[i], kClassIds[i]};
    return entries;
}();

bool SameWord(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

std::string Narrow(BSTR text) { return text ? platform::WideToAnsi(platform::WideStringView(text, SysStringLen(text))) : std::string(); }

void DescribeCorrelation(ICorrelation* correlation, CorrelationReport& report) {
    BSTR text = nullptr;
    if (SUCCEEDED(correlation->GetDisplayName(&text))) report.displayName = Narrow(text);
    SysFreeString(text);
    text = nullptr;
    if (SUCCEEDED(correlation->GetClassIdString(&text))) report.classId = Narrow(text);
    SysFreeString(text);
    correlation->GetIntProperty2(&report.resultType);
}

}  // namespace

std::span<const CatalogueEntry> Catalogue() noexcept { return kCatalogue; }

const CatalogueEntry* FindCatalogueEntry(std::string_view name) noexcept {
    GUID guid;
    if (!name.empty() && name.front() == '{' && platform::GuidFromString(name, &guid)) {
        for (const auto& e : kCatalogue)
            if (*e.classId == guid) return &e;
        return nullptr;
    }
    constexpr std::string_view kPrefix = "Calorix.";
    if (name.size() > kPrefix.size() && SameWord(name.substr(0, kPrefix.size()), kPrefix)) {
        name.remove_prefix(kPrefix.size());
        if (name.size() > 2 && name.substr(name.size() - 2) == ".1") name.remove_suffix(2);
    }
    for (const auto& e : kCatalogue)
        if (SameWord(name, e.word)) return &e;
    return nullptr;
}

bool IsIso6976Class(const CatalogueEntry& entry) noexcept {
    return entry.InGroup("iso6976") && entry.iso6976Edition == 1995;
}

std::vector<std::string> ParameterNames(ICorrelation* correlation) {
    std::vector<std::string> names;
    platform::ComPtr<IVariableSet> parameters;
    std::int32_t count = 0;
    if (!correlation || FAILED(correlation->GetParameters(parameters.Put())) || !parameters ||
        FAILED(parameters->GetCount(&count)))
        return names;
    for (std::int32_t i = 0; i < count; ++i) {
        platform::ComPtr<IVariable> variable;
        BSTR name = nullptr;
        if (SUCCEEDED(parameters->GetVariableAt(i, variable.Put())) && variable &&
            SUCCEEDED(variable->GetTaggedName(&name)) && name)
            names.push_back(Narrow(name));
        SysFreeString(name);
    }
    return names;
}

HRESULT CorrelationManager::Load(const std::string& modulePath) noexcept {
    platform::LibraryHandle library = nullptr;
    const HRESULT hr = platform::LoadComponentLibrary(modulePath, &library);
    if (FAILED(hr)) return hr;
    auto fn = reinterpret_cast<GetClassObjectFn>(platform::GetLibraryExport(library, "DllGetClassObject"));
    if (!fn) return HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
    m_library = library;
    m_getClassObject = fn;
    return S_OK;
}

HRESULT CorrelationManager::Create(REFCLSID classId, platform::ComPtr<ICorrelation>* correlation) const noexcept {
    if (!correlation) return E_POINTER;
    *correlation = nullptr;
    if (!m_getClassObject) return E_UNEXPECTED;
    platform::ComPtr<IClassFactory> factory;
    HRESULT hr = m_getClassObject(classId, IID_IClassFactory, factory.PutVoid());
    if (FAILED(hr)) return hr;
    if (!factory) return E_FAIL;
    return factory->CreateInstance(nullptr, IID_ICorrelation, correlation->PutVoid());
}

HRESULT CorrelationManager::Create(std::string_view name, platform::ComPtr<ICorrelation>* correlation) const noexcept {
    const CatalogueEntry* entry = FindCatalogueEntry(name);
    if (!entry) {
        if (correlation) *correlation = nullptr;
        return CLASS_E_CLASSNOTAVAILABLE;
    }
    return Create(*entry->classId, correlation);
}

HRESULT CorrelationManager::CallExport(const char* name) const noexcept {
    if (!m_library) return E_UNEXPECTED;
    auto fn = reinterpret_cast<HRESULT (*)()>(platform::GetLibraryExport(m_library, name));
    if (!fn) return HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
    return fn();
}

CorrelationReport DescribeClass(const CorrelationManager& manager, const CatalogueEntry& entry) {
    CorrelationReport report;
    report.word = entry.word;
    platform::ComPtr<ICorrelation> correlation;
    report.status = manager.Create(*entry.classId, &correlation);
    if (SUCCEEDED(report.status) && !correlation) report.status = E_POINTER;
    if (FAILED(report.status))
        report.failedStep = "create";
    else
        DescribeCorrelation(correlation.Get(), report);
    return report;
}

CorrelationReport RunCorrelation(ICorrelation* correlation, std::string_view word, IUnknown* host,
                                 std::int32_t fluidIndex) {
    CorrelationReport report;
    report.word = std::string(word);
    if (!correlation) {
        report.status = E_POINTER;
        report.failedStep = "create";
        return report;
    }
    auto fail = [&](const char* step, HRESULT hr) {
        report.status = hr;
        report.failedStep = step;
    };
    DescribeCorrelation(correlation, report);

    // The attachment's result set comes back without a reference for the host: the correlation
    // keeps the only one until Detach. Take one of our own while we read it.
    std::int32_t key = 0;
    IVariableSet* attached = nullptr;
    HRESULT hr = correlation->Attach(host, fluidIndex, &key, &attached);
    if (FAILED(hr)) {
        fail("Attach", hr);
        return report;
    }
    const platform::ComPtr<IVariableSet> results(attached);
    hr = correlation->Calculate(key);
    if (FAILED(hr)) {
        fail("Calculate", hr);
    } else if (!results) {
        fail("Phase_Values", E_POINTER);
    } else {
        platform::ComPtr<IVariable> variable;
        platform::ComPtr<INumericVectorVariable> vector;
        hr = results->GetVariable(OLESTR("Phase_Values"), variable.Put());
        if (SUCCEEDED(hr) && variable) hr = variable.As(&vector);
        if (FAILED(hr) || !vector) {
            fail("Phase_Values", FAILED(hr) ? hr : E_NOINTERFACE);
        } else {
            for (std::int32_t i = 0; i < 6; ++i) {
                if (i == 4) continue;  // never written by a correlation
                double v = EMPTY_VALUE;
                if (SUCCEEDED(vector->GetValue(i, &v)) && v != EMPTY_VALUE) report.phaseValues[static_cast<std::size_t>(i)] = v;
            }
            // Why a value is missing, when the module says.
            platform::ComPtr<INumericVectorVariable> status;
            variable = nullptr;
            if (SUCCEEDED(results->GetVariable(kPhaseStatusWideName, variable.Put())) && variable &&
                SUCCEEDED(variable.As(&status)) && status)
                for (std::int32_t i = 0; i < 6; ++i) {
                    double v = EMPTY_VALUE;
                    if (i != 4 && SUCCEEDED(status->GetValue(i, &v)) && v != EMPTY_VALUE)
                        report.phaseStatus[static_cast<std::size_t>(i)] = v;
                }
        }
    }
    correlation->Detach(key);
    return report;
}

std::string FormatStatus(HRESULT status) {
    struct Known {
        HRESULT code;
        const char* text;
    };
    static const Known kKnown[] = {
        {E_FAIL, "unspecified failure"},
        {E_POINTER, "null pointer"},
        {E_NOTIMPL, "not implemented"},
        {E_NOINTERFACE, "interface not supported"},
        {E_UNEXPECTED, "unexpected call"},
        {E_ACCESSDENIED, "access denied"},
        {E_OUTOFMEMORY, "out of memory"},
        {E_INVALIDARG, "invalid argument"},
        {CLASS_E_CLASSNOTAVAILABLE, "class not available"},
        {CONNECT_E_CANNOTCONNECT, "no attachment with this key"},
        {SELFREG_E_CLASS, "class registration failed"},
        {REGDB_E_CLASSNOTREG, "class not registered"},
        {HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), "file not found"},
        {HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND), "module not found"},
        {HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND), "the module does not export this function"},
        {HRESULT_FROM_WIN32(ERROR_LOCK_VIOLATION), "the file is locked"},
        {HRESULT_FROM_WIN32(ERROR_INVALID_DATA), "invalid data"},
    };
    for (const auto& k : kKnown)
        if (k.code == status) return fmt::format("0x{:08X} ({})", static_cast<std::uint32_t>(status), k.text);
    return fmt::format("0x{:08X}", static_cast<std::uint32_t>(status));
}

std::string_view UnitOfResultType(std::int32_t resultType) noexcept {
    switch (resultType) {
        case 1: return "degC";
        case 4: return "kg/h";
        case 16: return "kg/m3";
        case 21: return "kJ/kmol";
        case 30: return "kJ/kg";
        case 40: return "m/s";
        case 50: return "-";
        case 128: return "MJ/m3";
        case 174: return "mg/Sm3";
        default: return "";
    }
}

}  // namespace calorix::host
