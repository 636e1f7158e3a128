// Every class of the catalogue, attached to a fake host whose every answer the fuzzer chooses:
// the component list and its properties (counts that disagree, NaN and infinite values),
// compositions and phases, temperature and pressure, calls that fail, and a flash whose every
// result comes from the input. Whatever the host does:
// - Calculate returns, and a dew-point search stays within its bounded number of flashes;
// - a failed Calculate writes nothing to "Phase_Values", a successful one never index 4;
// - every reference and every task-allocator block the host handed out comes back, once.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "framework/dataserver.h"
#include "fuzz/fuzz_check.h"
#include "platform/library.h"
#include "platform/strings.h"
#include "tests/support/fake_host.h"
#include "tests/support/module_client.h"

using fakehost::Component;
using fakehost::FakeHost;
using platform::ComPtr;

namespace {

constexpr double kSentinel = 4242.5;  // "Phase_Values" before the calculation
// One dew-point flash, at most (10000 + 270) / 10 scan flashes and 14 refinement flashes per
// search; five searches per calculation.
constexpr int kMaxFlashes = 5 * (1 + 1027 + 14);

moduleclient::Module g_module;

// A number as a hostile host may give it: ordinary, special or any bit pattern.
double AnyNumber(FuzzedDataProvider& in) {
    static const double kSpecial[] = {0.0, -0.0, 1.0, -1.0, 0.5, EMPTY_VALUE, 7732185.0, 7732185.5, 74828.0,
                                      124389.0, 1e17, -1e17, 1e300, std::numeric_limits<double>::infinity(),
                                      -std::numeric_limits<double>::infinity(),
                                      std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::max(),
                                      std::numeric_limits<double>::denorm_min(), 200.0, 250.0, 300.0, 400.0, 450.0};
    switch (in.ConsumeIntegralInRange(0, 3)) {
    case 0: return in.PickValueInArray(kSpecial);
    case 1: return in.ConsumeFloatingPointInRange(-1000.0, 1000.0);
    case 2: return in.ConsumeProbability<double>();
    default: return in.ConsumeFloatingPoint<double>();
    }
}

std::vector<double> AnyArray(FuzzedDataProvider& in, std::size_t typical) {
    const std::size_t n = in.ConsumeBool() ? typical : in.ConsumeIntegralInRange<std::size_t>(0, typical + 3);
    std::vector<double> v(n);
    for (double& x : v) x = AnyNumber(in);
    return v;
}

// Fills the host from the input. Returns the fluid's component count.
std::size_t BuildHost(FuzzedDataProvider& in, FakeHost& host) {
    static const double kCas[] = {74828, 74840, 74986, 106978, 75285, 109660, 110543, 7732185, 124389,
                                  7727379, 7783064, 10024972, 2551624, 75105, 67561, 107211};
    const std::size_t n = in.ConsumeIntegralInRange<std::size_t>(0, 8);
    std::vector<Component> components(n);
    for (Component& c : components) {
        c.cas = in.ConsumeBool() ? in.PickValueInArray(kCas) : AnyNumber(in);
        c.molecularWeight = in.ConsumeBool() ? in.ConsumeFloatingPointInRange(1.0, 300.0) : AnyNumber(in);
        c.moleFraction = in.ConsumeBool() ? in.ConsumeProbability<double>() : AnyNumber(in);
        c.componentClass = in.ConsumeBool() ? in.ConsumeIntegralInRange(0, 500) : AnyNumber(in);
    }
    host.SetGas(components);
    if (in.ConsumeBool()) host.SetOverall(AnyArray(in, n));
    for (int slot = 0; slot < kPhaseCount; ++slot) {
        if (in.ConsumeBool()) host.SetPhase(slot, AnyNumber(in), AnyArray(in, n));
        if (in.ConsumeBool()) host.phasePresent[slot] = in.ConsumeIntegralInRange(-1, 2);
    }
    static const char* const kProperties[] = {"CAS_Numbers", "ComponentIDs", "Molecular Weight",
                                              "ComponentClass", "MolarFlow", "TempUnitFlag"};
    host.SetProperty("MolarFlow", {in.ConsumeBool() ? 100.0 : AnyNumber(in)});
    host.SetProperty("TempUnitFlag", {in.ConsumeBool() ? 0.0 : AnyNumber(in)});
    for (const char* name : kProperties) {
        switch (in.ConsumeIntegralInRange(0, 5)) {
        case 0: host.RemoveProperty(name); break;
        case 1: host.SetProperty(name, AnyArray(in, n)); break;
        case 2: host.SetReportedCount(name, in.ConsumeIntegralInRange<std::int32_t>(-2, static_cast<std::int32_t>(n) + 3)); break;
        default: break;  // as SetGas left it
        }
    }
    if (in.ConsumeBool()) host.SetComponentCount(in.ConsumeIntegralInRange<std::int32_t>(-1, static_cast<std::int32_t>(n) + 2));
    host.temperature = AnyNumber(in);
    host.pressure = in.ConsumeBool() ? 5000.0 : AnyNumber(in);
    host.needsRecalculation = in.ConsumeBool() ? 1 : in.ConsumeIntegral<std::int32_t>();
    host.componentDataAnswersQuery = in.ConsumeIntegralInRange(0, 7) != 0;

    static const char* const kCalls[] = {"GetFluidState", "NeedsRecalculation", "GetComponentData", "GetComposition",
                                         "GetComponentProperty:CAS_Numbers", "GetComponentProperty:ComponentIDs",
                                         "GetComponentProperty:Molecular Weight", "GetComponentProperty:ComponentClass",
                                         "GetComponentProperty:MolarFlow", "GetComponentProperty:TempUnitFlag",
                                         "Flash", "QueryInterface:IFlashCalculator"};
    static const HRESULT kStatus[] = {E_FAIL, E_OUTOFMEMORY, E_POINTER, E_INVALIDARG, S_FALSE, E_NOINTERFACE};
    for (const char* call : kCalls)
        if (in.ConsumeIntegralInRange(0, 9) == 0) host.Fail(call, in.PickValueInArray(kStatus));
    return n;
}

// A flash whose every answer comes from the input; once the input is used up, it fails.
std::function<HRESULT(FluidComposition&)> AnyFlash(FuzzedDataProvider& in) {
    return [&in](FluidComposition& r) -> HRESULT {
        if (in.remaining_bytes() == 0) return E_FAIL;
        const std::size_t n = static_cast<std::size_t>(std::max(r.componentCount, 0));
        if (in.ConsumeBool()) r.temperature = AnyNumber(in);
        for (int p : {1, 2}) {
            r.phasePresent[p] = in.ConsumeIntegralInRange(-1, 2);
            r.phaseFraction[p] = AnyNumber(in);
            if (in.ConsumeBool())
                for (std::size_t i = 0; i < n; ++i) r.moleFractions[p][i] = AnyNumber(in);
        }
        return in.ConsumeBool() ? S_OK : E_FAIL;
    };
}

// Makes the process-wide CO2-equivalent calculator let go of the last host it read: a
// calculation whose "Phase_Values" is gone fails after the calculator has read the new fluid.
void ReleaseCalculator() {
    FakeHost janitor;
    janitor.SetGas({});
    janitor.SetProperty("MolarFlow", {0.0});
    {
        moduleclient::Attached a;
        a.correlation = moduleclient::Create(g_module, CLSID_CO2ESAR);
        FUZZ_CHECK(a.correlation);
        IVariableSet* set = nullptr;
        FUZZ_CHECK(a.correlation->Attach(janitor.Source(), 0, &a.key, &set) == S_OK);
        a.results = ComPtr<IVariableSet>(set);
        FUZZ_CHECK(a.results->RemoveVariable(platform::AnsiToWide("Phase_Values").c_str()) == S_OK);
        FUZZ_CHECK(a.correlation->Calculate(a.key) == E_FAIL);
    }
    FUZZ_CHECK(janitor.Check(std::numeric_limits<int>::max()) == "");
}

bool AllAre(const std::vector<double>& values, double expected) {
    return std::all_of(values.begin(), values.end(), [&](double v) { return v == expected; });
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The module and its data server beside this program, loaded before fuzzing starts so
    // that the coverage of both counts from the first input.
    g_module = moduleclient::Load(platform::FolderOf(platform::ModuleFilePath()) + "/Calorix.so");
    FUZZ_CHECK(g_module.getClassObject);
    platform::LibraryHandle dataServer = nullptr;
    FUZZ_CHECK(platform::LoadComponentLibrary(kDataServerFileName, &dataServer) == S_OK);
    return 0;
}

// The class's own enumeration parameter ("RefTempOption" of the 1995 classes, "RefConditions"
// of the 2016 classes, "MethaneOrigin" of CO2EAR6, "Model" of the GERG-2008 classes), set to one
// of all its options. A class with a parameter set that holds anything else, or a parameter that
// refuses one of its own options, stops the run.
void SelectAnyOption(ICorrelation* correlation, std::uint32_t draw) {
    ComPtr<IVariableSet> parameters;
    FUZZ_CHECK(correlation->GetParameters(parameters.Put()) == S_OK && parameters);
    std::int32_t count = -1;
    FUZZ_CHECK(parameters->GetCount(&count) == S_OK);
    if (count == 0) return;
    FUZZ_CHECK(count == 1);
    for (const OLECHAR* name : {OLESTR("RefTempOption"), OLESTR("RefConditions"), OLESTR("MethaneOrigin"), OLESTR("Model")}) {
        ComPtr<IVariable> variable;
        if (FAILED(parameters->GetVariable(name, variable.Put())) || !variable) continue;
        ComPtr<IEnumVariable> enumeration;
        FUZZ_CHECK(SUCCEEDED(variable.As(&enumeration)) && enumeration);
        std::int32_t options = 0;
        FUZZ_CHECK(enumeration->GetOptionCount(&options) == S_OK && options > 0);
        FUZZ_CHECK(enumeration->SetValue(0, static_cast<std::int32_t>(draw % static_cast<std::uint32_t>(options))) == S_OK);
        return;
    }
    FUZZ_CHECK(!"a parameter of no known name");
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const std::vector<moduleclient::ClassInfo>& classes = moduleclient::Classes();
    const moduleclient::ClassInfo& info = classes[in.ConsumeIntegralInRange<std::size_t>(0, classes.size() - 1)];
    const bool co2e = std::string(info.word).rfind("CO2E", 0) == 0;
    fakehost::AllocatorSpy::Instance().ResetBadFrees();
    {
        FakeHost host;
        BuildHost(in, host);
        const std::uint32_t optionDraw = in.ConsumeIntegral<std::uint32_t>();
        const std::int32_t fluidIndex = in.ConsumeBool() ? 0 : in.ConsumeIntegral<std::int32_t>();
        const int calculations = in.ConsumeIntegralInRange(1, 2);
        const bool wrongKey = in.ConsumeIntegralInRange(0, 15) == 0;
        if (in.ConsumeIntegralInRange(0, 7) != 0) host.flash = AnyFlash(in);
        {
            moduleclient::Attached a;
            a.correlation = moduleclient::Create(g_module, *info.clsid);
            FUZZ_CHECK(a.correlation);
            SelectAnyOption(a.correlation.Get(), optionDraw);
            IVariableSet* set = nullptr;
            if (a.correlation->Attach(host.Source(), fluidIndex, &a.key, &set) == S_OK) {
                a.results = ComPtr<IVariableSet>(set);
                for (int i = 0; i < calculations; ++i) {
                    moduleclient::FillPhaseValues(a.results.Get(), kSentinel);
                    const int flashesBefore = host.Calls("Flash");
                    const HRESULT hr = a.correlation->Calculate(wrongKey ? a.key + 1 : a.key);
                    FUZZ_CHECK(host.Calls("Flash") - flashesBefore <= kMaxFlashes);
                    const std::vector<double> values = a.Values();
                    if (FAILED(hr)) FUZZ_CHECK(AllAre(values, kSentinel));
                    FUZZ_CHECK(values[4] == kSentinel);
                }
                FUZZ_CHECK(a.correlation->Detach(a.key) == S_OK);
            }
        }
        if (co2e) ReleaseCalculator();
        // The calculator may keep the last arrays it read until it reads the next ones.
        FUZZ_CHECK(host.Check(co2e ? std::numeric_limits<int>::max() : 0) == "");
        FUZZ_CHECK(host.OutstandingReferences() == 0);
    }
    return 0;
}
