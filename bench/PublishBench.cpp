// Publishing a 1080p packed 4:2:2 frame, natively: the channel's publishing core (dispatched, each kernel and
// store kind, and the two-pass route) against the floors and against libyuv's YUY2ToARGB + ARGBToRGB24 chained
// row by row with a vertical flip. Warm runs reuse one set of buffers; cold runs rotate through sets that do not
// fit the last-level cache. After the runs, every figure is printed as a ratio to each floor.
#include <benchmark/benchmark.h>
#include <libyuv.h>

#include <memory>

#include "BenchFrames.h"

namespace {

std::vector<std::unique_ptr<BenchFrameSet>>& Sets()
{
    static std::vector<std::unique_ptr<BenchFrameSet>> sets;
    while (sets.size() < kBenchColdSets)
        sets.push_back(std::make_unique<BenchFrameSet>());
    return sets;
}

void LibyuvChained(BenchFrameSet& set)
{
    static std::vector<uint8_t> argbRow(size_t{kBenchWidth} * 4);
    const int inputStride = kBenchWidth * 2, outputStride = kBenchWidth * 3;
    for (int row = 0; row < kBenchHeight; ++row) {
        libyuv::YUY2ToARGB(set.input.data() + size_t(row) * inputStride, inputStride, argbRow.data(),
                           kBenchWidth * 4, kBenchWidth, 1);
        libyuv::ARGBToRGB24(argbRow.data(), kBenchWidth * 4,
                            set.FrameBlock() + size_t(kBenchHeight - 1 - row) * outputStride, outputStride,
                            kBenchWidth, 1);
    }
}

// Keeps the median time per iteration (ms) of every run besides printing it as usual.
class CollectingReporter : public benchmark::ConsoleReporter {
public:
    CollectingReporter() : ConsoleReporter(OO_Tabular) {}
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            if (run.error_occurred || (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median"))
                continue;
            timings[run.run_name.str()] = run.GetAdjustedRealTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> timings;
};

}  // namespace

int main(int argc, char** argv)
{
    std::vector<BenchCase> cases = BenchCases();
    cases.push_back({"libyuv chain", LibyuvChained});
    for (YuvConversionPath path : kYuvConversionPaths)
        if (YuvConversionPathAvailable(path))
            cases.push_back({std::string("conversion only, ") + YuvConversionPathName(path), [path](BenchFrameSet& set) {
                                 ConvertPackedYuvGroups(set.input.data(), kBenchInputBytes / 4, set.scratch.data(),
                                                        path);
                             }});
    std::vector<std::string> order;
    for (const BenchCase& c : cases) {
        order.push_back(c.name);
        for (int sets : {1, kBenchColdSets}) {
            benchmark::RegisterBenchmark((c.name + (sets == 1 ? "/warm" : "/cold")).c_str(),
                                         [run = c.run, sets](benchmark::State& state) {
                                             int next = 0;
                                             for (auto _ : state) {
                                                 run(*Sets()[next]);
                                                 next = (next + 1) % sets;
                                                 benchmark::ClobberMemory();
                                             }
                                         })
                ->Unit(benchmark::kMillisecond);
        }
    }
    benchmark::Initialize(&argc, argv);
    CollectingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    BenchTimes warm, cold;
    for (const auto& [name, ms] : reporter.timings) {
        const size_t slash = name.rfind('/');
        (name.compare(slash + 1, 4, "warm") == 0 ? warm : cold)[name.substr(0, slash)] = ms;
    }
    PrintBenchTable("host, 1920x1080 YUY2 -> 24-bit bottom-up, median wall clock", order, warm, cold);
    return 0;
}
