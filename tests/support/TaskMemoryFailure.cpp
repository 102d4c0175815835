#include "TaskMemoryFailure.h"

#include <windows.h>
#include <objbase.h>
#include <objidl.h>
#include <gtest/gtest.h>

#include <cstring>

namespace {

// Per-thread state keeps other threads' requests (the platform's own worker threads included) out of a
// test's count.
thread_local FailureInjectionScope::Counter injection;

using TaskMemAllocEntry = decltype(&::CoTaskMemAlloc);
TaskMemAllocEntry platformTaskMemAlloc = nullptr;

// The task-memory blocks this program's code allocated, or a double handed over, that nobody has freed yet,
// in fixed storage so that keeping it allocates nothing. Every thread reaches it: the program's import and
// the spy both write it. Few blocks are alive at a time, so a free looks through them all.
class LiveBlocks {
public:
    void Add(void* block)
    {
        AcquireSRWLockExclusive(&lock);
        if (count < kCapacity)
            blocks[count++] = block;
        else
            overflowed = true;
        ReleaseSRWLockExclusive(&lock);
    }
    // True when `block` was one of the set's.
    bool Remove(void* block)
    {
        AcquireSRWLockExclusive(&lock);
        size_t at = 0;
        while (at < count && blocks[at] != block)
            ++at;
        const bool found = at < count;
        if (found)
            blocks[at] = blocks[--count];
        ReleaseSRWLockExclusive(&lock);
        return found;
    }
    LONG Count()
    {
        AcquireSRWLockShared(&lock);
        const LONG alive = overflowed ? -1 : static_cast<LONG>(count);
        ReleaseSRWLockShared(&lock);
        return alive;
    }

private:
    static constexpr size_t kCapacity = 8192;

    SRWLOCK lock = SRWLOCK_INIT;
    void* blocks[kCapacity] = {};
    size_t count = 0;
    bool overflowed = false;
};

LiveBlocks liveBlocks;

// Task memory from the platform's allocator, counted alive until someone frees it.
void* AllocateCounted(SIZE_T bytes)
{
    void* block = platformTaskMemAlloc(bytes);
    if (block != nullptr)
        liveBlocks.Add(block);
    return block;
}

// What this program's code reaches when it calls CoTaskMemAlloc once the import is replaced.
LPVOID WINAPI CountedTaskMemAlloc(SIZE_T bytes)
{
    return injection.CountRequest() ? nullptr : AllocateCounted(bytes);
}

// The import address table entry through which `module`'s code calls `function` of `library`; null when the
// module does not import it by name.
void** FindImportEntry(HMODULE module, const char* library, const char* function)
{
    auto* base = reinterpret_cast<BYTE*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (imports.VirtualAddress == 0)
        return nullptr;
    for (auto* entry = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
         entry->Name != 0; ++entry) {
        if (lstrcmpiA(reinterpret_cast<const char*>(base + entry->Name), library) != 0 ||
            entry->OriginalFirstThunk == 0)
            continue;
        auto* names = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + entry->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                continue;
            const auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) == 0)
                return reinterpret_cast<void**>(&slots->u1.Function);
        }
    }
    return nullptr;
}

// Points this program's import of CoTaskMemAlloc at CountedTaskMemAlloc, once; it stays so for the
// program's life (a pass-through while no scope is active).
bool EnsureImportReplaced()
{
    static const bool replaced = [] {
        void** entry = FindImportEntry(GetModuleHandleW(nullptr), "ole32.dll", "CoTaskMemAlloc");
        if (entry == nullptr)
            return false;
        DWORD protection = 0;
        if (!VirtualProtect(entry, sizeof *entry, PAGE_READWRITE, &protection))
            return false;
        platformTaskMemAlloc = reinterpret_cast<TaskMemAllocEntry>(*entry);
        *entry = reinterpret_cast<void*>(&CountedTaskMemAlloc);
        VirtualProtect(entry, sizeof *entry, protection, &protection);
        return true;
    }();
    if (!replaced)
        ADD_FAILURE() << "this program's import of CoTaskMemAlloc could not be replaced";
    return replaced;
}

// Process-wide and never destroyed: once registered the platform keeps calling it, also for blocks that were
// allocated through it and freed after a test ended. It changes nothing; it only sees which blocks go, on any
// thread and whoever frees them, so that the live set loses them.
class FreeWatchingMallocSpy : public IMallocSpy {
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

    SIZE_T STDMETHODCALLTYPE PreAlloc(SIZE_T cbRequest) override { return cbRequest; }
    void* STDMETHODCALLTYPE PostAlloc(void* pActual) override { return pActual; }
    void* STDMETHODCALLTYPE PreFree(void* pRequest, BOOL) override
    {
        if (pRequest != nullptr)
            liveBlocks.Remove(pRequest);
        return pRequest;
    }
    void STDMETHODCALLTYPE PostFree(BOOL) override {}
    // A block of the set that is reallocated stays in it at its new address (realloc to 0 bytes frees it).
    SIZE_T STDMETHODCALLTYPE PreRealloc(void* pRequest, SIZE_T cbRequest, void** ppNewRequest, BOOL) override
    {
        reallocatingLiveBlock = pRequest != nullptr && liveBlocks.Remove(pRequest);
        *ppNewRequest = pRequest;
        return cbRequest;
    }
    void* STDMETHODCALLTYPE PostRealloc(void* pActual, BOOL) override
    {
        if (reallocatingLiveBlock && pActual != nullptr)
            liveBlocks.Add(pActual);
        reallocatingLiveBlock = false;
        return pActual;
    }
    void* STDMETHODCALLTYPE PreGetSize(void* pRequest, BOOL) override { return pRequest; }
    SIZE_T STDMETHODCALLTYPE PostGetSize(SIZE_T cbActual, BOOL) override { return cbActual; }
    void* STDMETHODCALLTYPE PreDidAlloc(void* pRequest, BOOL) override { return pRequest; }
    int STDMETHODCALLTYPE PostDidAlloc(void*, BOOL, int fActual) override { return fActual; }
    void STDMETHODCALLTYPE PreHeapMinimize() override {}
    void STDMETHODCALLTYPE PostHeapMinimize() override {}

private:
    // The platform calls PreRealloc and PostRealloc of one reallocation on the same thread.
    static thread_local bool reallocatingLiveBlock;
};

thread_local bool FreeWatchingMallocSpy::reallocatingLiveBlock = false;

FreeWatchingMallocSpy spy;

// Registers the spy the first time it is needed. A process registers at most one spy, and revoking it while
// blocks it saw are still alive is only deferred by the platform, so it stays for the process's life.
void EnsureSpyRegistered()
{
    static const HRESULT registration = CoRegisterMallocSpy(&spy);
    if (FAILED(registration))
        ADD_FAILURE() << "CoRegisterMallocSpy failed: 0x" << std::hex << static_cast<unsigned long>(registration);
}

// The import and the spy work together: neither is useful alone.
bool EnsureAccountingStarted()
{
    EnsureSpyRegistered();
    return EnsureImportReplaced();
}

}  // namespace

TaskMemoryFailureScope::TaskMemoryFailureScope(int failingAllocation, bool failAllFollowing)
    : FailureInjectionScope(injection, EnsureAccountingStarted(), failingAllocation, failAllFollowing)
{
}

LONG TaskMemoryBlocksAlive()
{
    EnsureAccountingStarted();
    return liveBlocks.Count();
}

void* AllocateHandedOverTaskMemory(SIZE_T bytes)
{
    return EnsureAccountingStarted() ? AllocateCounted(bytes) : nullptr;
}

AM_MEDIA_TYPE* HandOverMediaTypeCopy(const AM_MEDIA_TYPE& type)
{
    auto* record = static_cast<AM_MEDIA_TYPE*>(AllocateHandedOverTaskMemory(sizeof(AM_MEDIA_TYPE)));
    if (record == nullptr)
        return nullptr;
    *record = type;
    if (type.cbFormat != 0) {
        record->pbFormat = static_cast<BYTE*>(AllocateHandedOverTaskMemory(type.cbFormat));
        if (record->pbFormat == nullptr) {
            CoTaskMemFree(record);
            return nullptr;
        }
        std::memcpy(record->pbFormat, type.pbFormat, type.cbFormat);
    }
    if (record->pUnk != nullptr)
        record->pUnk->AddRef();
    return record;
}
