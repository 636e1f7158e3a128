// Loading a component library by file name, and the path of the running module.
#pragma once

#include <filesystem>
#include <string>

#include "platform/com.h"

namespace platform {

using LibraryHandle = void*;

// Loads a library by file name and keeps it loaded for the life of the process: first with
// the system's search order (a copy the host provides wins), then, for a bare file name, from
// the folder of the module that asks. On POSIX a name "X.dll" means the file "X.so". Failure:
// HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND).
HRESULT LoadComponentLibrary(const std::string& fileName, LibraryHandle* library) noexcept;

// Loads a library file by its full path for a caller that unloads it again with
// CloseLibraryFile (tests of a module's end); null on failure.
LibraryHandle OpenLibraryFile(const std::string& path) noexcept;
void CloseLibraryFile(LibraryHandle library) noexcept;

// An exported function of a loaded library, or null.
void* GetLibraryExport(LibraryHandle library, const char* name) noexcept;

// Full path, in UTF-8, of the module (library or program) that this code is linked into; empty
// when it cannot be determined. Paths given to the functions here are UTF-8 too.
std::string ModuleFilePath();

// Folder part of a path, without the trailing separator.
std::string FolderOf(const std::string& path);

// The file of a component library on this platform: "Calorix" gives "Calorix.dll" on
// Windows and "Calorix.so" elsewhere.
std::string LibraryFileName(const std::string& stem);
// A file name appended to a folder with the platform's separator.
std::string PathIn(const std::string& folder, const std::string& name);

// A UTF-8 path as the standard library's path, and back: on Windows by way of UTF-16, so that
// a file opens whatever the characters of its folders (a narrow path would pass through the
// code page there).
std::filesystem::path FileSystemPath(const std::string& utf8);
std::string Utf8Path(const std::filesystem::path& path);

}  // namespace platform
