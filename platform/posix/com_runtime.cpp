// Task allocator on the C heap and system strings with the Windows layout.
#include <dlfcn.h>

#include <cstdlib>
#include <cstring>

#include "platform/com.h"
#include "platform/program.h"
#include "platform/task_allocator.h"

namespace {

using SpyLookup = platform::TaskAllocatorSpy* (*)();

// The spy of the program, if it exports one; looked up once per module.
platform::TaskAllocatorSpy* Spy() noexcept {
    static const SpyLookup lookup =
        reinterpret_cast<SpyLookup>(dlsym(RTLD_DEFAULT, "CalorixTaskAllocatorSpy"));
    return lookup ? lookup() : nullptr;
}

}  // namespace

void* CoTaskMemAlloc(std::size_t size) noexcept {
    void* block = std::malloc(size == 0 ? 1 : size);
    if (block)
        if (auto* spy = Spy()) spy->OnAlloc(block, size);
    return block;
}

// As on Windows: no block means a new one, and a size of 0 frees the block and answers null.
void* CoTaskMemRealloc(void* block, std::size_t size) noexcept {
    if (!block) return CoTaskMemAlloc(size);
    if (size == 0) {
        CoTaskMemFree(block);
        return nullptr;
    }
    void* result = std::realloc(block, size);
    // The spy only compares the old address with the blocks it knows; it never reads it.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuse-after-free"
#endif
    if (result)
        if (auto* spy = Spy()) spy->OnRealloc(block, result, size);
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
    return result;
}

void CoTaskMemFree(void* block) noexcept {
    if (!block) return;
    if (auto* spy = Spy())
        if (!spy->OnFree(block)) return;
    std::free(block);
}

// A system string is laid out as [uint32 byte length][UTF-16 text][uint16 0]; the pointer
// handed out points at the text.
BSTR SysAllocStringLen(const OLECHAR* text, UINT length) noexcept {
    std::size_t bytes = std::size_t{length} * sizeof(OLECHAR);
    auto* block = static_cast<unsigned char*>(std::malloc(sizeof(std::uint32_t) + bytes + sizeof(OLECHAR)));
    if (!block) return nullptr;
    auto byteLength = static_cast<std::uint32_t>(bytes);
    std::memcpy(block, &byteLength, sizeof byteLength);
    auto* out = reinterpret_cast<OLECHAR*>(block + sizeof(std::uint32_t));
    if (text)
        std::memcpy(out, text, bytes);
    else
        std::memset(out, 0, bytes);
    out[length] = 0;
    return out;
}

BSTR SysAllocString(const OLECHAR* text) noexcept {
    if (!text) return nullptr;
    UINT n = 0;
    while (text[n]) ++n;
    return SysAllocStringLen(text, n);
}

void SysFreeString(BSTR text) noexcept {
    if (text) std::free(reinterpret_cast<unsigned char*>(text) - sizeof(std::uint32_t));
}

UINT SysStringByteLen(BSTR text) noexcept {
    if (!text) return 0;
    std::uint32_t byteLength;
    std::memcpy(&byteLength, reinterpret_cast<unsigned char*>(text) - sizeof(std::uint32_t), sizeof byteLength);
    return byteLength;
}

UINT SysStringLen(BSTR text) noexcept { return SysStringByteLen(text) / sizeof(OLECHAR); }

namespace platform {

void InstallTaskAllocatorSpy(TaskAllocatorSpy*) noexcept {}

ComApartment::ComApartment() noexcept : m_status(S_OK) {}
ComApartment::~ComApartment() = default;

std::vector<std::string> ProgramArguments(int argc, char** argv) { return std::vector<std::string>(argv, argv + argc); }

void UseBinaryStandardStreams() noexcept {}

}  // namespace platform
