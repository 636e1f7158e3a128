// The program's apartment and streams, and the task-allocator spy as the system's malloc spy.
#include <fcntl.h>
#include <io.h>

#include <cstdio>

#include "platform/program.h"
#include "platform/strings.h"

#include <shellapi.h>  // after the system headers that platform/com.h includes
#include "platform/task_allocator.h"

namespace platform {

namespace {
// Forwards the system allocator's notifications to a TaskAllocatorSpy. The system's own
// "spied" flag is not trusted (a second free of a block reports it false): the spy judges
// every free, and a free it refuses becomes a free of nothing.
class MallocSpy final : public IMallocSpy {
public:
    explicit MallocSpy(TaskAllocatorSpy* spy) : m_spy(spy) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = riid == IID_IUnknown || riid == IID_IMallocSpy ? this : nullptr;
        return *ppv ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }   // static lifetime
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    SIZE_T STDMETHODCALLTYPE PreAlloc(SIZE_T size) override { return size; }
    void* STDMETHODCALLTYPE PostAlloc(void* actual) override {
        if (actual) m_spy->OnAlloc(actual, 0);
        return actual;
    }
    void* STDMETHODCALLTYPE PreFree(void* request, BOOL) override {
        return request && m_spy->OnFree(request) ? request : nullptr;
    }
    void STDMETHODCALLTYPE PostFree(BOOL) override {}
    SIZE_T STDMETHODCALLTYPE PreRealloc(void* request, SIZE_T size, void** newRequest, BOOL) override {
        t_reallocFrom = request;
        *newRequest = request;
        return size;
    }
    void* STDMETHODCALLTYPE PostRealloc(void* actual, BOOL) override {
        if (actual)
            m_spy->OnRealloc(t_reallocFrom, actual, 0);
        else if (t_reallocFrom)
            m_spy->OnFree(t_reallocFrom);  // a reallocation to nothing frees the block
        t_reallocFrom = nullptr;
        return actual;
    }
    void* STDMETHODCALLTYPE PreGetSize(void* request, BOOL) override { return request; }
    SIZE_T STDMETHODCALLTYPE PostGetSize(SIZE_T actual, BOOL) override { return actual; }
    void* STDMETHODCALLTYPE PreDidAlloc(void* request, BOOL) override { return request; }
    int STDMETHODCALLTYPE PostDidAlloc(void*, BOOL, int actual) override { return actual; }
    void STDMETHODCALLTYPE PreHeapMinimize() override {}
    void STDMETHODCALLTYPE PostHeapMinimize() override {}

private:
    TaskAllocatorSpy* m_spy;
    static thread_local void* t_reallocFrom;
};
thread_local void* MallocSpy::t_reallocFrom = nullptr;
}  // namespace

void InstallTaskAllocatorSpy(TaskAllocatorSpy* spy) noexcept {
    if (!spy) return;
    try {
        static MallocSpy* mallocSpy = new MallocSpy(spy);  // registered for the life of the process
        CoRegisterMallocSpy(mallocSpy);
    } catch (...) {
    }
}

ComApartment::ComApartment() noexcept : m_status(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
ComApartment::~ComApartment() {
    if (SUCCEEDED(m_status)) CoUninitialize();
}

std::vector<std::string> ProgramArguments(int argc, char** argv) {
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide) return std::vector<std::string>(argv, argv + argc);
    std::vector<std::string> arguments;
    try {
        for (int i = 0; i < count; ++i) arguments.push_back(WideToUtf8(wide[i]));
    } catch (...) {
        LocalFree(wide);
        throw;
    }
    LocalFree(wide);
    return arguments;
}

void UseBinaryStandardStreams() noexcept {
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}

}  // namespace platform
