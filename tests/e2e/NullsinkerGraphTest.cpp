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

    const GraphCompletion run = RunAndWaitForCompletion(graph.Get());
    EXPECT_EQ(run.runResult, S_OK);
    EXPECT_EQ(run.waitResult, S_OK);
    EXPECT_EQ(run.waitEventCode, EC_COMPLETE);
    EXPECT_EQ(run.completeEvents, 1);
    EXPECT_EQ(run.abortEvents, 0);
    EXPECT_EQ(run.stopResult, S_OK);
    ExpectNoCameraChannel();
}

TEST_F(NullsinkerGraph, OwnSourceFramesCompleteOnceWithoutCameraChannel)
{
    source->Pin()->OfferType(MakeYuy2Type(64, 48));
    for (unsigned seed = 1; seed <= 3; ++seed)
        source->QueueFrame(SeededYuy2Frame(64, 48, seed));
    ConnectOwnSource();

    const GraphCompletion run = RunUntilFiltersComplete(graph.Get());
    EXPECT_EQ(run.runResult, S_OK);
    EXPECT_TRUE(run.completed);
    EXPECT_EQ(run.completeEvents, 1);
    EXPECT_EQ(run.abortEvents, 0);
    // Every Receive and the EndOfStream answered with success.
    EXPECT_EQ(source->WaitForStreaming(), S_OK);
    ExpectNoCameraChannel();
}

}  // namespace
