// The program's console: whether standard error is a terminal (for progress bars that must
// not end up in a log file).
#pragma once

namespace platform {

bool StandardErrorIsTerminal() noexcept;

}  // namespace platform
