// The built Calorix module seen only through its exports, with the real data server and
// the fake host.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <initializer_list>
#include <map>

#include "calorific/iso6976_2016_table.h"
#include "platform/library.h"
#include "platform/strings.h"
#include "platform/typelib.h"
#include "tests/support/process.h"
#include "tests/support/fake_host.h"
#include "tests/support/module_client.h"

using fakehost::FakeHost;
using moduleclient::Classes;
using moduleclient::Create;
using moduleclient::TakeString;
using platform::ComPtr;

using moduleclient::Calorix;

namespace {


struct Expected {
    const OLECHAR* displayName;
    std::int32_t resultType;
};

const std::map<std::string, Expected> kIdentity = {
    {"Density", {OLESTR("Mass Density (Std. Cond)"), 16}}, {"HHV", {OLESTR("HHV Vol. Basis"), 128}},
    {"LHV", {OLESTR("LHV Vol. Basis"), 128}},               {"WobbleIndex", {OLESTR("Wobble Index"), 128}},
    {"MassHHV", {OLESTR("HHV Mass Basis"), 30}},            {"MassLHV", {OLESTR("LHV Mass Basis"), 30}},
    {"MolarHHV", {OLESTR("HHV Molar Basis"), 21}},          {"MolarLHV", {OLESTR("LHV Molar Basis"), 21}},
    {"HCDewPt", {OLESTR("HC Dew Point"), 1}},               {"WaterDewPt", {OLESTR("Water Dew Point"), 1}},
    {"WaterContentMg", {OLESTR("Water Content"), 174}},     {"CO2ESAR", {OLESTR("CO2E-SAR"), 4}},
    {"CO2EAR4", {OLESTR("CO2E-AR4"), 4}},                   {"CO2EUS", {OLESTR("CO2E-US"), 4}},
    {"CO2EAR5", {OLESTR("CO2 Equivalent (AR5)"), 4}},       {"CO2EAR6", {OLESTR("CO2 Equivalent (AR6)"), 4}},
    {"ZGERG2008", {OLESTR("Compressibility Factor (GERG-2008)"), 50}},
    {"LineDensityGERG2008", {OLESTR("Density at Line Conditions (GERG-2008)"), 16}},
    {"SoundSpeedGERG2008", {OLESTR("Speed of Sound (GERG-2008)"), 40}},
    {"IsentropicExpGERG2008", {OLESTR("Isentropic Exponent (GERG-2008)"), 50}},
    {"ZDetail", {OLESTR("Compressibility Factor (AGA8 Detail, ISO 12213-2)"), 50}},
    {"LineDensityDetail", {OLESTR("Density at Line Conditions (AGA8 Detail, ISO 12213-2)"), 16}},
};

// The eleven ISO 6976:2016 classes: display name (narrow) and result type.
const std::map<std::string, std::pair<std::string, std::int32_t>> kIdentity2016 = {
    {"Density2016", {"Mass Density (Std. Cond) (ISO 6976:2016)", 16}},
    {"HHV2016", {"HHV Vol. Basis (ISO 6976:2016)", 128}},
    {"LHV2016", {"LHV Vol. Basis (ISO 6976:2016)", 128}},
    {"WobbeIndex2016", {"Wobbe Index (ISO 6976:2016)", 128}},
    {"MassHHV2016", {"HHV Mass Basis (ISO 6976:2016)", 30}},
    {"MassLHV2016", {"LHV Mass Basis (ISO 6976:2016)", 30}},
    {"MolarHHV2016", {"HHV Molar Basis (ISO 6976:2016)", 21}},
    {"MolarLHV2016", {"LHV Molar Basis (ISO 6976:2016)", 21}},
    {"RelativeDensity2016", {"Relative Density (ISO 6976:2016)", 50}},
    {"CompressionFactor2016", {"Compression Factor (ISO 6976:2016)", 50}},
    {"NetWobbeIndex2016", {"Net Wobbe Index (ISO 6976:2016)", 128}},
};
bool Is2016(const std::string& word) { return kIdentity2016.count(word) != 0; }
std::string DisplayNameOf(const std::string& word) {
    return Is2016(word) ? kIdentity2016.at(word).first : platform::WideToAnsi(kIdentity.at(word).displayName);
}
std::int32_t ResultTypeOf(const std::string& word) {
    return Is2016(word) ? kIdentity2016.at(word).second : kIdentity.at(word).resultType;
}

bool IsIso6976(const std::string& word) {
    const std::int32_t type = kIdentity.at(word).resultType;
    return (type == 16 || type == 21 || type == 30 || type == 128) && !word.starts_with("LineDensity");
}

std::int32_t Attach(ICorrelation* c, FakeHost& host, ComPtr<IVariableSet>* results = nullptr) {
    std::int32_t key = 0;
    IVariableSet* set = nullptr;
    EXPECT_EQ(c->Attach(host.Source(), 0, &key, &set), S_OK);
    if (results) *results = ComPtr<IVariableSet>(set);  // the host takes its own reference
    return key;
}

}  // namespace

TEST(Module, EveryClassReportsItsIdentity) {
    ASSERT_EQ(Classes().size(), 33u);
    for (const auto& info : Classes()) {
        SCOPED_TRACE(info.word);
        ComPtr<ICorrelation> c = Create(Calorix(), *info.clsid);
        ASSERT_TRUE(c);
        BSTR text = nullptr;
        ASSERT_EQ(c->GetClassIdString(&text), S_OK);
        platform::WideString classId = TakeString(text);
        EXPECT_EQ(classId.size(), 38u);
        EXPECT_EQ(platform::WideToAnsi(classId), platform::GuidToString(*info.clsid));
        ASSERT_EQ(c->GetDisplayName(&text), S_OK);
        EXPECT_EQ(platform::WideToAnsi(TakeString(text)), DisplayNameOf(info.word));
        std::int32_t values[4] = {-1, -1, -1, -1};
        EXPECT_EQ(c->GetIntProperty1(&values[0]), S_OK);
        EXPECT_EQ(c->GetIntProperty2(&values[1]), S_OK);
        EXPECT_EQ(c->GetIntProperty3(&values[2]), S_OK);
        EXPECT_EQ(c->GetIntProperty4(&values[3]), S_OK);
        EXPECT_EQ(values[0], 0);
        EXPECT_EQ(values[1], ResultTypeOf(info.word));
        EXPECT_EQ(values[2], ResultTypeOf(info.word));
        EXPECT_EQ(values[3], 0);
    }
}

TEST(Module, ParametersHoldRefTempOptionOnlyForIso6976Classes) {
    for (const auto& info : Classes()) {
        SCOPED_TRACE(info.word);
        if (Is2016(info.word)) continue;  // "RefConditions", below
        ComPtr<ICorrelation> c = Create(Calorix(), *info.clsid);
        ComPtr<IVariableSet> parameters;
        ASSERT_EQ(c->GetParameters(parameters.Put()), S_OK);
        ASSERT_TRUE(parameters);
        std::int32_t count = -1;
        parameters->GetCount(&count);
        // The enumeration parameter of a class that has one: its options, the first selected.
        const auto expectEnumeration = [&](const OLECHAR* name, std::initializer_list<const OLECHAR*> texts) {
            EXPECT_EQ(count, 1);
            ComPtr<IVariable> variable;
            ASSERT_EQ(parameters->GetVariable(name, variable.Put()), S_OK);
            ComPtr<IEnumVariable> enumeration;
            ASSERT_EQ(variable.As(&enumeration), S_OK);
            std::int32_t options = 0;
            enumeration->GetOptionCount(&options);
            ASSERT_EQ(options, static_cast<std::int32_t>(texts.size()));
            std::int32_t index = 0;
            for (const OLECHAR* expected : texts) {
                BSTR text = nullptr;
                enumeration->GetEnumText(index++, &text);
                EXPECT_EQ(TakeString(text), expected);
            }
            std::int32_t selected = -1;
            EXPECT_EQ(enumeration->GetValue(0, &selected), S_OK);
            EXPECT_EQ(selected, 0);
        };
        if (std::string(info.word) == "CO2EAR6") {
            expectEnumeration(OLESTR("MethaneOrigin"), {OLESTR("Fossil"), OLESTR("Non-fossil")});
            continue;
        }
        if (std::string(info.word).find("GERG2008") != std::string::npos) {
            expectEnumeration(OLESTR("Model"), {OLESTR("GERG-2008"), OLESTR("GERG-2008 with the 2021 hydrogen binaries")});
            continue;
        }
        if (!IsIso6976(info.word)) {
            EXPECT_EQ(count, 0);
            continue;
        }
        EXPECT_EQ(count, 1);
        ComPtr<IVariable> variable;
        ASSERT_EQ(parameters->GetVariable(OLESTR("RefTempOption"), variable.Put()), S_OK);
        ComPtr<IEnumVariable> option;
        ASSERT_EQ(variable.As(&option), S_OK);
        BSTR text = nullptr;
        option->GetDisplayName(&text);
        EXPECT_EQ(TakeString(text), OLESTR("Ref. Temp. Option"));
        std::int32_t options = 0;
        option->GetOptionCount(&options);
        ASSERT_EQ(options, 2);
        option->GetEnumText(0, &text);
        EXPECT_EQ(TakeString(text), OLESTR("15.0 deg C"));
        option->GetEnumText(1, &text);
        EXPECT_EQ(TakeString(text), OLESTR("0.0 deg C"));
        std::int32_t selected = -1;
        EXPECT_EQ(option->GetValue(0, &selected), S_OK);
        EXPECT_EQ(selected, 0);
    }
}

TEST(Module, Iso6976Edition2016ClassesHoldRefConditionsWithTheTwentyPairs) {
    // Option i names the combustion and metering temperatures of pair i of the table.
    const auto temperature = [](double t) {
        return t == 15.55 ? std::string("15.55 deg C (60 deg F)") : std::to_string(static_cast<int>(t)) + ".0 deg C";
    };
    for (const auto& [word, identity] : kIdentity2016) {
        SCOPED_TRACE(word);
        const auto& info = *std::find_if(Classes().begin(), Classes().end(),
                                         [&](const auto& c) { return c.word == word; });
        ComPtr<ICorrelation> c = Create(Calorix(), *info.clsid);
        ASSERT_TRUE(c);
        ComPtr<IVariableSet> parameters;
        ASSERT_EQ(c->GetParameters(parameters.Put()), S_OK);
        std::int32_t count = -1;
        parameters->GetCount(&count);
        EXPECT_EQ(count, 1);
        ComPtr<IVariable> variable;
        ASSERT_EQ(parameters->GetVariable(platform::AnsiToWide("RefConditions").c_str(), variable.Put()), S_OK);
        ComPtr<IEnumVariable> option;
        ASSERT_EQ(variable.As(&option), S_OK);
        BSTR text = nullptr;
        option->GetDisplayName(&text);
        EXPECT_EQ(platform::WideToAnsi(TakeString(text)), "Ref. Conditions");
        std::int32_t options = 0;
        option->GetOptionCount(&options);
        ASSERT_EQ(options, 20);
        for (std::int32_t i = 0; i < options; ++i) {
            const auto pair = iso6976_2016::kRefConditions[static_cast<std::size_t>(i)];
            option->GetEnumText(i, &text);
            EXPECT_EQ(platform::WideToAnsi(TakeString(text)),
                      "Combustion " + temperature(iso6976_2016::kCombustionTemperature_C[pair.combustion]) +
                          ", metering " + temperature(iso6976_2016::kMeteringTemperature_C[pair.metering]));
        }
        std::int32_t selected = -1;
        EXPECT_EQ(option->GetValue(0, &selected), S_OK);
        EXPECT_EQ(selected, 0);  // 15/15 degC
        EXPECT_EQ(option->SetValue(0, 20), E_INVALIDARG);
    }
}

TEST(Module, DetachRenumbersKeys) {
    FakeHost host;
    {
        ComPtr<ICorrelation> c = Create(Calorix(), CLSID_HHV);
        EXPECT_EQ(c->Detach(1), CONNECT_E_CANNOTCONNECT);  // empty list
        ComPtr<IVariableSet> sets[3];
        for (int i = 0; i < 3; ++i) EXPECT_EQ(Attach(c.Get(), host, &sets[i]), i + 1);
        EXPECT_NE(sets[0].Get(), sets[1].Get());  // each attachment has its own result set

        EXPECT_EQ(c->Detach(2), S_OK);
        EXPECT_EQ(c->Calculate(3), CONNECT_E_CANNOTCONNECT);
        EXPECT_EQ(c->Detach(3), CONNECT_E_CANNOTCONNECT);
        EXPECT_EQ(c->Detach(2), S_OK);  // the former third
        EXPECT_EQ(c->Detach(2), CONNECT_E_CANNOTCONNECT);
        EXPECT_EQ(c->Detach(1), S_OK);
        EXPECT_EQ(host.OutstandingReferences(), 0);
    }
    EXPECT_EQ(host.Check(), "");
}

TEST(Module, FailedAttachRegistersNothing) {
    FakeHost host;
    ComPtr<ICorrelation> c = Create(Calorix(), CLSID_Density);
    std::int32_t key = -7;
    IVariableSet* set = nullptr;
    EXPECT_EQ(c->Attach(nullptr, 0, &key, &set), CONNECT_E_NOCONNECTION);
    EXPECT_EQ(c->Attach(host.PlainObject(), 0, &key, &set), CONNECT_E_NOCONNECTION);
    EXPECT_EQ(key, -7);
    EXPECT_EQ(set, nullptr);
    EXPECT_EQ(c->Detach(1), CONNECT_E_CANNOTCONNECT);
    EXPECT_EQ(host.OutstandingReferences(), 0);
    EXPECT_EQ(host.Check(), "");
}

TEST(Module, NullOutPointersGivePointerErrors) {
    ComPtr<ICorrelation> c = Create(Calorix(), CLSID_LHV);
    FakeHost host;
    IVariableSet* set = nullptr;
    std::int32_t key = 0;
    EXPECT_EQ(c->GetDisplayName(nullptr), E_POINTER);
    EXPECT_EQ(c->GetClassIdString(nullptr), E_POINTER);
    EXPECT_EQ(c->GetIntProperty1(nullptr), E_POINTER);
    EXPECT_EQ(c->GetIntProperty2(nullptr), E_POINTER);
    EXPECT_EQ(c->GetIntProperty3(nullptr), E_POINTER);
    EXPECT_EQ(c->GetIntProperty4(nullptr), E_POINTER);
    EXPECT_EQ(c->GetParameters(nullptr), E_POINTER);
    EXPECT_EQ(c->Attach(host.Source(), 0, nullptr, &set), E_POINTER);
    EXPECT_EQ(c->Attach(host.Source(), 0, &key, nullptr), E_POINTER);
    EXPECT_EQ(c->Detach(1), CONNECT_E_CANNOTCONNECT);  // nothing was attached
    EXPECT_EQ(Calorix().getClassObject(CLSID_HHV, IID_IClassFactory, nullptr), E_POINTER);
}

TEST(Module, ClassObjectsAreCachedAndCountTowardTheLock) {
    const auto& m = Calorix();
    ComPtr<IClassFactory> a, b, other;
    ASSERT_EQ(m.getClassObject(CLSID_HHV, IID_IClassFactory, a.PutVoid()), S_OK);
    ASSERT_EQ(m.getClassObject(CLSID_HHV, IID_IUnknown, b.PutVoid()), S_OK);
    ASSERT_EQ(m.getClassObject(CLSID_LHV, IID_IClassFactory, other.PutVoid()), S_OK);
    EXPECT_EQ(static_cast<IUnknown*>(a.Get()), static_cast<IUnknown*>(b.Get()));
    EXPECT_NE(a.Get(), other.Get());
    EXPECT_EQ(m.canUnloadNow(), S_FALSE);
    a = nullptr;
    b = nullptr;
    other = nullptr;
    EXPECT_EQ(m.canUnloadNow(), S_OK);

    ComPtr<IClassFactory> factory;
    m.getClassObject(CLSID_Density, IID_IClassFactory, factory.PutVoid());
    IClassFactory* raw = factory.Get();
    EXPECT_EQ(raw->LockServer(TRUE), S_OK);
    factory = nullptr;
    EXPECT_EQ(m.canUnloadNow(), S_FALSE);
    EXPECT_EQ(raw->LockServer(FALSE), S_OK);  // the map's reference keeps it alive
    EXPECT_EQ(m.canUnloadNow(), S_OK);

    ComPtr<ICorrelation> c = Create(m, CLSID_WaterDewPt);
    EXPECT_EQ(m.canUnloadNow(), S_FALSE);
    c = nullptr;
    EXPECT_EQ(m.canUnloadNow(), S_OK);

    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(m.getClassObject(IID_ICorrelation, IID_IClassFactory, &out), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(m.getClassObject(CLSID_HHV, IID_ICorrelation, &out), E_NOINTERFACE);
}

namespace {
// An outer object for aggregation: counts its references and hands every other
// interface to the inner object.
class Outer final : public IUnknown {
public:
    HRESULT COMCALL QueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IUnknown) {
            *ppv = this;
            AddRef();
            return S_OK;
        }
        return inner ? inner->QueryInterface(riid, ppv) : E_NOINTERFACE;
    }
    ULONG COMCALL AddRef() override { return ++refs; }
    ULONG COMCALL Release() override { return --refs; }
    ULONG refs = 1;
    ComPtr<IUnknown> inner;
};
}  // namespace

TEST(Module, AggregationRoutesReferencesToTheOuterObject) {
    const auto& m = Calorix();
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(m.getClassObject(CLSID_CO2EUS, IID_IClassFactory, factory.PutVoid()), S_OK);
    Outer outer;
    void* out = nullptr;
    EXPECT_EQ(factory->CreateInstance(&outer, IID_ICorrelation, &out), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(factory->CreateInstance(&outer, IID_IUnknown, outer.inner.PutVoid()), S_OK);
    ASSERT_TRUE(outer.inner);

    ICorrelation* correlation = nullptr;
    ASSERT_EQ(outer.inner->QueryInterface(IID_ICorrelation, reinterpret_cast<void**>(&correlation)), S_OK);
    EXPECT_EQ(outer.refs, 2u);  // the reference went to the outer object
    std::int32_t type = 0;
    EXPECT_EQ(correlation->GetIntProperty2(&type), S_OK);
    EXPECT_EQ(type, 4);
    IUnknown* identity = nullptr;
    correlation->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity));
    EXPECT_EQ(identity, &outer);  // the contained object's IUnknown is the outer one
    identity->Release();
    correlation->Release();
    EXPECT_EQ(outer.refs, 1u);
    EXPECT_EQ(m.canUnloadNow(), S_FALSE);
    outer.inner = nullptr;
    factory = nullptr;
    EXPECT_EQ(m.canUnloadNow(), S_OK);
}

TEST(Module, DispatchIsTheClassInterface) {
    ComPtr<ICorrelation> c = Create(Calorix(), CLSID_MolarHHV);
    ComPtr<IDispatch> dispatch;
    ASSERT_EQ(c.As(&dispatch), S_OK);
    ComPtr<IUnknown> own;
    ASSERT_EQ(c->QueryInterface(IID_IMolarHHV, own.PutVoid()), S_OK);
    EXPECT_EQ(static_cast<IUnknown*>(dispatch.Get()), own.Get());
    EXPECT_NE(static_cast<void*>(dispatch.Get()), static_cast<void*>(c.Get()));
    UINT count = 7;
    EXPECT_EQ(dispatch->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, platform::kTypeLibrariesAvailable ? 1u : 0u);
    ComPtr<IUnknown> none;
    EXPECT_EQ(c->QueryInterface(IID_IHHV, none.PutVoid()), E_NOINTERFACE);
}

TEST(Module, CreationFailsCleanlyWithoutTheDataServer) {
    // A copy of this program and of the module, in a folder without varbank2, run as a
    // process of its own: the system's search for the data server finds nothing there, and
    // nothing is loaded yet that it could reuse.
    namespace fs = std::filesystem;
    const fs::path folder = fs::temp_directory_path() / ("calorix-alone-" + std::to_string(testprocess::CurrentId()));
    fs::remove_all(folder);
    fs::create_directories(folder);
    const fs::path program = platform::ModuleFilePath();
    const std::string module = platform::LibraryFileName("Calorix");
    fs::copy_file(program, folder / program.filename());
    fs::copy_file(program.parent_path() / module, folder / module);
    EXPECT_EQ(testprocess::Run((folder / program.filename()).string(),
                               {"--gtest_also_run_disabled_tests", "--gtest_filter=ModuleAlone.*"}),
              0);
    fs::remove_all(folder);
}

// Run only by the test above, from its folder without the data server.
TEST(ModuleAlone, DISABLED_CreationFailsWithoutTheDataServer) {
    const std::string folder = platform::FolderOf(platform::ModuleFilePath());
    ASSERT_FALSE(std::filesystem::exists(platform::PathIn(folder, platform::LibraryFileName("varbank2"))));
    moduleclient::Module alone = moduleclient::Load(platform::PathIn(folder, platform::LibraryFileName("Calorix")));
    ASSERT_TRUE(alone.getClassObject);
    HRESULT status = S_OK;
    for (const auto& info : Classes()) {
        ComPtr<ICorrelation> c = Create(alone, *info.clsid, &status);
        EXPECT_EQ(status, E_FAIL) << info.word;
        EXPECT_FALSE(c);
    }
    EXPECT_EQ(alone.canUnloadNow(), S_OK);
}
