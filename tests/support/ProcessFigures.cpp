#include "ProcessFigures.h"

#include <psapi.h>
#include <tlhelp32.h>
#include <winternl.h>


namespace {

constexpr SYSTEM_INFORMATION_CLASS kSystemHandleInformation = static_cast<SYSTEM_INFORMATION_CLASS>(16);

// The layout of a SystemHandleInformation answer.
struct SystemHandleEntry {
    ULONG processId;
    UCHAR objectType;
    UCHAR flags;
    USHORT handle;
    PVOID object;
    ACCESS_MASK access;
};
struct SystemHandleTable {
    ULONG count;
    SystemHandleEntry entries[1];
};

// The answer is read into pages of its own, given back before returning: measuring leaves the process's
// heap, and so its private bytes, as they were.
DWORD SystemHandleTableEntriesOf(DWORD processId)
{
    for (SIZE_T bytes = 1 << 16; bytes <= (1 << 26); bytes *= 2) {
        void* answer = VirtualAlloc(nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
        if (answer == nullptr)
            return 0;
        ULONG needed = 0;
        const NTSTATUS status =
            NtQuerySystemInformation(kSystemHandleInformation, answer, static_cast<ULONG>(bytes), &needed);
        DWORD handles = 0;
        if (status == 0) {
            const auto* table = static_cast<const SystemHandleTable*>(answer);
            for (ULONG i = 0; i < table->count; ++i)
                handles += table->entries[i].processId == processId ? 1 : 0;
        }
        VirtualFree(answer, 0, MEM_RELEASE);
        // STATUS_INFO_LENGTH_MISMATCH: the table grew past the buffer.
        if (static_cast<ULONG>(status) != 0xC0000004u)
            return handles;
    }
    return 0;
}

DWORD ThreadsOf(DWORD processId)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return 0;
    DWORD threads = 0;
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        threads += entry.th32OwnerProcessID == processId ? 1 : 0;
    CloseHandle(snapshot);
    return threads;
}

}  // namespace

ProcessFigures MeasureThisProcess()
{
    ProcessFigures figures;
    PROCESS_MEMORY_COUNTERS_EX memory = {};
    memory.cb = sizeof memory;
    if (GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory))
        figures.privateBytes = memory.PrivateUsage != 0 ? memory.PrivateUsage : memory.PagefileUsage;
    // The snapshot's own handle is closed again before the handles are counted.
    figures.threads = ThreadsOf(GetCurrentProcessId());
    if (!GetProcessHandleCount(GetCurrentProcess(), &figures.handles) || figures.handles == 0)
        figures.handles = SystemHandleTableEntriesOf(GetCurrentProcessId());
    return figures;
}
