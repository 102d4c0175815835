// The camera channel of this module: the module-wide state (the mapped header and frame blocks, the scratch
// buffer, setupPending) and its once-per-process set-up. Everything the set-up obtains stays until the
// process ends. channelLock (module-wide, statically initialised) serialises the set-up against itself and
// against publishers taking a snapshot; the views themselves are written by publishers without a lock
// (see FramePublisherCore.h).
#pragma once

#include <windows.h>
#include <strmif.h>

#include "CameraChannelLayout.h"
#include "CameraChannelPlatform.h"
#include "CameraChannelViews.h"

// Module-wide channel state. Written only by the set-up, under channelLock; readers take a snapshot.
extern CameraHeaderBlock* headerView;
extern unsigned char* frameView;
extern unsigned char* scratchBuffer;
extern LONG setupPending;  // 1 until the set-up has run, whatever its outcome

// Sets up the camera channel the first time it is called in the process, from the picture header of
// `proposedType`; later calls return at once. Safe to call from any number of threads at once: exactly one
// call does the set-up and the others wait for it. A type without a picture header still opens the blocks
// but leaves `format` as it was. Reports nothing: when a block cannot be obtained or the scratch buffer
// cannot be allocated, the channel stays unusable and publishing does nothing.
void SetUpCameraChannel(const AM_MEDIA_TYPE* proposedType);

// The inner step of the set-up (called with channelLock held and headerView mapped): names and maps the frame
// block, writing each tried name into the header block's frameBlockName. The first name whose view is at
// least kFrameBlockSize of committed memory wins. When no name fits the field, frameView stays null and
// frameBlockName is left empty, so no reader opens a rejected block.
void OpenFrameBlock();

// The channel as publishers use it; not usable until a set-up has succeeded.
CameraChannelViews SnapshotCameraChannel();
