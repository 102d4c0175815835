// A FakeGraph whose event sink may be called from several threads at once, as a real graph's is (the
// streaming thread's end of stream and the control thread's Run both raise EC_COMPLETE). Notify calls are
// serialised; read `events` (or use EventCount) only when the threads are done.
#pragma once

#include <windows.h>

#include "FakeGraph.h"

class SerializedFakeGraph : public FakeGraph {
public:
    SerializedFakeGraph() { InitializeCriticalSection(&notifyLock); }
    ~SerializedFakeGraph() override { DeleteCriticalSection(&notifyLock); }

    HRESULT STDMETHODCALLTYPE Notify(LONG code, LONG_PTR param1, LONG_PTR param2) override
    {
        EnterCriticalSection(&notifyLock);
        HRESULT hr = FakeGraph::Notify(code, param1, param2);
        LeaveCriticalSection(&notifyLock);
        return hr;
    }

    size_t EventCount(LONG code)
    {
        EnterCriticalSection(&notifyLock);
        size_t count = 0;
        for (const Event& event : events)
            count += event.code == code ? 1 : 0;
        LeaveCriticalSection(&notifyLock);
        return count;
    }

private:
    CRITICAL_SECTION notifyLock;
};
