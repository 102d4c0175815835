// A sync block a test lays out beside its hand-made channel (HandMadeChannel), with the wake-up semaphore: a
// valid block whose frame 1 is whole, published by this process, which the test then advances or spoils.
#pragma once

#include <windows.h>

#include "HandMadeChannel.h"
#include "NamedSection.h"
#include "tarn_camera_channel.h"

class HandMadeSyncBlock {
public:
    explicit HandMadeSyncBlock(const HandMadeChannel& channel)
        : section(channel.HeaderBlockName() + TARN_CAMERA_SYNC_BLOCK_SUFFIX, TARN_CAMERA_SYNC_BLOCK_SIZE),
          wake(CreateSemaphoreW(nullptr, 0, 0x7fffffff,
                                (channel.HeaderBlockName() + TARN_CAMERA_SYNC_WAKE_SUFFIX).c_str()))
    {
        if (Created())
            MakeValid();
    }
    HandMadeSyncBlock(const HandMadeSyncBlock&) = delete;
    HandMadeSyncBlock& operator=(const HandMadeSyncBlock&) = delete;
    ~HandMadeSyncBlock()
    {
        if (wake != nullptr)
            CloseHandle(wake);
    }

    bool Created() const { return section.created() && wake != nullptr; }
    TarnCameraSyncBlock& Block() { return *reinterpret_cast<TarnCameraSyncBlock*>(section.view); }

    void MakeValid()
    {
        TarnCameraSyncBlock& sync = Block();
        sync = TarnCameraSyncBlock();
        sync.magic = TARN_CAMERA_SYNC_MAGIC;
        sync.version = TARN_CAMERA_SYNC_VERSION;
        sync.size = TARN_CAMERA_SYNC_BLOCK_SIZE;
        sync.sequence = 2;
        sync.publisherState = TARN_CAMERA_PUBLISHER_RUNNING;
        sync.publisherProcessId = GetCurrentProcessId();
        sync.frameKind = TARN_CAMERA_FRAME_CONVERTED;
        sync.ticksPerSecond = 1000;
    }
    // A frame published as a publisher does it: the sequence moved on, and a wake-up for each waiting reader.
    void Publish(unsigned frames = 1)
    {
        __atomic_add_fetch(&Block().sequence, 2 * frames, __ATOMIC_SEQ_CST);
        const LONG waiting = static_cast<LONG>(__atomic_load_n(&Block().waitingReaders, __ATOMIC_SEQ_CST));
        if (waiting > 0)
            ReleaseSemaphore(wake, waiting, nullptr);
    }

private:
    NamedSection section;
    HANDLE wake;
};
