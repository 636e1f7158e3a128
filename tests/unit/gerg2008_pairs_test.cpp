// GERG-2008 against NIST's AGA8 code on every binary pair with parameters of its own
// (tests/unit/data/gerg2008_pairs.csv, from scripts/gerg2008_pair_values.py), equimolar, each at
// a state where its residual part weighs much. The density, speed of sound and isobaric heat
// capacity carry each pair's reducing parameters and departure function: a digit changed in
// the tenth place of any of them moves one of the three by more than the tolerance.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "gerg2008_pairs_csv.h"
#include "lineprops/gerg2008.h"

namespace {

using calorix::lineprops::Gerg2008Mixture;
using calorix::lineprops::LineStatus;

struct PairValue {
    int i, j;
    double temperature_K, pressure_kPa, density_mol_l, z, speed_of_sound_m_s, cp_J_molK;
};

std::vector<PairValue> ReadPairs() {
    std::vector<PairValue> pairs;
    std::istringstream in(kGergPairsCsv);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#' || line[0] == 'i') continue;
        PairValue v{};
        char c = 0;
        std::istringstream row(line);
        row >> v.i >> c >> v.j >> c >> v.temperature_K >> c >> v.pressure_kPa >> c >> v.density_mol_l >> c >> v.z >> c >>
            v.speed_of_sound_m_s >> c >> v.cp_J_molK;
        EXPECT_TRUE(row && !row.fail()) << line;
        pairs.push_back(v);
    }
    return pairs;
}

TEST(Gerg2008Pairs, EveryPairWithItsOwnParametersMatchesTheReferenceImplementation) {
    const std::vector<PairValue> pairs = ReadPairs();
    ASSERT_EQ(pairs.size(), 156u);
    for (const PairValue& v : pairs) {
        SCOPED_TRACE(testing::Message() << "pair " << v.i << "-" << v.j << " at " << v.temperature_K << " K, "
                                        << v.pressure_kPa << " kPa");
        std::array<double, 21> x{};
        x[static_cast<std::size_t>(v.i)] = 0.5;
        x[static_cast<std::size_t>(v.j)] = 0.5;
        Gerg2008Mixture gas(x);
        const auto state = gas.State(v.temperature_K, v.pressure_kPa);
        ASSERT_EQ(state.status, LineStatus::Ok);
        EXPECT_NEAR(state.molar_density_mol_l / v.density_mol_l, 1, 2e-13);
        EXPECT_NEAR(state.speed_of_sound_m_s / v.speed_of_sound_m_s, 1, 2e-13);
        EXPECT_NEAR(state.isobaric_heat_capacity_J_molK / v.cp_J_molK, 1, 2e-13);
    }
}

}  // namespace
