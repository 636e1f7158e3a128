#include "platform/library.h"

#include <dlfcn.h>

#include <filesystem>
#include <system_error>

namespace platform {

namespace {
void ModuleAnchor() {}

// "X.dll" (any case) names the shared object "X.so".
std::string PosixFileName(const std::string& fileName) {
    constexpr std::size_t kExt = 4;
    if (fileName.size() > kExt) {
        std::string ext = fileName.substr(fileName.size() - kExt);
        for (char& c : ext) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        if (ext == ".dll") return fileName.substr(0, fileName.size() - kExt) + ".so";
    }
    return fileName;
}
}  // namespace

std::string ModuleFilePath() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&ModuleAnchor), &info) == 0 || !info.dli_fname) return {};
    std::string path = info.dli_fname;
    // For the main program the loader gives the name it was started by, which has no folder
    // when it was found on PATH; the kernel knows the file itself.
    if (path.find('/') == std::string::npos) {
        std::error_code ec;
        auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
        if (!ec) path = self.string();
    }
    return path;
}

std::string FolderOf(const std::string& path) {
    auto slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string LibraryFileName(const std::string& stem) { return stem + ".so"; }

std::string PathIn(const std::string& folder, const std::string& name) { return folder + "/" + name; }

std::filesystem::path FileSystemPath(const std::string& utf8) { return std::filesystem::path(utf8); }

std::string Utf8Path(const std::filesystem::path& path) { return path.string(); }

HRESULT LoadComponentLibrary(const std::string& fileName, LibraryHandle* library) noexcept {
    if (!library) return E_POINTER;
    *library = nullptr;
    try {
        std::string name = PosixFileName(fileName);
        // The loader's search first, so that a copy the host provides wins; then, for a bare
        // file name, the file beside this module.
        void* handle = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle && name.find('/') == std::string::npos) {
            std::string folder = FolderOf(ModuleFilePath());
            if (!folder.empty()) handle = dlopen(PathIn(folder, name).c_str(), RTLD_NOW | RTLD_LOCAL);
        }
        if (!handle) return HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);
        // Kept for the life of the process: the handle is never closed.
        *library = handle;
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

LibraryHandle OpenLibraryFile(const std::string& path) noexcept { return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL); }

void CloseLibraryFile(LibraryHandle library) noexcept {
    if (library) dlclose(library);
}

void* GetLibraryExport(LibraryHandle library, const char* name) noexcept {
    if (!library || !name) return nullptr;
    return dlsym(library, name);
}

}  // namespace platform
