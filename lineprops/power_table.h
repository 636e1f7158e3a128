// Successive powers of one base by multiplication, each from two earlier ones, so that the
// chain of dependent products is logarithmic in the length rather than linear.
#pragma once

#include <array>
#include <cstddef>

namespace calorix::lineprops {

// p[k] = base^k for k = 0..N-1.
template <std::size_t N>
std::array<double, N> PowerTable(double base) {
    std::array<double, N> p{};
    p[0] = 1;
    if constexpr (N > 1) p[1] = base;
    for (std::size_t k = 2; k < N; ++k) p[k] = p[k / 2] * p[k - k / 2];
    return p;
}

}  // namespace calorix::lineprops
