#include "NamedCameraChannels.h"

#include <cwchar>
#include <new>

#include "CameraChannel.h"
#include "CameraChannelName.h"
#include "CameraChannelTestSeam.h"
#include "tarn_filters.h"

namespace {

// One named channel, its name and its uses; a channel in the global namespace owns its security, which its
// blocks are created with.
struct NamedChannel {
    NamedChannel* next = nullptr;
    unsigned uses = 0;
    wchar_t key[TARN_CHANNEL_NAME_MAX_LENGTH + 1] = {};
    GlobalChannelSecurity security;  // built only for a global channel; declared before the channel using it
    CameraChannel* channel = nullptr;

    ~NamedChannel() { delete channel; }
};

SRWLOCK namedChannelsLock = SRWLOCK_INIT;
NamedChannel* namedChannels = nullptr;  // guarded by namedChannelsLock

// A new entry for `name`, its channel not yet set up, or null with the reason in *hr.
NamedChannel* CreateNamedChannel(const wchar_t* name, HRESULT* hr)
{
    NamedChannel* entry = new (std::nothrow) NamedChannel;
    if (entry == nullptr) {
        *hr = E_OUTOFMEMORY;
        return nullptr;
    }
    std::wcscpy(entry->key, CameraChannelKey(name));
    const bool global = CameraChannelNameIsGlobal(name);
    if (global && FAILED(*hr = entry->security.Build())) {
        delete entry;
        return nullptr;
    }
    wchar_t frameBlockBase[TARN_CHANNEL_NAME_MAX_LENGTH + sizeof kFrameBlockSuffix / sizeof(wchar_t)];
    std::wcscpy(frameBlockBase, name);
    std::wcscat(frameBlockBase, kFrameBlockSuffix);
    entry->channel = new (std::nothrow) CameraChannel(name, frameBlockBase, global ? &entry->security : nullptr);
    if (entry->channel == nullptr) {
        delete entry;
        *hr = E_OUTOFMEMORY;
        return nullptr;
    }
    return entry;
}

}  // namespace

HRESULT AcquireNamedCameraChannel(const wchar_t* name, CameraChannel** channel)
{
    *channel = nullptr;
    HRESULT hr = S_OK;
    AcquireSRWLockExclusive(&namedChannelsLock);
    NamedChannel* entry = namedChannels;
    while (entry != nullptr && std::wcscmp(entry->key, CameraChannelKey(name)) != 0)
        entry = entry->next;
    if (entry == nullptr && (entry = CreateNamedChannel(name, &hr)) != nullptr) {
        entry->next = namedChannels;
        namedChannels = entry;
    }
    if (entry != nullptr) {
        ++entry->uses;
        *channel = entry->channel;
    }
    ReleaseSRWLockExclusive(&namedChannelsLock);
    return hr;
}

void ReleaseNamedCameraChannel(CameraChannel* channel)
{
    NamedChannel* released = nullptr;
    AcquireSRWLockExclusive(&namedChannelsLock);
    for (NamedChannel** link = &namedChannels; *link != nullptr; link = &(*link)->next) {
        if ((*link)->channel == channel) {
            if (--(*link)->uses == 0) {
                released = *link;
                *link = released->next;
            }
            break;
        }
    }
    ReleaseSRWLockExclusive(&namedChannelsLock);
    // Nobody publishes into it any more, so it can go outside the lock: unmapping and closing call nothing back.
    delete released;
}

unsigned NamedCameraChannelCount()
{
    unsigned count = 0;
    AcquireSRWLockShared(&namedChannelsLock);
    for (const NamedChannel* entry = namedChannels; entry != nullptr; entry = entry->next)
        ++count;
    ReleaseSRWLockShared(&namedChannelsLock);
    return count;
}
