// Calorix.Calculator as a spreadsheet reaches it: created by ProgID in the COM runtime and
// called late-bound (IDispatch by name), with ranges as Excel hands them over (2-D arrays of
// VARIANTs from 1, a column or a row), against calorix-host's JSON output bit for bit; errors
// with their description in the exception and in the error object; four STA threads at once.
#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "calculator/com/calculator_object.h"
#include "calorix/guids.h"
#include "host/cli/cli.h"
#include "platform/comptr.h"
#include "platform/library.h"
#include "platform/program.h"
#include "platform/strings.h"

CALORIX_DECLARE_IID(ISupportErrorInfo, IID_ISupportErrorInfo)

namespace {

using platform::ComPtr;

const std::vector<std::string> kNames = {"methane", "ethane", "propane", "isobutane", "n-butane",
                                         "isopentane", "n-pentane", "n-hexane", "nitrogen", "124-38-9"};
const std::vector<double> kFractions = {0.895, 0.05, 0.02, 0.004, 0.005, 0.002, 0.0015, 0.0015, 0.01, 0.011};

struct Var {
    VARIANT v;
    Var() { VariantInit(&v); }
    explicit Var(double d) : Var() {
        V_VT(&v) = VT_R8;
        V_R8(&v) = d;
    }
    explicit Var(const std::string& s) : Var() {
        V_VT(&v) = VT_BSTR;
        V_BSTR(&v) = SysAllocString(platform::Utf8ToWide(s).c_str());
    }
    Var(const Var& o) : Var() { VariantCopy(&v, const_cast<VARIANT*>(&o.v)); }
    ~Var() { VariantClear(&v); }
};

// An Excel range's value: a 2-D array of VARIANTs from 1, one column (or one row) of cells.
Var Range(const std::vector<Var>& cells, bool column) {
    SAFEARRAYBOUND bounds[2] = {{static_cast<ULONG>(column ? cells.size() : 1), 1},
                                {static_cast<ULONG>(column ? 1 : cells.size()), 1}};
    SAFEARRAY* array = SafeArrayCreate(VT_VARIANT, 2, bounds);
    for (LONG i = 0; i < static_cast<LONG>(cells.size()); ++i) {
        LONG index[2] = {column ? i + 1 : 1, column ? 1 : i + 1};
        SafeArrayPutElement(array, index, const_cast<VARIANT*>(&cells[i].v));
    }
    Var range;
    V_VT(&range.v) = VT_ARRAY | VT_VARIANT;
    V_ARRAY(&range.v) = array;
    return range;
}
Var NameRange(bool column) {
    std::vector<Var> cells;
    for (const auto& n : kNames) cells.emplace_back(n);
    return Range(cells, column);
}
Var FractionRange(bool column) {
    std::vector<Var> cells;
    for (double x : kFractions) cells.emplace_back(x);
    cells.emplace_back();   // the range reaches one row further than the data
    return Range(cells, column);
}

struct Call {
    HRESULT status = E_FAIL;
    Var result;
    std::string description, source;
};

// IDispatch::Invoke by name, the arguments in the order written.
Call Invoke(IDispatch* object, const char* name, std::vector<Var> args, WORD flags = DISPATCH_METHOD) {
    Call call;
    platform::WideString wide = platform::Utf8ToWide(name);
    LPOLESTR names[] = {wide.data()};
    DISPID id = 0;
    call.status = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(call.status)) return call;
    std::vector<VARIANT> reversed;
    for (auto it = args.rbegin(); it != args.rend(); ++it) reversed.push_back(it->v);
    DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    EXCEPINFO exception{};
    UINT argumentError = 0;
    call.status = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, &call.result.v, &exception,
                                 &argumentError);
    if (exception.bstrDescription) call.description = platform::WideToUtf8(exception.bstrDescription);
    if (exception.bstrSource) call.source = platform::WideToUtf8(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrHelpFile);
    return call;
}

ComPtr<IDispatch> CreateCalculator() {
    CLSID clsid{};
    EXPECT_EQ(CLSIDFromProgID(OLESTR("Calorix.Calculator"), &clsid), S_OK) << "Calorix.Calculator is not registered";
    EXPECT_TRUE(clsid == CLSID_Calculator);
    ComPtr<IDispatch> object;
    EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, object.PutVoid()), S_OK);
    return object;
}

// calorix-host --format json on the gas (the program's own code, in this process), the value
// of the overall fluid.
double HostValue(const std::string& word, double t, double p, const std::vector<std::string>& more) {
    nlohmann::json fluid = {{"temperature_C", t}, {"pressure_kPa", p}, {"mole_fractions", kFractions}};
    for (const auto& n : kNames)
        fluid["components"].push_back(n.find('-') != std::string::npos && n[0] >= '0' && n[0] <= '9'
                                          ? nlohmann::json{{"cas", n}}
                                          : nlohmann::json{{"name", n}});
    const std::string file = platform::PathIn(platform::FolderOf(platform::ModuleFilePath()),
                                              "calculator-client-" + word + ".json");
    FILE* f = _wfopen(platform::Utf8ToWide(file).c_str(), OLESTR("wb"));
    const std::string text = fluid.dump();
    fwrite(text.data(), 1, text.size(), f);
    fclose(f);
    std::vector<std::string> words = {"calorix-host", "--format", "json", "--fluid", file, "--correlations", word};
    words.insert(words.end(), more.begin(), more.end());
    std::vector<const char*> argv;
    for (const auto& w : words) argv.push_back(w.c_str());
    std::ostringstream out, err;
    EXPECT_EQ(calorix::host::RunHostProgram(static_cast<int>(argv.size()), argv.data(), out, err), 0) << err.str();
    _wremove(platform::Utf8ToWide(file).c_str());
    return nlohmann::json::parse(out.str())["correlations"][0]["phases"]["overall"]["value"].get<double>();
}

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

struct Case {
    const char* word;
    const char* options;
    std::vector<std::string> hostArgs;
};
const std::vector<Case> kCases = {
    {"HHV2016", "ref=25/0", {"--ref", "25/0"}},
    {"Density", "ref-temp=0", {"--ref-temp", "0"}},
    {"ZGERG2008", "", {}},
    {"CO2EAR6", "methane-origin=non-fossil", {"--methane-origin", "non-fossil"}},
};

TEST(CalculatorClient, RangesGiveTheHostsValuesBitForBit) {
    const ComPtr<IDispatch> calculator = CreateCalculator();
    ASSERT_TRUE(calculator);
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.word);
        const double expected = HostValue(c.word, 15.0, 5000.0, c.hostArgs);
        for (bool column : {true, false}) {
            const Call call = Invoke(calculator.Get(), "Value",
                                     {Var(std::string(c.word)), NameRange(column), FractionRange(column), Var(15.0),
                                      Var(std::string("5000")), Var(std::string(c.options))});
            ASSERT_EQ(call.status, S_OK) << call.description;
            ASSERT_EQ(V_VT(&call.result.v), VT_R8);
            EXPECT_TRUE(SameBits(V_R8(&call.result.v), expected)) << V_R8(&call.result.v) << " vs " << expected;
        }
    }
    // The options may be left out; PhaseValues' overall value is Value's.
    const Call value = Invoke(calculator.Get(), "Value", {Var(std::string("HHV2016")), NameRange(true), FractionRange(true), Var(15.0), Var(5000.0)});
    ASSERT_EQ(value.status, S_OK) << value.description;
    const Call phases = Invoke(calculator.Get(), "PhaseValues",
                               {Var(std::string("HHV2016")), NameRange(false), FractionRange(false), Var(15.0), Var(5000.0)});
    ASSERT_EQ(phases.status, S_OK) << phases.description;
    ASSERT_EQ(V_VT(&phases.result.v), VT_ARRAY | VT_VARIANT);
    LONG index = 0;
    Var overall, aqueous;
    SafeArrayGetElement(V_ARRAY(&phases.result.v), &index, &overall.v);
    index = 3;
    SafeArrayGetElement(V_ARRAY(&phases.result.v), &index, &aqueous.v);
    EXPECT_TRUE(SameBits(V_R8(&overall.v), V_R8(&value.result.v)));
    EXPECT_EQ(V_VT(&aqueous.v), VT_EMPTY);
    const Call version = Invoke(calculator.Get(), "Version", {}, DISPATCH_PROPERTYGET);
    ASSERT_EQ(version.status, S_OK);
    EXPECT_EQ(platform::WideToUtf8(V_BSTR(&version.result.v)), CALORIX_VERSION);
}

TEST(CalculatorClient, BadInputRaisesTheMessageWithErrorInfo) {
    const ComPtr<IDispatch> calculator = CreateCalculator();
    ASSERT_TRUE(calculator);
    const struct {
        std::vector<Var> args;
        const char* start;
    } cases[] = {
        {{Var(std::string("HHV2016")), Var(std::string("methan, ethane")), Var(std::string("0.9, 0.1")), Var(15.0), Var(5000.0)},
         "components[0]: unknown component 'methan' (did you mean 'methane'?)"},
        {{Var(std::string("HHV2016")), Var(std::string("methane, ethane")), Var(std::string("0.8, 0.1")), Var(15.0), Var(5000.0)},
         "mole_fractions: fractions sum to 0.9, not 1; use normalise=1 to scale them"},
        {{Var(std::string("HHV2016")), Var(std::string("methane, ethane")), Var(std::string("0.9, 0.1")), Var(15.0), Var(1e9)},
         "pressure_kPa: 1e+09 is 1e+09 kPa, above 1e+06 kPa"},
        {{Var(std::string("HHV2016")), NameRange(true), Range({Var(0.5), Var(0.5)}, false), Var(15.0), Var(5000.0)},
         "mole_fractions: 2 entries for 10 components"},
    };
    for (const auto& c : cases) {
        const Call call = Invoke(calculator.Get(), "Value", c.args);
        EXPECT_EQ(call.status, DISP_E_EXCEPTION);
        EXPECT_EQ(call.description.rfind(c.start, 0), 0u) << call.description;
        EXPECT_EQ(call.source, "Calorix.Calculator");
    }
    // Through the vtable, as VBA calls a dual interface: the error object carries the message.
    ComPtr<ISupportErrorInfo> support;
    ASSERT_EQ(calculator.As(&support), S_OK);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_ICalculator), S_OK);
    ComPtr<calorix::calculator::ICalculator> direct;
    ASSERT_EQ(calculator.As(&direct), S_OK);
    const auto& a = cases[0].args;
    double value = 0.0;
    EXPECT_EQ(direct->Value(a[0].v, a[1].v, a[2].v, a[3].v, a[4].v, Var().v, &value), E_INVALIDARG);
    IErrorInfo* info = nullptr;
    ASSERT_EQ(GetErrorInfo(0, &info), S_OK);
    BSTR description = nullptr, source = nullptr;
    info->GetDescription(&description);
    info->GetSource(&source);
    EXPECT_EQ(platform::WideToUtf8(description).rfind(cases[0].start, 0), 0u);
    EXPECT_EQ(platform::WideToUtf8(source), "Calorix.Calculator");
    SysFreeString(description);
    SysFreeString(source);
    info->Release();
}

TEST(CalculatorClient, FourApartmentThreadsAtOnce) {
    std::vector<double> expected;
    for (const auto& c : kCases) expected.push_back(HostValue(c.word, 15.0, 5000.0, c.hostArgs));
    std::vector<std::string> failures(4);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            platform::ComApartment apartment;
            CLSID clsid{};
            ComPtr<IDispatch> calculator;
            if (FAILED(CLSIDFromProgID(OLESTR("Calorix.Calculator"), &clsid)) ||
                FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, calculator.PutVoid()))) {
                failures[t] = "cannot create the calculator";
                return;
            }
            for (int round = 0; round < 6; ++round) {
                const std::size_t k = static_cast<std::size_t>(t + round) % kCases.size();
                const Call call = Invoke(calculator.Get(), "Value",
                                         {Var(std::string(kCases[k].word)), NameRange(round % 2 == 0),
                                          FractionRange(round % 2 == 0), Var(15.0), Var(5000.0),
                                          Var(std::string(kCases[k].options))});
                if (call.status != S_OK || !SameBits(V_R8(&call.result.v), expected[k]))
                    failures[t] = std::string(kCases[k].word) + ": " + call.description;
            }
        });
    for (auto& thread : threads) thread.join();
    for (int t = 0; t < 4; ++t) EXPECT_EQ(failures[t], "") << "thread " << t;
}

}  // namespace
