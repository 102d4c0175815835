// Publishing a 1080p packed 4:2:2 frame in the Windows build (run under Wine): the channel's publishing core
// against the read+write floor, timed with QueryPerformanceCounter. Warm: one set of buffers; cold: sets
// rotated beyond the last-level cache. Prints ms/frame and the ratio to the floor.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include "BenchFrames.h"
#include "FramePublisherCore.h"
#include "PackedYuvConversion.h"

namespace {

constexpr int kColdSets = 8;
constexpr int kRepetitions = 5;
constexpr int kFramesPerRepetition = 40;

double Seconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to)
{
    static const double frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart);
    }();
    return static_cast<double>(to.QuadPart - from.QuadPart) / frequency;
}

// The best of several repetitions of the mean time per frame, in ms.
template <typename Publish>
double MillisecondsPerFrame(std::vector<std::unique_ptr<BenchFrameSet>>& sets, int setCount, Publish publish)
{
    for (int i = 0; i < setCount; ++i)
        publish(*sets[i]);  // first touch of every page outside the timing
    double best = 1e9;
    for (int repetition = 0; repetition < kRepetitions; ++repetition) {
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        for (int frame = 0; frame < kFramesPerRepetition; ++frame)
            publish(*sets[frame % setCount]);
        QueryPerformanceCounter(&end);
        best = std::min(best, Seconds(start, end) * 1000.0 / kFramesPerRepetition);
    }
    return best;
}

}  // namespace

int main()
{
    std::vector<std::unique_ptr<BenchFrameSet>> sets;
    for (int i = 0; i < kColdSets; ++i)
        sets.push_back(std::make_unique<BenchFrameSet>());
    const PictureDescription picture = BenchPicture();
    unsigned char fill = 0;
    const char* pathNames[] = {"scalar", "ssse3", "avx2"};

    std::printf("%s, 1920x1080 YUY2 -> 24-bit bottom-up (ms/frame, ratio to the read+write floor)\n",
                sizeof(void*) == 8 ? "win64 (x86-64, under Wine)" : "win32 (i686, under Wine)");
    for (int setCount : {1, kColdSets}) {
        const char* temperature = setCount == 1 ? "warm" : "cold";
        const double floor = MillisecondsPerFrame(sets, setCount, [&](BenchFrameSet& set) { ReadWriteFloor(set, fill++); });
        const double core = MillisecondsPerFrame(sets, setCount, [&](BenchFrameSet& set) {
            PublishFrameToChannel(set.Views(), set.input.data(), kBenchInputBytes, picture);
        });
        std::printf("  %-5s %-18s %7.3f ms  x%.2f\n", temperature, "ReadWriteFloor", floor, 1.0);
        std::printf("  %-5s %-18s %7.3f ms  x%.2f\n", temperature, "PublishFrame", core, core / floor);
    }
    for (YuvConversionPath path : {YuvConversionPath::Scalar, YuvConversionPath::Ssse3, YuvConversionPath::Avx2}) {
        if (!YuvConversionPathAvailable(path))
            continue;
        const double ms = MillisecondsPerFrame(sets, 1, [&](BenchFrameSet& set) {
            ConvertPackedYuvGroups(set.input.data(), kBenchInputBytes / 4, set.scratch.data(), path);
        });
        std::printf("  conversion only, %-6s %7.3f ms\n", pathNames[static_cast<int>(path)], ms);
    }
    std::printf("  publishing uses the %s path here\n", pathNames[static_cast<int>(PreferredYuvConversionPath())]);
    return 0;
}
