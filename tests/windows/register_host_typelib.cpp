// Registers the host's type library CORRMANLib, carried by this program as TYPELIB 1, the way
// a host installation does; the test set-up runs it once in the Wine prefix.
#include <cstdio>
#include <string>

#include "platform/library.h"
#include "platform/program.h"
#include "platform/strings.h"

int main() {
    platform::ComApartment apartment;
    const std::wstring path = platform::AnsiToWide(platform::ModuleFilePath());
    ITypeLib* library = nullptr;
    HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_REGISTER, &library);
    if (library) library->Release();
    if (FAILED(hr)) std::fprintf(stderr, "cannot register CORRMANLib: 0x%08lX\n", static_cast<unsigned long>(hr));
    return FAILED(hr) ? 1 : 0;
}
