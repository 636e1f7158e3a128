// Resources compiled into the module by CMake (calorix_add_resources) and registered at
// load; each module has its own table because the platform library is linked into each.
#include "platform/resources.h"

#include <vector>

namespace platform {

namespace {
struct Entry {
    ResourceType type;
    int id;
    const unsigned char* data;
    std::size_t size;
};

std::vector<Entry>& Table() {
    static std::vector<Entry> table;
    return table;
}
}  // namespace

void RegisterModuleResource(const ResourceType& type, int id, const unsigned char* data, std::size_t size) {
    Table().push_back(Entry{type, id, data, size});
}

HRESULT FindModuleResource(const ResourceType& type, int id, std::span<const std::byte>* data) noexcept {
    if (!data) return E_POINTER;
    *data = {};
    for (const Entry& e : Table()) {
        if (e.type == type && e.id == id) {
            *data = std::span<const std::byte>(reinterpret_cast<const std::byte*>(e.data), e.size);
            return S_OK;
        }
    }
    return HRESULT_FROM_WIN32(ERROR_RESOURCE_NAME_NOT_FOUND);
}

}  // namespace platform
