// The reader's copy step with a hook between the copy and the second look at the geometry, so tests can
// rewrite the header exactly there. The public tarn_camera_reader_read is this with no hook.
#pragma once

#include "tarn_camera_channel.h"

// Runs once per attempt, after the frame bytes were copied and before the geometry is read again.
using AfterFrameCopyHook = void (*)(void* context);

// Attempts a read makes before it reports TARN_CAMERA_CHANGING.
inline constexpr int kFrameCopyAttempts = 4;

TarnCameraResult ReadFrameWithHook(TarnCameraReader* reader, void* buffer, unsigned long capacity,
                                   TarnCameraFrameInfo* info, AfterFrameCopyHook afterCopy, void* context);
