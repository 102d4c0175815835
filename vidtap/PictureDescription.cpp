#include "PictureDescription.h"

#include <cstring>

namespace {

uint64_t Magnitude(int32_t value)
{
    const int64_t wide = value;
    return static_cast<uint64_t>(wide < 0 ? -wide : wide);
}

}  // namespace

PictureDescription DescribePicture(const unsigned char* formatBlock, uint32_t formatSize, size_t headerOffset)
{
    PictureDescription picture;
    if (formatBlock == nullptr || headerOffset > formatSize || formatSize - headerOffset < kPictureHeaderSize)
        return picture;
    std::memcpy(picture.header, formatBlock + headerOffset, kPictureHeaderSize);
    std::memcpy(&picture.width, picture.header + kPictureWidthOffset, sizeof picture.width);
    std::memcpy(&picture.height, picture.header + kPictureHeightOffset, sizeof picture.height);
    std::memcpy(&picture.bitCount, picture.header + kPictureBitCountOffset, sizeof picture.bitCount);
    picture.present = true;
    return picture;
}

uint64_t PublishedPictureBytes(int32_t width, int32_t height)
{
    // At most 2^31 x 2^31 x 3 < 2^64: no wrap.
    return Magnitude(width) * Magnitude(height) * 3;
}

bool FrameExceedsChannel(int32_t width, int32_t height)
{
    return PublishedPictureBytes(width, height) > kFrameBlockSize;
}
