// The publisher's side of the sync block, on ordinary memory with a scripted clock and scripted processes:
// the sequence around every published frame, the frame record, taking turns with other processes'
// publishers, and waking readers only when they say they wait.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "FramePublisherCore.h"

namespace {

constexpr uint32_t kThisProcess = 100, kOtherProcess = 200;

// The surroundings a publisher sees: a clock that moves 1 ms per pause, which processes live, the wake-ups.
struct Surroundings {
    static Surroundings* current;
    int64_t now = 1000;
    bool otherAlive = true;
    int pauses = 0;
    std::vector<uint32_t> wakeUps;

    SyncPublisherCalls Calls()
    {
        current = this;
        SyncPublisherCalls calls;
        calls.processId = kThisProcess;
        calls.ticksPerSecond = 1000;
        calls.now = [] { return current->now; };
        calls.processAlive = [](uint32_t id) { return id == kThisProcess || (id == kOtherProcess && current->otherAlive); };
        calls.pause = [] { ++current->pauses, ++current->now; };
        calls.wake = [](void*, uint32_t readers) { current->wakeUps.push_back(readers); };
        return calls;
    }
};
Surroundings* Surroundings::current = nullptr;

PictureDescription Picture(int32_t width, int32_t height, uint16_t bitCount)
{
    PictureDescription picture;
    picture.present = true;
    picture.width = width;
    picture.height = height;
    picture.bitCount = bitCount;
    std::memcpy(picture.header + 4, &width, 4);
    std::memcpy(picture.header + 8, &height, 4);
    std::memcpy(picture.header + 14, &bitCount, 2);
    for (int i = 0; i < 16; ++i)
        picture.subtype[i] = static_cast<unsigned char>(0xA0 + i);
    return picture;
}

struct SyncedChannel {
    explicit SyncedChannel(TarnCameraSyncBlock initial = {}) : block(initial), publisher(&block, world.Calls()) {}

    void Publish(const PictureDescription& picture, size_t length, const SampleTimes& times = {})
    {
        std::vector<unsigned char> data(length, 0x80);
        CameraChannelViews views;
        views.headerView = reinterpret_cast<CameraHeaderBlock*>(header.data());
        views.frameView = frame.data();
        views.frameCapacity = frame.size();
        views.scratchBuffer = scratch.data();
        views.scratchCapacity = scratch.size();
        views.sync = &publisher;
        PublishFrameToChannel(views, data.data(), static_cast<uint32_t>(data.size()), picture, times);
    }

    Surroundings world;
    TarnCameraSyncBlock block;
    CameraSyncPublisher publisher;
    std::vector<unsigned char> header = std::vector<unsigned char>(sizeof(CameraHeaderBlock));
    std::vector<unsigned char> frame = std::vector<unsigned char>(4096);
    std::vector<unsigned char> scratch = std::vector<unsigned char>(4096);
};

TarnCameraSyncBlock ValidBlock(uint64_t sequence, uint32_t writer = 0)
{
    TarnCameraSyncBlock block = {};
    block.magic = TARN_CAMERA_SYNC_MAGIC;
    block.version = TARN_CAMERA_SYNC_VERSION;
    block.size = TARN_CAMERA_SYNC_BLOCK_SIZE;
    block.sequence = sequence;
    block.writerProcessId = writer;
    return block;
}

}  // namespace

TEST(CameraSyncPublisher, ANewBlockIsInitialisedAndAValidOneKeepsItsSequence)
{
    TarnCameraSyncBlock garbage;
    std::memset(&garbage, 0xEE, sizeof garbage);
    SyncedChannel fresh(garbage);
    EXPECT_EQ(fresh.block.magic, TARN_CAMERA_SYNC_MAGIC);
    EXPECT_EQ(fresh.block.version, 1u);
    EXPECT_EQ(fresh.block.size, 128u);
    EXPECT_EQ(fresh.block.sequence, 0u);
    EXPECT_EQ(fresh.block.publisherProcessId, kThisProcess);
    EXPECT_EQ(fresh.block.ticksPerSecond, 1000);

    SyncedChannel restarted(ValidBlock(40));
    restarted.Publish(Picture(4, 2, 16), 16);
    EXPECT_EQ(restarted.block.sequence, 42u);
}

TEST(CameraSyncPublisher, EachPublishedFrameMovesTheSequenceByTwoAndRecordsTheFrame)
{
    SyncedChannel channel;
    channel.world.now = 5000;
    channel.Publish(Picture(4, 2, 16), 16, {TARN_CAMERA_TIME_START_VALID | TARN_CAMERA_TIME_STOP_VALID, 333, 666});
    EXPECT_EQ(channel.block.sequence, 2u);
    EXPECT_EQ(channel.block.width, 4);
    EXPECT_EQ(channel.block.height, 2);
    EXPECT_EQ(channel.block.rowOrder, static_cast<unsigned>(TARN_CAMERA_ROWS_BOTTOM_UP));
    EXPECT_EQ(channel.block.frameKind, static_cast<unsigned>(TARN_CAMERA_FRAME_CONVERTED));
    EXPECT_EQ(channel.block.frameBytes, 24u);
    EXPECT_EQ(channel.block.sourceBitCount, 16u);
    EXPECT_EQ(channel.block.sourceSubtype[15], 0xAF);
    EXPECT_EQ(channel.block.timeFlags, 3u);
    EXPECT_EQ(channel.block.streamStart, 333);
    EXPECT_EQ(channel.block.streamStop, 666);
    EXPECT_EQ(channel.block.publishTicks, 5000);
    EXPECT_EQ(channel.block.heartbeatTicks, 5000);
    EXPECT_EQ(channel.block.writerProcessId, kThisProcess);

    // Another depth is copied as it comes: its bytes, in the order delivered.
    channel.Publish(Picture(8, 8, 32), 256);
    EXPECT_EQ(channel.block.sequence, 4u);
    EXPECT_EQ(channel.block.frameKind, static_cast<unsigned>(TARN_CAMERA_FRAME_COPIED));
    EXPECT_EQ(channel.block.rowOrder, static_cast<unsigned>(TARN_CAMERA_ROWS_AS_DELIVERED));
    EXPECT_EQ(channel.block.frameBytes, 256u);
    EXPECT_EQ(channel.block.sourceBitCount, 32u);
    EXPECT_EQ(channel.block.timeFlags, 0u);

    // A frame too large for the channel is not published and takes no turn.
    channel.Publish(Picture(100, 100, 16), 64);
    EXPECT_EQ(channel.block.sequence, 4u);
    EXPECT_TRUE(channel.world.wakeUps.empty());
}

// An odd sequence left by a publisher that cannot be writing any more is taken at once; one of a live
// publisher of another process is waited for, up to the bound, and the frame dropped unwritten, until the same
// odd value has stood long enough to count as abandoned. A sequence that ran backwards never makes the
// publisher go back, and one that another process moved on while this publisher wrote is left as it is.
TEST(CameraSyncPublisher, TakesTheTurnFromPublishersThatCannotFinish)
{
    struct Case {
        const char* what;
        uint64_t sequence;
        uint32_t writer;
        bool writerAlive;
        uint64_t completed;
        int pauses;
    } cases[] = {
        {"a whole frame", 10, kOtherProcess, true, 12, 0},
        {"left odd by this process", 11, kThisProcess, true, 14, 0},
        {"left odd by a process that has ended", 11, kOtherProcess, false, 14, 0},
        {"held odd by a live process", 11, kOtherProcess, true, 11, static_cast<int>(kPublisherTurnWaitMilliseconds) + 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SyncedChannel channel(ValidBlock(c.sequence, c.writer));
        channel.world.otherAlive = c.writerAlive;
        channel.Publish(Picture(4, 2, 16), 16);
        EXPECT_EQ(channel.block.sequence, c.completed);
        EXPECT_EQ(channel.world.pauses, c.pauses);
    }

    SyncedChannel hung(ValidBlock(11, kOtherProcess));
    hung.frame[0] = 0x5A;
    hung.Publish(Picture(4, 2, 16), 16);
    EXPECT_EQ(hung.frame[0], 0x5A) << "a dropped frame writes nothing";
    hung.world.now += kAbandonedFrameMilliseconds;
    hung.Publish(Picture(4, 2, 16), 16);
    EXPECT_EQ(hung.block.sequence, 14u);

    SyncedChannel backwards(ValidBlock(100));
    backwards.Publish(Picture(4, 2, 16), 16);
    backwards.block.sequence = 6;  // a reader breaking the protocol
    backwards.Publish(Picture(4, 2, 16), 16);
    EXPECT_EQ(backwards.block.sequence, 104u);

    // A frame whose turn was taken is not reported whole.
    SyncedChannel channel(ValidBlock(20));
    channel.publisher.BeginFrame();
    EXPECT_EQ(channel.block.sequence, 21u);
    channel.block.sequence = 23;  // another process took the turn, taking this publisher for hung
    channel.publisher.EndFrame(SyncFrameRecord());
    EXPECT_EQ(channel.block.sequence, 23u);
    channel.block.sequence = 24;  // and completed its frame
    channel.Publish(Picture(4, 2, 16), 16);
    EXPECT_EQ(channel.block.sequence, 26u);
}

// Readers are woken only when they say they wait, and never more than a bounded number of times.
TEST(CameraSyncPublisher, WakesWaitingReadersAfterFramesAndStateChanges)
{
    const struct {
        uint32_t waiting;
        std::vector<uint32_t> wakeUps;
    } cases[] = {{0, {}}, {1, {1}}, {3, {3}}, {1000, {kMostWakeUpsPerFrame}}, {0xFFFFFFFFu, {}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.waiting);
        SyncedChannel channel;
        channel.block.waitingReaders = c.waiting;
        channel.Publish(Picture(4, 2, 16), 16);
        EXPECT_EQ(channel.world.wakeUps, c.wakeUps);
    }

    SyncedChannel channel;
    channel.block.waitingReaders = 2;
    channel.world.now = 7777;
    channel.publisher.SetState(TARN_CAMERA_PUBLISHER_END_OF_STREAM);
    EXPECT_EQ(channel.block.publisherState, static_cast<unsigned>(TARN_CAMERA_PUBLISHER_END_OF_STREAM));
    EXPECT_EQ(channel.block.stateChanges, 1u);
    EXPECT_EQ(channel.block.heartbeatTicks, 7777);
    EXPECT_EQ(channel.world.wakeUps, std::vector<uint32_t>{2});
    EXPECT_EQ(channel.block.sequence, 0u);
}
