// Media types and frames that the tests' own source offers and delivers: uncompressed video with a
// VIDEOINFOHEADER format block, and frames filled from a seed so every frame of a run differs.
#pragma once

#include <windows.h>
#include <amvideo.h>
#include <uuids.h>

#include <vector>

#include "COwnedMediaType.h"

inline COwnedMediaType MakeVideoType(REFGUID subtype, int width, int height, WORD bitCount, DWORD compression)
{
    VIDEOINFOHEADER video = {};
    video.AvgTimePerFrame = 333333;
    video.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    video.bmiHeader.biWidth = width;
    video.bmiHeader.biHeight = height;
    video.bmiHeader.biPlanes = 1;
    video.bmiHeader.biBitCount = bitCount;
    video.bmiHeader.biCompression = compression;
    video.bmiHeader.biSizeImage = static_cast<DWORD>(width * height * bitCount / 8);
    AM_MEDIA_TYPE raw;
    MediaTypeReset(&raw);
    raw.majortype = MEDIATYPE_Video;
    raw.subtype = subtype;
    raw.bFixedSizeSamples = TRUE;
    raw.lSampleSize = video.bmiHeader.biSizeImage;
    raw.formattype = FORMAT_VideoInfo;
    raw.cbFormat = sizeof video;
    raw.pbFormat = reinterpret_cast<BYTE*>(&video);
    COwnedMediaType type;
    type = raw;  // deep copy: the block above stays on the stack
    return type;
}

inline COwnedMediaType MakeYuy2Type(int width, int height)
{
    return MakeVideoType(MEDIASUBTYPE_YUY2, width, height, 16, MAKEFOURCC('Y', 'U', 'Y', '2'));
}

inline COwnedMediaType MakeRgb32Type(int width, int height)
{
    return MakeVideoType(MEDIASUBTYPE_RGB32, width, height, 32, BI_RGB);
}

// `bytes` bytes from a small linear congruential generator started at `seed`.
inline std::vector<BYTE> SeededBytes(size_t bytes, unsigned seed)
{
    std::vector<BYTE> data(bytes);
    unsigned state = seed * 2654435761u + 1;
    for (BYTE& b : data) {
        state = state * 1664525u + 1013904223u;
        b = static_cast<BYTE>(state >> 24);
    }
    return data;
}

// A packed 4:2:2 frame of seeded bytes whose first groups are the conversion's corner cases: black, the
// brightest grey, a green that truncates toward zero, and the clamping extremes at both ends.
inline std::vector<BYTE> SeededYuy2Frame(int width, int height, unsigned seed)
{
    std::vector<BYTE> frame = SeededBytes(static_cast<size_t>(width) * height * 2, seed);
    const BYTE corners[][4] = {{16, 128, 235, 128}, {235, 128, 16, 128}, {81, 90, 81, 240}, {255, 255, 255, 255},
                               {0, 0, 0, 0}};
    for (size_t group = 0; group < sizeof corners / sizeof corners[0] && group * 4 + 4 <= frame.size(); ++group)
        for (size_t i = 0; i < 4; ++i)
            frame[group * 4 + i] = corners[group][i];
    return frame;
}
