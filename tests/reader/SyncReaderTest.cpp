// The reader library against a sync block this test lays out beside its hand-made channel: whole frames and
// what they say of themselves, copies the sequence disowns, waiting, and every kind of broken or hostile sync
// block, each giving its result within the caller's timeout.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <functional>
#include <thread>
#include <vector>

#include "HandMadeChannel.h"
#include "HandMadeSyncBlock.h"
#include "TarnCameraReaderSeam.h"
#include "tarn_camera_channel.h"

namespace {

constexpr unsigned long kFrameBytes = kHandMadeWidth * 3 * kHandMadeHeight;
constexpr uint32_t kEndedProcess = 0x7FFFFFFC;  // no process has this id

// The hand-made channel with its sync block; the reader is opened by each test once the block says what the
// test needs.
class SyncedChannel : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(channel.Created());
        ASSERT_TRUE(syncBlock.Created());
        syncBlock.MakeValid();
        Sync().sourceBitCount = 16;
        Sync().sourceSubtype[0] = 'Y';
        Sync().timeFlags = TARN_CAMERA_TIME_START_VALID;
        Sync().streamStart = 4000000;
        Sync().publishTicks = 123;
    }
    void TearDown() override { tarn_camera_reader_close(reader); }

    TarnCameraSyncBlock& Sync() { return syncBlock.Block(); }
    TarnCameraResult Open() { return channel.Open(&reader); }
    TarnCameraResult Read(TarnCameraFrameInfo* info = nullptr)
    {
        return tarn_camera_reader_read(reader, frame.data(), kFrameBytes, info);
    }
    // The wait's result and how long it took.
    TarnCameraResult Wait(unsigned long timeout, ULONGLONG* took = nullptr)
    {
        const ULONGLONG start = GetTickCount64();
        const TarnCameraResult result = tarn_camera_reader_wait(reader, timeout);
        if (took != nullptr)
            *took = GetTickCount64() - start;
        return result;
    }

    HandMadeChannel channel;
    HandMadeSyncBlock syncBlock{channel};
    TarnCameraReader* reader = nullptr;
    std::vector<unsigned char> frame = std::vector<unsigned char>(kFrameBytes);
};

}  // namespace

TEST_F(SyncedChannel, OnlyAWholeFrameIsReturnedWithWhatTheSyncBlockSaysOfIt)
{
    ASSERT_EQ(Open(), TARN_CAMERA_OK);
    TarnCameraFrameInfo info;
    ASSERT_EQ(Read(&info), TARN_CAMERA_OK);
    EXPECT_EQ(0, std::memcmp(frame.data(), channel.Frame(), kFrameBytes));
    EXPECT_EQ(info.flags, TARN_CAMERA_INFO_WHOLE_FRAME);
    EXPECT_EQ(info.frameNumber, 1u);
    EXPECT_EQ(info.framesSkipped, 0u);
    EXPECT_EQ(info.timeFlags, TARN_CAMERA_TIME_START_VALID);
    EXPECT_EQ(info.streamStart, 4000000);
    EXPECT_EQ(info.publishTicks, 123);
    EXPECT_EQ(info.ticksPerSecond, 1000);
    EXPECT_EQ(info.frameKind, static_cast<unsigned>(TARN_CAMERA_FRAME_CONVERTED));
    EXPECT_EQ(info.sourceBitCount, 16u);
    EXPECT_EQ(info.sourceSubtype[0], 'Y');

    Sync().sequence = 10;  // frames 2, 3 and 4 went by unread
    ASSERT_EQ(Read(&info), TARN_CAMERA_OK);
    EXPECT_EQ(info.frameNumber, 5u);
    EXPECT_EQ(info.framesSkipped, 3u);

    // The sequence moving during the copy disowns it: the read tries again, and gives up after a bounded
    // number of attempts.
    struct Mover {
        TarnCameraSyncBlock* sync;
        int moves;
        static void AfterCopy(void* context)
        {
            auto* mover = static_cast<Mover*>(context);
            if (mover->moves-- > 0)
                mover->sync->sequence += 2;
        }
    };
    Mover once{&Sync(), 1};
    EXPECT_EQ(ReadFrameWithHook(reader, frame.data(), kFrameBytes, &info, &Mover::AfterCopy, &once), TARN_CAMERA_OK);
    EXPECT_EQ(info.frameNumber, 6u);
    Mover always{&Sync(), 1000};
    EXPECT_EQ(ReadFrameWithHook(reader, frame.data(), kFrameBytes, &info, &Mover::AfterCopy, &always),
              TARN_CAMERA_CHANGING);
    EXPECT_EQ(always.moves, 1000 - kSyncedCopyAttempts);
}

TEST_F(SyncedChannel, AWaitingReaderWakesForTheNextFrameAndForTheEnd)
{
    ASSERT_EQ(Open(), TARN_CAMERA_OK);
    EXPECT_EQ(Wait(0), TARN_CAMERA_OK) << "frame 1 was never returned";
    ASSERT_EQ(Read(), TARN_CAMERA_OK);
    ULONGLONG took = 0;
    EXPECT_EQ(Wait(200, &took), TARN_CAMERA_TIMEOUT);
    EXPECT_GE(took, 190u);
    EXPECT_LT(took, 1000u);
    EXPECT_EQ(Sync().waitingReaders, 0u);

    // A publisher's next frame, with the wake-up it releases for the reader it counts.
    std::thread publisher([this] {
        while (__atomic_load_n(&Sync().waitingReaders, __ATOMIC_SEQ_CST) == 0)
            Sleep(1);
        Sleep(50);
        syncBlock.Publish();
    });
    EXPECT_EQ(Wait(5000, &took), TARN_CAMERA_OK);
    EXPECT_LT(took, 2000u);
    publisher.join();
    ASSERT_EQ(Read(), TARN_CAMERA_OK);

    Sync().publisherState = TARN_CAMERA_PUBLISHER_END_OF_STREAM;
    Sync().stateChanges = 7;
    EXPECT_EQ(Wait(5000), TARN_CAMERA_PUBLISHER_ENDED);
    EXPECT_EQ(Wait(100), TARN_CAMERA_TIMEOUT) << "an end is reported once";
    Sync().stateChanges = 9;  // it ran and ended again
    EXPECT_EQ(Wait(100), TARN_CAMERA_PUBLISHER_ENDED);
}

// Broken or hostile sync blocks: each gives its result to read and to wait, and the wait never outlasts its
// timeout (or returns early without cause).
TEST_F(SyncedChannel, BrokenOrHostileSyncBlocksGiveTheirResultsInTime)
{
    const struct {
        const char* label;
        std::function<void(TarnCameraSyncBlock&)> spoil;
        TarnCameraResult readResult;
        TarnCameraResult waitResult;
    } cases[] = {
        {"wrong magic", [](TarnCameraSyncBlock& s) { s.magic = 0x12345678; }, TARN_CAMERA_SYNC_BROKEN,
         TARN_CAMERA_SYNC_BROKEN},
        {"wrong version", [](TarnCameraSyncBlock& s) { s.version = 2; }, TARN_CAMERA_SYNC_BROKEN,
         TARN_CAMERA_SYNC_BROKEN},
        {"wrong size", [](TarnCameraSyncBlock& s) { s.size = 64; }, TARN_CAMERA_SYNC_BROKEN, TARN_CAMERA_SYNC_BROKEN},
        {"garbage", [](TarnCameraSyncBlock& s) { std::memset(&s, 0xA5, sizeof s); }, TARN_CAMERA_SYNC_BROKEN,
         TARN_CAMERA_SYNC_BROKEN},
        {"stuck being written by a live publisher", [](TarnCameraSyncBlock& s) { s.sequence = 5; },
         TARN_CAMERA_CHANGING, TARN_CAMERA_TIMEOUT},
        {"stuck being written by a publisher that died",
         [](TarnCameraSyncBlock& s) { s.sequence = 5, s.publisherProcessId = kEndedProcess; },
         TARN_CAMERA_PUBLISHER_GONE, TARN_CAMERA_PUBLISHER_GONE},
        {"run backwards", [](TarnCameraSyncBlock& s) { s.sequence = 0; }, TARN_CAMERA_SYNC_BROKEN,
         TARN_CAMERA_SYNC_BROKEN},
        {"a reader count that wrapped", [](TarnCameraSyncBlock& s) { s.waitingReaders = 0xFFFFFFFF; }, TARN_CAMERA_OK,
         TARN_CAMERA_TIMEOUT},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        SetUp();
        tarn_camera_reader_close(reader);
        ASSERT_EQ(Open(), TARN_CAMERA_OK);
        Sync().sequence = 4;
        ASSERT_EQ(Read(), TARN_CAMERA_OK);
        c.spoil(Sync());
        ULONGLONG took = 0;
        EXPECT_EQ(Read(), c.readResult);
        // A broken block is reported at once; nothing else returns before its timeout without a cause.
        EXPECT_EQ(Wait(300, &took), c.waitResult);
        EXPECT_LT(took, 1500u);
        if (c.waitResult == TARN_CAMERA_TIMEOUT) {
            EXPECT_GE(took, 290u);
        }
    }
}
