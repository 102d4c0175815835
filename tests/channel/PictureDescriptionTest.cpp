// Picture headers taken out of format blocks with bounds, and the channel's size limit.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <vector>

#include "PictureDescription.h"

namespace {

// A format block of exactly `size` bytes (the sanitizer catches a read past it) with a picture header of
// width 640, height -480, 16 bits at `offset` when it fits.
std::vector<unsigned char> FormatBlock(size_t size, size_t offset)
{
    std::vector<unsigned char> block(size, 0xEE);
    if (offset + kPictureHeaderSize <= size) {
        const int32_t width = 640, height = -480;
        const uint16_t bits = 16;
        std::memcpy(&block[offset + kPictureWidthOffset], &width, 4);
        std::memcpy(&block[offset + kPictureHeightOffset], &height, 4);
        std::memcpy(&block[offset + kPictureBitCountOffset], &bits, 2);
    }
    return block;
}

}  // namespace

TEST(PictureDescription, HeaderIsReadOnlyWhenTheBlockHoldsIt)
{
    for (size_t offset : {size_t{48}, size_t{72}}) {
        const std::vector<unsigned char> exact = FormatBlock(offset + 40, offset);
        const PictureDescription picture = DescribePicture(exact.data(), static_cast<uint32_t>(exact.size()), offset);
        ASSERT_TRUE(picture.present);
        EXPECT_EQ(picture.width, 640);
        EXPECT_EQ(picture.height, -480);
        EXPECT_EQ(picture.bitCount, 16);
        EXPECT_EQ(std::memcmp(picture.header, exact.data() + offset, 40), 0);

        const std::vector<unsigned char> shortBlock = FormatBlock(offset + 39, offset);
        EXPECT_FALSE(DescribePicture(shortBlock.data(), static_cast<uint32_t>(shortBlock.size()), offset).present);
    }
}

TEST(PictureDescription, MissingOrTinyBlocksHaveNoHeader)
{
    const std::vector<unsigned char> tiny = FormatBlock(8, 48);
    EXPECT_FALSE(DescribePicture(nullptr, 88, 48).present);
    EXPECT_FALSE(DescribePicture(tiny.data(), 8, 48).present);  // offset beyond the block
    EXPECT_FALSE(DescribePicture(tiny.data(), 0, 0).present);
}

TEST(PictureDescription, ChannelLimitIsTheFrameBlock)
{
    EXPECT_FALSE(FrameExceedsChannel(1920, 1080));
    EXPECT_FALSE(FrameExceedsChannel(-1920, -1080));
    EXPECT_TRUE(FrameExceedsChannel(1920, 1081));
    EXPECT_TRUE(FrameExceedsChannel(-1921, 1080));
    EXPECT_TRUE(FrameExceedsChannel(1920, -1081));
    EXPECT_FALSE(FrameExceedsChannel(2073600, 1));
    EXPECT_TRUE(FrameExceedsChannel(2073601, 1));
    EXPECT_FALSE(FrameExceedsChannel(0, INT_MIN));
    // Products that would overflow 32 (or naive 64-bit signed) arithmetic.
    EXPECT_TRUE(FrameExceedsChannel(INT_MIN, INT_MIN));
    EXPECT_TRUE(FrameExceedsChannel(INT_MIN, 1));
    EXPECT_TRUE(FrameExceedsChannel(0x40000000, 4));
    EXPECT_TRUE(FrameExceedsChannel(INT_MAX, INT_MAX));
    EXPECT_TRUE(FrameExceedsChannel(65536, 65536));
}
