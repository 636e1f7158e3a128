// The module (DLL or program) that this copy of the platform library is linked into.
#pragma once

#include "platform/com.h"

namespace platform::win32 {

inline HMODULE ThisModule() noexcept {
    static const char anchor = 0;
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&anchor), &module);
    return module;
}

}  // namespace platform::win32
