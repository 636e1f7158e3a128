// Both ISO 6976 engines on a fixed set of pseudo-random fluids, every result compared to the bit
// with the values stored in iso6976_random_bits.h. The fluids mix listed components, unlisted
// keys priced as alkanes, zero fractions and missing molar masses. With CALORIX_PRINT_BITS set,
// the test prints the table instead of comparing (to regenerate it after a deliberate change).
#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "calorific/iso6976_2016.h"
#include "calorific/wobbe_calcs.h"
#include "framework/host_interfaces.h"

namespace {

#include "data/iso6976_random_bits.h"

struct Candidate {
    double cas;
    double molarMass;
};
// Listed components, two keys no table lists (priced by molar mass) and a missing molar mass.
constexpr std::array<Candidate, 24> kCandidates{{
    {74828, 16.043},    {74840, 30.070},   {74986, 44.097},    {75285, 58.123},   {106978, 58.123},
    {463821, 72.150},   {78784, 72.150},   {109660, 72.150},   {110543, 86.177},  {142825, 100.204},
    {111659, 114.231},  {111842, 128.258}, {124185, 142.285},  {7727379, 28.0135}, {124389, 44.010},
    {7783064, 34.082},  {1333740, 2.0159}, {7440597, 4.0026},  {7782447, 31.9988}, {7732185, 18.0153},
    {1120214, 156.31},  {999999, 190.0},   {888888, 70.0},     {74828, 0.0},
}};

// splitmix64: the same sequence on every platform.
struct Random {
    std::uint64_t state;
    std::uint64_t Next() {
        std::uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    double Unit() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }
};

struct Fluid {
    std::vector<double> fractions, masses, cas;
};

Fluid MakeFluid(Random& random) {
    Fluid fluid;
    const std::size_t count = 1 + random.Next() % kCandidates.size();
    double sum = 0.0;
    for (std::size_t i = 0; i < count; ++i) {
        const Candidate& c = kCandidates[random.Next() % kCandidates.size()];
        const double x = random.Next() % 5 == 0 ? 0.0 : random.Unit();
        fluid.fractions.push_back(x);
        fluid.masses.push_back(c.molarMass);
        fluid.cas.push_back(c.cas);
        sum += x;
    }
    if (sum > 0.0)
        for (double& x : fluid.fractions) x /= sum;
    return fluid;
}

// Every result of both engines for every fluid: the 1995 engine at 15 and 0 degC, the 2016
// engine at each pair of reference temperatures.
std::vector<std::uint64_t> AllResultBits() {
    std::vector<std::uint64_t> bits;
    Random random{20260101};
    for (int f = 0; f < 40; ++f) {
        const Fluid fluid = MakeFluid(random);
        const auto count = static_cast<std::int32_t>(fluid.fractions.size());
        FluidComposition record{};
        record.componentCount = count;
        for (const std::int32_t option : {WobbeCalcs::kRefTemp15C, WobbeCalcs::kRefTemp0C}) {
            WobbeCalcs engine(&record);
            engine.m_moleFractions = fluid.fractions.data();
            engine.m_molecularWeights = fluid.masses.data();
            engine.m_casNumbers = fluid.cas.data();
            EXPECT_EQ(engine.LoadComponentTable(), 0);
            engine.CalculateMixture(option);
            for (const double v : {engine.m_wobbeIndex, engine.m_density, engine.m_grossCvVolume,
                                   engine.m_netCvVolume, engine.m_netCvMass, engine.m_netCvMolar,
                                   engine.m_grossCvMass, engine.m_grossCvMolar})
                bits.push_back(std::bit_cast<std::uint64_t>(v));
        }
        Iso2016Calcs engine(count, fluid.fractions.data(), fluid.masses.data(), fluid.cas.data());
        for (const iso6976_2016::RefConditions& conditions : iso6976_2016::kRefConditions) {
            engine.Calculate(conditions);
            for (const double v : {engine.m_wobbeIndex, engine.m_density, engine.m_grossCvVolume,
                                   engine.m_netCvVolume, engine.m_netCvMass, engine.m_netCvMolar,
                                   engine.m_grossCvMass, engine.m_grossCvMolar, engine.m_compressionFactor,
                                   engine.m_molarMass, engine.m_relativeDensity})
                bits.push_back(std::bit_cast<std::uint64_t>(v));
        }
    }
    return bits;
}

TEST(Iso6976RandomFluids, EveryResultKeepsItsBits) {
    const std::vector<std::uint64_t> bits = AllResultBits();
    if (std::getenv("CALORIX_PRINT_BITS")) {
        for (std::size_t i = 0; i < bits.size(); ++i)
            std::printf("0x%016llxULL,%s", static_cast<unsigned long long>(bits[i]), i % 4 == 3 ? "\n" : " ");
        std::printf("\n");
        return;
    }
    ASSERT_EQ(bits.size(), kExpectedBits.size());
    for (std::size_t i = 0; i < bits.size(); ++i) EXPECT_EQ(bits[i], kExpectedBits[i]) << "result " << i;
}

}  // namespace
