// A registry of the test's own below HKEY_CLASSES_ROOT, for registration tests. POSIX: a
// registry file in a scratch folder, named through CALORIX_REGISTRY. Windows:
// HKEY_CLASSES_ROOT of this process redirected (RegOverridePredefKey) to a scratch key below
// HKEY_CURRENT_USER, which the system's RegisterTypeLib follows too.
#pragma once

#include <string>

#include "platform/registry.h"

namespace testregistry {

class ScratchRegistry {
public:
    explicit ScratchRegistry(const std::string& name);
    ~ScratchRegistry();
    ScratchRegistry(const ScratchRegistry&) = delete;
    ScratchRegistry& operator=(const ScratchRegistry&) = delete;

    // Opens a transaction on the scratch registry.
    HRESULT Begin(platform::RegistryTransaction* registry) const;
    // The registry file; empty where the registry is no file.
    const std::string& File() const { return m_file; }
    // A scratch folder for files of the test, removed with the registry.
    const std::string& Folder() const { return m_folder; }

private:
    std::string m_folder;
    std::string m_file;
    std::string m_key;
};

}  // namespace testregistry
