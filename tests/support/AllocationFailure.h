// Allocation-failure injection for code linked into a test program: the replaced global operator new (all
// forms) fails at a chosen allocation, so every E_OUTOFMEMORY path of code that allocates with
// new (std::nothrow) can be reached. Counts only the calling thread's allocations while a scope is active.
#pragma once

#include "FailureInjectionScope.h"

class AllocationFailureScope : public FailureInjectionScope {
public:
    // The allocation numbered `failingAllocation` fails, as FailureInjectionScope numbers them.
    explicit AllocationFailureScope(int failingAllocation, bool failAllFollowing = false);
};
