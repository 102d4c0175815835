// The counting behind both failure injections (global operator new and task memory): numbers the requests
// a thread makes while a scope is active and says which one must fail. Each injection keeps one instance as
// thread_local state of its own, so other threads' requests never reach a test's count.
#pragma once

struct FailureInjectionCounter {
    bool active = false;
    int seen = 0;
    int failAt = -1;
    bool failAllFollowing = false;
    bool injected = false;

    // A new scope: request number `failingRequest` (0 = the next one) fails, and with `failAll` every later
    // one too; -1 fails nothing. An inactive counter counts nothing.
    void Start(bool enable, int failingRequest, bool failAll)
    {
        *this = FailureInjectionCounter{enable, 0, failingRequest, failAll, false};
    }
    void Stop() { active = false; }

    // Counts one request; true when it is the one (or one of those) chosen to fail.
    bool CountRequest()
    {
        if (!active)
            return false;
        int index = seen++;
        bool fail = index == failAt || (failAllFollowing && index > failAt);
        if (fail)
            injected = true;
        return fail;
    }
};
