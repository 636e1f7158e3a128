// The data server's variable objects: a set of variables found by tagged name, a numeric
// vector that grows to the index written, and an enumeration with option texts and a
// selected index per element.
#pragma once

#include <string>
#include <vector>

#include "framework/dataserver.h"
#include "platform/com_object.h"

namespace varbank {

platform::ComPtr<IVariableSet> NewVariableSet();
platform::ComPtr<INumericVectorVariable> NewNumericVector();
platform::ComPtr<IEnumVariable> NewEnumVariable();

}  // namespace varbank
