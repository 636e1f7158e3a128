// A small reference-counted COM object for the stand-ins of the host's parts and for tests:
// QueryInterface over the listed interfaces, an atomic count, deletion at zero.
// The correlation objects have their own core (plain counts, aggregation); this is not it.
#pragma once

#include <atomic>
#include <new>
#include <utility>

#include "platform/comptr.h"

namespace platform {

template <typename First, typename... Rest>
class ComObject : public First, public Rest... {
public:
    HRESULT COMCALL QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (riid == IID_IUnknown) {
            *ppv = static_cast<IUnknown*>(static_cast<First*>(this));
        } else if (!(Match<First>(riid, ppv) || (Match<Rest>(riid, ppv) || ...))) {
            *ppv = QueryOther(riid);
        }
        if (!*ppv) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG COMCALL AddRef() override { return ++m_refs; }
    ULONG COMCALL Release() override {
        ULONG n = --m_refs;
        if (n == 0) delete this;
        return n;
    }

protected:
    ComObject() = default;
    virtual ~ComObject() = default;
    // Further identifiers the object answers (base interfaces of the listed ones).
    virtual void* QueryOther(REFIID) { return nullptr; }

private:
    template <typename I>
    bool Match(REFIID riid, void** ppv) {
        if (riid != uuidof<I>()) return false;
        *ppv = static_cast<I*>(this);
        return true;
    }
    std::atomic<ULONG> m_refs{0};
};

// Creates an object and hands out its first reference.
template <typename T, typename... Args>
ComPtr<T> Make(Args&&... args) {
    return ComPtr<T>(new T(std::forward<Args>(args)...));
}

}  // namespace platform
