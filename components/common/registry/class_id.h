// Registry form of a class id, as the correlations report it through GetClassIdString.
#pragma once

#include "platform/com.h"

// Writes "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" and a terminator into buffer. A buffer
// shorter than CLSID_STRING_SIZE is a programming error (assertion).
void ClassIdToString(REFCLSID classId, char* buffer, int length);
