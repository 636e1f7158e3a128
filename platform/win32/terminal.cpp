#include "platform/terminal.h"

#include <io.h>
#include <stdio.h>

namespace platform {

bool StandardErrorIsTerminal() noexcept { return _isatty(_fileno(stderr)) != 0; }

}  // namespace platform
