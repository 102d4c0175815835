// Publishing of received samples into this module's camera channel. Called by the capture pin on the
// streaming thread under the filter instance's receive lock; instances in one process share the channel.
#pragma once

#include <windows.h>
#include <strmif.h>

#include "PictureDescription.h"

// Publishes `length` bytes at `data`, a frame described by `type` (the pin's connection type). Does nothing
// before a successful channel set-up; see PublishFrameToChannel for what reaches the blocks.
void PublishFrame(const BYTE* data, ULONG length, const AM_MEDIA_TYPE* type);
// The same with the picture header already taken out of the type (a caller that must not hold on to the
// type while publishing copies it first).
void PublishFrame(const BYTE* data, ULONG length, const PictureDescription& picture);
