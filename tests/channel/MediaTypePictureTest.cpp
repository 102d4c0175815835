// Which media types carry a picture header, where, and whether they announce a frame too large for the
// channel.
#include <gtest/gtest.h>

#include "ChannelTestTypes.h"
#include "MediaTypePicture.h"

TEST(MediaTypePicture, VideoInfoTypesKeepTheHeaderAtByte48)
{
    for (const GUID* formatType : {&FORMAT_VideoInfo, &FORMAT_MPEGVideo}) {
        const COwnedMediaType type = MakeVideoType(640, -480, 16, *formatType);
        const PictureDescription picture = DescribeMediaTypePicture(&type);
        ASSERT_TRUE(picture.present);
        EXPECT_EQ(picture.width, 640);
        EXPECT_EQ(picture.height, -480);
        EXPECT_EQ(picture.bitCount, 16);
        const BITMAPINFOHEADER announced = PictureOf(type);
        EXPECT_EQ(0, std::memcmp(picture.header, &announced, 40));
    }
}

TEST(MediaTypePicture, VideoInfo2TypesKeepTheHeaderAtByte72)
{
    for (const GUID* formatType : {&FORMAT_VideoInfo2, &FORMAT_MPEG2Video}) {
        const COwnedMediaType type = MakeVideoType(720, 576, 32, *formatType);
        const PictureDescription picture = DescribeMediaTypePicture(&type);
        ASSERT_TRUE(picture.present);
        EXPECT_EQ(picture.width, 720);
        EXPECT_EQ(picture.height, 576);
        EXPECT_EQ(picture.bitCount, 32);
    }
}

TEST(MediaTypePicture, ShortMissingOrForeignFormatsHaveNoHeader)
{
    EXPECT_FALSE(DescribeMediaTypePicture(nullptr).present);
    EXPECT_TRUE(DescribeMediaTypePicture(RecordOf(MakeVideoType(8, 8, 16, FORMAT_VideoInfo, 88))).present);
    EXPECT_FALSE(DescribeMediaTypePicture(RecordOf(MakeVideoType(8, 8, 16, FORMAT_VideoInfo, 87))).present);
    EXPECT_TRUE(DescribeMediaTypePicture(RecordOf(MakeVideoType(8, 8, 16, FORMAT_VideoInfo2, 112))).present);
    EXPECT_FALSE(DescribeMediaTypePicture(RecordOf(MakeVideoType(8, 8, 16, FORMAT_VideoInfo2, 111))).present);
    // A VIDEOINFOHEADER-sized block announced as VideoInfo2 ends before its header does.
    EXPECT_FALSE(DescribeMediaTypePicture(RecordOf(MakeVideoType(8, 8, 16, FORMAT_VideoInfo2, 88))).present);

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
    EXPECT_FALSE(MediaTypeExceedsCameraChannel(RecordOf(MakeVideoType(1920, 1080, 16))));
    EXPECT_FALSE(MediaTypeExceedsCameraChannel(RecordOf(MakeVideoType(1920, -1080, 16))));
    EXPECT_TRUE(MediaTypeExceedsCameraChannel(RecordOf(MakeVideoType(1920, 1081, 16))));
    EXPECT_TRUE(MediaTypeExceedsCameraChannel(RecordOf(MakeVideoType(3840, 2160, 32, FORMAT_VideoInfo2))));
    EXPECT_TRUE(MediaTypeExceedsCameraChannel(RecordOf(MakeVideoType(LONG_MIN, LONG_MIN, 16))));
    // Without a picture header nothing is announced.
    EXPECT_FALSE(MediaTypeExceedsCameraChannel(RecordOf(MakeVideoType(3840, 2160, 16, FORMAT_VideoInfo, 87))));
    EXPECT_FALSE(MediaTypeExceedsCameraChannel(nullptr));
}
