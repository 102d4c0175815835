// What a publisher needs of the camera channel: the mapped header block, the mapped frame block and the
// private scratch buffer, each with the number of bytes it may write there, the record of what the scratch
// buffer is owed by one-pass publishing, and the channel's sync publisher. A snapshot handed out by the
// channel's owner; everything in it stays as long as the channel does (the default channel's until the process
// ends, a named channel's while a pin that publishes into it lives), so a pin's copy never dangles. The channel
// is usable only when the three views are set; without the record every frame takes the two-pass route.
#pragma once

#include <cstddef>

#include "CameraChannelLayout.h"
#include "CameraSyncPublisher.h"
#include "DeferredScratchRows.h"

struct CameraChannelViews {
    CameraHeaderBlock* headerView = nullptr;
    unsigned char* frameView = nullptr;
    size_t frameCapacity = 0;
    unsigned char* scratchBuffer = nullptr;
    size_t scratchCapacity = 0;
    DeferredScratchRows* deferredScratch = nullptr;
    CameraSyncPublisher* sync = nullptr;  // null: frames are published without the sync step

    bool IsUsable() const { return headerView != nullptr && frameView != nullptr && scratchBuffer != nullptr; }
};
