// Publishing a 1080p packed 4:2:2 frame in the Windows build (run under Wine): the same cases as the native
// benchmark, and vidtap.dll's own Receive in the same process, timed with QueryPerformanceCounter. Warm: one
// set of buffers; cold: sets rotated beyond the last-level cache. Prints ms/frame and the ratios to each
// floor. Then four vidtap instances, each in a named channel of its own, fed in turn, against one of them
// alone: the time per frame per channel.
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

#include <string>

#include "BenchFrames.h"
#include "VidtapReceiveBench.h"

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

// The module the build made, as a path on Wine's Z: drive.
std::wstring VidtapModulePath()
{
    std::wstring path = L"Z:";
    for (const char* c = BENCH_VIDTAP_DLL; *c != '\0'; ++c)
        path += *c == '/' ? L'\\' : static_cast<wchar_t>(*c);
    return path;
}

// Four named channels, one camera each, each fed its own frame in turn, against the first channel alone fed the
// same four frames in turn: the same input, so what differs is only the channels written.
void MeasureNamedChannels()
{
    constexpr int kChannels = 4;
    std::vector<std::unique_ptr<BenchFrameSet>> frames;
    for (int i = 0; i < kChannels; ++i)
        frames.push_back(std::make_unique<BenchFrameSet>());
    std::vector<std::unique_ptr<VidtapReceiveBench>> channels;
    for (int i = 0; i < kChannels; ++i) {
        channels.push_back(std::make_unique<VidtapReceiveBench>());
        const std::wstring name = L"bench_camera_" + std::to_wstring(i);
        const HRESULT started = channels[i]->Start(VidtapModulePath().c_str(), frames, name.c_str());
        if (FAILED(started)) {
            std::printf("Receive into named channels not measured (0x%08lX)\n", static_cast<unsigned long>(started));
            return;
        }
    }
    // The mean time per delivered frame of one set of rounds, in ms; frame i goes to channel i, or to channel
    // 0 for `oneChannel`.
    auto perFrame = [&](bool oneChannel) {
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        for (int round = 0; round < kFramesPerRepetition; ++round)
            for (int i = 0; i < kChannels; ++i)
                if (FAILED(channels[oneChannel ? 0 : i]->Deliver(*frames[i])))
                    std::abort();
        QueryPerformanceCounter(&end);
        return Seconds(start, end) * 1000.0 / (kFramesPerRepetition * kChannels);
    };
    // The two arrangements alternate, so that whatever else the machine does weighs on both alike; the best
    // set of each counts. The first of each warms up.
    constexpr int kAlternations = 15;
    perFrame(true);
    perFrame(false);
    double one = 1e9, four = 1e9;
    for (int alternation = 0; alternation < kAlternations; ++alternation) {
        one = std::min(one, perFrame(true));
        four = std::min(four, perFrame(false));
    }
    std::printf("Receive into named channels, 4 frames in turn, best of %d alternations x %d rounds: one channel "
                "%.3f ms/frame, %d channels (frame i into channel i) %.3f ms/frame per channel (x%.2f)\n",
                kAlternations, kFramesPerRepetition, one, kChannels, four, four / one);
}

}  // namespace

int main()
{
    CoInitialize(nullptr);
    std::vector<std::unique_ptr<BenchFrameSet>> sets;
    for (int i = 0; i < kBenchColdSets; ++i)
        sets.push_back(std::make_unique<BenchFrameSet>());
    std::vector<std::string> order;
    BenchTimes warm, cold;
    std::vector<BenchCase> cases = BenchCases();
    VidtapReceiveBench receive;
    const HRESULT started = receive.Start(VidtapModulePath().c_str(), sets);
    if (SUCCEEDED(started))
        cases.push_back({"Receive (vidtap.dll)", [&receive](BenchFrameSet& set) {
                             if (FAILED(receive.Deliver(set)))
                                 std::abort();
                         }});
    else
        std::printf("Receive (vidtap.dll) not measured: the graph could not be set up (0x%08lX)\n",
                    static_cast<unsigned long>(started));
    for (const BenchCase& c : cases) {
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
    MeasureNamedChannels();
    return SUCCEEDED(started) ? 0 : 1;
}
