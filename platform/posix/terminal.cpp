#include "platform/terminal.h"

#include <sys/ioctl.h>
#include <unistd.h>

namespace platform {

bool StandardErrorIsTerminal() noexcept { return ::isatty(STDERR_FILENO) == 1; }

std::size_t StandardErrorColumns() noexcept {
    winsize size{};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    return 80;
}

}  // namespace platform
