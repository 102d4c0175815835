// The picture header of a media type's format block, taken out with bounds: a copy of its 40 bytes and the
// three fields the publisher decides on. A value, built per call on the caller's thread.
#pragma once

#include <cstddef>
#include <cstdint>

#include "CameraChannelLayout.h"

struct PictureDescription {
    bool present = false;  // false: the format block carries no (complete) picture header
    unsigned char header[kPictureHeaderSize] = {};
    int32_t width = 0;
    int32_t height = 0;
    uint16_t bitCount = 0;
    unsigned char subtype[16] = {};  // the media type's subtype GUID, as stored; zero when not known
};

// Reads the picture header found `headerOffset` bytes into a format block of `formatSize` bytes. Reads
// nothing outside the block: a null block, or one too short to hold the 40 bytes, gives `present` false.
PictureDescription DescribePicture(const unsigned char* formatBlock, uint32_t formatSize, size_t headerOffset);

// The bytes of a picture of |width| x |height| pixels at 3 bytes each, computed in 64 bits so that no
// geometry overflows.
uint64_t PublishedPictureBytes(int32_t width, int32_t height);
// True when a picture of |width| x |height| pixels at 3 bytes does not fit the frame block. Computed in
// 64 bits, so no geometry overflows.
bool FrameExceedsChannel(int32_t width, int32_t height);
