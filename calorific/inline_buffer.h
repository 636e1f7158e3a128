// Storage for one record per component: up to N records in place, more on the heap, so that a
// calculation of a usual fluid allocates nothing.
#pragma once

#include <array>
#include <cstddef>
#include <new>

// The components a calculation holds in place; a fluid of more allocates its records.
inline constexpr std::size_t kInlineComponents = 32;

template <typename T, std::size_t N = kInlineComponents>
class InlineBuffer {
public:
    InlineBuffer() noexcept {}  // the records in place are left for the owner to fill
    InlineBuffer(const InlineBuffer&) = delete;
    InlineBuffer& operator=(const InlineBuffer&) = delete;
    ~InlineBuffer() { Release(); }

    // Room for count records (at least one), replacing any held before; null when memory runs out.
    T* Allocate(std::size_t count) noexcept {
        Release();
        if (count <= N) return m_inline.data();
        m_heap = new (std::nothrow) T[count];
        return m_heap;
    }

    void Release() noexcept {
        delete[] m_heap;
        m_heap = nullptr;
    }

private:
    std::array<T, N> m_inline;
    T* m_heap = nullptr;
};
