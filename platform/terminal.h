// The program's console: whether standard error is a terminal (for progress bars that must
// not end up in a log file), and how many columns it has.
#pragma once

#include <cstddef>

namespace platform {

bool StandardErrorIsTerminal() noexcept;

// Columns of the terminal standard error writes to; 80 when it cannot be told.
std::size_t StandardErrorColumns() noexcept;

}  // namespace platform
