// The thread's ANSI code page (CP_ACP) of Windows. Characters it cannot hold become its
// default character; invalid input becomes U+FFFD.
#include "platform/strings.h"

namespace platform {

WideString AnsiToWide(std::string_view text) {
    if (text.empty()) return {};
    const int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    WideString wide(static_cast<std::size_t>(n > 0 ? n : 0), OLECHAR{});
    if (n > 0) MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
    return wide;
}

std::string WideToAnsi(WideStringView text) {
    if (text.empty()) return {};
    const int n = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
    if (n > 0)
        WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), narrow.data(), n, nullptr, nullptr);
    return narrow;
}

}  // namespace platform
