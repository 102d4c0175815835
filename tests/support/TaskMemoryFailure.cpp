#include "TaskMemoryFailure.h"

#include <windows.h>
#include <objbase.h>
#include <objidl.h>
#include <gtest/gtest.h>

#include "FailureInjectionCounter.h"

namespace {

// The platform calls the spy on the allocating thread, so per-thread state keeps other threads' requests
// (the platform's own worker threads included) out of a test's count.
thread_local FailureInjectionCounter injection;

// Process-wide and never destroyed: once registered the platform keeps calling it, also for blocks that were
// allocated through it and freed after a scope ended. It passes every request through unchanged except the
// one chosen to fail.
class FailingMallocSpy : public IMallocSpy {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (ppv == nullptr)
            return E_POINTER;
        if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_IMallocSpy)) {
            *ppv = static_cast<IMallocSpy*>(this);
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    // Static lifetime: the platform's references are not counted.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    // Returning 0 for a non-zero request makes the platform's allocation fail.
    SIZE_T STDMETHODCALLTYPE PreAlloc(SIZE_T cbRequest) override
    {
        if (cbRequest == 0)
            return cbRequest;
        return injection.CountRequest() ? 0 : cbRequest;
    }
    void* STDMETHODCALLTYPE PostAlloc(void* pActual) override { return pActual; }
    void* STDMETHODCALLTYPE PreFree(void* pRequest, BOOL) override { return pRequest; }
    void STDMETHODCALLTYPE PostFree(BOOL) override {}
    SIZE_T STDMETHODCALLTYPE PreRealloc(void* pRequest, SIZE_T cbRequest, void** ppNewRequest, BOOL) override
    {
        *ppNewRequest = pRequest;
        return cbRequest;
    }
    void* STDMETHODCALLTYPE PostRealloc(void* pActual, BOOL) override { return pActual; }
    void* STDMETHODCALLTYPE PreGetSize(void* pRequest, BOOL) override { return pRequest; }
    SIZE_T STDMETHODCALLTYPE PostGetSize(SIZE_T cbActual, BOOL) override { return cbActual; }
    void* STDMETHODCALLTYPE PreDidAlloc(void* pRequest, BOOL) override { return pRequest; }
    int STDMETHODCALLTYPE PostDidAlloc(void*, BOOL, int fActual) override { return fActual; }
    void STDMETHODCALLTYPE PreHeapMinimize() override {}
    void STDMETHODCALLTYPE PostHeapMinimize() override {}
};

FailingMallocSpy spy;

// Registers the spy the first time a scope needs it. A process registers at most one spy, and revoking it
// while blocks it saw are still alive is only deferred by the platform, so it stays for the process's life.
bool EnsureSpyRegistered()
{
    static const HRESULT registration = CoRegisterMallocSpy(&spy);
    if (FAILED(registration))
        ADD_FAILURE() << "CoRegisterMallocSpy failed: 0x" << std::hex << static_cast<unsigned long>(registration);
    return SUCCEEDED(registration);
}

}  // namespace

TaskMemoryFailureScope::TaskMemoryFailureScope(int failingAllocation, bool failAllFollowing)
{
    bool registered = EnsureSpyRegistered();
    injection.Start(registered, failingAllocation, failAllFollowing);
}

TaskMemoryFailureScope::~TaskMemoryFailureScope()
{
    injection.Stop();
}

int TaskMemoryFailureScope::AllocationsSeen() const { return injection.seen; }
bool TaskMemoryFailureScope::FailureInjected() const { return injection.injected; }
