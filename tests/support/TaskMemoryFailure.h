// Task-memory failure injection: makes a chosen CoTaskMemAlloc of the calling thread return null, so the
// E_OUTOFMEMORY paths of code that allocates task memory (format blocks, pin ids, enumerated media types)
// can be reached. Uses the platform's own hook, an IMallocSpy registered once per process on first use and
// left registered; only the calling thread's requests are counted, and only while a scope is active.
//
//   TaskMemoryFailureScope failure(0);   // the next CoTaskMemAlloc on this thread fails
//   EXPECT_EQ(copy.AssignFrom(source), E_OUTOFMEMORY);
//   EXPECT_TRUE(failure.FailureInjected());
//
// Requests for 0 bytes are neither counted nor failed: the platform does not let a spy fail them.
// CoTaskMemRealloc is not counted.
#pragma once

class TaskMemoryFailureScope {
public:
    // The request numbered `failingAllocation` (0 = the next one) made on this thread inside the scope fails;
    // with `failAllFollowing` every later one fails too. -1 fails nothing and only counts.
    explicit TaskMemoryFailureScope(int failingAllocation, bool failAllFollowing = false);
    ~TaskMemoryFailureScope();
    TaskMemoryFailureScope(const TaskMemoryFailureScope&) = delete;
    TaskMemoryFailureScope& operator=(const TaskMemoryFailureScope&) = delete;

    // Requests seen on this thread since the scope began (failed ones included).
    int AllocationsSeen() const;
    // Whether the chosen request has been reached, so a test of a failure path cannot silently miss it.
    bool FailureInjected() const;
};
