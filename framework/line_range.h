// The published ranges of the two line-condition equations of state, and where a state lies in
// them: normal (the range of the equations' stated uncertainty), extended, or outside (no value).
// The module writes a verdict into "Phase_Status" (EncodeLimit) and a host reads it back
// (DecodeLimit, DescribeLimit), so both build this one table.
//
// GERG-2008 (O. Kunz and W. Wagner, J. Chem. Eng. Data 57 (2012) 3032, abstract and section 1;
// ISO 20765-2): normal range 90 K to 450 K and up to 35 MPa, extended range 60 K to 700 K and up
// to 70 MPa, stated in temperature and pressure over the whole composition range of its 21
// components; no composition bound is applied to it here.
//
// AGA8 DETAIL (AGA Report No. 8, 2nd edition 1994, Table 1, columns "normal range" and
// "expanded range", and its text on temperature and pressure): normal range -8 degC to 62 degC
// (17 degF to 143 degF) and up to 12 MPa (1750 psia) with, in mole per cent, methane 45 to 100,
// nitrogen up to 50, carbon dioxide up to 30, ethane up to 10, propane up to 4, butanes (both)
// up to 1, pentanes (both) up to 0.3, hexanes and heavier up to 0.2, helium up to 0.2, hydrogen
// up to 10, carbon monoxide up to 3, water up to 0.05, hydrogen sulfide up to 0.02, no oxygen or
// argon; expanded range 143 K to 673 K and up to 280 MPa (40 000 psia)
// with propane up to 12, butanes up to 6, pentanes up to 4, helium up to 3, carbon monoxide up
// to 3, argon up to 1, oxygen up to 21, and the others up to 100 (hexanes and heavier and water
// up to their dew point, which is the flash's matter, not this table's). Table 1's rows for
// relative density and gross heating value are not checked. ISO 12213-2 states ranges of its
// own for the same equation (pipeline quality gas, and wider ranges), narrower than these in
// most rows; they are not the ones applied here.
#pragma once

#include <array>
#include <cstdint>
#include <string>


namespace calorix::lineprops {

enum class RangeClass { Normal, Extended, Outside };
enum class RangeModel { Gerg2008, Detail };

// What a state's range class rests on: the first limit it passes, most serious first.
struct RangeVerdict {
    RangeClass range = RangeClass::Normal;
    enum class Limit { None, Component, Temperature, Pressure } limit = Limit::None;
    const char* what = "";  // the component or group of components ("hydrogen", "butanes")
    double value = 0;       // the share (mole fraction), T (K) or p (kPa)
    double bound = 0;       // the bound passed, in the same unit
    bool above = true;      // above the bound (else below it)
    int place = 0;          // the limit's place in the published ranges (1 on; 0 none)
};

// The range class of the composition x on the models' 21 components (any positive sum; the
// shares are x over its sum) at T and p.
RangeVerdict RangeOf(RangeModel model, const std::array<double, 21>& x, double temperature_K, double pressure_kPa);

// The verdict as one whole number, for "Phase_Status": the limit's place plus 64 times the value
// passed (a share in millionths, T in mK, p in units of 10 Pa); 0 for a normal state. Decoding
// gives the verdict back, its value to those units.
std::int64_t EncodeLimit(const RangeVerdict& verdict) noexcept;
RangeVerdict DecodeLimit(std::int64_t code) noexcept;

// The limit in words: "hydrogen 20 % above 10 %", "T 720 K above 700 K", "p 40 MPa above 35 MPa";
// "" for a normal state.
std::string DescribeLimit(const RangeVerdict& verdict);

}  // namespace calorix::lineprops
