// Which media types carry a picture header, where, and whether they announce a frame too large for the
// channel.
#include <gtest/gtest.h>

#include "ChannelTestTypes.h"
#include "MediaTypePicture.h"

TEST(MediaTypePicture, VideoInfoTypesKeepTheHeaderAtByte48)
{
    for (const GUID* formatType : {&FORMAT_VideoInfo, &FORMAT_MPEGVideo}) {
        const TestVideoType type(640, -480, 16, *formatType);
        const PictureDescription picture = DescribeMediaTypePicture(type.Type());
        ASSERT_TRUE(picture.present);
        EXPECT_EQ(picture.width, 640);
        EXPECT_EQ(picture.height, -480);
        EXPECT_EQ(picture.bitCount, 16);
        EXPECT_EQ(0, std::memcmp(picture.header, &type.Picture(), 40));
    }
}

TEST(MediaTypePicture, VideoInfo2TypesKeepTheHeaderAtByte72)
{
    for (const GUID* formatType : {&FORMAT_VideoInfo2, &FORMAT_MPEG2Video}) {
        const TestVideoType type(720, 576, 32, *formatType);
        const PictureDescription picture = DescribeMediaTypePicture(type.Type());
        ASSERT_TRUE(picture.present);
        EXPECT_EQ(picture.width, 720);
        EXPECT_EQ(picture.height, 576);
        EXPECT_EQ(picture.bitCount, 32);
    }
}

TEST(MediaTypePicture, ShortMissingOrForeignFormatsHaveNoHeader)
{
    EXPECT_FALSE(DescribeMediaTypePicture(nullptr).present);
    EXPECT_TRUE(DescribeMediaTypePicture(TestVideoType(8, 8, 16, FORMAT_VideoInfo, 88).Type()).present);
    EXPECT_FALSE(DescribeMediaTypePicture(TestVideoType(8, 8, 16, FORMAT_VideoInfo, 87).Type()).present);
    EXPECT_TRUE(DescribeMediaTypePicture(TestVideoType(8, 8, 16, FORMAT_VideoInfo2, 112).Type()).present);
    EXPECT_FALSE(DescribeMediaTypePicture(TestVideoType(8, 8, 16, FORMAT_VideoInfo2, 111).Type()).present);
    // A VIDEOINFOHEADER-sized block announced as VideoInfo2 ends before its header does.
    EXPECT_FALSE(DescribeMediaTypePicture(TestVideoType(8, 8, 16, FORMAT_VideoInfo2, 88).Type()).present);

    TestVideoType missing(8, 8, 16);
    missing.MutableType()->pbFormat = nullptr;
    EXPECT_FALSE(DescribeMediaTypePicture(missing.Type()).present);

    for (const GUID* formatType : {&FORMAT_WaveFormatEx, &FORMAT_None, &GUID_NULL, &FORMAT_DvInfo}) {
        TestVideoType foreign(8, 8, 16);
        foreign.MutableType()->formattype = *formatType;
        EXPECT_FALSE(DescribeMediaTypePicture(foreign.Type()).present);
    }
}

TEST(MediaTypePicture, FramesAboveTheBlockSizeAreAnnounced)
{
    EXPECT_FALSE(MediaTypeExceedsCameraChannel(TestVideoType(1920, 1080, 16).Type()));
    EXPECT_FALSE(MediaTypeExceedsCameraChannel(TestVideoType(1920, -1080, 16).Type()));
    EXPECT_TRUE(MediaTypeExceedsCameraChannel(TestVideoType(1920, 1081, 16).Type()));
    EXPECT_TRUE(MediaTypeExceedsCameraChannel(TestVideoType(3840, 2160, 32, FORMAT_VideoInfo2).Type()));
    EXPECT_TRUE(MediaTypeExceedsCameraChannel(TestVideoType(LONG_MIN, LONG_MIN, 16).Type()));
    // Without a picture header nothing is announced.
    EXPECT_FALSE(MediaTypeExceedsCameraChannel(TestVideoType(3840, 2160, 16, FORMAT_VideoInfo, 87).Type()));
    EXPECT_FALSE(MediaTypeExceedsCameraChannel(nullptr));
}
