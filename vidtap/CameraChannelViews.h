// What a publisher needs of the camera channel: the mapped header block, the mapped frame block and the
// private scratch buffer, each with the number of bytes it may write there. A snapshot handed out by the
// channel's owner; the views stay mapped until the process ends, so a copy never dangles. The channel is
// usable only when all three are set.
#pragma once

#include <cstddef>

#include "CameraChannelLayout.h"

struct CameraChannelViews {
    CameraHeaderBlock* headerView = nullptr;
    unsigned char* frameView = nullptr;
    size_t frameCapacity = 0;
    unsigned char* scratchBuffer = nullptr;
    size_t scratchCapacity = 0;

    bool IsUsable() const { return headerView != nullptr && frameView != nullptr && scratchBuffer != nullptr; }
};
