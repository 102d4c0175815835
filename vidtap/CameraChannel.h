// The camera channel of this module: its once-per-process set-up and the snapshot publishers work from. The
// module-wide state (the mapped header and frame blocks, the scratch buffer, whether the set-up is pending)
// lives in CameraChannel.cpp alone; everything the set-up obtains stays until the process ends. channelLock
// (module-wide, statically initialised; a leaf of the lock table in CVidtap.h) serialises the set-up against
// itself and against publishers taking a snapshot; the views themselves are written by publishers without a
// lock (see FramePublisherCore.h).
#pragma once

#include <windows.h>
#include <strmif.h>

#include "CameraChannelLayout.h"
#include "CameraChannelViews.h"

// Sets up the camera channel the first time it is called in the process, from the picture header of
// `proposedType`; later calls return at once. Safe to call from any number of threads at once: exactly one
// call does the set-up and the others wait for it. A type without a picture header still opens the blocks
// but leaves `format` as it was. Reports nothing: when a block cannot be obtained or the scratch buffer
// cannot be allocated, the channel stays unusable and publishing does nothing.
void SetUpCameraChannel(const AM_MEDIA_TYPE* proposedType);

// The channel as publishers use it; not usable until a set-up has succeeded.
CameraChannelViews SnapshotCameraChannel();
