// A re-entrant lock on a Win32 critical section: the thread that holds it may take it again, and it becomes
// free for other threads after as many Unlock calls as Lock calls. Owned by whoever declares it; take it
// through CLockGuard.
#pragma once

#include <windows.h>

class CRecursiveLock {
public:
    CRecursiveLock() { InitializeCriticalSection(&section); }
    ~CRecursiveLock() { DeleteCriticalSection(&section); }
    CRecursiveLock(const CRecursiveLock&) = delete;
    CRecursiveLock& operator=(const CRecursiveLock&) = delete;

    void Lock() { EnterCriticalSection(&section); }
    void Unlock() { LeaveCriticalSection(&section); }

private:
    CRITICAL_SECTION section;
};
