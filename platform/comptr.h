// Owning interface pointer and the compile-time interface-identifier lookup.
#pragma once

#include <utility>

#include "platform/com.h"

namespace platform {

// uuidof<T>() answers the interface identifier of T. The primary template is deleted, so
// using an interface without a declared identifier is a compile error.
template <typename T>
const IID& uuidof() = delete;

}  // namespace platform

// Declares the identifier of an interface: CALORIX_DECLARE_IID(IFoo, IID_IFoo).
#define CALORIX_DECLARE_IID(Interface, iid)                \
    template <>                                            \
    inline const IID& platform::uuidof<Interface>() {      \
        return iid;                                        \
    }

CALORIX_DECLARE_IID(IUnknown, IID_IUnknown)
CALORIX_DECLARE_IID(IDispatch, IID_IDispatch)
CALORIX_DECLARE_IID(IClassFactory, IID_IClassFactory)

namespace platform {

// One owned reference to an interface. Put() releases the current reference before it
// hands out the slot, so an out-parameter never leaks what the pointer held.
template <typename T>
class ComPtr {
public:
    ComPtr() noexcept = default;
    ComPtr(std::nullptr_t) noexcept {}
    explicit ComPtr(T* p) noexcept : m_p(p) { if (m_p) m_p->AddRef(); }
    ComPtr(const ComPtr& other) noexcept : ComPtr(other.m_p) {}
    ComPtr(ComPtr&& other) noexcept : m_p(std::exchange(other.m_p, nullptr)) {}
    ~ComPtr() { Reset(); }

    ComPtr& operator=(const ComPtr& other) noexcept {
        ComPtr(other).Swap(*this);
        return *this;
    }
    ComPtr& operator=(ComPtr&& other) noexcept {
        ComPtr(std::move(other)).Swap(*this);
        return *this;
    }
    ComPtr& operator=(std::nullptr_t) noexcept {
        Reset();
        return *this;
    }

    // Takes over a reference the caller already owns.
    static ComPtr Adopt(T* p) noexcept {
        ComPtr r;
        r.m_p = p;
        return r;
    }

    T* Get() const noexcept { return m_p; }
    T* operator->() const noexcept { return m_p; }
    explicit operator bool() const noexcept { return m_p != nullptr; }
    T** Put() noexcept {
        Reset();
        return &m_p;
    }
    void** PutVoid() noexcept { return reinterpret_cast<void**>(Put()); }
    T* Detach() noexcept { return std::exchange(m_p, nullptr); }
    void Reset() noexcept {
        if (T* p = std::exchange(m_p, nullptr)) p->Release();
    }
    void Swap(ComPtr& other) noexcept { std::swap(m_p, other.m_p); }

    // Hands a new reference to an out-parameter.
    HRESULT CopyTo(T** out) const noexcept {
        if (!out) return E_POINTER;
        *out = m_p;
        if (m_p) m_p->AddRef();
        return S_OK;
    }

    template <typename U>
    HRESULT As(ComPtr<U>* out) const noexcept {
        if (!m_p) return E_POINTER;
        return m_p->QueryInterface(uuidof<U>(), out->PutVoid());
    }

private:
    T* m_p = nullptr;
};

}  // namespace platform
