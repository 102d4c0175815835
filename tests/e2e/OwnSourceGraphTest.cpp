// Each module in the platform's filter graph, created by class id after regsvr32 and fed by the tests' own
// source: the run completes once, vidtap publishes into a channel a second process reads after the graph is
// gone, and a sink left unconnected beside a connected one does not hold the graph up. The platform's File
// Source and AVI Splitter into each module are run by RegistrationFree; vidtap on the platform's clips by
// VidtapPlatformGraph. What stays pinned below the graph: that the null sink makes no channel
// (SinkShapeTest's streaming test), which of a decoder's offers vidtap takes
// (ConnectionProposalTest) and the header the channel announces (CapturePinTest, CameraChannelSetUp).
#include <gtest/gtest.h>
#include <dshow.h>

#include <string>
#include <vector>

#include "ChannelSnapshot.h"
#include "ComPtr.h"
#include "E2eModules.h"
#include "GraphBuilding.h"
#include "GraphHelpers.h"
#include "ReferenceConversion.h"
#include "SameBytes.h"
#include "SinkGraphTest.h"
#include "TestPictures.h"

namespace {

class SinkGraph : public SinkGraphTest, public testing::WithParamInterface<ModuleUnderTest> {
protected:
    SinkGraph() : SinkGraphTest(GetParam()) {}

    bool Publishes() const { return module.classId == &kVidtapClassId; }
};

TEST_P(SinkGraph, OwnSourceFramesCompleteOnceAndVidtapPublishesTheLastOneConvertedPastTheGraph)
{
    constexpr int width = 64;
    constexpr int height = 48;
    source->Pin()->OfferType(MakeVideoType(width, height, 16));
    source->Pin()->OfferType(MakeVideoType(width, height, 24));
    std::vector<BYTE> lastFrame;
    for (unsigned seed = 1; seed <= 3; ++seed) {
        lastFrame = SeededYuy2Frame(width, height, seed);
        source->QueueFrame(lastFrame);
    }
    ConnectOwnSource();
    EXPECT_TRUE(IsEqualGUID(ConnectedSubtype(), MEDIASUBTYPE_YUY2));

    EXPECT_TRUE(CompletedOnce(RunGraph(graph.Get(), CompletionHandling::EveryFilterNotice)));
    // Every Receive and the EndOfStream answered with success.
    EXPECT_EQ(source->WaitForStreaming(), S_OK);

    if (!Publishes())
        return;
    // The channel belongs to the module, not to the filter: it stays until the process ends.
    sinkInput.Reset();
    sink.Reset();
    graph.Reset();
    const ChannelSnapshot channel = ReadChannelFromOtherProcess(width * height * 3);
    ASSERT_EQ(channel.probeResult, 0);
    EXPECT_TRUE(SameBytes(channel.frame, ReferenceBottomUpBgr(lastFrame.data(), width, height)));
}

// The graph counts every sink as a renderer: one left unconnected must not keep the graph from completing.
TEST_P(SinkGraph, AnUnconnectedSinkBesideAConnectedOneLetsTheGraphComplete)
{
    ComPtr<IBaseFilter> idle;
    ASSERT_EQ(AddFilterByClassId(graph.Get(), *module.classId, L"Idle sink", idle.Out()), S_OK);
    source->Pin()->OfferType(MakeVideoType(32, 16, 16));
    source->QueueFrame(SeededYuy2Frame(32, 16, 4));
    ConnectOwnSource();

    const GraphCompletion run = RunGraph(graph.Get(), CompletionHandling::ApplicationWaits, 10000);
    EXPECT_EQ(run.runResult, S_OK);
    EXPECT_EQ(run.waitResult, S_OK);
    EXPECT_EQ(run.waitEventCode, EC_COMPLETE);
    EXPECT_EQ(run.abortEvents, 0);
    EXPECT_EQ(source->WaitForStreaming(), S_OK);
}

INSTANTIATE_TEST_SUITE_P(Modules, SinkGraph, testing::Values(kVidtapModule, kNullsinkerModule),
                         ModuleLabel);

}  // namespace
