// Frames published through the module's entry point, seen through the named blocks: from this process and
// from a second one (the camreader tool, started while this process keeps the blocks alive).
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "CameraChannel.h"
#include "CameraChannelReader.h"
#include "CameraChannelTestSeam.h"
#include "ChildProgram.h"
#include "FramePublisher.h"
#include "PackedYuvConversion.h"
#include "PlatformProcess.h"
#include "TestPictures.h"

namespace {

// The command line that runs camreader with `arguments`.
std::wstring CamreaderCommand(const std::wstring& arguments)
{
    return L"\"" + WindowsPath(CAMREADER_EXE) + L"\" " + arguments;
}

std::wstring TempFile(const wchar_t* name)
{
    wchar_t directory[MAX_PATH];
    GetTempPathW(MAX_PATH, directory);
    return std::wstring(directory) + name;
}

}  // namespace

TEST(CameraChannelPublish, PublishingBeforeSetUpMakesNoChannelForAReaderToFind)
{
    const COwnedMediaType type = MakeVideoType(4, 2, 16);
    const std::vector<BYTE> frame = SeededYuy2Frame(4, 2, 1);
    PublishFrame(frame.data(), static_cast<ULONG>(frame.size()), &type);
    EXPECT_FALSE(CameraChannelReader::HeaderBlockExists());
    EXPECT_TRUE(CameraChannelSetUpPending());

    // A reader in another process says so clearly.
    ChildProgram reader(CamreaderCommand(L"\"" + TempFile(L"camera_channel_test_none.bmp") + L"\""));
    EXPECT_EQ(reader.ExitCode(), 2u) << reader.collected;
    EXPECT_NE(reader.collected.find("no camera channel"), std::string::npos) << reader.collected;
}

// Where the header sits in the format block is MediaTypePictureTest's; here the set-up and the publishing
// entry point both take it from there.
TEST(CameraChannelPublish, VideoInfo2TypeIsReadAtItsOwnOffset)
{
    const COwnedMediaType setUpType = MakeVideoType(6, 2, 16, FORMAT_VideoInfo2);
    SetUpCameraChannel(&setUpType);
    CameraChannelReader channel;
    ASSERT_TRUE(channel.Open());
    EXPECT_TRUE(SameHeader(channel.Format(), PublishedFormat(PictureOf(setUpType))));

    // A new size arriving with a VideoInfo2 connection refreshes the header from the right bytes.
    COwnedMediaType larger = MakeVideoType(8, 4, 16, FORMAT_MPEG2Video);
    reinterpret_cast<VIDEOINFOHEADER2*>(larger.pbFormat)->bmiHeader.biClrImportant = 7;  // the header's last field
    const std::vector<BYTE> frame = SeededYuy2Frame(8, 4, 1);
    PublishFrame(frame.data(), static_cast<ULONG>(frame.size()), &larger);
    EXPECT_TRUE(SameHeader(channel.Format(), PublishedFormat(PictureOf(larger))));
}

TEST(CameraChannelPublish, SecondProcessReadsTheFrameAsABitmap)
{
    // Six pixels wide: 18 bytes per row in the frame block, padded to 20 in the bitmap file.
    const COwnedMediaType type = MakeVideoType(6, 3, 16);
    SetUpCameraChannel(&type);
    const std::vector<BYTE> frame = SeededYuy2Frame(6, 3, 1);
    PublishFrame(frame.data(), static_cast<ULONG>(frame.size()), &type);

    const std::wstring bitmapPath = TempFile(L"camera_channel_test_frame.bmp");
    DeleteFileW(bitmapPath.c_str());
    ChildProgram reader(CamreaderCommand(L"\"" + bitmapPath + L"\""));
    ASSERT_EQ(reader.ExitCode(), 0u) << reader.collected;
    for (const char* line : {"initialised     1", "biWidth         6", "biBitCount      24",
                             "frameBlockName  tarn_kro_shared_camera_memeory0", "auxFloat0       0.15 (0x3E19999A)"})
        EXPECT_NE(reader.collected.find(line), std::string::npos) << reader.collected;

    std::ifstream bitmap(bitmapPath.c_str(), std::ios::binary);
    const std::vector<unsigned char> file((std::istreambuf_iterator<char>(bitmap)), std::istreambuf_iterator<char>());
    bitmap.close();
    ASSERT_EQ(file.size(), 14u + 40u + 3u * 20u);
    BITMAPFILEHEADER fileHeader;
    BITMAPINFOHEADER info;
    std::memcpy(&fileHeader, file.data(), sizeof fileHeader);
    std::memcpy(&info, file.data() + 14, sizeof info);
    EXPECT_EQ(fileHeader.bfType, 0x4D42);
    EXPECT_EQ(fileHeader.bfSize, file.size());
    EXPECT_EQ(fileHeader.bfOffBits, 54u);
    EXPECT_EQ(info.biWidth, 6);
    EXPECT_EQ(info.biHeight, 3);
    EXPECT_EQ(info.biBitCount, 24);
    EXPECT_EQ(info.biCompression, static_cast<DWORD>(BI_RGB));
    EXPECT_EQ(info.biSizeImage, 60u);
    const CameraChannelViews channel = SnapshotCameraChannel();
    for (size_t row = 0; row < 3; ++row) {
        EXPECT_EQ(0, std::memcmp(file.data() + 54 + row * 20, channel.frameView + row * 18, 18)) << "row " << row;
        EXPECT_EQ(file[54 + row * 20 + 18], 0);
        EXPECT_EQ(file[54 + row * 20 + 19], 0);
    }
    // The bitmap's bottom row (first in the file) is the source's last row, converted (the scratch buffer
    // holds nothing a one-pass publish did not need).
    unsigned char lastRow[18];
    ConvertPackedYuvGroups(frame.data() + 2 * 12, 3, lastRow, YuvConversionPath::Scalar);
    EXPECT_EQ(0, std::memcmp(file.data() + 54, lastRow, 18));
    DeleteFileW(bitmapPath.c_str());
}
