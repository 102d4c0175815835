// Fuzz target: the picture description read out of a peer's format block of any size at any offset (the
// block ends right before an inaccessible page, so a read past cbFormat faults), and the published size of
// any geometry. What it reads must be exactly the block's bytes, and sizes must not wrap.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "GuardedBuffer.h"
#include "PictureDescription.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size)
{
    static GuardedBuffer formatBlocks(1 << 16);
    FuzzedDataProvider in(bytes, size);
    const size_t offset = in.ConsumeBool() ? in.ConsumeIntegralInRange<size_t>(0, 200) : in.ConsumeIntegral<size_t>();
    const std::vector<unsigned char> contents = in.ConsumeRemainingBytes<unsigned char>();
    const uint32_t formatSize = static_cast<uint32_t>(std::min(contents.size(), formatBlocks.Size()));
    unsigned char* block = formatBlocks.Tail(formatSize);
    if (formatSize != 0)
        std::memcpy(block, contents.data(), formatSize);

    const PictureDescription picture = DescribePicture(formatSize == 0 ? nullptr : block, formatSize, offset);
    const bool holdsHeader = formatSize != 0 && offset <= formatSize && formatSize - offset >= kPictureHeaderSize;
    if (picture.present != holdsHeader)
        std::abort();
    if (!picture.present)
        return 0;
    int32_t width, height;
    uint16_t bitCount;
    std::memcpy(&width, block + offset + kPictureWidthOffset, sizeof width);
    std::memcpy(&height, block + offset + kPictureHeightOffset, sizeof height);
    std::memcpy(&bitCount, block + offset + kPictureBitCountOffset, sizeof bitCount);
    if (std::memcmp(picture.header, block + offset, kPictureHeaderSize) != 0 || picture.width != width ||
        picture.height != height || picture.bitCount != bitCount)
        std::abort();

    // The published size in exact 128-bit arithmetic.
    const auto magnitude = [](int32_t value) { return static_cast<unsigned __int128>(value < 0 ? -int64_t{value} : value); };
    const unsigned __int128 exact = magnitude(width) * magnitude(height) * 3;
    if (PublishedPictureBytes(width, height) != exact || FrameExceedsChannel(width, height) != (exact > kFrameBlockSize))
        std::abort();
    return 0;
}
