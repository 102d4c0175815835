// The viewer's frame source on channels the test lays out itself: when it waits, what it shows (and in which
// row layout GDI gets it), what counts as a change, and how it follows a publisher that changes geometry,
// renames its frame block, announces a picture the reader refuses, or goes away.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "ChannelFrameSource.h"
#include "HandMadeChannel.h"
#include "HandMadeSyncBlock.h"

namespace {

constexpr size_t kRowBytes = kHandMadeWidth * 3;

class ChannelFrameSourceTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(channel->Created()); }

    // Whether the source shows the channel's current frame, row by row in GDI's layout (rows padded to 4 bytes).
    void ExpectShowsTheFrame(int width, int height)
    {
        ASSERT_TRUE(source.HasPicture());
        EXPECT_EQ(source.Status().width, width);
        EXPECT_EQ(source.Status().height, height);
        const BITMAPINFOHEADER& info = source.PictureInfo().bmiHeader;
        EXPECT_EQ(info.biWidth, width);
        EXPECT_EQ(info.biHeight, height);
        EXPECT_EQ(info.biBitCount, 24);
        const size_t rowBytes = static_cast<size_t>(width) * 3;
        const size_t stride = (rowBytes + 3) & ~static_cast<size_t>(3);
        const unsigned char* rows = static_cast<const unsigned char*>(source.PictureRows());
        for (int row = 0; row < height; ++row)
            ASSERT_EQ(0, std::memcmp(rows + row * stride, channel->Frame() + row * rowBytes, rowBytes)) << "row " << row;
    }

    std::unique_ptr<HandMadeChannel> channel = std::make_unique<HandMadeChannel>();
    ChannelFrameSource source{channel->HeaderBlockName()};
};

TEST(ChannelFrameSource, WaitsWithoutAChannelAndTriesAgainEveryRetryPeriod)
{
    ChannelFrameSource source(ProcessUniqueName(L"tarn_reader_test_info"));
    EXPECT_FALSE(source.Poll(0));
    EXPECT_EQ(source.Status().state, ViewState::Waiting);
    EXPECT_EQ(source.Status().result, TARN_CAMERA_NO_CHANNEL);
    EXPECT_EQ(source.PictureRows(), nullptr);

    HandMadeChannel channel;
    ASSERT_TRUE(channel.Created());
    source.Poll(ChannelFrameSource::kRetryMs - 1);
    EXPECT_EQ(source.Status().state, ViewState::Waiting) << "tried again before the retry period";
    EXPECT_TRUE(source.Poll(ChannelFrameSource::kRetryMs));
    EXPECT_EQ(source.Status().state, ViewState::Showing);
    EXPECT_EQ(source.Status().frameBlockName, channel.FrameBlockName());
}

TEST_F(ChannelFrameSourceTest, ShowsTheFrameAndCountsNewContentOrGeometryAsAChange)
{
    EXPECT_TRUE(source.Poll(0));
    ExpectShowsTheFrame(kHandMadeWidth, kHandMadeHeight);
    EXPECT_FALSE(source.Poll(16)) << "the same content again";
    channel->Frame()[kRowBytes * kHandMadeHeight - 1] ^= 0xFF;  // the last byte of the picture
    EXPECT_TRUE(source.Poll(32));
    ExpectShowsTheFrame(kHandMadeWidth, kHandMadeHeight);

    channel->SetGeometry(5, 7);  // 15-byte rows: GDI wants 16
    EXPECT_TRUE(source.Poll(48));
    ExpectShowsTheFrame(5, 7);
    channel->SetGeometry(kHandMadeWidth / 2, kHandMadeHeight);  // the same bytes, another picture
    EXPECT_TRUE(source.Poll(64));
    ExpectShowsTheFrame(kHandMadeWidth / 2, kHandMadeHeight);
}

// A picture the reader refuses is dropped with the reason until the header announces one it takes; a frame
// block of another name is opened at once.
TEST_F(ChannelFrameSourceTest, FollowsARefusedPictureAndARenamedFrameBlock)
{
    source.Poll(0);
    channel->SetGeometry(0x7FFFFFFF, 0x7FFFFFFF);
    EXPECT_TRUE(source.Poll(16));
    EXPECT_FALSE(source.HasPicture());
    EXPECT_EQ(source.Status().state, ViewState::Refused);
    EXPECT_EQ(source.Status().result, TARN_CAMERA_FRAME_TOO_LARGE);
    EXPECT_EQ(source.Status().frameBlockName, channel->FrameBlockName());
    channel->SetGeometry(kHandMadeWidth, kHandMadeHeight);
    EXPECT_TRUE(source.Poll(32));
    ExpectShowsTheFrame(kHandMadeWidth, kHandMadeHeight);

    NamedSection renamed(ProcessUniqueName(L"tarn_reader_test_renamed"), 16384);
    ASSERT_TRUE(renamed.created());
    std::memset(renamed.view, 0x5A, 16384);
    channel->NameFrameBlock(renamed.name);
    EXPECT_TRUE(source.Poll(48));
    EXPECT_EQ(source.Status().frameBlockName, renamed.name);
    ASSERT_TRUE(source.HasPicture());
    EXPECT_EQ(static_cast<const unsigned char*>(source.PictureRows())[0], 0x5A);
}

TEST_F(ChannelFrameSourceTest, PublisherThatWentAwayIsNoticedAtTheIdleCheck)
{
    source.Poll(0);
    EXPECT_FALSE(source.Poll(ChannelFrameSource::kIdleCheckMs)) << "opened again while the channel lives";
    EXPECT_EQ(source.Status().state, ViewState::Showing);

    channel.reset();  // only the source's mapping keeps the blocks now
    EXPECT_FALSE(source.Poll(ChannelFrameSource::kIdleCheckMs + 16));
    EXPECT_TRUE(source.HasPicture()) << "checked again within a period of the last opening";
    EXPECT_TRUE(source.Poll(2 * ChannelFrameSource::kIdleCheckMs));
    EXPECT_EQ(source.Status().state, ViewState::Waiting);
    EXPECT_EQ(source.Status().result, TARN_CAMERA_NO_CHANNEL);
    EXPECT_TRUE(source.Status().frameBlockName.empty());
}

// With a sync block the source copies a frame only when the sequence says a newer one is whole, waits for it
// instead of polling, counts the frames published and skipped, and lets the channel go once the publisher's
// process has gone.
TEST_F(ChannelFrameSourceTest, WithASyncBlockOnlyNewFramesAreReadAndWaitedFor)
{
    HandMadeSyncBlock sync(*channel);
    ASSERT_TRUE(sync.Created());
    ChannelFrameSource synced(channel->HeaderBlockName());
    EXPECT_TRUE(synced.Poll(0));
    EXPECT_TRUE(synced.Status().synchronised);
    ASSERT_TRUE(synced.HasPicture());
    EXPECT_EQ(synced.TakeFramesPublished(), 1u);

    channel->Frame()[0] ^= 0xFF;  // rewritten under the same sequence: not a frame, so not read
    EXPECT_FALSE(synced.Poll(16));
    EXPECT_FALSE(synced.WaitForNews(50)) << "nothing new within the timeout";
    sync.Publish(3);
    EXPECT_TRUE(synced.WaitForNews(5000));
    EXPECT_TRUE(synced.Poll(32));
    EXPECT_EQ(static_cast<const unsigned char*>(synced.PictureRows())[0], channel->Frame()[0]);
    EXPECT_EQ(synced.Status().framesSkipped, 2u);
    EXPECT_EQ(synced.TakeFramesPublished(), 3u);

    sync.Block().publisherState = TARN_CAMERA_PUBLISHER_END_OF_STREAM;
    sync.Block().stateChanges = 1;
    EXPECT_TRUE(synced.WaitForNews(5000));
    synced.Poll(48);
    EXPECT_TRUE(synced.Status().publisherEnded);
    EXPECT_TRUE(synced.HasPicture()) << "the last frame stays on screen";

    sync.Block().publisherProcessId = 0x7FFFFFFC;  // a process that has ended
    EXPECT_TRUE(synced.Poll(64));
    EXPECT_EQ(synced.Status().state, ViewState::Waiting);
    EXPECT_EQ(synced.Status().result, TARN_CAMERA_PUBLISHER_GONE);
}

}  // namespace
