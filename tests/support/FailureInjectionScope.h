// What both failure injections share (AllocationFailureScope for the global operator new,
// TaskMemoryFailureScope for task memory): while a scope is active, the requests of its thread are numbered
// and the chosen one fails. Each injection keeps one Counter as thread_local state of its own, so other
// threads' requests never reach a test's count.
#pragma once

class FailureInjectionScope {
public:
    struct Counter {
        bool active = false;
        int seen = 0;
        int failAt = -1;
        bool failAllFollowing = false;
        bool injected = false;

        // Counts one request; true when it is the one (or one of those) chosen to fail.
        bool CountRequest()
        {
            if (!active)
                return false;
            const int index = seen++;
            const bool fail = index == failAt || (failAllFollowing && index > failAt);
            injected = injected || fail;
            return fail;
        }
    };

    FailureInjectionScope(const FailureInjectionScope&) = delete;
    FailureInjectionScope& operator=(const FailureInjectionScope&) = delete;

    // Requests seen on this thread since the scope began (failed ones included).
    int AllocationsSeen() const { return counter.seen; }
    // Whether the chosen request has been reached, so a test of a failure path cannot silently miss it.
    bool FailureInjected() const { return counter.injected; }

protected:
    // The request numbered `failingRequest` (0 = the next one) made on this thread inside the scope fails;
    // with `failAllFollowing` every later one fails too; -1 fails nothing and only counts. A scope that could
    // not be `enabled` counts nothing.
    FailureInjectionScope(Counter& counter, bool enabled, int failingRequest, bool failAllFollowing)
        : counter(counter)
    {
        counter = Counter{enabled, 0, failingRequest, failAllFollowing, false};
    }
    ~FailureInjectionScope() { counter.active = false; }

private:
    Counter& counter;
};
