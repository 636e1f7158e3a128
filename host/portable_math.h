// Elementary functions computed from IEEE additions, multiplications, divisions and exact
// scalings only, so that the flash gives the same bits on every platform. The C libraries of
// Linux and of MinGW-w64 round exp, log and their kin differently in the last place; an
// iterative flash turns such a difference into different converged digits, and calorix-host
// would print different numbers for the same fluid. Accuracy is within a few units in the last
// place, far inside the flash's certificate (1e-8 in ln f).
#pragma once

namespace calorix::host::pmath {

// Natural logarithm: NaN below 0, -infinity at 0, +infinity at +infinity.
double Log(double x);
// Exponential: 0 far below, +infinity far above the range of a double.
double Exp(double x);
// Real cube root, of either sign.
double Cbrt(double x);
// Arc cosine of x in [-1, 1], in [0, pi]; NaN outside.
double Acos(double x);
// Cosine of any finite angle in radians.
double Cos(double x);

}  // namespace calorix::host::pmath
