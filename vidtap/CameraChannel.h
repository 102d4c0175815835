// A camera channel of this module: its named blocks (sync block, header block, frame block), the private
// scratch buffer, and publishing into them. The default channel ("tarn_kro_shared_camera_info") is
// module-wide and keeps everything its set-up obtains until the process ends.
//
// Threads and locks (leaves of the lock table in CVidtap.h): `channelLock` serialises the set-up against
// itself and against publishers taking a snapshot of the views; `publishLock` serialises every publish and
// every state change of the channel within the process, so two filter instances never write the blocks at
// once (a publisher waits at most for another one's frame). Publishers of other processes take turns through
// the sync block (CameraSyncPublisher). Nothing here ever waits for a reader.
#pragma once

#include <windows.h>
#include <strmif.h>

#include <new>

#include "CameraChannelLayout.h"
#include "CameraChannelViews.h"
#include "CameraSyncPublisher.h"
#include "PictureDescription.h"

class CameraChannel {
public:
    // A channel whose header block is `headerBlockName` and whose frame block's names start with
    // `frameBlockBaseName` (both copied; at most kFrameBlockNameUnits - 1 units each). Sets nothing up.
    CameraChannel(const wchar_t* headerBlockName, const wchar_t* frameBlockBaseName);
    CameraChannel(const CameraChannel&) = delete;
    CameraChannel& operator=(const CameraChannel&) = delete;

    // Sets the channel up the first time it is called, from the picture header of `proposedType`; later
    // calls return at once. Safe from any number of threads: exactly one does the set-up and the others wait
    // for it. A type without a picture header still opens the blocks but leaves `format` as it was. Reports
    // nothing: when a block cannot be obtained or the scratch buffer cannot be allocated, the channel stays
    // unusable and publishing does nothing. Without a sync block the channel is published as before it
    // (readers get no whole-frame guarantee).
    void SetUp(const AM_MEDIA_TYPE* proposedType);

    // Publishes one frame (see PublishFrameToChannel), under the publish lock.
    void Publish(const unsigned char* data, uint32_t length, const PictureDescription& picture,
                 const SampleTimes& times);
    // Records the publisher's state in the sync block (nothing before a set-up or without a sync block).
    void SetPublisherState(TarnCameraPublisherState state);

    // The channel as publishers use it; not usable until a set-up has succeeded.
    CameraChannelViews Snapshot();
    // True until the first set-up has run, whatever its outcome.
    bool SetUpPending();

private:
    void RunSetUp(const AM_MEDIA_TYPE* proposedType);
    void OpenSyncBlock();
    CameraHeaderBlock* MapHeaderBlock();
    void OpenFrameBlock();

    wchar_t headerBlockName[kFrameBlockNameUnits] = {};
    wchar_t frameBlockBaseName[kFrameBlockNameUnits] = {};
    size_t frameBlockBaseNameLength = 0;

    SRWLOCK channelLock = SRWLOCK_INIT;
    SRWLOCK publishLock = SRWLOCK_INIT;
    bool setupPending = true;
    CameraHeaderBlock* headerView = nullptr;
    unsigned char* frameView = nullptr;
    unsigned char* scratchBuffer = nullptr;
    DeferredScratchRows deferredScratch;  // what one-pass publishing owes the scratch buffer
    HANDLE wakeSemaphore = nullptr;
    CameraSyncPublisher* sync = nullptr;  // constructed in syncStorage at set-up; null without a sync block
    alignas(CameraSyncPublisher) unsigned char syncStorage[sizeof(CameraSyncPublisher)];
};

// The module's default channel, "tarn_kro_shared_camera_info" with frame blocks named from
// "tarn_kro_shared_camera_memeory"; it lives until the process ends.
CameraChannel& DefaultCameraChannel();

// The default channel's set-up and snapshot.
void SetUpCameraChannel(const AM_MEDIA_TYPE* proposedType);
CameraChannelViews SnapshotCameraChannel();
