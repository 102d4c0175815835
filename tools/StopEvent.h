// The named event through which a running tool (the demo's producers) is told from another process to stop:
// the running instance creates it and waits on it, "<tool> --stop" signals it. The name also keeps a second
// instance from starting. Used on the tool's main thread only.
#pragma once

#include <windows.h>

#include <cstdio>

// The event for the running instance, not yet signalled; null (with a message on stderr) when it cannot be
// created or another instance already holds it.
inline HANDLE CreateStopEvent(const wchar_t* eventName, const char* program)
{
    HANDLE stopEvent = CreateEventW(nullptr, TRUE, FALSE, eventName);
    if (stopEvent != nullptr && GetLastError() != ERROR_ALREADY_EXISTS)
        return stopEvent;
    std::fprintf(stderr, "%s: another %s is running (or the stop event is taken)\n", program, program);
    if (stopEvent != nullptr)
        CloseHandle(stopEvent);
    return nullptr;
}

// Signals the running instance: the exit code of "<tool> --stop", 0, or 1 (with a message) when none runs.
inline int SignalStopEvent(const wchar_t* eventName, const char* program)
{
    HANDLE stopEvent = OpenEventW(EVENT_MODIFY_STATE, FALSE, eventName);
    if (stopEvent == nullptr) {
        std::fprintf(stderr, "%s: no %s is running\n", program, program);
        return 1;
    }
    SetEvent(stopEvent);
    CloseHandle(stopEvent);
    return 0;
}
