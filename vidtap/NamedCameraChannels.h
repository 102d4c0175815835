// The module's named camera channels: one CameraChannel per channel name (see CameraChannelKey), created for
// the first instance that publishes into it and destroyed, with everything its set-up obtained, when the last
// one lets it go. Any thread. `namedChannelsLock` (a leaf of CVidtap.h's lock table) guards the table and the
// counts; a channel is created and destroyed under it, but never set up or published into under it.
#pragma once

#include <windows.h>

class CameraChannel;

// The channel named `name` (valid by CameraChannelNameValid), with one more use counted: S_OK and *channel,
// or E_OUTOFMEMORY, or the failure of building a global channel's security (*channel null).
HRESULT AcquireNamedCameraChannel(const wchar_t* name, CameraChannel** channel);

// Gives back a use `AcquireNamedCameraChannel` counted; the last one destroys the channel.
void ReleaseNamedCameraChannel(CameraChannel* channel);
