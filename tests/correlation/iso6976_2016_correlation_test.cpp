// The eight ISO 6976:2016 correlations through the module, the fake host, the driver and the
// engine: the worked examples of the standard's Annex D to the printed digits, one gas at all
// twenty reference pairs against the formulas computed here, and the driver's exits.
#include <gtest/gtest.h>

#include <cmath>
#include <iomanip>
#include <map>
#include <string>
#include <vector>

#include "platform/strings.h"
#include "tests/support/fake_host.h"
#include "tests/support/module_client.h"

using fakehost::Component;
using fakehost::FakeHost;
using platform::ComPtr;

namespace {

constexpr double kMethane = 74828, kEthane = 74840, kPropane = 74986, kNButane = 106978, kIsobutane = 75285,
                 kNPentane = 109660, kIsopentane = 78784, kNeopentane = 463821, kNHexane = 110543,
                 kNitrogen = 7727379, kCarbonDioxide = 124389, kWater = 7732185, kHydrogen = 1333740,
                 kHelium = 7440597;
constexpr double kSentinel = 99.0;

// Option indexes of "RefConditions".
constexpr std::int32_t k15_15 = 0, k25_0 = 16, k60F_60F = 10;

HRESULT SetRefConditions(ICorrelation* correlation, std::int32_t option) {
    ComPtr<IVariableSet> parameters;
    if (FAILED(correlation->GetParameters(parameters.Put())) || !parameters) return E_FAIL;
    ComPtr<IVariable> variable;
    if (FAILED(parameters->GetVariable(platform::AnsiToWide("RefConditions").c_str(), variable.Put()))) return E_FAIL;
    ComPtr<IEnumVariable> enumeration;
    if (FAILED(variable.As(&enumeration))) return E_FAIL;
    return enumeration->SetValue(0, option);
}

// The host's molecular weights are deliberately off: the edition takes the molar mass of a
// listed component from its table.
std::vector<Component> Gas(const std::vector<std::pair<double, double>>& casAndFraction) {
    std::vector<Component> gas;
    for (const auto& [cas, x] : casAndFraction) gas.push_back({cas, 1.0, x});
    return gas;
}

// Overall and vapour "Phase_Values" of each of the eight classes for a one-phase gas.
struct Outputs {
    double density, hhv, lhv, wobbe, massHhv, massLhv, molarHhv, molarLhv;
};

Outputs Calculate(const std::vector<Component>& gas, std::int32_t option) {
    const std::pair<const CLSID*, double Outputs::*> classes[] = {
        {&CLSID_Density2016, &Outputs::density},   {&CLSID_HHV2016, &Outputs::hhv},
        {&CLSID_LHV2016, &Outputs::lhv},           {&CLSID_WobbeIndex2016, &Outputs::wobbe},
        {&CLSID_MassHHV2016, &Outputs::massHhv},   {&CLSID_MassLHV2016, &Outputs::massLhv},
        {&CLSID_MolarHHV2016, &Outputs::molarHhv}, {&CLSID_MolarLHV2016, &Outputs::molarLhv},
    };
    Outputs out{};
    for (const auto& [clsid, field] : classes) {
        FakeHost host;
        host.SetGas(gas);
        std::vector<double> x;
        for (const auto& c : gas) x.push_back(c.moleFraction);
        host.SetPhase(0, 1.0, x);
        {
            moduleclient::Attached a = moduleclient::Attach(*clsid, host.Source());
            EXPECT_EQ(SetRefConditions(a.correlation.Get(), option), S_OK);
            moduleclient::FillPhaseValues(a.results.Get(), kSentinel);
            EXPECT_EQ(a.Calculate(), S_OK);
            const auto v = a.Values();
            EXPECT_EQ(v[0], v[1]);  // the vapour is the whole fluid
            EXPECT_EQ(v[2], EMPTY_VALUE);
            EXPECT_EQ(v[4], kSentinel);
            out.*field = v[0];
        }
        EXPECT_EQ(host.Check(), "");
    }
    return out;
}

// The gases of the worked examples D.2, D.3 and D.4 of ISO 6976:2016, Annex D.
std::vector<Component> AnnexDExample(int n) {
    if (n == 1)
        return Gas({{kMethane, 0.933212}, {kEthane, 0.025656}, {kPropane, 0.015368}, {kNitrogen, 0.010350},
                    {kCarbonDioxide, 0.015414}});
    if (n == 2)
        return Gas({{kMethane, 0.931819}, {kEthane, 0.025618}, {kNitrogen, 0.010335}, {kCarbonDioxide, 0.015391},
                    {kWater, 0.016837}});
    return Gas({{kMethane, 0.922393}, {kEthane, 0.025358}, {kPropane, 0.015190}, {kNButane, 0.000523},
                {kIsobutane, 0.001512}, {kNPentane, 0.002846}, {kIsopentane, 0.002832}, {kNeopentane, 0.001015},
                {kNHexane, 0.002865}, {kNitrogen, 0.010230}, {kCarbonDioxide, 0.015236}});
}

// value agrees with a figure printed with n decimals when it rounds to it.
void ExpectPrinted(const char* what, double value, const std::string& printed) {
    const std::size_t point = printed.find('.');
    const int decimals = point == std::string::npos ? 0 : static_cast<int>(printed.size() - point - 1);
    EXPECT_LE(std::fabs(value - std::stod(printed)), 0.5 * std::pow(10.0, -decimals) * (1 + 1e-9))
        << what << ": " << std::setprecision(12) << value << " does not round to " << printed;
}

// The figures of Annex D that are not a class's value are formed from the values: M from the
// molar and mass values, Z from the molar and volume values, the relative density from the
// gross value and the Wobbe index, the net Wobbe index from both.
struct Figures {
    double M, Z, molarGross, massGross, gross, net, density, relativeDensity, wobbe, netWobbe;
};

Figures FiguresOf(const Outputs& o, double meteringKelvin) {
    const double idealMolarVolume = 8.3144621 * meteringKelvin / 101.325;  // m3/kmol
    const double molarGross = o.molarHhv / 1000.0;                          // kJ/mol
    return {o.molarHhv / o.massHhv,   molarGross / (o.hhv * idealMolarVolume), molarGross,
            o.massHhv / 1000.0,       o.hhv,                                   o.lhv,
            o.density,                (o.hhv / o.wobbe) * (o.hhv / o.wobbe),    o.wobbe,
            o.lhv * o.wobbe / o.hhv};
}

}  // namespace

TEST(Iso6976Edition2016, AnnexDWorkedExamplesToThePrintedDigits) {
    // ISO 6976:2016, Annex D (the uncertainties it prints are not computed by the correlations).
    const std::vector<Component> example1 = AnnexDExample(1), example2 = AnnexDExample(2), example3 = AnnexDExample(3);
    struct Case {
        const char* name;
        const std::vector<Component>* gas;
        std::int32_t option;
        double meteringKelvin;
        std::map<std::string, std::string> printed;  // figure -> as printed
    };
    const Case cases[] = {
        {"D.2, 15/15 degC", &example1, k15_15, 288.15,
         {{"M", "17.388430"}, {"Z", "0.99776224"}, {"Hc,G", "906.179959"}, {"Hm,G", "52.113961"},
          {"Hv,G", "38.410611"}}},
        {"D.3, 60/60 degF", &example2, k60F_60F, 273.15 + 140.0 / 9.0,
         {{"M", "16.989170"}, {"Z", "0.9975690"}, {"Hc,G", "871.443916"}, {"Hm,G", "51.294085"},
          {"Hv,G", "36.874304"}}},
        {"D.4, 15/15 degC", &example3, k15_15, 288.15,
         {{"Hv,G", "39.73351"}, {"Hv,N", "35.86811"}, {"D", "0.76462"}, {"G", "0.62391"}, {"W,G", "50.30318"},
          {"W,N", "45.40954"}}},
        {"D.4, 25/0 degC", &example3, k25_0, 273.15,
         {{"Hv,G", "41.89360"}, {"Hv,N", "37.85228"}, {"D", "0.80701"}, {"G", "0.62411"}, {"W,G", "53.02930"},
          {"W,N", "47.91376"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Figures f = FiguresOf(Calculate(*c.gas, c.option), c.meteringKelvin);
        const std::map<std::string, double> computed = {
            {"M", f.M},         {"Z", f.Z},       {"Hc,G", f.molarGross}, {"Hm,G", f.massGross},
            {"Hv,G", f.gross},  {"Hv,N", f.net},  {"D", f.density},       {"G", f.relativeDensity},
            {"W,G", f.wobbe},   {"W,N", f.netWobbe}};
        for (const auto& [figure, printed] : c.printed) ExpectPrinted(figure.c_str(), computed.at(figure), printed);
    }
}

TEST(Iso6976Edition2016, OneGasAtAllTwentyReferencePairsAgreesWithTheFormulas) {
    // The gas, with its data as printed in ISO 6976:2016 (Tables 1 to 3, A.5): molar mass,
    // hydrogen atoms, s at 0, 15, 15.55, 20 degC, gross molar value at 0, 15, 15.55, 20, 25 degC.
    struct Data {
        double cas, x, M;
        int h;
        double s[4], gross[5];
    };
    const Data gas[] = {
        {kMethane, 0.85, 16.04246, 4, {0.04886, 0.04452, 0.04437, 0.04317}, {892.92, 891.51, 891.46, 891.05, 890.58}},
        {kEthane, 0.05, 30.06904, 6, {0.0997, 0.0919, 0.0916, 0.0895}, {1564.35, 1562.14, 1562.06, 1561.42, 1560.69}},
        {kPropane, 0.02, 44.09562, 8, {0.1465, 0.1344, 0.1340, 0.1308}, {2224.03, 2221.10, 2220.99, 2220.13, 2219.17}},
        {kNitrogen, 0.03, 28.0134, 0, {0.0214, 0.0170, 0.0169, 0.0156}, {0, 0, 0, 0, 0}},
        {kCarbonDioxide, 0.02, 44.0095, 0, {0.0821, 0.0752, 0.0749, 0.0730}, {0, 0, 0, 0, 0}},
        {kHydrogen, 0.02, 2.01588, 2, {-0.01, -0.01, -0.01, -0.01}, {286.64, 286.15, 286.13, 285.99, 285.83}},
        {kHelium, 0.005, 4.002602, 0, {-0.01, -0.01, -0.01, -0.01}, {0, 0, 0, 0, 0}},
        {kWater, 0.005, 18.01528, 2, {0.3093, 0.2562, 0.2546, 0.2419}, {45.064, 44.431, 44.408, 44.222, 44.013}},
    };
    const double vaporisation[5] = {45.064, 44.431, 44.408, 44.222, 44.013};  // Table A.5, kJ/mol
    const double zAir[4] = {0.999419, 0.999595, 0.999601, 0.999645};            // Table A.4
    const double meteringK[4] = {273.15, 288.15, 273.15 + 140.0 / 9.0, 293.15};
    // option of "RefConditions", combustion column, metering column
    const int cases[20][3] = {{0, 1, 1},  {1, 0, 0},  {2, 0, 1},  {3, 0, 2},  {4, 0, 3},  {5, 1, 0},  {6, 1, 2},
                              {7, 1, 3},  {8, 2, 0},  {9, 2, 1},  {10, 2, 2}, {11, 2, 3}, {12, 3, 0}, {13, 3, 1},
                              {14, 3, 2}, {15, 3, 3}, {16, 4, 0}, {17, 4, 1}, {18, 4, 2}, {19, 4, 3}};
    std::vector<Component> components;
    for (const Data& d : gas) components.push_back({d.cas, 1.0, d.x});

    std::map<int, Outputs> byCombustion;
    for (const auto& [option, comb, met] : cases) {
        SCOPED_TRACE("RefConditions " + std::to_string(option));
        double s = 0, gross = 0, net = 0, M = 0;
        for (const Data& d : gas) {
            s += d.x * d.s[met];
            gross += d.x * d.gross[comb];
            net += d.x * (d.gross[comb] - d.h / 2.0 * vaporisation[comb]);
            M += d.x * d.M;
        }
        const double Z = 1 - s * s;
        const double V = 8.3144621 * meteringK[met] / 101.325;
        const double G = M / 28.96546 * zAir[met] / Z;
        const Outputs o = Calculate(components, option);
        const double rel = 1e-12;
        EXPECT_NEAR(o.density, M / (Z * V), rel * o.density);
        EXPECT_NEAR(o.hhv, gross / (Z * V), rel * o.hhv);
        EXPECT_NEAR(o.lhv, net / (Z * V), rel * o.lhv);
        EXPECT_NEAR(o.wobbe, gross / (Z * V) / std::sqrt(G), rel * o.wobbe);
        EXPECT_NEAR(o.massHhv, gross / M * 1000, rel * o.massHhv);
        EXPECT_NEAR(o.massLhv, net / M * 1000, rel * o.massLhv);
        EXPECT_NEAR(o.molarHhv, gross * 1000, rel * o.molarHhv);
        EXPECT_NEAR(o.molarLhv, net * 1000, rel * o.molarLhv);
        // Mass and molar values belong to the combustion temperature alone.
        auto [first, inserted] = byCombustion.emplace(comb, o);
        if (!inserted) {
            EXPECT_EQ(o.massHhv, first->second.massHhv);
            EXPECT_EQ(o.molarLhv, first->second.molarLhv);
        }
    }
}

TEST(Iso6976Edition2016, InertsGiveZeroWaterHasNoNetValueAndUnlistedComponentsKeepTheirMolarMass) {
    // Pure nitrogen: no calorific value, a density.
    const Outputs inert = Calculate({{kNitrogen, 0.0, 1.0}}, k15_15);
    EXPECT_EQ(inert.hhv, 0.0);
    EXPECT_EQ(inert.wobbe, 0.0);
    EXPECT_EQ(inert.molarLhv, 0.0);
    EXPECT_NEAR(inert.density, 28.0134 / ((1 - 0.017 * 0.017) * 8.3144621 * 288.15 / 101.325), 1e-12);
    // Pure water vapour: its gross value is the enthalpy of vaporisation, its net value 0.
    const Outputs water = Calculate({{kWater, 0.0, 1.0}}, k15_15);
    EXPECT_DOUBLE_EQ(water.molarHhv, 44.431 * 1000);
    EXPECT_EQ(water.molarLhv, 0.0);
    // An unlisted component of 170 kg/kmol is computed as n-dodecane with its own molar mass.
    const Outputs unlisted = Calculate({{1234567, 170.0, 1.0}}, k15_15);
    EXPECT_DOUBLE_EQ(unlisted.molarHhv, 8153.24 * 1000);
    EXPECT_DOUBLE_EQ(unlisted.massHhv, 8153.24 / 170.0 * 1000);
}

TEST(Iso6976Edition2016, AFailingHostOrOptionReadFailsTheCalculationAndWritesNothing) {
    for (const char* call : {"GetComposition", "GetComponentProperty:Molecular Weight",
                             "GetComponentProperty:CAS_Numbers"}) {
        SCOPED_TRACE(call);
        FakeHost host;
        host.SetGas({{kMethane, 16.04246, 1.0}});
        host.SetPhase(0, 1.0, {1.0});
        host.Fail(call);
        {
            moduleclient::Attached a = moduleclient::Attach(CLSID_HHV2016, host.Source());
            moduleclient::FillPhaseValues(a.results.Get(), kSentinel);
            EXPECT_EQ(a.Calculate(), E_FAIL);
            EXPECT_EQ(a.Values(), std::vector<double>(6, kSentinel));
        }
        EXPECT_EQ(host.Check(), "");
    }
    // Options past the twentieth pair are refused by the data server, so the value stays valid.
    FakeHost host;
    moduleclient::Attached a = moduleclient::Attach(CLSID_HHV2016, host.Source());
    EXPECT_EQ(SetRefConditions(a.correlation.Get(), 20), E_INVALIDARG);
}

// Relative density, compression factor and net Wobbe index as classes of their own: each to
// the digits Annex D prints for it, and the same number as formed from the eight classes.
TEST(Iso6976Edition2016, RelativeDensityCompressionFactorAndNetWobbeIndexToAnnexD) {
    const std::vector<Component> example1 = AnnexDExample(1), example2 = AnnexDExample(2), example3 = AnnexDExample(3);
    struct Case {
        const char* name;
        const std::vector<Component>* gas;
        std::int32_t option;
        const CLSID* clsid;
        const char* printed;
    };
    const Case cases[] = {
        {"D.2 Z, 15/15 degC", &example1, k15_15, &CLSID_CompressionFactor2016, "0.99776224"},
        {"D.3 Z, 60/60 degF", &example2, k60F_60F, &CLSID_CompressionFactor2016, "0.9975690"},
        {"D.4 G, 15/15 degC", &example3, k15_15, &CLSID_RelativeDensity2016, "0.62391"},
        {"D.4 G, 25/0 degC", &example3, k25_0, &CLSID_RelativeDensity2016, "0.62411"},
        {"D.4 W,N, 15/15 degC", &example3, k15_15, &CLSID_NetWobbeIndex2016, "45.40954"},
        {"D.4 W,N, 25/0 degC", &example3, k25_0, &CLSID_NetWobbeIndex2016, "47.91376"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeHost host;
        host.SetGas(*c.gas);
        std::vector<double> x;
        for (const auto& component : *c.gas) x.push_back(component.moleFraction);
        host.SetPhase(0, 1.0, x);
        {
            moduleclient::Attached a = moduleclient::Attach(*c.clsid, host.Source());
            ASSERT_EQ(SetRefConditions(a.correlation.Get(), c.option), S_OK);
            ASSERT_EQ(a.Calculate(), S_OK);
            const auto v = a.Values();
            EXPECT_EQ(v[0], v[1]);
            ExpectPrinted(c.name, v[0], c.printed);
        }
        EXPECT_EQ(host.Check(), "");
    }
}
