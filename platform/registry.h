// The registry below HKEY_CLASSES_ROOT, seen as a transaction: open, read and change keys and
// string values, then commit. Paths are relative to HKEY_CLASSES_ROOT, components separated by
// backslashes ("CLSID\{...}\InprocServer32"); the empty path is the root itself. Key and value
// names compare without regard to ASCII case and keep the case they were first written with.
//
// POSIX backend: a text file in the REGEDIT4 format, named by the environment variable
// CALORIX_REGISTRY, else $XDG_DATA_HOME/calorix/registry.reg, else
// ~/.local/share/calorix/registry.reg. Begin() takes an exclusive advisory lock on a lock file
// beside it (<file>.lock) and reads the file whole; changes are made in memory; Commit()
// writes a temporary file in the same folder and renames it over the old one, then releases
// the lock. Content that is not ours (other value types, comments, other roots, other
// programs' keys) is kept. A file that is not a well-formed REGEDIT4 file is reported by
// Begin() and left untouched.
//
// A Windows backend applies each change at once and makes Commit() a no-op.
//
// One transaction per thread at a time: a second Begin() on the same thread waits for itself.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/com.h"

namespace platform {

// One value of a key. Strings are decoded; other types (dword:, hex:, ...) come as the text
// that follows '=' in the file, with isString false.
struct RegistryValue {
    std::string name;  // empty for the default value
    bool isString = true;
    std::string data;
};

class RegistryTransaction {
public:
    RegistryTransaction();
    ~RegistryTransaction();  // abandons the changes when Commit() was not called
    RegistryTransaction(const RegistryTransaction&) = delete;
    RegistryTransaction& operator=(const RegistryTransaction&) = delete;

    // Opens the registry at its default place (see above), or at filePath. Missing folders are
    // created; a missing or empty file is an empty registry. Failures:
    // HRESULT_FROM_WIN32(ERROR_INVALID_DATA) for a malformed file, E_ACCESSDENIED or
    // HRESULT_FROM_WIN32(ERROR_LOCK_VIOLATION) when the file or its lock cannot be opened,
    // E_UNEXPECTED when already open.
    HRESULT Begin() noexcept;
    HRESULT Begin(const std::string& filePath) noexcept;

    // Writes the changes (nothing when there are none) and ends the transaction. After a
    // failure the old file is unchanged.
    HRESULT Commit() noexcept;
    // Ends the transaction without writing.
    void Abandon() noexcept;

    // Reading. A key exists when it or a key below it is in the registry.
    bool KeyExists(std::string_view path) const noexcept;
    // Names of the direct subkeys, as stored, in file order.
    HRESULT EnumSubkeys(std::string_view path, std::vector<std::string>* names) const noexcept;
    // All values of the key, in file order. HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) when the
    // key does not exist.
    HRESULT EnumValues(std::string_view path, std::vector<RegistryValue>* values) const noexcept;
    // A string value (empty name: the default value). HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)
    // when the key or the value is missing, HRESULT_FROM_WIN32(ERROR_INVALID_DATA) when the
    // value is not a string.
    HRESULT QueryValue(std::string_view path, std::string_view name, std::string* data) const noexcept;

    // Changing. CreateKey creates the key and every missing key above it (S_OK), or opens an
    // existing one (S_FALSE). SetValue creates the key if needed. Names may not be empty or
    // hold a line break; values may not hold a line break (E_INVALIDARG).
    HRESULT CreateKey(std::string_view path) noexcept;
    HRESULT SetValue(std::string_view path, std::string_view name, std::string_view data) noexcept;
    // Deletes one key with its values: S_OK, S_FALSE when it does not exist,
    // E_ACCESSDENIED when it still has subkeys (the key is kept, as the Windows registry does).
    HRESULT DeleteKey(std::string_view path) noexcept;
    // Deletes a key and everything below it: S_OK, or S_FALSE when it does not exist.
    HRESULT DeleteTree(std::string_view path) noexcept;

private:
    struct State;
    std::unique_ptr<State> m_state;
};

// The registry file the POSIX backend uses when Begin() is given no path; empty when no
// place can be determined.
std::string DefaultRegistryFilePath();

}  // namespace platform
