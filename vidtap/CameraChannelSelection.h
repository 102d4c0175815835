// Which camera channel one capture pin publishes into: the default channel, or the named channel its
// application chose through ITarnChannelName before the pin first checked a type it can carry. The pin owns
// one; it binds to its channel at that check and holds it (a counted use of a named channel) until the pin is
// destroyed.
// Threads: the name is set and read from any thread; the binding happens on the thread of the first type
// check. `selectionLock` (a leaf of CVidtap.h's lock table, above namedChannelsLock) guards the name and the
// binding; the bound channel is read without it by the streaming thread, since it never changes once set.
#pragma once

#include <windows.h>
#include <strmif.h>

#include "tarn_filters.h"

class CameraChannel;

class CameraChannelSelection {
public:
    // ITarnChannelName's two operations, with the results tarn_filters.h gives.
    HRESULT SetName(const wchar_t* name);
    HRESULT GetName(wchar_t* buffer, ULONG capacity);

    // Binds the channel (at the first call; the name is fixed from then on) and sets it up with
    // `proposedType` if it never was. For a named channel, the result of its set-up (a channel that cannot
    // be obtained refuses the type rather than publish nowhere); for the default channel S_OK whatever
    // happened, as its set-up never refuses a type. E_OUTOFMEMORY when a named channel cannot be created
    // (tried again at the next call).
    HRESULT SetUp(const AM_MEDIA_TYPE* proposedType);

    // The bound channel, or null before the first successful binding.
    CameraChannel* Channel() const { return __atomic_load_n(&bound, __ATOMIC_ACQUIRE); }

    CameraChannelSelection() = default;
    CameraChannelSelection(const CameraChannelSelection&) = delete;
    CameraChannelSelection& operator=(const CameraChannelSelection&) = delete;
    // Gives back the use of a named channel.
    ~CameraChannelSelection();

private:
    bool BoundToNamedChannel() const;

    SRWLOCK selectionLock = SRWLOCK_INIT;
    wchar_t name[TARN_CHANNEL_NAME_MAX_LENGTH + 1] = {};  // empty: the default channel
    bool nameFixed = false;
    CameraChannel* bound = nullptr;  // written once under selectionLock; a named channel unless the default
};
