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
#include "TestPictures.h"
#include "TestSourceFilter.h"

namespace {

class NullsinkerGraph : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(RunRegsvr32(E2E_NULLSINKER_DLL, false), 0);
        ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                   graph.OutVoid()),
                  S_OK);
        ASSERT_EQ(AddFilterByClassId(graph.Get(), kNullsinkerClassId, L"Nullsinker", nullsinker.Out()), S_OK);
        ASSERT_EQ(FindPin(nullsinker.Get(), PINDIR_INPUT, nullsinkerInput.Out()), S_OK);
    }

    // Asked of a fresh process while this one, which ran the null sink, is still alive.
    static void ExpectNoCameraChannel()
    {
        EXPECT_EQ(ReadChannelFromOtherProcess(0).probeResult, 2) << "the header block exists";
    }

    ComPtr<IGraphBuilder> graph;
    ComPtr<IBaseFilter> nullsinker;
    ComPtr<IPin> nullsinkerInput;
};

TEST_F(NullsinkerGraph, ClipThroughAviSplitterCompletesOnceWithoutCameraChannel)
{
    ComPtr<IPin> video;
    ASSERT_EQ(AddClipPlayback(graph.Get(), E2E_CLIP_AVI, video.Out()), S_OK);
    ASSERT_EQ(graph->ConnectDirect(video.Get(), nullsinkerInput.Get(), nullptr), S_OK);

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
    ComPtr<TestSourceFilter> source;
    source.Attach(new TestSourceFilter);
    source->Pin()->OfferType(MakeYuy2Type(64, 48));
    for (unsigned seed = 1; seed <= 3; ++seed)
        source->QueueFrame(SeededYuy2Frame(64, 48, seed));
    ASSERT_EQ(graph->AddFilter(source.Get(), L"Test Source"), S_OK);
    ASSERT_EQ(graph->ConnectDirect(source->Pin(), nullsinkerInput.Get(), nullptr), S_OK);

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
