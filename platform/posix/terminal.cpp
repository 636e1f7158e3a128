#include "platform/terminal.h"

#include <unistd.h>

namespace platform {

bool StandardErrorIsTerminal() noexcept { return ::isatty(STDERR_FILENO) == 1; }

}  // namespace platform
