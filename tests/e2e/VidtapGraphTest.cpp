// vidtap.dll in the platform's filter graph, created by class id after regsvr32: fed by the File Source and
// the AVI Splitter playing a raw packed 4:2:2 clip, or by the tests' own source filter; the camera channel is
// read back by a second process while this one keeps it alive.
#include <gtest/gtest.h>
#include <dshow.h>

#include <cstdio>
#include <vector>

#include "ChannelSnapshot.h"
#include "ComPtr.h"
#include "E2eModules.h"
#include "GraphHelpers.h"
#include "PlatformProcess.h"
#include "ReferenceConversion.h"
#include "SameBytes.h"
#include "SinkGraphTest.h"
#include "TestPictures.h"
#include "TestSourceFilter.h"

namespace {

constexpr int kClipWidth = 320;
constexpr int kClipHeight = 240;
constexpr size_t kClipFrameBytes = kClipWidth * kClipHeight * 2;

std::vector<BYTE> ReadWholeFile(const char* unixPath)
{
    std::vector<BYTE> bytes;
    FILE* in = _wfopen(WindowsPath(unixPath).c_str(), L"rb");
    if (in == nullptr)
        return bytes;
    BYTE chunk[65536];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, in)) > 0)
        bytes.insert(bytes.end(), chunk, chunk + got);
    std::fclose(in);
    return bytes;
}

// The header fields a reader relies on, for a picture published by a fresh channel in this prefix.
void ExpectPublishedHeader(const ChannelSnapshot& channel, LONG width, LONG height, DWORD connectionImageSize)
{
    const BITMAPINFOHEADER format = channel.Format();
    EXPECT_EQ(channel.header.initialised, 1);
    EXPECT_EQ(format.biSize, 40u);
    EXPECT_EQ(format.biWidth, width);
    EXPECT_EQ(format.biHeight, height);
    EXPECT_EQ(format.biBitCount, 24);
    EXPECT_EQ(format.biCompression, 0u);
    // Only depth and compression are rewritten: the image size stays the connection's.
    EXPECT_EQ(format.biSizeImage, connectionImageSize);
    EXPECT_EQ(channel.FrameBlockName(), L"tarn_kro_shared_camera_memeory0");
    EXPECT_EQ(channel.header.auxInt0, 0);
    EXPECT_EQ(channel.header.auxInt1, 0);
    EXPECT_EQ(channel.header.auxFloat0, 0.15f);
    EXPECT_EQ(channel.header.auxFloat1, 0.15f);
}

class VidtapGraph : public SinkGraphTest {
protected:
    VidtapGraph() : SinkGraphTest(kVidtapModule) {}
};

TEST_F(VidtapGraph, ClipThroughAviSplitterCompletesOnceAndPublishesItsLastFrameConverted)
{
    const std::vector<BYTE> clipFrames = ReadWholeFile(E2E_CLIP_FRAMES);
    ASSERT_EQ(clipFrames.size(), 10 * kClipFrameBytes);
    ConnectClip();
    AM_MEDIA_TYPE connected;
    ASSERT_EQ(sinkInput->ConnectionMediaType(&connected), S_OK);
    EXPECT_TRUE(IsEqualGUID(connected.subtype, MEDIASUBTYPE_YUY2));
    MediaTypeReleaseFormat(&connected);

    const GraphCompletion run = RunAndWaitForCompletion(graph.Get());
    EXPECT_EQ(run.runResult, S_OK);
    EXPECT_EQ(run.waitResult, S_OK);
    EXPECT_EQ(run.waitEventCode, EC_COMPLETE);
    EXPECT_EQ(run.completeEvents, 1);
    EXPECT_EQ(run.abortEvents, 0);
    EXPECT_EQ(run.stopResult, S_OK);

    const ChannelSnapshot channel = ReadChannelFromOtherProcess(kClipWidth * kClipHeight * 3);
    ASSERT_EQ(channel.probeResult, 0);
    ExpectPublishedHeader(channel, kClipWidth, kClipHeight, kClipFrameBytes);
    const BYTE* lastFrame = clipFrames.data() + clipFrames.size() - kClipFrameBytes;
    EXPECT_TRUE(SameBytes(channel.frame, ReferenceBottomUpBgr(lastFrame, kClipWidth, kClipHeight)));
}

TEST_F(VidtapGraph, OwnSourcePackedFramesArePublishedConvertedAndOutliveTheGraph)
{
    constexpr int width = 64;
    constexpr int height = 48;
    source->Pin()->OfferType(MakeYuy2Type(width, height));
    std::vector<BYTE> lastFrame;
    for (unsigned seed = 1; seed <= 3; ++seed) {
        lastFrame = SeededYuy2Frame(width, height, seed);
        source->QueueFrame(lastFrame);
    }
    ConnectOwnSource();

    const GraphCompletion run = RunUntilFiltersComplete(graph.Get());
    EXPECT_EQ(run.runResult, S_OK);
    EXPECT_TRUE(run.completed);
    EXPECT_EQ(run.completeEvents, 1);
    EXPECT_EQ(run.abortEvents, 0);
    EXPECT_EQ(source->WaitForStreaming(), S_OK);

    // The channel belongs to the module, not to the filter: it stays until the process ends.
    sinkInput.Reset();
    sink.Reset();
    graph.Reset();
    const ChannelSnapshot channel = ReadChannelFromOtherProcess(width * height * 3);
    ASSERT_EQ(channel.probeResult, 0);
    ExpectPublishedHeader(channel, width, height, width * height * 2);
    EXPECT_TRUE(SameBytes(channel.frame, ReferenceBottomUpBgr(lastFrame.data(), width, height)));
}

TEST_F(VidtapGraph, OwnSourceRgbFramesAreCopiedUnchangedWithTheirWholeBuffer)
{
    constexpr int width = 32;
    constexpr int height = 16;
    constexpr size_t frameBytes = width * height * 4;
    constexpr size_t slack = 256;
    // The first offered type is the one connected: vidtap accepts every type.
    source->Pin()->OfferType(MakeRgb32Type(width, height));
    source->Pin()->OfferType(MakeYuy2Type(width, height));
    source->Pin()->SetBuffers(1, static_cast<long>(frameBytes + slack));
    std::vector<BYTE> lastFrame;
    for (unsigned seed = 7; seed <= 8; ++seed) {
        lastFrame = SeededBytes(frameBytes, seed);
        source->QueueFrame(lastFrame);
    }
    ConnectOwnSource();
    AM_MEDIA_TYPE connected;
    ASSERT_EQ(sinkInput->ConnectionMediaType(&connected), S_OK);
    EXPECT_TRUE(IsEqualGUID(connected.subtype, MEDIASUBTYPE_RGB32));
    MediaTypeReleaseFormat(&connected);

    const GraphCompletion run = RunUntilFiltersComplete(graph.Get());
    EXPECT_TRUE(run.completed);
    EXPECT_EQ(run.completeEvents, 1);
    EXPECT_EQ(source->WaitForStreaming(), S_OK);

    const ChannelSnapshot channel = ReadChannelFromOtherProcess(frameBytes + slack);
    ASSERT_EQ(channel.probeResult, 0);
    // The header announces 24 bits whatever the source's depth; the bytes are the sample's as delivered,
    // the whole buffer (its GetSize), not only the frame's actual length.
    ExpectPublishedHeader(channel, width, height, frameBytes);
    std::vector<BYTE> expected = lastFrame;
    expected.resize(frameBytes + slack, TestSourceFilter::kUnusedBufferByte);
    EXPECT_TRUE(SameBytes(channel.frame, expected));
}

TEST_F(VidtapGraph, FrameWhilePausedIsPublishedAndEndOfStreamCompletesAtTheNextRun)
{
    constexpr int width = 16;
    constexpr int height = 8;
    source->Pin()->OfferType(MakeYuy2Type(width, height));
    source->SetEndOfStreamAfterQueue(false);  // every delivery below is made by the test
    ConnectOwnSource();
    ComPtr<IMediaControl> control;
    ComPtr<IMediaEvent> events;
    ASSERT_EQ(graph->QueryInterface(IID_IMediaControl, control.OutVoid()), S_OK);
    ASSERT_EQ(graph->QueryInterface(IID_IMediaEvent, events.OutVoid()), S_OK);
    ASSERT_EQ(events->CancelDefaultHandling(EC_COMPLETE), S_OK);
    ASSERT_TRUE(SUCCEEDED(control->Pause()));

    const std::vector<BYTE> frame = SeededYuy2Frame(width, height, 5);
    EXPECT_EQ(source->Deliver(frame), S_OK);
    const ChannelSnapshot channel = ReadChannelFromOtherProcess(width * height * 3);
    ASSERT_EQ(channel.probeResult, 0);
    EXPECT_TRUE(SameBytes(channel.frame, ReferenceBottomUpBgr(frame.data(), width, height)));

    EXPECT_EQ(source->DeliverEndOfStream(), S_OK);
    EXPECT_EQ(CompletionNotices(events.Get(), 300, 0), 0) << "completion reported while paused";
    ASSERT_TRUE(SUCCEEDED(control->Run()));
    EXPECT_EQ(CompletionNotices(events.Get(), 5000, 300), 1);
    // A repeated end of stream in the same run is accepted and reported no more.
    EXPECT_EQ(source->DeliverEndOfStream(), S_OK);
    EXPECT_EQ(CompletionNotices(events.Get(), 300, 0), 0);
    EXPECT_EQ(control->Stop(), S_OK);
}

}  // namespace
