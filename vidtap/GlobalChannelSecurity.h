// The security of a channel in the global namespace, meant for a publisher running as a service and read from
// users' desktop sessions. Every block and the semaphore grant the publisher's account and the system all
// access; interactive users get only what a reader needs:
//   header and frame blocks   SECTION_QUERY | SECTION_MAP_READ                      (read)
//   sync block                SECTION_QUERY | SECTION_MAP_READ | SECTION_MAP_WRITE  (its count of waiting
//                                                                                    readers is written by them)
//   wake-up semaphore         SYNCHRONIZE                                           (wait)
// Nobody else gets anything (the DACL is protected from inheritance). Built once per channel, before its
// set-up; read-only afterwards, so any thread may use it.
#pragma once

#include <windows.h>

class GlobalChannelSecurity {
public:
    // Builds the three descriptors for the account this process runs as. The error of the call that failed
    // (E_OUTOFMEMORY included) leaves the object without descriptors.
    HRESULT Build();

    SECURITY_ATTRIBUTES* ReadOnlyBlocks() const { return Attributes(kReadOnlyBlocks); }
    SECURITY_ATTRIBUTES* SyncBlock() const { return Attributes(kSyncBlock); }
    SECURITY_ATTRIBUTES* WakeSemaphore() const { return Attributes(kWakeSemaphore); }

    // The rights interactive users are given, in the order above.
    static constexpr DWORD kReaderBlockRights = SECTION_QUERY | SECTION_MAP_READ;
    static constexpr DWORD kReaderSyncBlockRights = SECTION_QUERY | SECTION_MAP_READ | SECTION_MAP_WRITE;
    static constexpr DWORD kReaderWakeRights = SYNCHRONIZE;

    GlobalChannelSecurity() = default;
    // Frees the descriptors; the object owns them, so it is not copied.
    ~GlobalChannelSecurity();
    GlobalChannelSecurity(const GlobalChannelSecurity&) = delete;
    GlobalChannelSecurity& operator=(const GlobalChannelSecurity&) = delete;

private:
    enum Kind { kReadOnlyBlocks, kSyncBlock, kWakeSemaphore, kKinds };
    SECURITY_ATTRIBUTES* Attributes(Kind kind) const
    {
        return descriptors[kind] != nullptr ? &attributes[kind] : nullptr;
    }

    void Release();

    PSECURITY_DESCRIPTOR descriptors[kKinds] = {};        // LocalAlloc'd by the platform; freed here
    mutable SECURITY_ATTRIBUTES attributes[kKinds] = {};  // the platform takes them by non-const pointer
};
