// Watching the task allocator, like the Windows malloc spy: tests register one process-wide
// spy that sees every allocation and free of every module. Without one the allocator is the
// plain C heap.
#pragma once

#include <cstddef>

#include "platform/export.h"

namespace platform {

struct TaskAllocatorSpy {
    virtual void OnAlloc(void* block, std::size_t size) = 0;
    // Returns false to keep the block from being freed (a double free being recorded).
    virtual bool OnFree(void* block) = 0;
    virtual void OnRealloc(void* oldBlock, void* newBlock, std::size_t size) = 0;

protected:
    ~TaskAllocatorSpy() = default;
};

// Makes the spy see every task-allocator call of the process from now on. On Windows it is
// registered as the system's malloc spy (call it before the first allocation, that is before
// CoInitializeEx); elsewhere the export below is how modules find it, and this does nothing.
void InstallTaskAllocatorSpy(TaskAllocatorSpy* spy) noexcept;

}  // namespace platform

// A program that wants to watch the task allocator defines this function and exports it
// (CMake ENABLE_EXPORTS); every module looks it up once, the first time it allocates.
extern "C" CALORIX_EXPORT platform::TaskAllocatorSpy* CalorixTaskAllocatorSpy();
