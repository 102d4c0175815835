// The platform-neutral part of publishing a frame into the camera channel: header refresh, the copy path and
// the packed 4:2:2 conversion with row reversal. It writes only through the views it is given and never more
// bytes than their capacities; it reads at most `length` bytes of the frame. It takes no lock: the caller
// serialises the publishing of one filter instance (the instance's receive lock). Instances in one process
// share the blocks and the scratch buffer, so concurrent publishers overwrite each other's frames, but every
// access stays within bounds.
#pragma once

#include <cstdint>

#include "CameraChannelViews.h"
#include "PackedYuvConversion.h"
#include "PictureDescription.h"

// The store kind publishing uses for converted rows in the frame block (measured to be the faster one): the
// block is read by another process, never by this one.
inline constexpr YuvStoreKind kFrameBlockStores = YuvStoreKind::Streaming;

// Publishes one frame described by `picture` (the picture header of the type being published).
//  - Nothing happens when the channel is not usable or `data` is null.
//  - No picture header: the frame is copied unchanged (at most frameCapacity bytes); the header block is not
//    touched.
//  - A 16-bit picture whose |width| x |height| x 3 rows exceed the frame block or the scratch buffer is not
//    published at all: frame block and header block keep what they held.
//  - Otherwise `format` is rewritten when its width or height differ from the picture's. A picture of
//    another depth is then copied unchanged; a 16-bit one is converted group by group (whole 4-byte groups
//    of `length`, as many as the scratch buffer holds) into the scratch buffer, and the picture's rows are
//    copied from the scratch buffer into the frame block last row first. A width or height of 0 or below
//    copies no row. The row geometry is always the picture's own, never values read from the header block.
//  - Frame block and scratch buffer end up as that two-pass account says, but when the data covers the
//    picture (and the channel has a deferral record) each row is converted once, straight into the frame
//    block, and the scratch buffer's copy is only recorded; see DeferredScratchRows.
//  - With a sync publisher, every write of a published frame (header refresh included) happens between its
//    BeginFrame and its EndFrame, which records the frame (geometry, row order, bytes written, kind, the
//    picture's subtype and depth, `times`). A frame that is not published takes no turn; a frame whose turn
//    cannot be had within the bound (another process's publisher still writing) is dropped unwritten.
// Uses the preferred conversion path and kFrameBlockStores.
void PublishFrameToChannel(const CameraChannelViews& channel, const unsigned char* data, uint32_t length,
                           const PictureDescription& picture, const SampleTimes& times = {});
// The same through a given (available) conversion path and store kind.
void PublishFrameToChannel(const CameraChannelViews& channel, const unsigned char* data, uint32_t length,
                           const PictureDescription& picture, YuvConversionPath path, YuvStoreKind stores,
                           const SampleTimes& times = {});

// Writes `picture` into the header block's `format` as published: its 40 bytes, then biBitCount 24 and
// biCompression 0.
void WritePublishedFormat(CameraHeaderBlock* header, const PictureDescription& picture);
