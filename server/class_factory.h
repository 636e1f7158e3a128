// The cached class object of a correlation class.
#pragma once

#include "server/object_map.h"

namespace server {

// Creates a class object holding one reference (the object map's) in *factory.
HRESULT CreateClassObject(InstanceCreator createInstance, IClassFactory** factory) noexcept;

}  // namespace server
