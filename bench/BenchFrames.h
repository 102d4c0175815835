// Buffers and cases shared by the publishing benchmarks (native and Windows build): a 1080p packed 4:2:2 input
// frame, a camera channel made of ordinary memory (header, frame block aligned like a mapped view, scratch
// buffer), the floors the publisher is compared with, and the table of ratios to each floor. Sets of buffers
// are rotated to measure cold caches.
#pragma once

#include <emmintrin.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "CameraChannelViews.h"
#include "FramePublisherCore.h"
#include "PackedYuvConversion.h"
#include "PictureDescription.h"

constexpr int32_t kBenchWidth = 1920;
constexpr int32_t kBenchHeight = 1080;
constexpr size_t kBenchInputBytes = size_t{kBenchWidth} * kBenchHeight * 2;  // 4,147,200
constexpr size_t kBenchOutputBytes = size_t{kBenchWidth} * kBenchHeight * 3; // 6,220,800
// 32 x 21 MB: beyond twice the largest last-level caches of current servers (260 MB on the machines here).
constexpr int kBenchColdSets = 32;

// One input frame, one channel and one spare input-sized buffer (the read+write floor's copy target).
struct BenchFrameSet {
    BenchFrameSet() : input(kBenchInputBytes), inputCopy(kBenchInputBytes), header(sizeof(CameraHeaderBlock)),
                      frameStorage(kBenchOutputBytes + 64), scratch(kBenchOutputBytes)
    {
        // Values spread over the whole range (a fixed pseudo-random sequence), so no path benefits from
        // uniform data.
        uint32_t state = 12345;
        for (auto& byte : input) {
            state = state * 1664525u + 1013904223u;
            byte = static_cast<unsigned char>(state >> 24);
        }
    }
    // A mapped view starts on a page; 64 bytes is what the stores can tell apart.
    unsigned char* FrameBlock()
    {
        const uintptr_t at = reinterpret_cast<uintptr_t>(frameStorage.data());
        return frameStorage.data() + ((64 - at % 64) % 64);
    }
    CameraChannelViews Views()
    {
        CameraChannelViews views;
        views.headerView = reinterpret_cast<CameraHeaderBlock*>(header.data());
        views.frameView = FrameBlock();
        views.frameCapacity = kBenchOutputBytes;
        views.scratchBuffer = scratch.data();
        views.scratchCapacity = scratch.size();
        views.deferredScratch = &deferredScratch;
        return views;
    }

    std::vector<unsigned char> input;
    std::vector<unsigned char> inputCopy;
    std::vector<unsigned char> header;
    std::vector<unsigned char> frameStorage;
    std::vector<unsigned char> scratch;
    DeferredScratchRows deferredScratch;
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

// A single pass that reads the input once and writes the whole frame block once (three blocks out for every
// two in), with the given store kind: what any correct converter costs at least.
inline void OnePassFloor(BenchFrameSet& set, YuvStoreKind stores)
{
    const __m128i* in = reinterpret_cast<const __m128i*>(set.input.data());
    __m128i* out = reinterpret_cast<__m128i*>(set.FrameBlock());
    for (size_t step = 0; step < kBenchInputBytes / 32; ++step, in += 2, out += 3) {
        const __m128i a = _mm_loadu_si128(in), b = _mm_loadu_si128(in + 1);
        if (stores == YuvStoreKind::Streaming) {
            _mm_stream_si128(out, a);
            _mm_stream_si128(out + 1, b);
            _mm_stream_si128(out + 2, _mm_or_si128(a, b));
        } else {
            _mm_store_si128(out, a);
            _mm_store_si128(out + 1, b);
            _mm_store_si128(out + 2, _mm_or_si128(a, b));
        }
    }
    FinishStreamingStores();
}

inline const char* BenchStoresName(YuvStoreKind stores)
{
    return stores == YuvStoreKind::Streaming ? "streaming" : "normal";
}

struct BenchCase {
    std::string name;
    std::function<void(BenchFrameSet&)> run;
};

constexpr const char* kFloorTwoCopies = "floor (a) two copies";
constexpr const char* kFloorReadWrite = "floor (b) read+write";
constexpr const char* kFloorOnePass = "floor (c) one pass";  // with kFrameBlockStores

// Every case both benchmarks time, floors first. Each leaves the frame block holding a whole frame.
inline std::vector<BenchCase> BenchCases()
{
    const PictureDescription picture = BenchPicture();
    std::vector<BenchCase> cases;
    cases.push_back({kFloorTwoCopies, [](BenchFrameSet& set) {
                         std::memcpy(set.scratch.data(), set.input.data(), kBenchInputBytes);
                         std::memcpy(set.FrameBlock(), set.scratch.data(), kBenchOutputBytes);
                     }});
    cases.push_back({kFloorReadWrite, [](BenchFrameSet& set) {
                         std::memcpy(set.inputCopy.data(), set.input.data(), kBenchInputBytes);
                         std::memset(set.FrameBlock(), set.input[0], kBenchOutputBytes);
                     }});
    cases.push_back({kFloorOnePass, [](BenchFrameSet& set) { OnePassFloor(set, kFrameBlockStores); }});
    const YuvStoreKind otherStores =
        kFrameBlockStores == YuvStoreKind::Streaming ? YuvStoreKind::Normal : YuvStoreKind::Streaming;
    cases.push_back({std::string("one pass, ") + BenchStoresName(otherStores) + " stores",
                     [otherStores](BenchFrameSet& set) { OnePassFloor(set, otherStores); }});
    cases.push_back({"PublishFrame", [picture](BenchFrameSet& set) {
                         PublishFrameToChannel(set.Views(), set.input.data(), kBenchInputBytes, picture);
                     }});
    cases.push_back({"two-pass PublishFrame", [picture](BenchFrameSet& set) {
                         CameraChannelViews views = set.Views();
                         views.deferredScratch = nullptr;  // without the record every frame takes two passes
                         PublishFrameToChannel(views, set.input.data(), kBenchInputBytes, picture);
                     }});
    for (YuvConversionPath path : kYuvConversionPaths) {
        if (!YuvConversionPathAvailable(path))
            continue;
        for (YuvStoreKind stores : {YuvStoreKind::Normal, YuvStoreKind::Streaming})
            cases.push_back({std::string("one-pass ") + YuvConversionPathName(path) + ", " + BenchStoresName(stores),
                             [picture, path, stores](BenchFrameSet& set) {
                                 PublishFrameToChannel(set.Views(), set.input.data(), kBenchInputBytes, picture,
                                                       path, stores);
                             }});
    }
    return cases;
}

// ms per frame of each case, by name, for one temperature.
using BenchTimes = std::map<std::string, double>;

// Every figure as ms/frame and as a ratio to each floor of the same temperature and run.
inline void PrintBenchTable(const char* title, const std::vector<std::string>& order, const BenchTimes& warm,
                            const BenchTimes& cold)
{
    std::printf("\n%s\n", title);
    std::printf("  %-30s | %-36s | %-36s\n", "", "warm: ms   /(a)   /(b)   /(c)", "cold: ms   /(a)   /(b)   /(c)");
    for (const std::string& name : order) {
        std::printf("  %-30s", name.c_str());
        for (const BenchTimes* times : {&warm, &cold}) {
            const auto found = times->find(name);
            if (found == times->end() || times->count(kFloorTwoCopies) == 0 || times->count(kFloorReadWrite) == 0 ||
                times->count(kFloorOnePass) == 0) {
                std::printf(" | %-36s", "-");
                continue;
            }
            std::printf(" | %8.3f %6.2f %6.2f %6.2f        ", found->second, found->second / times->at(kFloorTwoCopies),
                        found->second / times->at(kFloorReadWrite), found->second / times->at(kFloorOnePass));
        }
        std::printf("\n");
    }
    std::printf("  PublishFrame uses the %s path with %s stores; (c) uses the same store kind\n",
                YuvConversionPathName(PreferredYuvConversionPath()), BenchStoresName(kFrameBlockStores));
}
