// The camera channel as the reading process sees it: names, sizes and the byte layout of the header block.
// This file is the whole contract with that reader; every other file takes the offsets from here. Plain
// declarations only (no platform headers), so the platform-neutral publisher and its tests use it too.
#pragma once

#include <cstddef>
#include <cstdint>

// Block names (UTF-16 on Windows, where they are used). The frame block's name is the base name followed by
// the digits of successive tries, and is announced in the header block.
inline constexpr wchar_t kHeaderBlockName[] = L"tarn_kro_shared_camera_info";
inline constexpr wchar_t kFrameBlockBaseName[] = L"tarn_kro_shared_camera_memeory";
inline constexpr size_t kFrameBlockBaseNameLength = 30;

inline constexpr uint32_t kHeaderBlockSize = 580;
// 1920 x 1080 pixels of 3 bytes: the largest converted frame the channel carries. The scratch buffer has
// the same size.
inline constexpr uint32_t kFrameBlockSize = 6220800;
inline constexpr size_t kFrameBlockNameUnits = 256;  // including the terminating zero

// A BITMAPINFOHEADER as stored in `format` and as read from a format block: 40 bytes, little-endian.
inline constexpr size_t kPictureHeaderSize = 40;
inline constexpr size_t kPictureWidthOffset = 4;        // int32 biWidth
inline constexpr size_t kPictureHeightOffset = 8;       // int32 biHeight
inline constexpr size_t kPictureBitCountOffset = 14;    // uint16 biBitCount
inline constexpr size_t kPictureCompressionOffset = 16; // uint32 biCompression

// What the system writes into `format` besides the copied picture header: 24-bit uncompressed (BI_RGB).
inline constexpr uint16_t kPublishedBitCount = 24;
inline constexpr uint32_t kPublishedCompression = 0;

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

static_assert(offsetof(CameraHeaderBlock, initialised) == 0);
static_assert(offsetof(CameraHeaderBlock, format) == 4);
static_assert(offsetof(CameraHeaderBlock, frameBlockName) == 48);
static_assert(offsetof(CameraHeaderBlock, auxInt0) == 560);
static_assert(offsetof(CameraHeaderBlock, auxInt1) == 564);
static_assert(offsetof(CameraHeaderBlock, auxFloat0) == 568);
static_assert(offsetof(CameraHeaderBlock, auxFloat1) == 572);
static_assert(sizeof(CameraHeaderBlock) == kHeaderBlockSize);
static_assert(sizeof(float) == 4);
