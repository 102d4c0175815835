// The reader library on the real channel: the module's own channel code publishes its 1920 x 1080 test
// pattern from another process (testpattern_publisher), and this process, or the README's reader example as a
// third one, reads it by the channel's real names.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "ChildProgram.h"
#include "PlatformProcess.h"
#include "tarn_camera_channel.h"

namespace {

class PublishedChannel : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(publisher.WaitForOutput("ready")) << publisher.collected; }
    void TearDown() override
    {
        ChildProgram stop(L"\"" + WindowsPath(PUBLISHER_EXE) + L"\" --stop");
        EXPECT_EQ(stop.ExitCode(), 0u) << stop.collected;
        EXPECT_EQ(publisher.ExitCode(), 0u) << publisher.collected;
    }

    ChildProgram publisher{L"\"" + WindowsPath(PUBLISHER_EXE) + L"\""};
};

// Blue, green, red of the picture's pixel (x, y), counted from the top-left, in a bottom-up frame.
std::vector<unsigned char> PixelAt(const std::vector<unsigned char>& frame, const TarnCameraFrameInfo& info, int x, int y)
{
    const size_t offset = (static_cast<size_t>(info.height - 1 - y) * info.width + x) * 3;
    return {frame[offset], frame[offset + 1], frame[offset + 2]};
}

TEST_F(PublishedChannel, ReaderSeesThePatternRightWayUpInBlueGreenRed)
{
    TarnCameraReader* reader = nullptr;
    ASSERT_EQ(tarn_camera_reader_open(nullptr, &reader), TARN_CAMERA_OK);
    EXPECT_STREQ(tarn_camera_reader_frame_block_name(reader), L"tarn_kro_shared_camera_memeory0");
    std::vector<unsigned char> frame(TARN_CAMERA_FRAME_BLOCK_SIZE);
    TarnCameraFrameInfo info = {};
    const TarnCameraResult read =
        tarn_camera_reader_read(reader, frame.data(), static_cast<unsigned long>(frame.size()), &info);
    tarn_camera_reader_close(reader);
    ASSERT_EQ(read, TARN_CAMERA_OK) << tarn_camera_result_message(read);
    EXPECT_EQ(info.width, 1920);
    EXPECT_EQ(info.height, 1080);
    EXPECT_EQ(info.frameBytes, TARN_CAMERA_FRAME_BLOCK_SIZE);
    // The white square at the top left, the first (75% white) bar, the second (yellow) bar.
    EXPECT_EQ(PixelAt(frame, info, 0, 0), (std::vector<unsigned char>{254, 254, 254}));
    EXPECT_EQ(PixelAt(frame, info, 200, 200), (std::vector<unsigned char>{190, 190, 190}));
    EXPECT_EQ(PixelAt(frame, info, 400, 200), (std::vector<unsigned char>{0, 191, 192}));
}

TEST_F(PublishedChannel, ReaderExampleRunsAgainstIt)
{
    ChildProgram example(L"\"" + WindowsPath(READER_EXAMPLE_EXE) + L"\"");
    EXPECT_EQ(example.ExitCode(), 0u) << example.collected;
    EXPECT_NE(example.collected.find("1920 x 1080, top-left pixel B 254 G 254 R 254"), std::string::npos)
        << example.collected;
}

}  // namespace
