// The POSIX registry file on arbitrary bytes. A file that is refused is reported as malformed
// and left byte for byte; one that is accepted reads back, after a rewrite of ours, as the same
// tree of keys and values.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "fuzz/registry_tree.h"
#include "fuzz/scratch_folder.h"
#include "tests/support/text_file.h"

namespace {

constexpr char kProbe[] = "{calorix-fuzz-probe}\\Below";

RegistryTree ReadBack(const std::string& file) {
    platform::RegistryTransaction r;
    FUZZ_CHECK(r.Begin(file) == S_OK);  // what we wrote always reads back
    RegistryTree tree;
    FUZZ_CHECK(ReadRegistryTree(r, &tree));
    r.Abandon();
    return tree;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string file = ScratchFolder() + "/registry.reg";
    const std::string text(reinterpret_cast<const char*>(data), size);
    testfiles::WriteFile(file, text);

    RegistryTree before;
    {
        platform::RegistryTransaction r;
        const HRESULT hr = r.Begin(file);
        if (FAILED(hr)) {
            FUZZ_CHECK(hr == HRESULT_FROM_WIN32(ERROR_INVALID_DATA));
            FUZZ_CHECK(testfiles::ReadFile(file) == text);
            return 0;
        }
        FUZZ_CHECK(ReadRegistryTree(r, &before));
        if (r.KeyExists("{calorix-fuzz-probe}")) return 0;
        // A key and a value added, written, read back: the rest is as it was.
        FUZZ_CHECK(SUCCEEDED(r.SetValue(kProbe, "Value", "a \"quoted\\ text")));
        FUZZ_CHECK(r.Commit() == S_OK);
    }
    RegistryTree expected = before;
    expected["{calorix-fuzz-probe}"];
    expected[kProbe] = {"Value=a \"quoted\\ text"};
    FUZZ_CHECK(ReadBack(file) == expected);
    {
        platform::RegistryTransaction r;
        FUZZ_CHECK(r.Begin(file) == S_OK);
        FUZZ_CHECK(r.DeleteTree("{calorix-fuzz-probe}") == S_OK);
        FUZZ_CHECK(r.Commit() == S_OK);
    }
    FUZZ_CHECK(ReadBack(file) == before);
    return 0;
}
