// The camera channel as this module writes it: names, sizes and the byte layout of the header block, taken
// from the public header that readers include (tarn_camera_channel.h), so the two cannot drift: every value
// here is that header's, and the overlay below is checked against its record at compile time. Plain
// declarations only (no platform headers), so the platform-neutral publisher and its tests use it too.
#pragma once

#include <cstddef>
#include <cstdint>

#include "tarn_camera_channel.h"

// Block names (UTF-16 on Windows, where they are used). The frame block's name is the base name followed by
// the digits of successive tries, and is announced in the header block.
inline constexpr wchar_t kHeaderBlockName[] = TARN_CAMERA_HEADER_BLOCK_NAME;
inline constexpr wchar_t kFrameBlockBaseName[] = TARN_CAMERA_FRAME_BLOCK_BASE_NAME;
inline constexpr size_t kFrameBlockBaseNameLength = TARN_CAMERA_FRAME_BLOCK_BASE_NAME_LENGTH;

inline constexpr uint32_t kHeaderBlockSize = TARN_CAMERA_HEADER_BLOCK_SIZE;
// 1920 x 1080 pixels of 3 bytes: the largest converted frame the channel carries. The scratch buffer has
// the same size.
inline constexpr uint32_t kFrameBlockSize = TARN_CAMERA_FRAME_BLOCK_SIZE;
inline constexpr size_t kFrameBlockNameUnits = TARN_CAMERA_FRAME_BLOCK_NAME_UNITS;  // including the terminating zero

// A BITMAPINFOHEADER as stored in `format` and as read from a format block: 40 bytes, little-endian.
inline constexpr size_t kPictureHeaderSize = sizeof(TarnPictureHeader);
inline constexpr size_t kPictureWidthOffset = offsetof(TarnPictureHeader, biWidth);              // int32
inline constexpr size_t kPictureHeightOffset = offsetof(TarnPictureHeader, biHeight);            // int32
inline constexpr size_t kPictureBitCountOffset = offsetof(TarnPictureHeader, biBitCount);        // uint16
inline constexpr size_t kPictureCompressionOffset = offsetof(TarnPictureHeader, biCompression);  // uint32

// What the system writes into `format` besides the copied picture header: 24-bit uncompressed (BI_RGB).
inline constexpr uint16_t kPublishedBitCount = TARN_CAMERA_PUBLISHED_BIT_COUNT;
inline constexpr uint32_t kPublishedCompression = TARN_CAMERA_PUBLISHED_COMPRESSION;

// Written once per lifetime of the named header block, by the first set-up that finds `initialised` 0.
inline constexpr int32_t kAuxIntDefault = 0;
inline constexpr float kAuxFloatDefault = 0.15f;  // bit pattern 0x3E19999A

// The header block, overlaid on its mapped view. Another process may rewrite any field at any time: the
// system reads back only `initialised` (at set-up) and the width and height inside `format` (to decide a
// refresh), and never derives a size or an offset from what it reads here.
struct CameraHeaderBlock {
    int32_t initialised;
    unsigned char format[kPictureHeaderSize];
    unsigned char unused44[4];
    uint16_t frameBlockName[kFrameBlockNameUnits];  // UTF-16, zero-terminated
    int32_t auxInt0;
    int32_t auxInt1;
    float auxFloat0;
    float auxFloat1;
    unsigned char unused576[4];
};

static_assert(offsetof(CameraHeaderBlock, initialised) == offsetof(TarnCameraHeaderBlock, initialised));
static_assert(offsetof(CameraHeaderBlock, format) == offsetof(TarnCameraHeaderBlock, format));
static_assert(offsetof(CameraHeaderBlock, frameBlockName) == offsetof(TarnCameraHeaderBlock, frameBlockName));
static_assert(offsetof(CameraHeaderBlock, auxInt0) == offsetof(TarnCameraHeaderBlock, auxInt0));
static_assert(offsetof(CameraHeaderBlock, auxInt1) == offsetof(TarnCameraHeaderBlock, auxInt1));
static_assert(offsetof(CameraHeaderBlock, auxFloat0) == offsetof(TarnCameraHeaderBlock, auxFloat0));
static_assert(offsetof(CameraHeaderBlock, auxFloat1) == offsetof(TarnCameraHeaderBlock, auxFloat1));
static_assert(sizeof(CameraHeaderBlock) == sizeof(TarnCameraHeaderBlock));
