#include "components/common/registry/class_id.h"

#include <cassert>
#include <cstring>

#include "platform/strings.h"

void ClassIdToString(REFCLSID classId, char* buffer, [[maybe_unused]] int length) {
    assert(buffer != nullptr && length >= CLSID_STRING_SIZE);
    const std::string text = platform::GuidToString(classId);
    assert(text.size() == CLSID_STRING_SIZE - 1);
    std::memcpy(buffer, text.c_str(), CLSID_STRING_SIZE);
}
