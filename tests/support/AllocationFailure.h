// Allocation-failure injection for code linked into a test program: the replaced global operator new (all
// forms) fails at a chosen allocation, so every E_OUTOFMEMORY path of code that allocates with
// new (std::nothrow) can be reached. Counts only the calling thread's allocations while a scope is active.
#pragma once

#include <cstddef>

class AllocationFailureScope {
public:
    // The allocation numbered `failingAllocation` (0 = the next one) made on this thread inside the scope
    // fails; with `failAllFollowing` every later one fails too. -1 fails nothing and only counts.
    explicit AllocationFailureScope(int failingAllocation, bool failAllFollowing = false);
    ~AllocationFailureScope();
    AllocationFailureScope(const AllocationFailureScope&) = delete;
    AllocationFailureScope& operator=(const AllocationFailureScope&) = delete;

    // Allocations seen on this thread since the scope began (failed ones included).
    int AllocationsSeen() const;
    // Whether the chosen allocation has been reached (a test that expects a failure path checks this, so
    // the injection cannot silently miss).
    bool FailureInjected() const;
};
