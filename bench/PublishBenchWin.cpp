// Publishing a 1080p packed 4:2:2 frame in the Windows build (run under Wine): the same cases as the native
// benchmark, timed with QueryPerformanceCounter. Warm: one set of buffers; cold: sets rotated beyond the
// last-level cache. Prints ms/frame and the ratios to each floor.
#include <windows.h>

#include <algorithm>
#include <memory>

#include "BenchFrames.h"

namespace {

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
double MillisecondsPerFrame(std::vector<std::unique_ptr<BenchFrameSet>>& sets, int setCount,
                            const std::function<void(BenchFrameSet&)>& run)
{
    for (int i = 0; i < setCount; ++i)
        run(*sets[i]);  // first touch of every page outside the timing
    double best = 1e9;
    for (int repetition = 0; repetition < kRepetitions; ++repetition) {
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        for (int frame = 0; frame < kFramesPerRepetition; ++frame)
            run(*sets[frame % setCount]);
        QueryPerformanceCounter(&end);
        best = std::min(best, Seconds(start, end) * 1000.0 / kFramesPerRepetition);
    }
    return best;
}

}  // namespace

int main()
{
    std::vector<std::unique_ptr<BenchFrameSet>> sets;
    for (int i = 0; i < kBenchColdSets; ++i)
        sets.push_back(std::make_unique<BenchFrameSet>());
    std::vector<std::string> order;
    BenchTimes warm, cold;
    for (const BenchCase& c : BenchCases()) {
        order.push_back(c.name);
        warm[c.name] = MillisecondsPerFrame(sets, 1, c.run);
        cold[c.name] = MillisecondsPerFrame(sets, kBenchColdSets, c.run);
    }
#if defined(_WIN64)
    const char* title = "Windows build (x86_64, under Wine), 1920x1080 YUY2 -> 24-bit bottom-up, best of 5 x 40 frames";
#else
    const char* title = "Windows build (i686, under Wine), 1920x1080 YUY2 -> 24-bit bottom-up, best of 5 x 40 frames";
#endif
    PrintBenchTable(title, order, warm, cold);
    return 0;
}
