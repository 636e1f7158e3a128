// The module's own resources, found by (type, id). A type is either an integer (23, the
// HTML resource type) or a name ("REGISTRY", "TYPELIB").
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "platform/com.h"

namespace platform {

class ResourceType {
public:
    explicit ResourceType(int number) : m_number(number) {}
    explicit ResourceType(const char* name) : m_number(-1), m_name(name) {}
    bool operator==(const ResourceType&) const = default;
    int Number() const { return m_number; }
    const std::string& Name() const { return m_name; }

private:
    int m_number;
    std::string m_name;
};

// Finds a resource of the module this code is linked into. S_OK with the bytes, or a
// failure status (HRESULT_FROM_WIN32(ERROR_RESOURCE_NAME_NOT_FOUND)) when there is none.
HRESULT FindModuleResource(const ResourceType& type, int id, std::span<const std::byte>* data) noexcept;

// Called by code that CMake generates for each module (POSIX backend only).
void RegisterModuleResource(const ResourceType& type, int id, const unsigned char* data,
                            std::size_t size);

}  // namespace platform
