// Marks the entry points a module exports. On Windows a .def file names them instead.
#pragma once

#if defined(_WIN32)
#define CALORIX_EXPORT
#else
#define CALORIX_EXPORT __attribute__((visibility("default")))
#endif
