#include "platform/terminal.h"

#include <io.h>
#include <stdio.h>
#include <windows.h>

namespace platform {

bool StandardErrorIsTerminal() noexcept { return _isatty(_fileno(stderr)) != 0; }

std::size_t StandardErrorColumns() noexcept {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &info) && info.srWindow.Right > info.srWindow.Left)
        return static_cast<std::size_t>(info.srWindow.Right - info.srWindow.Left + 1);
    return 80;
}

}  // namespace platform
