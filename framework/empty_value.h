// The marker of a missing value. Results start at it and stay at it when they cannot be
// formed; inputs equal to it are skipped; comparisons with it are exact.
#pragma once

inline constexpr double EMPTY_VALUE = -32767.0;
