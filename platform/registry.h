// The registry below HKEY_CLASSES_ROOT, seen as a transaction: open, read and change keys and
// string values, then commit. Paths are relative to HKEY_CLASSES_ROOT, components separated by
// backslashes ("CLSID\{...}\InprocServer32"); the empty path is the root itself. Key and value
// names compare without regard to ASCII case and keep the case they were first written with.
// Names and values are UTF-8 (on Windows too: they reach the registry as UTF-16).
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
// One transaction per thread at a time: a second Begin() on the same thread waits for itself
// (unless a RegistryBatch of that thread holds the file, see below).
//
// A symbolic link is followed: the file it leads to is read and replaced, with the temporary
// file and the lock file beside it. A file that nobody may write (chmod a-w), or that the caller
// may not write, is not replaced: Commit() returns E_ACCESSDENIED and changes nothing.
// Temporary files are named <file>.tmp.XXXXXX; one left behind by a writer killed before its
// rename is removed by the next commit once it is older than a minute.
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
    friend class RegistryBatch;
    struct State;
    std::unique_ptr<State> m_state;
};

// Groups the transactions that this thread begins on the batch's registry file, while the
// batch is open, into one read and one write of that file: each of them works on the batch's
// copy in memory, its Commit() keeps the changes for the batch, and the batch's Commit() writes
// them all at once. A transaction that changed something and is abandoned inside the batch
// spoils it: the batch's Commit() then writes nothing and returns E_ABORT. Without Commit(),
// the batch writes nothing.
// On a backend that applies every change at once, a batch changes nothing.
class RegistryBatch {
public:
    RegistryBatch() = default;
    ~RegistryBatch();
    RegistryBatch(const RegistryBatch&) = delete;
    RegistryBatch& operator=(const RegistryBatch&) = delete;

    // Opens the registry at its default place (failures as RegistryTransaction::Begin()).
    HRESULT Begin() noexcept;
    // Writes the changes of every transaction of the batch and ends it.
    HRESULT Commit() noexcept;

private:
    friend class RegistryTransaction;
    RegistryTransaction m_transaction;
    RegistryBatch* m_outer = nullptr;             // the batch open before this one
    RegistryTransaction::State* m_lent = nullptr;  // the state while a transaction works on it
    bool m_abandoned = false;
};

#if defined(_WIN32)
inline RegistryBatch::~RegistryBatch() = default;
inline HRESULT RegistryBatch::Begin() noexcept { return S_OK; }
inline HRESULT RegistryBatch::Commit() noexcept { return S_OK; }
#endif

// The registry file the POSIX backend uses when Begin() is given no path; empty when no
// place can be determined.
std::string DefaultRegistryFilePath();

}  // namespace platform
