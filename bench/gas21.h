// The 21-component natural gas the benchmarks calculate.
#pragma once

#include <array>

namespace bench {

// A 21-component natural gas: CAS number, molar mass (kg/kmol), mole fraction.
struct GasComponent {
    double cas;
    double molarMass;
    double fraction;
};

inline constexpr std::array<GasComponent, 21> kGas{{
    {74828, 16.043, 0.8620},     // methane
    {74840, 30.070, 0.0520},     // ethane
    {74986, 44.097, 0.0210},     // propane
    {75285, 58.123, 0.0040},     // isobutane
    {106978, 58.123, 0.0060},    // n-butane
    {463821, 72.150, 0.0002},    // neopentane
    {78784, 72.150, 0.0015},     // isopentane
    {109660, 72.150, 0.0013},    // n-pentane
    {110543, 86.177, 0.0008},    // n-hexane
    {142825, 100.204, 0.0004},   // n-heptane
    {111659, 114.231, 0.0002},   // n-octane
    {111842, 128.258, 0.0001},   // n-nonane
    {124185, 142.285, 0.0001},   // n-decane
    {7727379, 28.0135, 0.0300},  // nitrogen
    {124389, 44.010, 0.0180},    // carbon dioxide
    {7783064, 34.082, 0.0001},   // hydrogen sulfide
    {1333740, 2.0159, 0.0005},   // hydrogen
    {7440597, 4.0026, 0.0005},   // helium
    {7782447, 31.9988, 0.0002},  // oxygen
    {7732185, 18.0153, 0.0009},  // water
    {1120214, 156.31, 0.0002},   // n-undecane: not listed, chosen by molar mass
}};

}  // namespace bench
