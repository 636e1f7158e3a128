// The registry below HKEY_CLASSES_ROOT over the Win32 registry functions. Every change is
// applied at once; Commit() only ends the transaction. Names and values are UTF-8 here and
// cross the API as UTF-16, so a path holds any character whatever the code page.
#include "platform/registry.h"

#include "platform/strings.h"

namespace platform {

struct RegistryTransaction::State {};

namespace {
class Key {
public:
    ~Key() {
        if (m_key) RegCloseKey(m_key);
    }
    HKEY* Put() { return &m_key; }
    HKEY Get() const { return m_key; }

private:
    HKEY m_key = nullptr;
};

HRESULT FromWin32(LSTATUS status) { return HRESULT_FROM_WIN32(static_cast<DWORD>(status)); }

HRESULT Open(std::string_view path, REGSAM access, Key* key) {
    return FromWin32(RegOpenKeyExW(HKEY_CLASSES_ROOT, Utf8ToWide(path).c_str(), 0, access, key->Put()));
}

bool Valid(std::string_view text) { return text.find_first_of("\r\n") == std::string_view::npos; }
}  // namespace

RegistryTransaction::RegistryTransaction() = default;
RegistryTransaction::~RegistryTransaction() = default;

HRESULT RegistryTransaction::Begin() noexcept {
    if (m_state) return E_UNEXPECTED;
    try {
        m_state = std::make_unique<State>();
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

// The Windows registry is the only one there is: a file cannot stand for it.
HRESULT RegistryTransaction::Begin(const std::string&) noexcept { return E_NOTIMPL; }

HRESULT RegistryTransaction::Commit() noexcept {
    if (!m_state) return E_UNEXPECTED;
    m_state.reset();
    return S_OK;
}

void RegistryTransaction::Abandon() noexcept { m_state.reset(); }

bool RegistryTransaction::KeyExists(std::string_view path) const noexcept {
    try {
        Key key;
        return SUCCEEDED(Open(path, KEY_READ, &key));
    } catch (...) {
        return false;
    }
}

HRESULT RegistryTransaction::EnumSubkeys(std::string_view path, std::vector<std::string>* names) const noexcept {
    if (!names) return E_POINTER;
    names->clear();
    try {
        Key key;
        HRESULT hr = Open(path, KEY_READ, &key);
        if (FAILED(hr)) return hr;
        OLECHAR name[256];
        for (DWORD i = 0;; ++i) {
            DWORD length = 256;
            LSTATUS status = RegEnumKeyExW(key.Get(), i, name, &length, nullptr, nullptr, nullptr, nullptr);
            if (status == ERROR_NO_MORE_ITEMS) return S_OK;
            if (status != ERROR_SUCCESS) return FromWin32(status);
            names->push_back(WideToUtf8(WideStringView(name, length)));
        }
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT RegistryTransaction::EnumValues(std::string_view path, std::vector<RegistryValue>* values) const noexcept {
    if (!values) return E_POINTER;
    values->clear();
    try {
        Key key;
        HRESULT hr = Open(path, KEY_READ, &key);
        if (FAILED(hr)) return hr;
        OLECHAR name[16384];
        for (DWORD i = 0;; ++i) {
            DWORD length = 16384, type = 0, bytes = 0;
            LSTATUS status = RegEnumValueW(key.Get(), i, name, &length, nullptr, &type, nullptr, &bytes);
            if (status == ERROR_NO_MORE_ITEMS) return S_OK;
            if (status != ERROR_SUCCESS) return FromWin32(status);
            RegistryValue value;
            value.name = WideToUtf8(WideStringView(name, length));
            value.isString = type == REG_SZ;
            if (value.isString) {
                hr = QueryValue(path, value.name, &value.data);
                if (FAILED(hr)) return hr;
            }
            values->push_back(std::move(value));
        }
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT RegistryTransaction::QueryValue(std::string_view path, std::string_view name, std::string* data) const noexcept {
    if (!data) return E_POINTER;
    data->clear();
    try {
        Key key;
        HRESULT hr = Open(path, KEY_READ, &key);
        if (FAILED(hr)) return hr;
        const WideString valueName = Utf8ToWide(name);
        DWORD type = 0, bytes = 0;
        LSTATUS status = RegQueryValueExW(key.Get(), valueName.c_str(), nullptr, &type, nullptr, &bytes);
        if (status != ERROR_SUCCESS) return FromWin32(status);
        if (type != REG_SZ) return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
        WideString text(bytes / sizeof(OLECHAR) + 1, OLECHAR{});
        status = RegQueryValueExW(key.Get(), valueName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(text.data()),
                                  &bytes);
        if (status != ERROR_SUCCESS) return FromWin32(status);
        text.resize(bytes / sizeof(OLECHAR));
        while (!text.empty() && text.back() == 0) text.pop_back();
        *data = WideToUtf8(text);
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT RegistryTransaction::CreateKey(std::string_view path) noexcept {
    if (!m_state) return E_UNEXPECTED;
    if (path.empty() || !Valid(path)) return E_INVALIDARG;
    try {
        Key key;
        DWORD disposition = 0;
        LSTATUS status = RegCreateKeyExW(HKEY_CLASSES_ROOT, Utf8ToWide(path).c_str(), 0, nullptr, 0, KEY_WRITE,
                                         nullptr, key.Put(), &disposition);
        if (status != ERROR_SUCCESS) return FromWin32(status);
        return disposition == REG_CREATED_NEW_KEY ? S_OK : S_FALSE;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT RegistryTransaction::SetValue(std::string_view path, std::string_view name, std::string_view data) noexcept {
    if (!m_state) return E_UNEXPECTED;
    if (!Valid(path) || !Valid(name) || !Valid(data)) return E_INVALIDARG;
    try {
        Key key;
        LSTATUS status = RegCreateKeyExW(HKEY_CLASSES_ROOT, Utf8ToWide(path).c_str(), 0, nullptr, 0, KEY_WRITE,
                                         nullptr, key.Put(), nullptr);
        if (status != ERROR_SUCCESS) return FromWin32(status);
        const WideString text = Utf8ToWide(data);
        status = RegSetValueExW(key.Get(), Utf8ToWide(name).c_str(), 0, REG_SZ,
                                reinterpret_cast<const BYTE*>(text.c_str()),
                                static_cast<DWORD>((text.size() + 1) * sizeof(OLECHAR)));
        return FromWin32(status);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT RegistryTransaction::DeleteKey(std::string_view path) noexcept {
    if (!m_state) return E_UNEXPECTED;
    if (path.empty()) return E_INVALIDARG;
    try {
        if (!KeyExists(path)) return S_FALSE;
        std::vector<std::string> subkeys;
        HRESULT hr = EnumSubkeys(path, &subkeys);
        if (FAILED(hr)) return hr;
        if (!subkeys.empty()) return E_ACCESSDENIED;
        return FromWin32(RegDeleteKeyW(HKEY_CLASSES_ROOT, Utf8ToWide(path).c_str()));
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT RegistryTransaction::DeleteTree(std::string_view path) noexcept {
    if (!m_state) return E_UNEXPECTED;
    if (path.empty()) return E_INVALIDARG;
    try {
        if (!KeyExists(path)) return S_FALSE;
        const WideString key = Utf8ToWide(path);
        HRESULT hr = FromWin32(RegDeleteTreeW(HKEY_CLASSES_ROOT, key.c_str()));
        if (FAILED(hr)) return hr;
        // Some versions of the system delete the key itself too, others only what is below it.
        return KeyExists(path) ? FromWin32(RegDeleteKeyW(HKEY_CLASSES_ROOT, key.c_str())) : S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

std::string DefaultRegistryFilePath() { return {}; }

}  // namespace platform
