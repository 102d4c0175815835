// Frames that the tests deliver (their media types come from VideoMediaType.h): filled from a seed so every
// frame of a run differs, or of one colour throughout.
#pragma once

#include <windows.h>
#include <strmif.h>
#include <amvideo.h>
#include <uuids.h>

#include <cstddef>
#include <vector>

#include "VideoMediaType.h"

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

// `bytes` bytes of packed 4:2:2 groups (Y, U, Y, V) of one colour; a trailing part-group is left as it was.
inline void FillSolidPacked(BYTE* data, size_t bytes, BYTE y, BYTE u, BYTE v)
{
    for (size_t at = 0; at + 4 <= bytes; at += 4) {
        data[at] = y;
        data[at + 1] = u;
        data[at + 2] = y;
        data[at + 3] = v;
    }
}

inline std::vector<BYTE> SolidPackedFrame(int width, int height, BYTE y, BYTE u, BYTE v)
{
    std::vector<BYTE> frame(static_cast<size_t>(width) * height * 2);
    FillSolidPacked(frame.data(), frame.size(), y, u, v);
    return frame;
}
