#include "CameraSyncPublisher.h"

#include <algorithm>
#include <cstring>

namespace {

// Every access to a field that another process reads or writes is atomic; the sequence's are sequentially
// consistent, which also orders the frame bytes (streaming stores included) around them.
template <typename T>
T Load(const T& field)
{
    return __atomic_load_n(&field, __ATOMIC_SEQ_CST);
}

template <typename T, typename V>
void Store(T& field, V value)
{
    __atomic_store_n(&field, static_cast<T>(value), __ATOMIC_SEQ_CST);
}

template <typename T>
bool CompareExchange(T& field, uint64_t expected, uint64_t desired)
{
    T expectedValue = static_cast<T>(expected);
    return __atomic_compare_exchange_n(&field, &expectedValue, static_cast<T>(desired), false, __ATOMIC_SEQ_CST,
                                       __ATOMIC_SEQ_CST);
}

bool IsWhole(uint64_t sequence)
{
    return sequence % 2 == 0;
}

}  // namespace

CameraSyncPublisher::CameraSyncPublisher(TarnCameraSyncBlock* syncBlock, const SyncPublisherCalls& platform)
    : block(syncBlock), calls(platform)
{
    const bool valid = Load(block->magic) == TARN_CAMERA_SYNC_MAGIC &&
                       Load(block->version) == TARN_CAMERA_SYNC_VERSION &&
                       Load(block->size) == TARN_CAMERA_SYNC_BLOCK_SIZE;
    if (!valid) {
        // The magic goes last: a reader that sees it sees the rest of a valid block.
        Store(block->magic, 0u);
        Store(block->sequence, 0);
        Store(block->version, static_cast<unsigned>(TARN_CAMERA_SYNC_VERSION));
        Store(block->size, static_cast<unsigned>(TARN_CAMERA_SYNC_BLOCK_SIZE));
        Store(block->publisherState, static_cast<unsigned>(TARN_CAMERA_PUBLISHER_NONE));
        Store(block->magic, TARN_CAMERA_SYNC_MAGIC);
    }
    lastSequence = Load(block->sequence) & ~uint64_t{1};
    Store(block->ticksPerSecond, calls.ticksPerSecond);
    Store(block->publisherProcessId, calls.processId);
    Store(block->heartbeatTicks, calls.now());
}

bool CameraSyncPublisher::BeginFrame()
{
    const int64_t start = calls.now();
    const int64_t patience = calls.ticksPerSecond * kPublisherTurnWaitMilliseconds / 1000;
    const int64_t abandonment = calls.ticksPerSecond * kAbandonedFrameMilliseconds / 1000;
    for (;;) {
        const uint64_t seen = Load(block->sequence);
        // Never below what this publisher has seen: a sequence that ran backwards (a reader broke the
        // protocol) must not make readers take a new frame for an old one.
        const uint64_t base = std::max<uint64_t>(seen, lastSequence);
        uint64_t claim = 0;
        if (IsWhole(seen)) {
            claim = (base & ~uint64_t{1}) + 1;
        } else {
            // Odd: another publisher's frame is being written, or its publisher died in the middle of one. A
            // publisher of this process cannot hold it (the channel's publish lock is held here), so an odd
            // value left under this process's id, or under one that has ended, is taken over at once.
            const uint32_t writer = Load(block->writerProcessId);
            const int64_t now = calls.now();
            if (seen != stuckSequence) {
                stuckSequence = seen;
                stuckSinceTicks = now;
            }
            const bool abandoned = writer == calls.processId || !calls.processAlive(writer) ||
                                   now - stuckSinceTicks >= abandonment;
            if (abandoned) {
                claim = (base | 1) + 2;
            } else if (now - start > patience) {
                return false;
            } else {
                calls.pause();
                continue;
            }
        }
        if (CompareExchange(block->sequence, seen, claim)) {
            claimedSequence = claim;
            break;
        }
        // another process's publisher took the turn first: look again
    }
    Store(block->writerProcessId, calls.processId);
    return true;
}

void CameraSyncPublisher::EndFrame(const SyncFrameRecord& record)
{
    if (claimedSequence == 0)
        return;
    const int64_t now = calls.now();
    block->width = record.width;
    block->height = record.height;
    block->rowOrder = record.rowOrder;
    block->frameKind = record.frameKind;
    block->frameBytes = record.frameBytes;
    block->sourceBitCount = record.sourceBitCount;
    std::memcpy(block->sourceSubtype, record.sourceSubtype, sizeof block->sourceSubtype);
    block->timeFlags = record.times.flags;
    block->streamStart = record.times.start;
    block->streamStop = record.times.stop;
    block->publishTicks = now;
    Store(block->heartbeatTicks, now);
    Store(block->publisherProcessId, calls.processId);
    // Whole only if nobody took the turn from this publisher meanwhile (it was taken for hung): then the
    // frame block may hold a mix, and the one who took the turn completes it.
    if (CompareExchange(block->sequence, claimedSequence, claimedSequence + 1))
        lastSequence = claimedSequence + 1;
    else
        lastSequence = std::max(lastSequence, claimedSequence + 1);
    claimedSequence = 0;
    WakeWaitingReaders();
}

void CameraSyncPublisher::SetState(TarnCameraPublisherState state)
{
    Store(block->publisherState, static_cast<unsigned>(state));
    __atomic_add_fetch(&block->stateChanges, 1u, __ATOMIC_SEQ_CST);
    Store(block->heartbeatTicks, calls.now());
    Store(block->publisherProcessId, calls.processId);
    WakeWaitingReaders();
}

void CameraSyncPublisher::WakeWaitingReaders()
{
    // Read after the sequence or state is stored (both sequentially consistent): a reader that counted itself
    // before this read is woken, and one that counts itself later sees the new sequence or state first.
    const uint32_t waiting = Load(block->waitingReaders);
    if (waiting != 0 && waiting <= 0x7fffffffu)
        calls.wake(calls.wakeContext, std::min(waiting, kMostWakeUpsPerFrame));
}
