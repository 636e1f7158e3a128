// The module's lock count: live correlation objects, LockServer locks and class objects
// held from outside. The library may be unloaded only while it is 0.
#pragma once

#include "platform/com.h"

namespace server {

void LockModule() noexcept;
void UnlockModule() noexcept;
LONG ModuleLockCount() noexcept;

}  // namespace server
