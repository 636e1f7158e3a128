#include <cstdlib>
#include <filesystem>

#include "tests/support/process.h"
#include "tests/support/scratch_registry.h"

namespace testregistry {

ScratchRegistry::ScratchRegistry(const std::string& name) {
    namespace fs = std::filesystem;
    const fs::path folder =
        fs::temp_directory_path() / ("calorix-reg-" + std::to_string(testprocess::CurrentId()) + "-" + name);
    std::error_code ignored;
    fs::remove_all(folder, ignored);  // what an earlier process of the same id left
    fs::create_directories(folder);
    m_folder = folder.string();
    m_file = (folder / "registry.reg").string();
    ::setenv("CALORIX_REGISTRY", m_file.c_str(), 1);
}

ScratchRegistry::~ScratchRegistry() {
    std::error_code ignored;
    std::filesystem::remove_all(m_folder, ignored);
}

HRESULT ScratchRegistry::Begin(platform::RegistryTransaction* registry) const { return registry->Begin(m_file); }

}  // namespace testregistry
