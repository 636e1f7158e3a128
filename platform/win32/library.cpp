// Libraries are loaded by file name with the system's own search order, as the host's own
// copy of a library would be, then from this module's folder. Paths are UTF-8 here and
// reach the system as UTF-16.
#include "platform/library.h"

#include "platform/strings.h"
#include "platform/win32/module_handle.h"

namespace platform {

std::string ModuleFilePath() {
    WideString path(MAX_PATH, OLECHAR{});
    for (;;) {
        const DWORD n = GetModuleFileNameW(win32::ThisModule(), path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            return WideToUtf8(path);
        }
        path.resize(path.size() * 2);
    }
}

std::string FolderOf(const std::string& path) {
    auto slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string LibraryFileName(const std::string& stem) { return stem + ".dll"; }

std::string PathIn(const std::string& folder, const std::string& name) { return folder + "\\" + name; }

std::filesystem::path FileSystemPath(const std::string& utf8) { return std::filesystem::path(Utf8ToWide(utf8)); }

std::string Utf8Path(const std::filesystem::path& path) { return WideToUtf8(path.native()); }

HRESULT LoadComponentLibrary(const std::string& fileName, LibraryHandle* library) noexcept {
    if (!library) return E_POINTER;
    *library = nullptr;
    try {
        // The system's search first, so that a copy the host ships wins; then, for a bare file
        // name, the file beside this module by its full path (the search looks in the client
        // program's folder, not in ours).
        WideString name = Utf8ToWide(fileName);
        // Kept for the life of the process: the library is never freed.
        HINSTANCE handle = CoLoadLibrary(name.data(), FALSE);
        if (!handle && fileName.find_first_of("\\/") == std::string::npos) {
            const std::string folder = FolderOf(ModuleFilePath());
            if (!folder.empty()) {
                WideString beside = Utf8ToWide(PathIn(folder, fileName));
                handle = CoLoadLibrary(beside.data(), FALSE);
            }
        }
        if (!handle) return HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);
        *library = handle;
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

LibraryHandle OpenLibraryFile(const std::string& path) noexcept {
    try {
        return LoadLibraryW(Utf8ToWide(path).c_str());
    } catch (...) {
        return nullptr;
    }
}

void CloseLibraryFile(LibraryHandle library) noexcept {
    if (library) FreeLibrary(static_cast<HMODULE>(library));
}

void* GetLibraryExport(LibraryHandle library, const char* name) noexcept {
    if (!library || !name) return nullptr;
    // Through an untyped pointer: a FARPROC does not convert to a typed function pointer.
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

}  // namespace platform
