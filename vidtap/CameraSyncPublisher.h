// The publisher's side of a camera channel's sync block: the frame sequence (odd while a frame is written,
// even when it is whole), the record of the frame now in the frame block, the publisher's state and the
// wake-up of waiting readers. One per channel in a process, owned by the channel; its operations are
// serialised by the channel's publish lock, so publishers of one process take turns there and only publishers
// of other processes meet in the block itself. Platform-neutral: the few platform calls come in
// SyncPublisherCalls, so the protocol also runs natively under the sanitizers.
//
// Trust: the block is shared with every reader. The publisher writes all of it but `waitingReaders`, reads
// back only the sequence (to take turns with other processes' publishers), `writerProcessId` and
// `waitingReaders`, and uses what it reads as hints: a wrong value can cost a bounded wait for the turn or a
// needless wake-up, never a frame reported whole that is not, and never an unbounded wait.
#pragma once

#include <cstdint>

#include "tarn_camera_channel.h"

struct SyncPublisherCalls {
    uint32_t processId = 0;
    int64_t ticksPerSecond = 1;
    int64_t (*now)() = nullptr;                    // the clock behind heartbeatTicks and publishTicks
    bool (*processAlive)(uint32_t processId) = nullptr;  // false once that process has ended
    void (*pause)() = nullptr;                     // lets another publisher's frame progress (about 1 ms)
    // Releases `readers` wake-ups of the channel's semaphore; called only while readers say they wait.
    void (*wake)(void* context, uint32_t readers) = nullptr;
    void* wakeContext = nullptr;
};

// The sample's stream times, as IMediaSample::GetTime gave them.
struct SampleTimes {
    uint32_t flags = 0;  // TARN_CAMERA_TIME_START_VALID | TARN_CAMERA_TIME_STOP_VALID
    int64_t start = 0;
    int64_t stop = 0;
};

// What the frame block holds once a frame is whole (the frame record of the sync block).
struct SyncFrameRecord {
    int32_t width = 0;
    int32_t height = 0;
    uint32_t rowOrder = TARN_CAMERA_ROWS_AS_DELIVERED;
    uint32_t frameKind = TARN_CAMERA_FRAME_COPIED;
    uint32_t frameBytes = 0;
    uint32_t sourceBitCount = 0;
    unsigned char sourceSubtype[16] = {};
    SampleTimes times;
};

// How long a publisher waits for a live publisher of another process to finish its frame before it drops its
// own frame (a frame takes a few milliseconds, more on a loaded machine); and how long one odd value must stand
// before it counts as abandoned (its publisher hung, or a reader broke the protocol) and is taken over. Taking
// the turn from a publisher that is still writing would report a mix of two frames as whole.
inline constexpr int64_t kPublisherTurnWaitMilliseconds = 50;
inline constexpr int64_t kAbandonedFrameMilliseconds = 2000;
// The most wake-ups released for one frame, whatever `waitingReaders` claims.
inline constexpr uint32_t kMostWakeUpsPerFrame = 64;

class CameraSyncPublisher {
public:
    // Takes over `block` (TARN_CAMERA_SYNC_BLOCK_SIZE bytes, mapped writable): a block that is not yet valid
    // (new, or written by something else) is initialised; a valid one keeps its sequence, so readers of a
    // channel whose publisher restarted see it go on.
    CameraSyncPublisher(TarnCameraSyncBlock* block, const SyncPublisherCalls& calls);
    CameraSyncPublisher(const CameraSyncPublisher&) = delete;
    CameraSyncPublisher& operator=(const CameraSyncPublisher&) = delete;

    // Makes the sequence odd for this publisher's frame (true), or gives up the frame (false: nothing may be
    // written). Waits (bounded, see kPublisherTurnWaitMilliseconds) while another process's live publisher
    // holds the sequence odd; takes the turn at once from one that has ended, and from one whose odd value has
    // stood for kAbandonedFrameMilliseconds.
    bool BeginFrame();
    // Writes the frame record, then makes the sequence even (when no other publisher took the turn in the
    // meantime), then wakes the readers that wait.
    void EndFrame(const SyncFrameRecord& record);
    // Records a change of the publisher's state and wakes the readers that wait, so they learn of an end.
    void SetState(TarnCameraPublisherState state);

    // The highest even sequence this publisher has seen or written.
    uint64_t LastSequence() const { return lastSequence; }

private:
    void WakeWaitingReaders();

    TarnCameraSyncBlock* const block;
    const SyncPublisherCalls calls;
    uint64_t claimedSequence = 0;  // the odd value this publisher wrote; 0 outside a frame
    uint64_t lastSequence = 0;     // the highest even value this publisher has seen or written
    uint64_t stuckSequence = 0;    // an odd value this publisher gave up a frame for, and since when
    int64_t stuckSinceTicks = 0;
};
