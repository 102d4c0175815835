// Publishing a frame described by a media type into the default camera channel, for programs and tests that
// hold a type rather than a filter (the capture pin publishes through its channel).
#pragma once

#include <windows.h>
#include <strmif.h>

// Publishes `length` bytes at `data`, a frame described by `type`. Does nothing before a successful channel
// set-up; see PublishFrameToChannel for what reaches the blocks.
void PublishFrame(const BYTE* data, ULONG length, const AM_MEDIA_TYPE* type);
