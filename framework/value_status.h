// "Phase_Status": why a slot of "Phase_Values" holds no value. The result set carries it beside
// "Phase_Values", at the same indexes; Calculate writes it for every slot it writes a value
// for. A host that does not know it ignores it; a host that does can say why a value is
// missing without computing anything again.
#pragma once

#include <cstdint>

#include "platform/com.h"

inline constexpr char kPhaseStatusName[] = "Phase_Status";
inline constexpr OLECHAR kPhaseStatusWideName[] = OLESTR("Phase_Status");

enum class ValueStatus : std::int32_t {
    Ok = 0,                // the slot has its value
    NoValue = 1,           // no value, no reason given
    ForeignComponent = 2,  // a component the model does not have; the detail is its CAS number
    OutOfRange = 3,        // outside the model's range; the detail, where not 0, the limit passed
    NoConvergence = 4,     // the model's solve found no answer
    BadInput = 5,          // a fraction, temperature or pressure that is not valid
    NotOnePhase = 6,       // the overall slot of a fluid of several phases
    NoWater = 7,           // a water dew point of a composition without water
    NoDewPoint = 8,        // no dew point found: above the cricondenbar, or the search failed
    ExtendedRange = 9,     // the slot has its value, beyond the model's normal range; the detail
                           // is the limit passed (lineprops EncodeLimit), as OutOfRange's may be
    NoHydrocarbons = 10,   // a hydrocarbon dew point of a fluid without hydrocarbons (the last code)
};

// A status as the vector holds it: the code, plus sixteen times its detail (a CAS number
// written as an integer without hyphens, 74-82-8 as 74828), exact in a double.
constexpr double EncodeValueStatus(ValueStatus status, std::int64_t detail = 0) noexcept {
    return static_cast<double>(detail) * 16.0 + static_cast<double>(static_cast<std::int32_t>(status));
}

struct DecodedValueStatus {
    ValueStatus status = ValueStatus::NoValue;
    std::int64_t detail = 0;
};

// A value that is no code written by EncodeValueStatus reads as NoValue.
constexpr DecodedValueStatus DecodeValueStatus(double value) noexcept {
    if (!(value >= 0.0 && value < 9.0e15)) return {};
    const auto whole = static_cast<std::int64_t>(value);
    if (static_cast<double>(whole) != value || whole % 16 > static_cast<std::int32_t>(ValueStatus::NoHydrocarbons)) return {};
    return {static_cast<ValueStatus>(whole % 16), whole / 16};
}
