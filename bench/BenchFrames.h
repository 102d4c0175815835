// Buffers shared by the publishing benchmarks: a 1080p packed 4:2:2 input frame and a camera channel made of
// ordinary memory (header, frame block, scratch buffer). Sets of buffers are rotated to measure cold caches.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "CameraChannelViews.h"
#include "PictureDescription.h"

constexpr int32_t kBenchWidth = 1920;
constexpr int32_t kBenchHeight = 1080;
constexpr size_t kBenchInputBytes = size_t{kBenchWidth} * kBenchHeight * 2;  // 4,147,200
constexpr size_t kBenchOutputBytes = size_t{kBenchWidth} * kBenchHeight * 3; // 6,220,800

// One input frame, one channel and one spare input-sized buffer (the floor's copy target).
struct BenchFrameSet {
    BenchFrameSet() : input(kBenchInputBytes), inputCopy(kBenchInputBytes), header(sizeof(CameraHeaderBlock)),
                      frame(kBenchOutputBytes), scratch(kBenchOutputBytes)
    {
        // Values spread over the whole range (a fixed pseudo-random sequence), so no path benefits from
        // uniform data.
        uint32_t state = 12345;
        for (auto& byte : input) {
            state = state * 1664525u + 1013904223u;
            byte = static_cast<unsigned char>(state >> 24);
        }
    }
    CameraChannelViews Views()
    {
        CameraChannelViews views;
        views.headerView = reinterpret_cast<CameraHeaderBlock*>(header.data());
        views.frameView = frame.data();
        views.frameCapacity = frame.size();
        views.scratchBuffer = scratch.data();
        views.scratchCapacity = scratch.size();
        return views;
    }

    std::vector<unsigned char> input;
    std::vector<unsigned char> inputCopy;
    std::vector<unsigned char> header;
    std::vector<unsigned char> frame;
    std::vector<unsigned char> scratch;
};

// The picture header of a 1920 x 1080 YUY2 connection.
inline PictureDescription BenchPicture()
{
    unsigned char header[40] = {};
    const uint32_t size = 40, compression = 0x32595559, sizeImage = kBenchInputBytes;
    const uint16_t planes = 1, bitCount = 16;
    std::memcpy(header + 0, &size, 4);
    std::memcpy(header + 4, &kBenchWidth, 4);
    std::memcpy(header + 8, &kBenchHeight, 4);
    std::memcpy(header + 12, &planes, 2);
    std::memcpy(header + 14, &bitCount, 2);
    std::memcpy(header + 16, &compression, 4);
    std::memcpy(header + 20, &sizeImage, 4);
    return DescribePicture(header, sizeof header, 0);
}

// The floor every publisher pays at least: read the input (here: copy it) and write the whole output.
inline void ReadWriteFloor(BenchFrameSet& set, unsigned char fill)
{
    std::memcpy(set.inputCopy.data(), set.input.data(), kBenchInputBytes);
    std::memset(set.frame.data(), fill, kBenchOutputBytes);
}
