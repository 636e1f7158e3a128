#include "platform/strings.h"

#include <cstdio>

namespace platform {

std::size_t WideLength(const OLECHAR* text) noexcept {
    std::size_t n = 0;
    if (text)
        while (text[n]) ++n;
    return n;
}

BSTR AllocSysString(std::string_view narrow) noexcept {
    try {
        WideString wide = AnsiToWide(narrow);
        return SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    } catch (...) {
        return nullptr;
    }
}

std::string GuidToString(const GUID& g) {
    char buffer[CLSID_STRING_SIZE];
    std::snprintf(buffer, sizeof buffer, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned>(g.Data1), g.Data2, g.Data3, g.Data4[0], g.Data4[1],
                  g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    return buffer;
}

namespace {
int HexDigit(char c) noexcept {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}
}  // namespace

bool GuidFromString(std::string_view text, GUID* guid) noexcept {
    // {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}
    if (text.size() != CLSID_STRING_SIZE - 1 || text.front() != '{' || text.back() != '}')
        return false;
    std::uint8_t bytes[16];
    int nibbles = 0;
    for (std::size_t i = 1; i + 1 < text.size(); ++i) {
        if (i == 9 || i == 14 || i == 19 || i == 24) {
            if (text[i] != '-') return false;
            continue;
        }
        int d = HexDigit(text[i]);
        if (d < 0) return false;
        if (nibbles % 2 == 0)
            bytes[nibbles / 2] = static_cast<std::uint8_t>(d << 4);
        else
            bytes[nibbles / 2] = static_cast<std::uint8_t>(bytes[nibbles / 2] | d);
        ++nibbles;
    }
    if (nibbles != 32) return false;
    guid->Data1 = (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) |
                  (std::uint32_t{bytes[2]} << 8) | bytes[3];
    guid->Data2 = static_cast<std::uint16_t>((bytes[4] << 8) | bytes[5]);
    guid->Data3 = static_cast<std::uint16_t>((bytes[6] << 8) | bytes[7]);
    for (int i = 0; i < 8; ++i) guid->Data4[i] = bytes[8 + i];
    return true;
}

}  // namespace platform
