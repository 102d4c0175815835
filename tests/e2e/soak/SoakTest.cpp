// Long runs through the platform's filter graph: 100,000 frames from the tests' own source into each sink,
// packed 4:2:2 whose format changes every 1,000 frames (640x480 and 320x240 in turn, each change asked with
// QueryAccept and carried by the next sample, as an upstream filter makes it). Four short settling runs in the
// same graph go first; then, with the measured run queued, the private bytes, handle count and thread count of
// the process are taken before and after it and must be unchanged (the private bytes within one page).
// Labelled soak (its directory's label): `make soak` runs it, `make test` leaves it out.
#include <gtest/gtest.h>
#include <dshow.h>

#include <cstdio>
#include <memory>
#include <vector>

#include "GraphHelpers.h"
#include "ProcessFigures.h"
#include "SinkGraphTest.h"
#include "TestPictures.h"

namespace {

constexpr int kFramesPerFormat = 1000;
constexpr int kSegments = 100;
constexpr int kSettlingRuns = 4;
constexpr int kSettlingSegments = 2;
constexpr SSIZE_T kPageBytes = 4096;

class Soak : public SinkGraphTest, public testing::WithParamInterface<ModuleUnderTest> {
protected:
    Soak() : SinkGraphTest(GetParam()) {}

    // `segments` times kFramesPerFormat frames for the next run, each segment announced by a format change to
    // the next of the two formats.
    void QueueSegments(int segments)
    {
        for (int segment = 0; segment < segments; ++segment) {
            const bool large = segment % 2 == 0;
            source->QueueFormatChange(large ? largeType : smallType);
            source->QueueRepeatedFrame(large ? largeFrame : smallFrame, kFramesPerFormat);
        }
    }

    // The queued frames, run to the end of the stream and stopped.
    void RunQueued()
    {
        // The sink's own notices, read from the queue: the graph's completion wait would still see the
        // completion of the run before.
        const GraphCompletion run = RunGraph(graph.Get(), CompletionHandling::EveryFilterNotice, 600000);
        ASSERT_EQ(run.runResult, S_OK);
        ASSERT_EQ(run.completeEvents, 1);
        ASSERT_EQ(run.abortEvents, 0);
        ASSERT_EQ(run.stopResult, S_OK);
        ASSERT_EQ(source->WaitForStreaming(), S_OK);
    }

    const COwnedMediaType largeType = MakeVideoType(640, 480, 16);
    const COwnedMediaType smallType = MakeVideoType(320, 240, 16);
    const std::shared_ptr<const std::vector<BYTE>> largeFrame =
        std::make_shared<const std::vector<BYTE>>(SeededYuy2Frame(640, 480, 1));
    const std::shared_ptr<const std::vector<BYTE>> smallFrame =
        std::make_shared<const std::vector<BYTE>>(SeededYuy2Frame(320, 240, 2));
};

TEST_P(Soak, HundredThousandFramesWithFormatChangesLeaveMemoryHandlesAndThreadsAsTheyWere)
{
    source->Pin()->OfferType(largeType);
    ASSERT_NO_FATAL_FAILURE(ConnectOwnSource());
    // The first runs of a process grow its heaps and the platform's own state (measured here: 2 MiB in the
    // first run, 16 KiB in the next three, nothing after), and its first measurements set up what measuring
    // needs (8 KiB); after that, runs of any length leave the figures as they are.
    for (int run = 0; run < kSettlingRuns; ++run) {
        QueueSegments(kSettlingSegments);
        ASSERT_NO_FATAL_FAILURE(RunQueued());
        (void)MeasureThisProcess();
    }

    // Measured with the long run's queue in place: what the test itself holds for it does not count.
    QueueSegments(kSegments);
    const ProcessFigures before = MeasureThisProcess();
    const DWORD started = GetTickCount();
    ASSERT_NO_FATAL_FAILURE(RunQueued());
    const DWORD elapsed = GetTickCount() - started;
    const ProcessFigures after = MeasureThisProcess();

    std::printf("%s: %d frames, %d format changes in %lu ms; private bytes %llu -> %llu, handles %lu -> %lu, "
                "threads %lu -> %lu\n",
                GetParam().label, kSegments * kFramesPerFormat, kSegments,
                static_cast<unsigned long>(elapsed), static_cast<unsigned long long>(before.privateBytes),
                static_cast<unsigned long long>(after.privateBytes), static_cast<unsigned long>(before.handles),
                static_cast<unsigned long>(after.handles), static_cast<unsigned long>(before.threads),
                static_cast<unsigned long>(after.threads));
    ASSERT_NE(before.privateBytes, 0u) << "the platform reports no private bytes";
    ASSERT_NE(before.handles, 0u) << "the platform reports no handles";
    const SSIZE_T grown = static_cast<SSIZE_T>(after.privateBytes) - static_cast<SSIZE_T>(before.privateBytes);
    EXPECT_LE(grown < 0 ? -grown : grown, kPageBytes);
    EXPECT_EQ(after.handles, before.handles);
    EXPECT_EQ(after.threads, before.threads);
}

INSTANTIATE_TEST_SUITE_P(Sinks, Soak, testing::Values(kVidtapModule, kNullsinkerModule),
                         ModuleLabel);

}  // namespace
