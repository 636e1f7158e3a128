// The one header through which Calorix code sees the component object model: the SDK on
// Windows, our own declarations with the same names and layout elsewhere.
#pragma once

#if defined(_WIN32)
#include <objbase.h>
#include <oleauto.h>
#include <olectl.h>
#include <windows.h>
#define COMCALL STDMETHODCALLTYPE
#ifndef CLSID_STRING_SIZE
#define CLSID_STRING_SIZE 39
#endif
#else
#include "platform/posix/com_types.h"
#endif

#include <cstdint>
