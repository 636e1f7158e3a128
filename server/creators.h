// Object creation: a correlation standalone (its own plain reference count and IUnknown)
// or aggregated inside an outer object (a wrapper with its own IUnknown; the contained
// correlation passes every IUnknown call to the outer object).
#pragma once

#include <cstdint>
#include <new>

#include "server/module.h"

namespace server {

inline constexpr ULONG kCountOutOfReach = 0x40000000;

// Correlation objects are apartment-threaded: plain counts, no locks.
template <typename T>
class StandaloneObject final : public T {
public:
    StandaloneObject() { LockModule(); }

    HRESULT COMCALL QueryInterface(REFIID riid, void** ppv) override { return this->InternalQueryInterface(riid, ppv); }
    ULONG COMCALL AddRef() override { return ++m_refs; }
    ULONG COMCALL Release() override {
        ULONG n = --m_refs;
        if (n == 0) Destroy(this);
        return n;
    }

    // Teardown with the module kept loaded; the count is moved out of reach first, so that
    // references taken and dropped during the teardown cannot start a second destruction.
    static void Destroy(StandaloneObject* object) noexcept {
        LockModule();
        object->m_refs = kCountOutOfReach;
        delete object;
        UnlockModule();
    }

    // Keeps references taken and dropped during Initialize from destroying the object.
    void RaiseCount() noexcept { ++m_refs; }
    void LowerCount() noexcept { --m_refs; }

private:
    ~StandaloneObject() override { UnlockModule(); }
    ULONG m_refs = 0;
};

// The correlation inside an aggregate: IUnknown goes to the outer object.
template <typename T>
class ContainedObject final : public T {
public:
    explicit ContainedObject(IUnknown* outer) : m_outer(outer) {}
    HRESULT COMCALL QueryInterface(REFIID riid, void** ppv) override { return m_outer->QueryInterface(riid, ppv); }
    ULONG COMCALL AddRef() override { return m_outer->AddRef(); }
    ULONG COMCALL Release() override { return m_outer->Release(); }

private:
    IUnknown* m_outer;  // not counted: the outer object owns us
};

template <typename T>
class AggregatedObject final : public IUnknown {
public:
    explicit AggregatedObject(IUnknown* outer) : m_contained(outer) { LockModule(); }

    HRESULT COMCALL QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (riid == IID_IUnknown) {
            *ppv = static_cast<IUnknown*>(this);
            AddRef();
            return S_OK;
        }
        return m_contained.InternalQueryInterface(riid, ppv);
    }
    ULONG COMCALL AddRef() override { return ++m_refs; }
    ULONG COMCALL Release() override {
        ULONG n = --m_refs;
        if (n == 0) Destroy(this);
        return n;
    }
    static void Destroy(AggregatedObject* object) noexcept {
        LockModule();
        object->m_refs = kCountOutOfReach;
        delete object;
        UnlockModule();
    }
    ContainedObject<T>& Contained() noexcept { return m_contained; }

private:
    ~AggregatedObject() { UnlockModule(); }
    ULONG m_refs = 0;
    ContainedObject<T> m_contained;
};

template <typename T>
HRESULT CreateStandalone(REFIID riid, void** ppv) noexcept {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    StandaloneObject<T>* object = nullptr;
    try {
        object = new StandaloneObject<T>();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
    object->RaiseCount();
    HRESULT hr = object->Initialize();
    object->LowerCount();
    if (SUCCEEDED(hr)) {
        hr = object->QueryInterface(riid, ppv);  // S_OK or E_NOINTERFACE
        if (hr == S_OK) return S_OK;
    }
    StandaloneObject<T>::Destroy(object);
    return hr;
}

template <typename T>
HRESULT CreateAggregated(IUnknown* outer, REFIID riid, void** ppv) noexcept {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    AggregatedObject<T>* wrapper = nullptr;
    try {
        wrapper = new AggregatedObject<T>(outer);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
    HRESULT hr = wrapper->Contained().Initialize();
    if (FAILED(hr)) {
        AggregatedObject<T>::Destroy(wrapper);
        return hr;
    }
    hr = wrapper->QueryInterface(riid, ppv);  // S_OK or E_NOINTERFACE
    if (hr != S_OK) AggregatedObject<T>::Destroy(wrapper);
    return hr;
}

}  // namespace server
