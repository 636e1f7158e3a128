// The thread's ANSI code page (CP_ACP) of Windows, and UTF-8 for paths and registry entries.
// Characters the code page cannot hold become its default character; invalid input becomes
// U+FFFD.
#include "platform/strings.h"

namespace platform {

namespace {
WideString ToWide(UINT codePage, std::string_view text) {
    if (text.empty()) return {};
    const int n = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    WideString wide(static_cast<std::size_t>(n > 0 ? n : 0), OLECHAR{});
    if (n > 0) MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
    return wide;
}

std::string FromWide(UINT codePage, WideStringView text) {
    if (text.empty()) return {};
    const int n =
        WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
    if (n > 0)
        WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), narrow.data(), n, nullptr,
                            nullptr);
    return narrow;
}
}  // namespace

WideString AnsiToWide(std::string_view text) { return ToWide(CP_ACP, text); }
std::string WideToAnsi(WideStringView text) { return FromWide(CP_ACP, text); }
WideString Utf8ToWide(std::string_view text) { return ToWide(CP_UTF8, text); }
std::string WideToUtf8(WideStringView text) { return FromWide(CP_UTF8, text); }

}  // namespace platform
