// Publishing a 1080p packed 4:2:2 frame, natively: the channel's publishing core against the read+write
// floor and against libyuv's YUY2ToARGB + ARGBToRGB24 chained row by row with a vertical flip. Warm runs
// reuse one set of buffers (it stays in the last-level cache); cold runs rotate through sets that do not fit.
// After the runs, every figure is printed as a ratio to the floor of the same temperature.
#include <benchmark/benchmark.h>
#include <libyuv.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "BenchFrames.h"
#include "FramePublisherCore.h"
#include "PackedYuvConversion.h"

namespace {

constexpr int kColdSets = 8;  // 8 x 16.5 MB, well beyond the last-level cache

std::vector<std::unique_ptr<BenchFrameSet>>& Sets()
{
    static std::vector<std::unique_ptr<BenchFrameSet>> sets;
    while (sets.size() < kColdSets)
        sets.push_back(std::make_unique<BenchFrameSet>());
    return sets;
}

void BM_PublishFrame(benchmark::State& state)
{
    const int sets = static_cast<int>(state.range(0));
    const PictureDescription picture = BenchPicture();
    int next = 0;
    for (auto _ : state) {
        BenchFrameSet& set = *Sets()[next];
        next = (next + 1) % sets;
        PublishFrameToChannel(set.Views(), set.input.data(), kBenchInputBytes, picture);
        benchmark::ClobberMemory();
    }
}

void BM_ReadWriteFloor(benchmark::State& state)
{
    const int sets = static_cast<int>(state.range(0));
    int next = 0;
    unsigned char fill = 0;
    for (auto _ : state) {
        BenchFrameSet& set = *Sets()[next];
        next = (next + 1) % sets;
        ReadWriteFloor(set, fill++);
        benchmark::ClobberMemory();
    }
}

void BM_LibyuvChained(benchmark::State& state)
{
    const int sets = static_cast<int>(state.range(0));
    std::vector<uint8_t> argbRow(size_t{kBenchWidth} * 4);
    const int inputStride = kBenchWidth * 2, outputStride = kBenchWidth * 3;
    int next = 0;
    for (auto _ : state) {
        BenchFrameSet& set = *Sets()[next];
        next = (next + 1) % sets;
        for (int row = 0; row < kBenchHeight; ++row) {
            libyuv::YUY2ToARGB(set.input.data() + size_t(row) * inputStride, inputStride, argbRow.data(),
                               kBenchWidth * 4, kBenchWidth, 1);
            libyuv::ARGBToRGB24(argbRow.data(), kBenchWidth * 4,
                                set.frame.data() + size_t(kBenchHeight - 1 - row) * outputStride, outputStride,
                                kBenchWidth, 1);
        }
        benchmark::ClobberMemory();
    }
}

// The conversion alone (no row copy), per path, over one warm frame.
void BM_ConversionPath(benchmark::State& state)
{
    const auto path = static_cast<YuvConversionPath>(state.range(0));
    if (!YuvConversionPathAvailable(path)) {
        state.SkipWithError("path not available on this processor");
        return;
    }
    BenchFrameSet& set = *Sets()[0];
    for (auto _ : state) {
        ConvertPackedYuvGroups(set.input.data(), kBenchInputBytes / 4, set.scratch.data(), path);
        benchmark::ClobberMemory();
    }
}

BENCHMARK(BM_ReadWriteFloor)->Arg(1)->Arg(kColdSets)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PublishFrame)->Arg(1)->Arg(kColdSets)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LibyuvChained)->Arg(1)->Arg(kColdSets)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConversionPath)
    ->Arg(static_cast<int>(YuvConversionPath::Scalar))
    ->Arg(static_cast<int>(YuvConversionPath::Ssse3))
    ->Arg(static_cast<int>(YuvConversionPath::Avx2))
    ->Unit(benchmark::kMillisecond);

struct Timing {
    double real;  // wall-clock ms per frame
    double cpu;   // ms of this thread's processor time per frame: steadier on a machine shared with others
};

// Keeps each run's times per iteration (in ms) besides printing them as usual.
class CollectingReporter : public benchmark::ConsoleReporter {
public:
    CollectingReporter() : ConsoleReporter(OO_Tabular) {}
    void ReportRuns(const std::vector<Run>& runs) override
    {
        // With repetitions only the medians are kept, under the run's plain name.
        for (const Run& run : runs) {
            if (run.error_occurred || (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median"))
                continue;
            timings[run.run_name.str()] = {run.GetAdjustedRealTime(), run.GetAdjustedCPUTime()};
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, Timing> timings;
};

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    CollectingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const char* pathNames[] = {"scalar", "ssse3", "avx2"};
    std::printf("\nhost, 1920x1080 YUY2 -> 24-bit bottom-up: ms/frame (ratio to the read+write floor)\n");
    std::printf("  %-5s %-16s %18s %18s\n", "", "", "wall clock", "processor time");
    for (const char* temperature : {"warm", "cold"}) {
        const std::string arg = std::string("/") + (temperature[0] == 'w' ? "1" : std::to_string(kColdSets));
        const auto floor = reporter.timings.find("BM_ReadWriteFloor" + arg);
        if (floor == reporter.timings.end())
            continue;
        for (const char* name : {"BM_ReadWriteFloor", "BM_PublishFrame", "BM_LibyuvChained"}) {
            const auto found = reporter.timings.find(name + arg);
            if (found != reporter.timings.end())
                std::printf("  %-5s %-16s %8.3f (x%5.2f) %8.3f (x%5.2f)\n", temperature, name + 3, found->second.real,
                            found->second.real / floor->second.real, found->second.cpu,
                            found->second.cpu / floor->second.cpu);
        }
    }
    for (int path = 0; path < 3; ++path) {
        const auto found = reporter.timings.find("BM_ConversionPath/" + std::to_string(path));
        if (found != reporter.timings.end())
            std::printf("  conversion only, %-6s %8.3f          %8.3f\n", pathNames[path], found->second.real,
                        found->second.cpu);
    }
    std::printf("  publishing uses the %s path here\n", pathNames[static_cast<int>(PreferredYuvConversionPath())]);
    return 0;
}
