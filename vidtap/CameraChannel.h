// A camera channel of this module: its named blocks (sync block, header block, frame block), the private
// scratch buffer, and publishing into them. The default channel ("tarn_kro_shared_camera_info") is
// module-wide and keeps everything its set-up obtains until the process ends; a named channel
// (NamedCameraChannels.h) keeps it while an instance publishes into it, and its destruction releases it all.
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
#include "CameraChannelPlatform.h"
#include "CameraChannelViews.h"
#include "CameraSyncPublisher.h"
#include "GlobalChannelSecurity.h"
#include "PictureDescription.h"

class CameraChannel {
public:
    // A channel whose header block is `headerBlockName` and whose frame block's names start with
    // `frameBlockBaseName` (both copied; at most kFrameBlockNameUnits - 1 units each). `security` (not
    // owned; it must outlive the channel) gives the descriptors a block is created with; null keeps the
    // default security. Sets nothing up.
    CameraChannel(const wchar_t* headerBlockName, const wchar_t* frameBlockBaseName,
                  const GlobalChannelSecurity* security = nullptr);
    CameraChannel(const CameraChannel&) = delete;
    CameraChannel& operator=(const CameraChannel&) = delete;
    // Unmaps every view, closes every handle and frees the scratch buffer the set-up obtained. Only for a
    // channel nobody publishes into any more; the default channel is never destroyed.
    ~CameraChannel();

    // Sets the channel up the first time it is called, from the picture header of `proposedType`; later
    // calls return at once. Safe from any number of threads: exactly one does the set-up and the others wait
    // for it. A type without a picture header still opens the blocks but leaves `format` as it was. When a
    // block cannot be obtained or the scratch buffer cannot be allocated, the channel stays unusable and
    // publishing does nothing; the result, then and at every later call, says why: the error of the first
    // kernel call that failed, HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS) for a name held by an object that is
    // not such a block, E_OUTOFMEMORY for the scratch buffer; S_OK when everything was obtained. Without a
    // sync block the channel is published as before it (readers get no whole-frame guarantee).
    HRESULT SetUp(const AM_MEDIA_TYPE* proposedType);

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
    // Every naming try of the frame block, the accepted one included, keeps its section and view until the
    // channel is destroyed; the field holds the names of at most this many tries.
    static constexpr unsigned kMaxFrameBlockTries = 112;

    HRESULT RunSetUp(const AM_MEDIA_TYPE* proposedType);
    HRESULT OpenSyncBlock();
    HRESULT MapHeaderBlock();
    HRESULT OpenFrameBlock();
    // Maps all of `section` with `map` into *view; the section and the view (null when mapping failed) are
    // kept for release at destruction. The mapping's error, or HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS) when
    // the view is not `bytes` of committed memory.
    using MapViewCall = decltype(CameraChannelPlatform::mapViewOfFile);
    HRESULT MapKept(HANDLE section, MapViewCall map, SIZE_T bytes, void** view);
    // Keeps `section` and `view` (either may be null) for release at destruction.
    void Keep(HANDLE section, void* view);

    wchar_t headerBlockName[kFrameBlockNameUnits] = {};
    wchar_t frameBlockBaseName[kFrameBlockNameUnits] = {};
    size_t frameBlockBaseNameLength = 0;
    const GlobalChannelSecurity* const security;  // not owned; null: the default security

    SRWLOCK channelLock = SRWLOCK_INIT;
    SRWLOCK publishLock = SRWLOCK_INIT;
    bool setupPending = true;
    HRESULT setUpResult = S_OK;
    CameraHeaderBlock* headerView = nullptr;
    unsigned char* frameView = nullptr;
    unsigned char* scratchBuffer = nullptr;
    DeferredScratchRows deferredScratch;  // what one-pass publishing owes the scratch buffer
    HANDLE wakeSemaphore = nullptr;
    CameraSyncPublisher* sync = nullptr;  // constructed in syncStorage at set-up; null without a sync block
    alignas(CameraSyncPublisher) unsigned char syncStorage[sizeof(CameraSyncPublisher)];

    // What the set-up obtained, for the destructor: sections and their views (the sync, header and frame
    // blocks and every frame-block try), in the order obtained.
    static constexpr unsigned kMaxKept = kMaxFrameBlockTries + 2;
    HANDLE keptSections[kMaxKept] = {};
    void* keptViews[kMaxKept] = {};
    unsigned keptCount = 0;
};

// The module's default channel, "tarn_kro_shared_camera_info" with frame blocks named from
// "tarn_kro_shared_camera_memeory"; it lives until the process ends.
CameraChannel& DefaultCameraChannel();

// The default channel's set-up and snapshot.
void SetUpCameraChannel(const AM_MEDIA_TYPE* proposedType);
CameraChannelViews SnapshotCameraChannel();
