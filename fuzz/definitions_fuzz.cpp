// The definitions loader on an arbitrary document and tagged name (the name is the input up to
// its first line break, the document the rest), applied to an enumeration variable of the data
// server. The loader answers true for any document; it gives the variable only the tagged name
// it was asked for; the variable's references balance.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "framework/dataserver.h"
#include "framework/variable_definitions.h"
#include "fuzz/fuzz_check.h"
#include "platform/library.h"
#include "platform/strings.h"

namespace {

std::string TaggedName(IVariable* variable) {
    BSTR name = nullptr;
    FUZZ_CHECK(variable->GetTaggedName(&name) == S_OK);
    std::string text = name ? platform::WideToAnsi(std::u16string_view(name, SysStringLen(name))) : std::string();
    SysFreeString(name);
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The data server, loaded before fuzzing starts so that its coverage counts.
    platform::LibraryHandle dataServer = nullptr;
    FUZZ_CHECK(platform::LoadComponentLibrary(kDataServerFileName, &dataServer) == S_OK);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t newline = input.find('\n');
    std::string name(input.substr(0, newline));
    name = name.substr(0, name.find('\0'));  // the loader takes a C string
    const std::string_view document = newline == std::string_view::npos ? std::string_view() : input.substr(newline + 1);

    platform::ComPtr<IEnumVariable> variable;
    FUZZ_CHECK(CreateDataServerObject(CLSID_EnumVariable, &variable) == S_OK);
    FUZZ_CHECK(variable->SetTaggedName(platform::AnsiToWide("Before").c_str()) == S_OK);

    FUZZ_CHECK(LoadVariableDefinitionFromText(document, name.c_str(), variable.Get()));

    // Only the definition of this name is applied, so the tagged name is the one asked for
    // (as the code page reads it) or stays as it was.
    const std::string after = TaggedName(variable.Get());
    FUZZ_CHECK(after == "Before" || after == platform::WideToAnsi(platform::AnsiToWide(name)));
    std::int32_t options = -1;
    FUZZ_CHECK(variable->GetOptionCount(&options) == S_OK && options >= 0);
    for (std::int32_t i = 0; i < options; ++i) {
        BSTR text = nullptr;
        FUZZ_CHECK(variable->GetEnumText(i, &text) == S_OK);
        SysFreeString(text);
    }
    // Ours is the only reference left.
    variable->AddRef();
    FUZZ_CHECK(variable->Release() == 1);
    return 0;
}
