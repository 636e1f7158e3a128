// The object map: one entry per class, in catalogue order.
#pragma once

#include <span>

#include "platform/com.h"

namespace server {

using InstanceCreator = HRESULT (*)(IUnknown* outer, REFIID riid, void** ppv) noexcept;

struct ObjectMapEntry {
    const CLSID* classId;
    const char* word;          // type-library class name, "HHV"
    int scriptId;              // registration script resource
    InstanceCreator createInstance;
    IClassFactory* classObject;  // cached on first request; released at unload
};

std::span<ObjectMapEntry> ObjectMap() noexcept;

HRESULT GetClassObject(REFCLSID clsid, REFIID riid, void** ppv) noexcept;

}  // namespace server
