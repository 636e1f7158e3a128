// The class catalogue against the module's objects: every class reports the parameters, display
// name, result type and unit the catalogue gives it, and the host sets and labels each reference
// option on exactly the classes that have it.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include <fmt/format.h>

#include "calorific/iso6976_2016.h"
#include "host/fluid/fluid_json.h"
#include "host/manager/evaluate.h"
#include "host/manager/selection.h"

namespace {

using namespace calorix::host;

std::vector<std::string> Words(std::string_view list) {
    std::vector<std::string> words;
    std::istringstream in{std::string(list)};
    for (std::string w; in >> w;) words.push_back(w);
    return words;
}

class Catalogue : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::filesystem::exists(CALORIX_MODULE_PATH)) GTEST_SKIP() << "Calorix.so not built";
        ASSERT_EQ(m_manager.Load(CALORIX_MODULE_PATH), S_OK);
    }
    CorrelationManager m_manager;
};

TEST_F(Catalogue, EveryObjectReportsTheCataloguesFacts) {
    for (const auto& entry : calorix::host::Catalogue()) {
        SCOPED_TRACE(entry.word);
        platform::ComPtr<ICorrelation> correlation;
        ASSERT_EQ(m_manager.Create(*entry.classId, &correlation), S_OK);
        auto reported = ParameterNames(correlation.Get());
        auto listed = Words(entry.parameters);
        std::sort(reported.begin(), reported.end());
        std::sort(listed.begin(), listed.end());
        EXPECT_EQ(reported, listed);
        const CorrelationReport described = DescribeClass(m_manager, entry);
        EXPECT_EQ(described.displayName, entry.displayName);
        EXPECT_EQ(described.resultType, entry.resultType);
        EXPECT_EQ(UnitOfResultType(described.resultType), entry.unit);
        EXPECT_EQ(entry.iso6976Edition != 0, entry.family == "iso6976");
    }
}

// After --edition 2016 --ref 25/0 --ref-temp 0, every class with "RefConditions" computes at
// and is labelled with 25/0, every class with "RefTempOption" with 0 degC, and the others carry
// no reference conditions.
TEST_F(Catalogue, EveryClassFollowsItsReferenceOptionAndSaysSo) {
    EvaluationSettings settings;
    std::string problem;
    ASSERT_TRUE(MakeEvaluationSettings(RunChoices{false, "2016", "25/0", "0"}, settings, problem)) << problem;
    std::vector<const CatalogueEntry*> classes;
    for (const auto& e : calorix::host::Catalogue()) classes.push_back(&e);
    FluidEvaluator evaluator(m_manager, classes, false, settings);
    const FluidResult result = evaluator.Evaluate(ParseFluidJson(DefaultFluidJson(), "default").fluid);
    ASSERT_EQ(result.correlations.size(), classes.size());
    for (std::size_t i = 0; i < classes.size(); ++i) {
        const CatalogueEntry& entry = *classes[i];
        const CorrelationResult& r = result.correlations[i];
        SCOPED_TRACE(entry.word);
        EXPECT_TRUE(r.Ok()) << r.StatusText();
        if (entry.HasParameter("RefConditions")) {
            ASSERT_TRUE(r.edition);
            EXPECT_EQ(r.edition->year, entry.iso6976Edition);
            EXPECT_EQ(r.edition->combustionC, 25.0);
            EXPECT_EQ(r.edition->meteringC, 0.0);
        } else if (entry.HasParameter("RefTempOption")) {
            ASSERT_TRUE(r.edition);
            EXPECT_EQ(r.edition->year, 1995);
            EXPECT_EQ(r.edition->combustionC, 0.0);
            EXPECT_EQ(r.edition->meteringC, 0.0);
        } else {
            EXPECT_FALSE(r.edition);
        }
    }
}

// Relative density, compression factor and net Wobbe index of the 2016 edition at every pair the
// edition allows, through the host's options, against the module's engine at that pair.
TEST_F(Catalogue, The2016ClassesOutsideTheEightFollowEveryPair) {
    const Fluid gas = ParseFluidJson(DefaultFluidJson(), "default").fluid;
    std::vector<double> mw, cas;
    for (const auto& c : gas.components) {
        mw.push_back(c.molarMassKgPerKmol);
        cas.push_back(static_cast<double>(c.casKey));
    }
    Iso2016Calcs engine(static_cast<std::int32_t>(gas.components.size()), gas.moleFractions.data(), mw.data(),
                        cas.data());
    struct Quantity {
        const char* word;
        double Iso2016Calcs::*result;
    };
    const Quantity quantities[] = {{"RelativeDensity2016", &Iso2016Calcs::m_relativeDensity},
                                   {"CompressionFactor2016", &Iso2016Calcs::m_compressionFactor},
                                   {"NetWobbeIndex2016", &Iso2016Calcs::m_netWobbeIndex}};
    for (const auto& pair : iso6976_2016::kRefConditions) {
        const double combustion = iso6976_2016::kCombustionTemperature_C[static_cast<std::size_t>(pair.combustion)];
        const double metering = iso6976_2016::kMeteringTemperature_C[static_cast<std::size_t>(pair.metering)];
        const std::string ref = fmt::format("{:g}/{:g}", combustion, metering);
        SCOPED_TRACE(ref);
        EvaluationSettings settings;
        std::string problem;
        ASSERT_TRUE(MakeEvaluationSettings(RunChoices{false, "1995", ref, ""}, settings, problem)) << problem;
        std::vector<const CatalogueEntry*> classes;
        bool optional = false;
        ASSERT_TRUE(SelectClasses("RelativeDensity2016, CompressionFactor2016, NetWobbeIndex2016", settings.edition,
                                  classes, optional, problem))
            << problem;
        FluidEvaluator evaluator(m_manager, classes, false, settings);
        const FluidResult result = evaluator.Evaluate(gas);
        engine.Calculate(pair);
        for (std::size_t i = 0; i < std::size(quantities); ++i) {
            SCOPED_TRACE(quantities[i].word);
            const auto& value = result.correlations[i].report.phaseValues[0];
            ASSERT_TRUE(value);
            EXPECT_EQ(*value, engine.*quantities[i].result);
        }
    }
}

}  // namespace
