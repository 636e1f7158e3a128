#include <filesystem>

#include "platform/strings.h"
#include "tests/support/process.h"
#include "tests/support/scratch_registry.h"

namespace testregistry {

ScratchRegistry::ScratchRegistry(const std::string& name) {
    namespace fs = std::filesystem;
    const std::string id = std::to_string(testprocess::CurrentId()) + "-" + name;
    const fs::path folder = fs::temp_directory_path() / ("calorix-reg-" + id);
    std::error_code ignored;
    fs::remove_all(folder, ignored);  // what an earlier process of the same id left
    fs::create_directories(folder);
    m_folder = folder.string();
    m_key = "Software\\Calorix tests\\" + id;
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, platform::AnsiToWide(m_key).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &key, nullptr) == ERROR_SUCCESS) {
        RegOverridePredefKey(HKEY_CLASSES_ROOT, key);
        RegCloseKey(key);
    }
}

ScratchRegistry::~ScratchRegistry() {
    RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
    RegDeleteTreeW(HKEY_CURRENT_USER, platform::AnsiToWide(m_key).c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, platform::AnsiToWide(m_key).c_str());
    std::error_code ignored;
    std::filesystem::remove_all(m_folder, ignored);
}

HRESULT ScratchRegistry::Begin(platform::RegistryTransaction* registry) const { return registry->Begin(); }

}  // namespace testregistry
