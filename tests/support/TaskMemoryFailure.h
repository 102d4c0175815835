// Task-memory failure injection and accounting. A scope makes a chosen CoTaskMemAlloc of the calling thread
// return null, so the E_OUTOFMEMORY paths of code that allocates task memory (format blocks, pin ids,
// enumerated media types) can be reached. Only requests made by this program's own code are counted and
// failed: the scope replaces the program's import of CoTaskMemAlloc (its import address table entry, on first
// use, for the program's life), so what the platform allocates for itself (the registry, the filter mapper,
// the type library loader) passes untouched. Only the calling thread's requests count, and only while a
// scope is active.
//
//   TaskMemoryFailureScope failure(0);   // the next CoTaskMemAlloc of this thread's code fails
//   EXPECT_EQ(copy.AssignFrom(source), E_OUTOFMEMORY);
//   EXPECT_TRUE(failure.FailureInjected());
//
// The accounting counts the blocks this program's code allocates (and those a double hands over through
// AllocateHandedOverTaskMemory) until they are freed, by whoever frees them: TaskMemoryBlocksAlive() tells how
// many are alive, so two readings show whether something in between leaked one. What the platform allocates
// for itself is not counted: its own caches and leaks do not disturb a test. Frees are seen through the
// platform's own hook, an IMallocSpy registered on first use and left registered; a reallocated block stays
// counted. CoTaskMemRealloc is never failed or counted as a request.
#pragma once

#include <windows.h>
#include <strmif.h>

#include "FailureInjectionScope.h"

class TaskMemoryFailureScope : public FailureInjectionScope {
public:
    // The request numbered `failingAllocation` fails, as FailureInjectionScope numbers them.
    explicit TaskMemoryFailureScope(int failingAllocation, bool failAllFollowing = false);
};

// Blocks this program's code allocated (or a double handed over) since the accounting started (the first
// call of either function below or the first scope) and nobody freed yet; -1 once more than 8192 were alive
// at one time (the count is then no longer kept).
LONG TaskMemoryBlocksAlive();
// For a double that hands a block to the code under test (a media type record, say): task memory allocated
// past the injection (never counted as a request, never failed) but counted alive until someone frees it.
void* AllocateHandedOverTaskMemory(SIZE_T bytes);
// A task-memory copy of `type` (record and format block, its pUnk counted once more) handed to the code under
// test, which frees it with MediaTypeDestroy; allocated as AllocateHandedOverTaskMemory allocates. Null when
// there is no memory.
AM_MEDIA_TYPE* HandOverMediaTypeCopy(const AM_MEDIA_TYPE& type);
