#include "platform/com.h"
#include "platform/strings.h"
#include "tests/support/process.h"

namespace testprocess {

namespace {
// One argument in the quoting that the C runtime's command-line parser undoes.
std::wstring Quote(const std::wstring& argument) {
    std::wstring out = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        out.push_back(c);
    }
    out.append(backslashes * 2, L'\\');
    return out + L"\"";
}
}  // namespace

int Run(const std::string& program, const std::vector<std::string>& arguments) {
    const std::wstring path = platform::AnsiToWide(program);
    std::wstring commandLine = Quote(path);
    for (const std::string& a : arguments) commandLine += L" " + Quote(platform::AnsiToWide(a));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        return -1;
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = 0;
    const bool ok = GetExitCodeProcess(process.hProcess, &status);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return ok ? static_cast<int>(status) : -1;
}

unsigned long CurrentId() { return GetCurrentProcessId(); }

}  // namespace testprocess
