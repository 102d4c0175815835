// The reader library on channels this test lays out itself (under names of its own, so these tests run beside
// any publisher): a sound channel, every kind of hostile header content, a header that changes during the
// copy, and the messages of the result codes.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "HandMadeChannel.h"
#include "TarnCameraReaderSeam.h"
#include "tarn_camera_channel.h"

namespace {

constexpr int kWidth = kHandMadeWidth;
constexpr int kHeight = kHandMadeHeight;
constexpr unsigned long kFrameBytes = kWidth * 3 * kHeight;

// Closes the reader it holds when the test ends, whatever the test's path.
struct OpenedReader {
    ~OpenedReader() { tarn_camera_reader_close(reader); }
    TarnCameraReader* reader = nullptr;
};

// The sound hand-made channel, opened.
class OpenedChannel : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(channel.Created());
        ASSERT_EQ(channel.Open(&opened.reader), TARN_CAMERA_OK);
    }

    HandMadeChannel channel;
    OpenedReader opened;
};

// Without a sync block the frame comes without a number and cannot be waited for (SyncReaderTest has the
// sync block's part).
TEST_F(OpenedChannel, CopiesTheAnnouncedPictureWithItsGeometryIntoABufferLargeEnough)
{
    EXPECT_STREQ(tarn_camera_reader_frame_block_name(opened.reader), ProcessUniqueName(L"tarn_reader_test_frame").c_str());
    EXPECT_EQ(tarn_camera_reader_frame_block_size(opened.reader), 16384u);  // the region VirtualQuery reports

    std::vector<unsigned char> buffer(kFrameBytes + 1, 0xEE);
    TarnCameraFrameInfo info = {};
    EXPECT_EQ(tarn_camera_reader_read(opened.reader, buffer.data(), kFrameBytes - 1, &info),
              TARN_CAMERA_BUFFER_TOO_SMALL);
    EXPECT_EQ(info.frameBytes, kFrameBytes) << "the size it needs";
    EXPECT_EQ(buffer, std::vector<unsigned char>(kFrameBytes + 1, 0xEE));

    ASSERT_EQ(tarn_camera_reader_read(opened.reader, buffer.data(), static_cast<unsigned long>(buffer.size()), &info),
              TARN_CAMERA_OK);
    EXPECT_EQ(info.width, kWidth);
    EXPECT_EQ(info.height, kHeight);
    EXPECT_EQ(info.frameBytes, kFrameBytes);
    EXPECT_EQ(0, std::memcmp(buffer.data(), channel.Frame(), kFrameBytes));
    EXPECT_EQ(buffer[kFrameBytes], 0xEE) << "wrote past the frame";
    EXPECT_EQ(info.flags, 0u);
    EXPECT_EQ(info.frameNumber, 0u);
    EXPECT_EQ(tarn_camera_reader_wait(opened.reader, 1000), TARN_CAMERA_NO_SYNC_BLOCK);
}

TEST(CameraReader, NoHeaderBlockMeansNoChannel)
{
    OpenedReader opened;
    EXPECT_EQ(tarn_camera_reader_open(ProcessUniqueName(L"tarn_reader_test_absent").c_str(), &opened.reader),
              TARN_CAMERA_NO_CHANNEL);
    EXPECT_EQ(opened.reader, nullptr);
}

// Hostile header contents: each is refused with its own result, by open or by read, and nothing crashes (an
// access violation would end the test process).
struct HostileHeader {
    const char* label;
    std::function<void(HandMadeChannel&)> spoil;
    TarnCameraResult openResult;
    TarnCameraResult readResult;  // when open succeeds
    DWORD frameBlockBytes = 16384;
};

void PrintTo(const HostileHeader& hostile, std::ostream* out)
{
    *out << hostile.label;
}

class CameraReaderHostile : public testing::TestWithParam<HostileHeader> {};

TEST_P(CameraReaderHostile, IsRefusedWithItsOwnResult)
{
    const HostileHeader& hostile = GetParam();
    HandMadeChannel channel(hostile.frameBlockBytes);
    ASSERT_TRUE(channel.Created());
    hostile.spoil(channel);
    OpenedReader opened;
    ASSERT_EQ(channel.Open(&opened.reader), hostile.openResult);
    if (hostile.openResult != TARN_CAMERA_OK) {
        EXPECT_EQ(opened.reader, nullptr);
        return;
    }
    std::vector<unsigned char> buffer(TARN_CAMERA_FRAME_BLOCK_SIZE);
    TarnCameraFrameInfo info = {};
    EXPECT_EQ(tarn_camera_reader_read(opened.reader, buffer.data(), static_cast<unsigned long>(buffer.size()), &info),
              hostile.readResult);
    EXPECT_EQ(info.frameBytes, 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Headers, CameraReaderHostile,
    testing::Values(
        HostileHeader{"NameWithoutTerminator",
                      [](HandMadeChannel& c) {
                          for (unsigned short& unit : c.Header().frameBlockName)
                              unit = L'x';
                      },
                      TARN_CAMERA_NAME_UNTERMINATED, TARN_CAMERA_OK},
        HostileHeader{"EmptyName", [](HandMadeChannel& c) { c.NameFrameBlock(L""); }, TARN_CAMERA_NAME_EMPTY,
                      TARN_CAMERA_OK},
        HostileHeader{"NameOfAMissingBlock",
                      [](HandMadeChannel& c) { c.NameFrameBlock(ProcessUniqueName(L"tarn_reader_test_missing")); },
                      TARN_CAMERA_NO_FRAME_BLOCK, TARN_CAMERA_OK},
        // 65536 * 3 * 65536 is 0 in 32-bit arithmetic.
        HostileHeader{"GeometryThatWrapsToZeroIn32Bits", [](HandMadeChannel& c) { c.SetGeometry(65536, 65536); },
                      TARN_CAMERA_OK, TARN_CAMERA_FRAME_TOO_LARGE},
        HostileHeader{"LargestGeometry", [](HandMadeChannel& c) { c.SetGeometry(0x7FFFFFFF, 0x7FFFFFFF); },
                      TARN_CAMERA_OK, TARN_CAMERA_FRAME_TOO_LARGE},
        HostileHeader{"NegativeWidth", [](HandMadeChannel& c) { c.SetGeometry(-64, 48); }, TARN_CAMERA_OK,
                      TARN_CAMERA_BAD_GEOMETRY},
        HostileHeader{"NegativeHeight", [](HandMadeChannel& c) { c.SetGeometry(64, -48); }, TARN_CAMERA_OK,
                      TARN_CAMERA_BAD_GEOMETRY},
        HostileHeader{"ZeroWidth", [](HandMadeChannel& c) { c.SetGeometry(0, 48); }, TARN_CAMERA_OK,
                      TARN_CAMERA_BAD_GEOMETRY},
        // 64 x 48 x 3 = 9216 bytes announced, one page mapped.
        HostileHeader{"BlockSmallerThanAnnounced", [](HandMadeChannel&) {}, TARN_CAMERA_OK,
                      TARN_CAMERA_FRAME_TOO_LARGE, 4096},
        HostileHeader{"SixteenBitPicture", [](HandMadeChannel& c) { c.Header().format.biBitCount = 16; },
                      TARN_CAMERA_OK, TARN_CAMERA_UNSUPPORTED_FORMAT}),
    [](const testing::TestParamInfo<HostileHeader>& info) { return std::string(info.param.label); });

TEST_F(OpenedChannel, HeaderNamingAnotherBlockAfterOpenIsReportedAsRenamed)
{
    channel.NameFrameBlock(L"tarn_kro_shared_camera_memeory01");
    std::vector<unsigned char> buffer(kFrameBytes);
    EXPECT_EQ(tarn_camera_reader_read(opened.reader, buffer.data(), kFrameBytes, nullptr),
              TARN_CAMERA_FRAME_BLOCK_RENAMED);
}

// Rewrites the header's width after the copy: every time, or only the first time.
struct WidthChanger {
    HandMadeChannel* channel;
    bool everyTime;
    int calls = 0;

    static void AfterCopy(void* context)
    {
        auto* changer = static_cast<WidthChanger*>(context);
        if (changer->everyTime || changer->calls == 0)
            changer->channel->Header().format.biWidth = changer->calls % 2 == 0 ? kWidth / 2 : kWidth;
        ++changer->calls;
    }
};

// A header changed once during a copy is read again with its new geometry; one changing during every copy is
// reported as changing after a bounded number of attempts.
TEST_F(OpenedChannel, HeaderChangingDuringACopyIsReadAgainUpToABound)
{
    std::vector<unsigned char> buffer(kFrameBytes);
    WidthChanger once{&channel, false};
    TarnCameraFrameInfo info = {};
    EXPECT_EQ(ReadFrameWithHook(opened.reader, buffer.data(), kFrameBytes, &info, &WidthChanger::AfterCopy, &once),
              TARN_CAMERA_OK);
    EXPECT_EQ(once.calls, 2);
    EXPECT_EQ(info.width, kWidth / 2);
    EXPECT_EQ(info.frameBytes, kFrameBytes / 2);

    channel.SetGeometry(kWidth, kHeight);
    WidthChanger always{&channel, true};
    EXPECT_EQ(ReadFrameWithHook(opened.reader, buffer.data(), kFrameBytes, nullptr, &WidthChanger::AfterCopy, &always),
              TARN_CAMERA_CHANGING);
    EXPECT_EQ(always.calls, kFrameCopyAttempts);
}

TEST(CameraReader, EveryResultHasAMessageOfItsOwn)
{
    std::set<std::string> messages;
    for (int code = TARN_CAMERA_OK; code <= TARN_CAMERA_SYNC_BROKEN; ++code) {
        const char* message = tarn_camera_result_message(static_cast<TarnCameraResult>(code));
        ASSERT_NE(message, nullptr);
        EXPECT_NE(message[0], '\0') << code;
        messages.insert(message);
    }
    EXPECT_EQ(messages.size(), static_cast<size_t>(TARN_CAMERA_SYNC_BROKEN) + 1);
    EXPECT_STREQ(tarn_camera_result_message(static_cast<TarnCameraResult>(999)), "unknown result code");
}

}  // namespace
