// The six line-condition classes through the built module and the fake host: values per phase
// (each phase on its own density root, the overall slot only for one phase), components
// outside the models, states outside their ranges, a failing host call.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "lineprops/line_evaluation.h"
#include "tests/support/fake_host.h"
#include "tests/support/module_client.h"

using fakehost::FakeHost;
namespace lp = calorix::lineprops;

namespace {

constexpr double kUnset = 123.25;  // what the vector holds before a calculation
constexpr double kMethane = 74828, kNitrogen = 7727379, kCO2 = 124389, kEthane = 74840, kPropane = 74986;
constexpr double kNeon = 7440019;  // in neither model

struct LineClass {
    const CLSID* clsid;
    const char* word;
    lp::LineModel model;
    lp::LineQuantity quantity;
};
constexpr std::array<LineClass, 6> kClasses{{
    {&CLSID_ZGERG2008, "ZGERG2008", lp::LineModel::Gerg2008, lp::LineQuantity::Compressibility},
    {&CLSID_LineDensityGERG2008, "LineDensityGERG2008", lp::LineModel::Gerg2008, lp::LineQuantity::MassDensity},
    {&CLSID_SoundSpeedGERG2008, "SoundSpeedGERG2008", lp::LineModel::Gerg2008, lp::LineQuantity::SpeedOfSound},
    {&CLSID_IsentropicExpGERG2008, "IsentropicExpGERG2008", lp::LineModel::Gerg2008,
     lp::LineQuantity::IsentropicExponent},
    {&CLSID_ZDetail, "ZDetail", lp::LineModel::Detail, lp::LineQuantity::Compressibility},
    {&CLSID_LineDensityDetail, "LineDensityDetail", lp::LineModel::Detail, lp::LineQuantity::MassDensity},
}};

// The value the engine gives for one composition, or EMPTY_VALUE.
double Expected(const LineClass& c, const std::vector<double>& x, const std::vector<double>& cas, double t_C,
                double p_kPa, lp::Root root) {
    const auto outcome = lp::EvaluateLineState(c.model, x, cas, t_C + 273.15, p_kPa, root);
    return outcome.state.status == lp::LineStatus::Ok ? lp::QuantityOf(outcome.state, c.quantity) : EMPTY_VALUE;
}

class LineConditionsTest : public ::testing::Test {
protected:
    void TearDown() override {
        EXPECT_EQ(host.OutstandingReferences(), 0);
        EXPECT_EQ(host.Check(), "");
    }

    std::vector<double> Run(const LineClass& c, HRESULT expected = S_OK) {
        moduleclient::Attached a = moduleclient::Attach(*c.clsid, host.Source());
        if (!a.correlation) return {};
        moduleclient::FillPhaseValues(a.results.Get(), kUnset);
        EXPECT_EQ(a.Calculate(), expected) << c.word;
        return a.Values();
    }

    FakeHost host;
};

const std::vector<double> kPipelineCas{kMethane, kNitrogen, kCO2, kEthane, kPropane};
const std::vector<double> kPipelineGas{0.9, 0.02, 0.015, 0.055, 0.01};

TEST_F(LineConditionsTest, OneGasPhaseFillsOverallAndVapour) {
    host.SetGas({{kMethane, 16.043, 0.9}, {kNitrogen, 28.0135, 0.02}, {kCO2, 44.01, 0.015},
                 {kEthane, 30.07, 0.055}, {kPropane, 44.097, 0.01}});
    host.SetPhase(0, 1.0, kPipelineGas);
    host.temperature = 15.0;
    host.pressure = 5000.0;
    for (const LineClass& c : kClasses) {
        SCOPED_TRACE(c.word);
        const double value = Expected(c, kPipelineGas, kPipelineCas, 15.0, 5000.0, lp::Root::Gas);
        ASSERT_NE(value, EMPTY_VALUE);
        const std::vector<double> expected{value, value, EMPTY_VALUE, EMPTY_VALUE, kUnset, EMPTY_VALUE};
        EXPECT_EQ(Run(c), expected);
    }
    // Plausible magnitudes for a lean gas at 15 degC and 50 bar.
    const double z = Expected(kClasses[0], kPipelineGas, kPipelineCas, 15.0, 5000.0, lp::Root::Gas);
    EXPECT_GT(z, 0.85);
    EXPECT_LT(z, 0.95);
}

TEST_F(LineConditionsTest, TwoPhasesEachOnItsOwnRootAndNoOverall) {
    const std::vector<double> cas{kMethane, kPropane};
    const std::vector<double> vapour{0.9, 0.1}, liquid{0.25, 0.75};
    host.SetGas({{kMethane, 16.043, 0.6}, {kPropane, 44.097, 0.4}});
    host.SetPhase(0, 0.5, vapour);
    host.SetPhase(1, 0.5, liquid);
    host.temperature = -20.0;
    host.pressure = 3000.0;
    for (const LineClass& c : kClasses) {
        SCOPED_TRACE(c.word);
        const double gas = Expected(c, vapour, cas, -20.0, 3000.0, lp::Root::Gas);
        const double dense = Expected(c, liquid, cas, -20.0, 3000.0, lp::Root::Liquid);
        ASSERT_NE(gas, EMPTY_VALUE);
        ASSERT_NE(dense, EMPTY_VALUE);
        const std::vector<double> expected{EMPTY_VALUE, gas, dense, EMPTY_VALUE, kUnset, EMPTY_VALUE};
        EXPECT_EQ(Run(c), expected);
    }
    // The liquid is a liquid: several hundred kg/m3 and a small Z.
    const double liquidDensity = Expected(kClasses[1], liquid, cas, -20.0, 3000.0, lp::Root::Liquid);
    EXPECT_GT(liquidDensity, 400.0);
    EXPECT_LT(Expected(kClasses[0], liquid, cas, -20.0, 3000.0, lp::Root::Liquid), 0.2);
}

struct EmptyCase {
    const char* name;
    std::vector<fakehost::Component> components;
    std::vector<double> fractions;
    double temperatureC;
    double pressureKPa;
    std::array<bool, 6> empty;  // per class
};

const EmptyCase kEmptyCases[] = {
    {"a component outside the 21", {{kMethane, 16.043, 0.99}, {kNeon, 20.18, 0.01}}, {0.99, 0.01}, 15, 5000,
     {true, true, true, true, true, true}},
    {"a foreign component at fraction 0 does not count", {{kMethane, 16.043, 1}, {kNeon, 20.18, 0}}, {1, 0}, 15,
     5000, {false, false, false, false, false, false}},
    {"above 700 K: outside both", {{kMethane, 16.043, 1}}, {1}, 450, 5000, {true, true, true, true, true, true}},
    {"680 K: GERG-2008 only", {{kMethane, 16.043, 1}}, {1}, 680 - 273.15, 5000,
     {false, false, false, false, true, true}},
    {"100 MPa: DETAIL only", {{kMethane, 16.043, 1}}, {1}, 50, 100000, {true, true, true, true, false, false}},
    {"below 143 K: GERG-2008 only", {{kNitrogen, 28.0135, 1}}, {1}, 130 - 273.15, 1000,
     {false, false, false, false, true, true}},
    {"a temperature at 0 K", {{kMethane, 16.043, 1}}, {1}, -273.15, 5000, {true, true, true, true, true, true}},
    {"a pressure of 0", {{kMethane, 16.043, 1}}, {1}, 15, 0, {true, true, true, true, true, true}},
    {"no pressure from the host", {{kMethane, 16.043, 1}}, {1}, 15, EMPTY_VALUE,
     {true, true, true, true, true, true}},
};

TEST_F(LineConditionsTest, NoValueOutsideTheModels) {
    for (const EmptyCase& e : kEmptyCases) {
        host.SetGas(e.components);
        host.SetPhase(0, 1.0, e.fractions);
        host.temperature = e.temperatureC;
        host.pressure = e.pressureKPa;
        for (std::size_t k = 0; k < kClasses.size(); ++k) {
            SCOPED_TRACE(std::string(e.name) + " / " + kClasses[k].word);
            const std::vector<double> values = Run(kClasses[k]);
            ASSERT_EQ(values.size(), 6u);
            EXPECT_EQ(values[0] == EMPTY_VALUE, e.empty[k]);
            EXPECT_EQ(values[1], values[0]);
            if (!e.empty[k]) {
                EXPECT_TRUE(std::isfinite(values[0]) && values[0] > 0);
            }
        }
    }
}

// Selects option of the enumeration parameter "Model" of a GERG-2008 class.
HRESULT SetGergModel(ICorrelation* correlation, std::int32_t option) {
    platform::ComPtr<IVariableSet> parameters;
    if (FAILED(correlation->GetParameters(parameters.Put())) || !parameters) return E_FAIL;
    platform::ComPtr<IVariable> variable;
    if (FAILED(parameters->GetVariable(OLESTR("Model"), variable.Put())) || !variable) return E_FAIL;
    platform::ComPtr<IEnumVariable> enumeration;
    if (FAILED(variable.As(&enumeration))) return E_FAIL;
    return enumeration->SetValue(0, option);
}

// "Model" 1 gives every GERG-2008 class the values of the hydrogen model, 0 those of the
// published equation; DETAIL has no such parameter.
TEST_F(LineConditionsTest, ModelParameterSelectsTheHydrogenModel) {
    const std::vector<double> cas{kMethane, kNitrogen, 1333740};
    const std::vector<double> x{0.7, 0.1, 0.2};
    host.SetGas({{kMethane, 16.043, 0.7}, {kNitrogen, 28.0135, 0.1}, {1333740, 2.016, 0.2}});
    host.SetPhase(0, 1.0, x);
    host.temperature = 15.0;
    host.pressure = 8000.0;
    for (const LineClass& c : kClasses) {
        SCOPED_TRACE(c.word);
        moduleclient::Attached a = moduleclient::Attach(*c.clsid, host.Source());
        ASSERT_TRUE(a.correlation);
        if (c.model == lp::LineModel::Detail) {
            EXPECT_EQ(SetGergModel(a.correlation.Get(), 0), E_FAIL);
            continue;
        }
        for (const lp::GergModel model : {lp::GergModel::Gerg2008Hydrogen2021, lp::GergModel::Gerg2008}) {
            ASSERT_EQ(SetGergModel(a.correlation.Get(), model == lp::GergModel::Gerg2008 ? 0 : 1), S_OK);
            ASSERT_EQ(a.Calculate(), S_OK);
            const auto outcome = lp::EvaluateLineState(c.model, x, cas, 288.15, 8000.0, lp::Root::Gas, model);
            ASSERT_EQ(outcome.state.status, lp::LineStatus::Ok);
            EXPECT_EQ(a.Values()[0], lp::QuantityOf(outcome.state, c.quantity));
        }
        const auto published = lp::EvaluateLineState(c.model, x, cas, 288.15, 8000.0, lp::Root::Gas);
        const auto hydrogen = lp::EvaluateLineState(c.model, x, cas, 288.15, 8000.0, lp::Root::Gas,
                                                    lp::GergModel::Gerg2008Hydrogen2021);
        EXPECT_NE(lp::QuantityOf(published.state, c.quantity), lp::QuantityOf(hydrogen.state, c.quantity));
        EXPECT_NE(SetGergModel(a.correlation.Get(), 2), S_OK);
    }
}

TEST_F(LineConditionsTest, FailingHostCallFailsAndWritesNothing) {
    host.SetGas({{kMethane, 16.043, 1}});
    host.SetPhase(0, 1.0, {1});
    for (const char* call : {"GetComponentProperty:CAS_Numbers", "GetComposition"}) {
        host.ClearFailures();
        host.Fail(call);
        for (const LineClass& c : kClasses) {
            SCOPED_TRACE(std::string(call) + " / " + c.word);
            const std::vector<double> expected(6, kUnset);
            EXPECT_EQ(Run(c, E_FAIL), expected);
        }
    }
    host.ClearFailures();
}

}  // namespace
