// Writing an operation's out-parameter: E_POINTER for a null one, else the value and S_OK.
#pragma once

#include "platform/com.h"

namespace platform {

template <typename T, typename U>
HRESULT OutValue(U value, T* out) noexcept {
    if (!out) return E_POINTER;
    *out = static_cast<T>(value);
    return S_OK;
}

}  // namespace platform
