// Which media types carry a picture header, where, and whether they announce a frame too large for the
// channel (the size limit itself is PictureDescriptionTest's).
#include <gtest/gtest.h>

#include "MediaTypePicture.h"
#include "VideoMediaType.h"

TEST(MediaTypePicture, EachVideoFormatKeepsTheHeaderAtItsOwnOffset)
{
    // VIDEOINFOHEADER's at byte 48, VIDEOINFOHEADER2's at byte 72.
    for (const GUID* formatType : {&FORMAT_VideoInfo, &FORMAT_MPEGVideo, &FORMAT_VideoInfo2, &FORMAT_MPEG2Video}) {
        const COwnedMediaType type = MakeVideoType(640, -480, 32, *formatType);
        const PictureDescription picture = DescribeMediaTypePicture(&type);
        ASSERT_TRUE(picture.present);
        EXPECT_EQ(picture.width, 640);
        EXPECT_EQ(picture.height, -480);
        EXPECT_EQ(picture.bitCount, 32);
        const BITMAPINFOHEADER announced = PictureOf(type);
        EXPECT_EQ(0, std::memcmp(picture.header, &announced, 40));
    }
}

TEST(MediaTypePicture, ShortMissingOrForeignFormatsHaveNoHeader)
{
    EXPECT_FALSE(DescribeMediaTypePicture(nullptr).present);
    // Format blocks that end with the header or one byte before; a VIDEOINFOHEADER-sized block announced as
    // VideoInfo2 ends before its header does.
    const struct {
        const GUID* formatType;
        ULONG size;
        bool present;
    } blocks[] = {{&FORMAT_VideoInfo, 88, true},   {&FORMAT_VideoInfo, 87, false}, {&FORMAT_VideoInfo2, 112, true},
                  {&FORMAT_VideoInfo2, 111, false}, {&FORMAT_VideoInfo2, 88, false}};
    for (const auto& block : blocks) {
        const COwnedMediaType type = MakeVideoType(8, 8, 16, *block.formatType, block.size);
        EXPECT_EQ(DescribeMediaTypePicture(&type).present, block.present) << block.size;
    }

    // Shallow copies of the record: `video` keeps owning the block.
    const COwnedMediaType video = MakeVideoType(8, 8, 16);
    AM_MEDIA_TYPE missing = video;
    missing.pbFormat = nullptr;
    EXPECT_FALSE(DescribeMediaTypePicture(&missing).present);

    for (const GUID* formatType : {&FORMAT_WaveFormatEx, &FORMAT_None, &GUID_NULL, &FORMAT_DvInfo}) {
        AM_MEDIA_TYPE foreign = video;
        foreign.formattype = *formatType;
        EXPECT_FALSE(DescribeMediaTypePicture(&foreign).present);
    }
}

TEST(MediaTypePicture, FramesAboveTheBlockSizeAreAnnounced)
{
    const COwnedMediaType largest = MakeVideoType(1920, -1080, 16);
    const COwnedMediaType tooHigh = MakeVideoType(1920, 1081, 16);
    const COwnedMediaType tooLargeVideoInfo2 = MakeVideoType(3840, 2160, 32, FORMAT_VideoInfo2);
    const COwnedMediaType withoutPicture = MakeVideoType(3840, 2160, 16, FORMAT_VideoInfo, 87);
    EXPECT_FALSE(MediaTypeExceedsCameraChannel(&largest));
    EXPECT_TRUE(MediaTypeExceedsCameraChannel(&tooHigh));
    EXPECT_TRUE(MediaTypeExceedsCameraChannel(&tooLargeVideoInfo2));
    // Without a picture header nothing is announced.
    EXPECT_FALSE(MediaTypeExceedsCameraChannel(&withoutPicture));
    EXPECT_FALSE(MediaTypeExceedsCameraChannel(nullptr));
}
