// Values in the units of the output: as the module computes them (SI), or in US customary units
// (calorix-host --output-units us, units="us" in Python) where the quantity has them. A US run
// also asks the module for its US bases: water content per volume of gas at 60 degF (the
// component property "TempUnitFlag" 0) and, unless a pair is given, the ISO 6976:2016 pair
// 60 degF / 60 degF (15.55/15.55 degC); see MakeEvaluationSettings.
#pragma once

#include <cstdint>
#include <string_view>

namespace calorix::host {

// A value of a result type in the output's units, and the unit's name. US customary units (NIST
// SP 811 factors): degF for degC, lb/ft3 for kg/m3, Btu/ft3 for MJ/m3, Btu/lb for kJ/kg,
// Btu/lbmol for kJ/kmol, lb/h for kg/h, ft/s for m/s, lb/MMscf for mg/Sm3 (the module's value per
// m3 at 60 degF and 101.325 kPa in a US run); other units stay as they are. The reference
// conditions of a value do not change with its unit.
double OutputValue(std::int32_t resultType, double value, bool us) noexcept;
std::string_view OutputUnit(std::int32_t resultType, bool us) noexcept;

// A molar flow in kmol/h in the output's units (lbmol/h), and the unit's name.
double OutputMolarFlow(double kmolPerH, bool us) noexcept;
std::string_view MolarFlowUnit(bool us) noexcept;

// 1 psi = 6.894757293168361 kPa (NIST SP 811, B.8).
inline constexpr double kKPaPerPsi = 6.894757293168361;

// "TempUnitFlag" of every component: 1 asks the water content per m3 at 15 degC, 0 per m3 at
// 60 degF (both at 101.325 kPa).
inline constexpr double TempUnitFlag(bool us) noexcept { return us ? 0.0 : 1.0; }

}  // namespace calorix::host
