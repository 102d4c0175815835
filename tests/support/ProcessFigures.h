// What the platform reports of this process's resources, for long runs that must leave them as they found
// them: private bytes, open handles and threads. Any thread.
//
// Where each figure comes from, and what Wine (8.0) gives there: private bytes are
// PROCESS_MEMORY_COUNTERS_EX::PrivateUsage, which Wine leaves 0, so then PagefileUsage (the same commit charge
// on Windows; Wine fills it). Handles are GetProcessHandleCount's, which Wine answers with 0, so then the
// entries of this process in the system handle table (NtQuerySystemInformation, SystemHandleInformation).
// Threads are counted in a Toolhelp32 snapshot.
#pragma once

#include <windows.h>

struct ProcessFigures {
    SIZE_T privateBytes = 0;
    DWORD handles = 0;
    DWORD threads = 0;
};

// The figures of the calling process now; a figure the platform gives in none of its ways stays 0.
ProcessFigures MeasureThisProcess();
