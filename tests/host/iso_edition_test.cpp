// The choice of ISO 6976 edition and reference temperatures of calorix-host.
#include <gtest/gtest.h>

#include <string>

#include "host/manager/iso_edition.h"
#include "host/manager/selection.h"

namespace {

using namespace calorix::host;

TEST(IsoEdition, CommandLineChoices) {
    struct Case {
        const char *edition, *ref, *refTemp;
        bool refTempGiven;
        bool ok;
        int year;
        double combustion, metering, reference1995;
    };
    const Case cases[] = {
        {"1995", "", "15", false, true, 1995, 15, 15, 15},     {"1995", "", "0", true, true, 1995, 15, 15, 0},
        {"2016", "", "15", false, true, 2016, 15, 15, 15},     {"2016", "25/0", "15", false, true, 2016, 25, 0, 15},
        {"2016", "15.55/15.55", "15", false, true, 2016, 15.55, 15.55, 15},
        {"2016", "25.0/20", "15", false, true, 2016, 25, 20, 15},
        {"2016", "25/25", "15", false, false, 0, 0, 0, 0},     {"2016", "15.5/15", "15", false, false, 0, 0, 0, 0},
        {"2016", "25", "15", false, false, 0, 0, 0, 0},        {"2016", "25/0x", "15", false, false, 0, 0, 0, 0},
        // Each option applies to its own edition's classes, whatever --edition says.
        {"2016", "", "0", true, true, 2016, 15, 15, 0},        {"1995", "25/0", "15", false, true, 1995, 25, 0, 15},
        {"2000", "", "15", false, false, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.edition) + " '" + c.ref + "' " + c.refTemp);
        IsoEdition chosen;
        std::string problem;
        ASSERT_EQ(ChooseIsoEdition(c.edition, c.ref, c.refTemp, c.refTempGiven, &chosen, &problem), c.ok) << problem;
        if (!c.ok) {
            EXPECT_FALSE(problem.empty());
            continue;
        }
        EXPECT_EQ(chosen.year, c.year);
        EXPECT_EQ(chosen.combustionC, c.combustion);
        EXPECT_EQ(chosen.meteringC, c.metering);
        EXPECT_EQ(chosen.reference1995C, c.reference1995);
    }
}

// Every value is labelled with what it was computed with; an option naming the other edition's
// classes says which option applies to which.
TEST(IsoEdition, ClassesCarryTheirOwnEditionAndOptionsWarnAcrossEditions) {
    IsoEdition chosen;
    std::string problem;
    ASSERT_TRUE(ChooseIsoEdition("2016", "25/0", "0", true, &chosen, &problem)) << problem;
    const CatalogueEntry* hhv = FindCatalogueEntry("HHV");
    const CatalogueEntry* hhv2016 = FindCatalogueEntry("HHV2016");
    const CatalogueEntry* dew = FindCatalogueEntry("HCDewPt");
    const auto e1995 = EditionOfClass(*hhv, chosen);
    const auto e2016 = EditionOfClass(*hhv2016, chosen);
    ASSERT_TRUE(e1995 && e2016);
    EXPECT_EQ(e1995->year, 1995);
    EXPECT_EQ(e1995->meteringC, 0.0);
    EXPECT_EQ(e1995->combustionC, 0.0);
    EXPECT_EQ(e2016->year, 2016);
    EXPECT_EQ(e2016->combustionC, 25.0);
    EXPECT_EQ(e2016->meteringC, 0.0);
    EXPECT_FALSE(EditionOfClass(*dew, chosen));

    const CatalogueEntry* only1995[] = {hhv, dew};
    auto warnings = ReferenceOptionWarnings(only1995, "25/0", false, chosen);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(warnings[0], "--ref 25/0 applies to the ISO 6976:2016 classes only; HHV (ISO 6976:1995) take --ref-temp (0 degC)");
    const CatalogueEntry* both[] = {hhv, hhv2016};
    EXPECT_TRUE(ReferenceOptionWarnings(both, "", false, chosen).empty());
    warnings = ReferenceOptionWarnings(both, "25/0", true, chosen);
    ASSERT_EQ(warnings.size(), 2u);
    EXPECT_EQ(warnings[1], "--ref-temp 0 applies to the ISO 6976:1995 classes only; HHV2016 (ISO 6976:2016) take --ref (25/0 degC)");
    const CatalogueEntry* none[] = {dew};
    warnings = ReferenceOptionWarnings(none, "", true, chosen);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("none of them is run"), std::string::npos);
}

TEST(IsoEdition, EachEditionHasItsEightClasses) {
    for (int year : {1995, 2016}) {
        IsoEdition edition;
        edition.year = year;
        int count = 0;
        for (const auto& e : Catalogue()) count += IsEditionClass(e, edition);
        EXPECT_EQ(count, 8) << year;
    }
    const CatalogueEntry* e = FindCatalogueEntry("Calorix.HHV2016.1");
    ASSERT_TRUE(e);
    EXPECT_STREQ(e->word, "HHV2016");
}

// A group word and class words together: the group's classes of the edition, then the others,
// each once.
TEST(IsoEdition, GroupAndClassWordsCombine) {
    struct Case {
        const char* selection;
        int year;
        std::size_t count;
        const char* last;
    };
    const Case cases[] = {{"iso6976,RelativeDensity2016", 2016, 9, "RelativeDensity2016"},
                          {"HHV2016, iso6976", 2016, 8, "MolarHHV2016"},
                          {"iso6976,HHV2016", 1995, 9, "HHV2016"},
                          {"ISO6976, CompressionFactor2016, NetWobbeIndex2016", 1995, 10, "NetWobbeIndex2016"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.selection);
        IsoEdition edition;
        edition.year = c.year;
        std::vector<const CatalogueEntry*> classes;
        bool optional = true;
        std::string problem;
        ASSERT_TRUE(SelectClasses(c.selection, edition, classes, optional, problem)) << problem;
        EXPECT_FALSE(optional);
        ASSERT_EQ(classes.size(), c.count);
        EXPECT_STREQ(classes.back()->word, c.last);
    }
}

}  // namespace
