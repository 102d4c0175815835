// Frames that the tests' own source delivers (its media types come from VideoMediaType.h), filled from a
// seed so every frame of a run differs.
#pragma once

#include <windows.h>
#include <amvideo.h>
#include <uuids.h>

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
