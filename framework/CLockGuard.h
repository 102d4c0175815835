// Holds a CRecursiveLock for the length of a scope, so the lock is released on every return path.
#pragma once

#include "CRecursiveLock.h"

class CLockGuard {
public:
    explicit CLockGuard(CRecursiveLock* lock) : lock(lock) { lock->Lock(); }
    ~CLockGuard() { lock->Unlock(); }
    CLockGuard(const CLockGuard&) = delete;
    CLockGuard& operator=(const CLockGuard&) = delete;

private:
    CRecursiveLock* const lock;  // not owned
};
