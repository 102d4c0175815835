// nullsinker.dll in the platform's filter graph, created by class id after regsvr32: the clip through the
// File Source and the AVI Splitter, and the tests' own source, run to completion through the null sink, and
// no camera channel appears for another process.
#include <gtest/gtest.h>
#include <dshow.h>

#include "ChannelSnapshot.h"
#include "ComPtr.h"
#include "E2eModules.h"
#include "GraphHelpers.h"
#include "PlatformProcess.h"
#include "SinkGraphTest.h"
#include "TestPictures.h"
#include "TestSourceFilter.h"

namespace {

class NullsinkerGraph : public SinkGraphTest {
protected:
    NullsinkerGraph() : SinkGraphTest(kNullsinkerModule) {}

    // Asked of a fresh process while this one, which ran the null sink, is still alive.
    static void ExpectNoCameraChannel()
    {
        EXPECT_EQ(ReadChannelFromOtherProcess(0).probeResult, 2) << "the header block exists";
    }
};

TEST_F(NullsinkerGraph, ClipThroughAviSplitterCompletesOnceWithoutCameraChannel)
{
    ConnectClip();

    const GraphCompletion run = RunGraph(graph.Get(), CompletionHandling::ApplicationWaits);
    EXPECT_TRUE(CompletedOnce(run));
    ExpectNoCameraChannel();
}

TEST_F(NullsinkerGraph, OwnSourceFramesCompleteOnceWithoutCameraChannel)
{
    source->Pin()->OfferType(MakeVideoType(64, 48, 16));
    for (unsigned seed = 1; seed <= 3; ++seed)
        source->QueueFrame(SeededYuy2Frame(64, 48, seed));
    ConnectOwnSource();

    const GraphCompletion run = RunGraph(graph.Get(), CompletionHandling::EveryFilterNotice);
    EXPECT_TRUE(CompletedOnce(run));
    // Every Receive and the EndOfStream answered with success.
    EXPECT_EQ(source->WaitForStreaming(), S_OK);
    ExpectNoCameraChannel();
}

}  // namespace
