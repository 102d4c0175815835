// The reader's copy step with a hook between the copy and the second look at the header or the sequence, so
// tests can rewrite the shared bytes exactly there. Only the test build of the library
// (tarn_camera_reader_seam) exports it; the shipped library keeps it internal.
#pragma once

#include "tarn_camera_channel.h"

// Runs once per attempt, after the frame bytes were copied and before the header or sequence is read again.
using AfterFrameCopyHook = void (*)(void* context);

// Attempts a read makes before it reports TARN_CAMERA_CHANGING: against a publisher without a sync block (each
// compares the header before and after the copy), and with one (each compares the sequence).
inline constexpr int kFrameCopyAttempts = 4;
inline constexpr int kSyncedCopyAttempts = 8;
// The longest single wait of tarn_camera_reader_wait when it cannot watch both the wake-up semaphore and the
// publisher's process.
inline constexpr unsigned long kUnwatchedWaitSliceMilliseconds = 100;

// Defined only in the test build of the library.
TarnCameraResult ReadFrameWithHook(TarnCameraReader* reader, void* buffer, unsigned long capacity,
                                   TarnCameraFrameInfo* info, AfterFrameCopyHook afterCopy, void* context);
