// A thread for tests that drive an object from two threads at once: runs `body` on a thread of its own from
// construction on. Join() waits for it; Wait(ms) tells whether it has finished within `ms`, so a test can
// check that a call is still held up without waiting forever. The destructor joins. The body must not
// throw; it reports through variables the test reads after Join().
#pragma once

#include <windows.h>

#include <functional>
#include <utility>

class TestThread {
public:
    explicit TestThread(std::function<void()> body) : body(std::move(body))
    {
        handle = CreateThread(nullptr, 0, &TestThread::Run, this, 0, nullptr);
    }
    ~TestThread() { Join(); }
    TestThread(const TestThread&) = delete;
    TestThread& operator=(const TestThread&) = delete;

    bool Started() const { return handle != nullptr; }
    // True when the body has returned within `milliseconds`.
    bool Wait(DWORD milliseconds)
    {
        return handle == nullptr || WaitForSingleObject(handle, milliseconds) == WAIT_OBJECT_0;
    }
    void Join()
    {
        if (handle == nullptr)
            return;
        WaitForSingleObject(handle, INFINITE);
        CloseHandle(handle);
        handle = nullptr;
    }

private:
    static DWORD WINAPI Run(void* self)
    {
        static_cast<TestThread*>(self)->body();
        return 0;
    }

    std::function<void()> body;
    HANDLE handle = nullptr;
};
