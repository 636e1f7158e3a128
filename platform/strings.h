// Narrow/wide conversion through the thread's "ANSI code page" (UTF-8 on POSIX), GUID
// registry strings, and system-string helpers.
#pragma once

#include <string>
#include <string_view>

#include "platform/com.h"

namespace platform {

// Wide strings of the platform's OLECHAR (char16_t on POSIX, wchar_t on Windows); wide
// literals are written OLESTR("...").
using WideString = std::basic_string<OLECHAR>;
using WideStringView = std::basic_string_view<OLECHAR>;

// Narrow to wide with the ANSI code page. Invalid input gives replacement characters.
WideString AnsiToWide(std::string_view text);
// Wide to narrow with the ANSI code page. Unpaired surrogates give replacement characters.
std::string WideToAnsi(WideStringView text);

// Narrow to wide and back as UTF-8, whatever the code page: file paths, registry entries and
// the command line, which must hold every character a folder name can have.
WideString Utf8ToWide(std::string_view text);
std::string WideToUtf8(WideStringView text);

// Length of a null-terminated wide string.
std::size_t WideLength(const OLECHAR* text) noexcept;

// A new system string holding the narrow text converted with the ANSI code page; null when
// memory runs out. The caller frees it with SysFreeString.
BSTR AllocSysString(std::string_view narrow) noexcept;

// Registry form of a GUID: braces, upper-case hexadecimal, 38 characters.
std::string GuidToString(const GUID& guid);
// Parses the registry form; false when the text is not one.
bool GuidFromString(std::string_view text, GUID* guid) noexcept;

}  // namespace platform
