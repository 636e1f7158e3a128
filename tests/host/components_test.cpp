// The host's component list: coverage of the ISO 6976 table, lookups, CAS numbers.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "host/fluid/components.h"

namespace calorix::host {
namespace {

// The 55 CAS keys of the ISO 6976 component table, water included.
constexpr std::int32_t kIso6976Keys[] = {
    67561,   71432,   74828,   74840,   74851,   74862,   74908,   74931,   74986,   75150,   75285,
    75832,   78784,   79298,   95476,   96140,   96377,   100414,  106978,  106989,  106990,  107835,
    108872,  108883,  109660,  109671,  110543,  110827,  111659,  111842,  115071,  115117,  124185,
    124389,  142825,  287923,  463490,  463581,  463821,  590181,  590192,  624646,  630080,  1333740,
    1640897, 1678917, 7440019, 7440371, 7440597, 7446095, 7664417, 7727379, 7732185, 7782447, 7783064,
};

TEST(ComponentTable, CoversTheIso6976TableWithUsableData) {
    EXPECT_EQ(ComponentTable().size(), std::size(kIso6976Keys));
    std::set<std::string> names;
    for (std::int32_t key : kIso6976Keys) {
        const ComponentRecord* r = FindComponentByCas(key);
        ASSERT_NE(r, nullptr) << key;
        SCOPED_TRACE(r->name);
        EXPECT_EQ(ParseCasNumber(r->cas), key);
        EXPECT_GT(r->molarMassKgPerKmol, 2.0);
        EXPECT_LT(r->molarMassKgPerKmol, 143.0);
        EXPECT_GT(r->criticalTemperatureK, 5.0);
        EXPECT_GT(r->criticalPressureKPa, 200.0);
        EXPECT_GT(r->acentricFactor, -0.5);
        EXPECT_LT(r->acentricFactor, 0.6);
        EXPECT_TRUE(names.insert(r->name).second) << "duplicate name";
        EXPECT_EQ(FindComponentByName(r->name), r);
    }
}

TEST(ComponentTable, ComponentClasses) {
    struct Case {
        const char* name;
        std::int32_t cls;
    };
    const Case cases[] = {{"methane", 201}, {"isobutane", 202}, {"cyclohexane", 203}, {"ethylene", 211},
                          {"toluene", 221}, {"methanol", 401}, {"water", 120},    {"nitrogen", 100},
                          {"carbon dioxide", 110}, {"hydrogen sulfide", 110}, {"hydrogen", 105}};
    for (const auto& c : cases) {
        const ComponentRecord* r = FindComponentByName(c.name);
        ASSERT_NE(r, nullptr) << c.name;
        EXPECT_EQ(r->componentClass, c.cls) << c.name;
    }
    // Every hydrocarbon of the table is in the band 200-299, nothing else is.
    int hydrocarbons = 0;
    for (const auto& r : ComponentTable()) hydrocarbons += r.componentClass >= 200 && r.componentClass < 300;
    EXPECT_EQ(hydrocarbons, 38);
}

TEST(ComponentTable, NamesAndAliases) {
    struct Case {
        const char* name;
        std::int32_t key;  // 0: not found
    };
    const Case cases[] = {
        {"Methane", 74828},          {"n-Butane", 106978},       {"NBUTANE", 106978},
        {"2,2-dimethylbutane", 75832}, {"2 2 Dimethylbutane", 75832}, {"CO2", 124389},
        {"N2", 7727379},             {"h2o", 7732185},           {"C1", 74828},
        {"C10", 124185},             {"iC4", 75285},             {"i-butane", 75285},
        {"nC5", 109660},             {"H2S", 7783064},           {"carbon  dioxide", 124389},
        {"unobtainium", 0},          {"", 0},                    {"-", 0},
        {"C11", 0},
    };
    for (const auto& c : cases) {
        const ComponentRecord* r = FindComponentByName(c.name);
        EXPECT_EQ(r ? r->casKey : 0, c.key) << "'" << c.name << "'";
    }
}

TEST(ComponentTable, CasNumbers) {
    struct Case {
        const char* text;
        std::int32_t key;  // 0: rejected
    };
    const Case cases[] = {
        {"74-82-8", 74828},   {"7732-18-5", 7732185}, {"1333-74-0", 1333740}, {"74-82-9", 0},
        {"74828", 0},         {"74-82-", 0},          {"7-82-8", 0},          {"74-8-2", 0},
        {"74-82-8-1", 0},     {"a4-82-8", 0},         {"", 0},                {"12345678-12-1", 0},
        {" 74-82-8", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseCasNumber(c.text).value_or(0), c.key) << "'" << c.text << "'";
    for (const auto& r : ComponentTable()) EXPECT_EQ(FormatCasNumber(r.casKey), r.cas);
    EXPECT_EQ(FindComponentByCas(74829), nullptr);
}

}  // namespace
}  // namespace calorix::host
