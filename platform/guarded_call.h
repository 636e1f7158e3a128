// Runs an operation body at an interface boundary: no exception leaves it. Running out of
// memory becomes E_OUTOFMEMORY, anything else E_FAIL.
#pragma once

#include <new>

#include "platform/com.h"

namespace platform {

template <typename F>
HRESULT GuardedCall(F&& body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
}

}  // namespace platform
