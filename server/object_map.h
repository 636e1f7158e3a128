// The object map: one entry per class, in catalogue order.
#pragma once

#include <atomic>
#include <span>

#include "platform/com.h"

namespace server {

using InstanceCreator = HRESULT (*)(IUnknown* outer, REFIID riid, void** ppv) noexcept;

struct ObjectMapEntry {
    const CLSID* classId;
    const char* word;          // type-library class name, "HHV"
    int scriptId;              // registration script resource
    InstanceCreator createInstance;
    // Cached on first request, published with release order so that a thread that sees it
    // also sees the object it points to; released at unload.
    std::atomic<IClassFactory*> classObject{nullptr};
};

std::span<ObjectMapEntry> ObjectMap() noexcept;

HRESULT GetClassObject(REFCLSID clsid, REFIID riid, void** ppv) noexcept;

}  // namespace server
