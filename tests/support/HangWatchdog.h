// Turns a hang into a failure: if the scope has not ended `milliseconds` after it began, the watchdog
// prints what was being waited for and ends the process with exit code 3, so a deadlock between the threads
// of a test fails that test instead of stalling the run. Meant as a generous bound, never as a timing check.
#pragma once

#include <windows.h>

#include <cstdio>

#include "TestThread.h"

class HangWatchdog {
public:
    HangWatchdog(DWORD milliseconds, const char* what)
        : done(CreateEventW(nullptr, TRUE, FALSE, nullptr)), watcher([this, milliseconds, what] {
              if (WaitForSingleObject(done, milliseconds) != WAIT_TIMEOUT)
                  return;
              std::fprintf(stderr, "HANG: %s did not finish within %lu ms\n", what,
                           static_cast<unsigned long>(milliseconds));
              std::fflush(stderr);
              TerminateProcess(GetCurrentProcess(), 3);
          })
    {
    }
    ~HangWatchdog()
    {
        SetEvent(done);
        watcher.Join();
        CloseHandle(done);
    }
    HangWatchdog(const HangWatchdog&) = delete;
    HangWatchdog& operator=(const HangWatchdog&) = delete;

private:
    HANDLE done;  // first: the watcher waits on it from its start
    TestThread watcher;
};
