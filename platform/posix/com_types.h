// COM base types for POSIX builds, under the Windows SDK's own names and with the same
// binary layout: a COM interface is a struct of pure virtual functions (Itanium C++ ABI
// vtables match the COM layout when there is no virtual destructor and no data).
#pragma once

#include <cstddef>
#include <cstdint>

#define COMCALL

using HRESULT = std::int32_t;
using ULONG = std::uint32_t;
using LONG = std::int32_t;
using DWORD = std::uint32_t;
using WORD = std::uint16_t;
using BYTE = std::uint8_t;
using BOOL = std::int32_t;
inline constexpr BOOL TRUE = 1;
inline constexpr BOOL FALSE = 0;
using UINT = unsigned int;
using LCID = std::uint32_t;
using DISPID = std::int32_t;
using OLECHAR = char16_t;
using LPOLESTR = OLECHAR*;
using LPCOLESTR = const OLECHAR*;
using BSTR = OLECHAR*;
// A wide literal in OLECHAR, as the SDK spells it: OLESTR("text").
#define OLESTR(s) u##s

struct GUID {
    std::uint32_t Data1;
    std::uint16_t Data2;
    std::uint16_t Data3;
    std::uint8_t Data4[8];
};
using IID = GUID;
using CLSID = GUID;
using REFGUID = const GUID&;
using REFIID = const IID&;
using REFCLSID = const CLSID&;

constexpr bool operator==(const GUID& a, const GUID& b) noexcept {
    if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
    for (int i = 0; i < 8; ++i)
        if (a.Data4[i] != b.Data4[i]) return false;
    return true;
}
inline bool IsEqualGUID(REFGUID a, REFGUID b) noexcept { return a == b; }
inline bool IsEqualIID(REFIID a, REFIID b) noexcept { return a == b; }
inline bool IsEqualCLSID(REFCLSID a, REFCLSID b) noexcept { return a == b; }

constexpr HRESULT MakeHresult(std::uint32_t v) noexcept { return static_cast<HRESULT>(v); }

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOTIMPL = MakeHresult(0x80004001u);
inline constexpr HRESULT E_NOINTERFACE = MakeHresult(0x80004002u);
inline constexpr HRESULT E_POINTER = MakeHresult(0x80004003u);
inline constexpr HRESULT E_ABORT = MakeHresult(0x80004004u);
inline constexpr HRESULT E_FAIL = MakeHresult(0x80004005u);
inline constexpr HRESULT E_UNEXPECTED = MakeHresult(0x8000FFFFu);
inline constexpr HRESULT E_ACCESSDENIED = MakeHresult(0x80070005u);
inline constexpr HRESULT E_OUTOFMEMORY = MakeHresult(0x8007000Eu);
inline constexpr HRESULT E_INVALIDARG = MakeHresult(0x80070057u);
inline constexpr HRESULT CLASS_E_NOAGGREGATION = MakeHresult(0x80040110u);
inline constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = MakeHresult(0x80040111u);
inline constexpr HRESULT CONNECT_E_NOCONNECTION = MakeHresult(0x80040200u);
inline constexpr HRESULT CONNECT_E_CANNOTCONNECT = MakeHresult(0x80040202u);
inline constexpr HRESULT SELFREG_E_CLASS = MakeHresult(0x80040201u);
inline constexpr HRESULT SELFREG_E_TYPELIB = MakeHresult(0x80040200u);
inline constexpr HRESULT REGDB_E_CLASSNOTREG = MakeHresult(0x80040154u);
inline constexpr HRESULT DISP_E_UNKNOWNNAME = MakeHresult(0x80020006u);
inline constexpr HRESULT DISP_E_MEMBERNOTFOUND = MakeHresult(0x80020003u);
inline constexpr HRESULT TYPE_E_ELEMENTNOTFOUND = MakeHresult(0x8002802Bu);

inline constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
inline constexpr DWORD ERROR_ACCESS_DENIED = 5;
inline constexpr DWORD ERROR_INVALID_DATA = 13;
inline constexpr DWORD ERROR_LOCK_VIOLATION = 33;
inline constexpr DWORD ERROR_BAD_FORMAT = 11;
inline constexpr DWORD ERROR_MOD_NOT_FOUND = 126;
inline constexpr DWORD ERROR_PROC_NOT_FOUND = 127;
inline constexpr DWORD ERROR_RESOURCE_TYPE_NOT_FOUND = 1813;
inline constexpr DWORD ERROR_RESOURCE_NAME_NOT_FOUND = 1814;

constexpr HRESULT HRESULT_FROM_WIN32(DWORD code) noexcept {
    return code == 0 ? S_OK : MakeHresult((code & 0x0000FFFFu) | 0x80070000u);
}
constexpr bool SUCCEEDED(HRESULT hr) noexcept { return hr >= 0; }
constexpr bool FAILED(HRESULT hr) noexcept { return hr < 0; }

// The identifiers of the base interfaces are the system's own.
inline constexpr IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IClassFactory = {0x00000001, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IDispatch = {0x00020400, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_NULL = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};

// Opaque automation types: on POSIX nobody looks inside them.
struct ITypeInfo;
struct VARIANT;
struct DISPPARAMS;
struct EXCEPINFO;

struct IUnknown {
    virtual HRESULT COMCALL QueryInterface(REFIID riid, void** ppv) = 0;
    virtual ULONG COMCALL AddRef() = 0;
    virtual ULONG COMCALL Release() = 0;
};

struct IDispatch : IUnknown {
    virtual HRESULT COMCALL GetTypeInfoCount(UINT* count) = 0;
    virtual HRESULT COMCALL GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) = 0;
    virtual HRESULT COMCALL GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                                          DISPID* ids) = 0;
    virtual HRESULT COMCALL Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* excepInfo, UINT* argErr) = 0;
};

struct IClassFactory : IUnknown {
    virtual HRESULT COMCALL CreateInstance(IUnknown* outer, REFIID riid, void** ppv) = 0;
    virtual HRESULT COMCALL LockServer(BOOL lock) = 0;
};

// Task allocator (C heap) and system strings (4-byte byte-length prefix, UTF-16 text,
// 16-bit terminator), as the Windows runtime lays them out.
void* CoTaskMemAlloc(std::size_t size) noexcept;
void* CoTaskMemRealloc(void* block, std::size_t size) noexcept;
void CoTaskMemFree(void* block) noexcept;
BSTR SysAllocString(const OLECHAR* text) noexcept;
BSTR SysAllocStringLen(const OLECHAR* text, UINT length) noexcept;
void SysFreeString(BSTR text) noexcept;
UINT SysStringLen(BSTR text) noexcept;
UINT SysStringByteLen(BSTR text) noexcept;

inline constexpr int CLSID_STRING_SIZE = 39;  // "{8-4-4-4-12}" and the terminator
