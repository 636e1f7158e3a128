// The choice of ISO 6976 edition and reference temperatures of calorix-host.
#include <gtest/gtest.h>

#include <string>

#include "host/iso_edition.h"

namespace {

using namespace calorix::host;

TEST(IsoEdition, CommandLineChoices) {
    struct Case {
        const char *edition, *ref, *refTemp;
        bool refTempGiven;
        bool ok;
        int year;
        double combustion, metering;
    };
    const Case cases[] = {
        {"1995", "", "15", false, true, 1995, 15, 15},     {"1995", "", "0", true, true, 1995, 0, 0},
        {"2016", "", "15", false, true, 2016, 15, 15},     {"2016", "25/0", "15", false, true, 2016, 25, 0},
        {"2016", "15.55/15.55", "15", false, true, 2016, 15.55, 15.55},
        {"2016", "25.0/20", "15", false, true, 2016, 25, 20},
        {"2016", "25/25", "15", false, false, 0, 0, 0},     {"2016", "15.5/15", "15", false, false, 0, 0, 0},
        {"2016", "25", "15", false, false, 0, 0, 0},        {"2016", "25/0x", "15", false, false, 0, 0, 0},
        {"2016", "", "0", true, false, 0, 0, 0},            {"1995", "25/0", "15", false, false, 0, 0, 0},
        {"2000", "", "15", false, false, 0, 0, 0},
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
    }
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

}  // namespace
