// What one refresh of camview costs before it draws: ChannelFrameSource::Poll on a 1920 x 1080 channel, for
// a frame whose content is unchanged (read and compare) and for one that changed (read, compare and take it).
// At 60 Hz a refresh has 16.7 ms. Timed with QueryPerformanceCounter, under Wine in the Windows builds.
#include <windows.h>

#include <algorithm>
#include <cstdio>

#include "ChannelFrameSource.h"
#include "HandMadeChannel.h"

namespace {

constexpr int kRepetitions = 5;
constexpr int kPollsPerRepetition = 60;

double Milliseconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

// The best of several repetitions of the mean time per poll, in ms; `changeContent` rewrites one byte of the
// frame before each poll, at its end, so the whole frame is compared before the difference is found.
double MillisecondsPerPoll(HandMadeChannel& channel, ChannelFrameSource& source, bool changeContent)
{
    unsigned long long nowMs = 0;
    source.Poll(nowMs);
    double best = 1e9;
    for (int repetition = 0; repetition < kRepetitions; ++repetition) {
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        for (int poll = 0; poll < kPollsPerRepetition; ++poll) {
            if (changeContent)
                channel.Frame()[TARN_CAMERA_FRAME_BLOCK_SIZE - 1] ^= 1;
            // 16 ms apart, as at 60 Hz; the idle check's reopening is part of an unchanged frame's cost.
            if (source.Poll(nowMs += 16) != changeContent)
                std::fprintf(stderr, "camview poll bench: unexpected change result\n");
        }
        QueryPerformanceCounter(&end);
        best = std::min(best, Milliseconds(start, end) / kPollsPerRepetition);
    }
    return best;
}

}  // namespace

int main()
{
    HandMadeChannel channel(TARN_CAMERA_FRAME_BLOCK_SIZE);
    if (!channel.Created()) {
        std::fprintf(stderr, "camview poll bench: the channel could not be laid out\n");
        return 1;
    }
    channel.SetGeometry(1920, 1080);
    ChannelFrameSource source(channel.HeaderBlockName());
    const double unchanged = MillisecondsPerPoll(channel, source, false);
    const double changed = MillisecondsPerPoll(channel, source, true);
    std::printf("camview refresh, 1920x1080 channel (%s), best of %d x %d polls:\n", sizeof(void*) == 8 ? "x86_64" : "i686",
                kRepetitions, kPollsPerRepetition);
    std::printf("  unchanged frame  %.2f ms/poll\n  changed frame    %.2f ms/poll\n", unchanged, changed);
    return 0;
}
