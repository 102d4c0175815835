// Turns a hang into a failure: if the scope has not ended `milliseconds` after it began, the watchdog
// prints what was being waited for and ends the process with exit code 3, so a deadlock between the threads
// of a test fails that test instead of stalling the run. Meant as a generous bound, never as a timing check.
#pragma once

#include <windows.h>

#include <cstdio>

class HangWatchdog {
public:
    HangWatchdog(DWORD milliseconds, const char* what) : milliseconds(milliseconds), what(what)
    {
        done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        thread = CreateThread(nullptr, 0, &HangWatchdog::Watch, this, 0, nullptr);
    }
    ~HangWatchdog()
    {
        SetEvent(done);
        if (thread != nullptr) {
            WaitForSingleObject(thread, INFINITE);
            CloseHandle(thread);
        }
        CloseHandle(done);
    }
    HangWatchdog(const HangWatchdog&) = delete;
    HangWatchdog& operator=(const HangWatchdog&) = delete;

private:
    static DWORD WINAPI Watch(void* argument)
    {
        auto* self = static_cast<HangWatchdog*>(argument);
        if (WaitForSingleObject(self->done, self->milliseconds) == WAIT_TIMEOUT) {
            std::fprintf(stderr, "HANG: %s did not finish within %lu ms\n", self->what,
                         static_cast<unsigned long>(self->milliseconds));
            std::fflush(stderr);
            TerminateProcess(GetCurrentProcess(), 3);
        }
        return 0;
    }

    DWORD milliseconds;
    const char* what;
    HANDLE done = nullptr;
    HANDLE thread = nullptr;
};
