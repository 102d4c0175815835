// vidtap.dll in the platform's filter graph, created by class id after regsvr32: fed by the File Source and
// the AVI Splitter playing a raw packed 4:2:2 clip, or by the tests' own source filter; the camera channel is
// read back by a second process while this one keeps it alive.
#include <gtest/gtest.h>
#include <dshow.h>

#include <cstdio>
#include <ostream>
#include <string>
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
    EXPECT_TRUE(IsEqualGUID(ConnectedSubtype(), MEDIASUBTYPE_YUY2));

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

TEST_F(VidtapGraph, OwnSourceOfferingOnlyRgb32ConnectsWithItAndFramesAreCopiedUnchangedWithTheirWholeBuffer)
{
    constexpr int width = 32;
    constexpr int height = 16;
    constexpr size_t frameBytes = width * height * 4;
    constexpr size_t slack = 256;
    // With nothing the channel describes better on offer, a 32-bit type is taken and copied as it comes.
    source->Pin()->OfferType(MakeRgb32Type(width, height));
    source->Pin()->SetBuffers(1, static_cast<long>(frameBytes + slack));
    std::vector<BYTE> lastFrame;
    for (unsigned seed = 7; seed <= 8; ++seed) {
        lastFrame = SeededBytes(frameBytes, seed);
        source->QueueFrame(lastFrame);
    }
    ConnectOwnSource();
    EXPECT_TRUE(IsEqualGUID(ConnectedSubtype(), MEDIASUBTYPE_RGB32));

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

// The order a decoder offers its output in: planar first, the carried types later.
TEST_F(VidtapGraph, OwnSourceOfferingPlanarTypesFirstConnectsWithYuy2AndPublishesConverted)
{
    constexpr int width = 64;
    constexpr int height = 48;
    source->Pin()->OfferType(MakeVideoType(MEDIASUBTYPE_IYUV, width, height, 12, MAKEFOURCC('I', '4', '2', '0')));
    source->Pin()->OfferType(MakeRgb32Type(width, height));
    source->Pin()->OfferType(MakeVideoType(MEDIASUBTYPE_UYVY, width, height, 16, MAKEFOURCC('U', 'Y', 'V', 'Y')));
    source->Pin()->OfferType(MakeYuy2Type(width, height));
    source->Pin()->OfferType(MakeVideoType(MEDIASUBTYPE_RGB24, width, height, 24, BI_RGB));
    const std::vector<BYTE> frame = SeededYuy2Frame(width, height, 9);
    source->QueueFrame(frame);
    ConnectOwnSource();
    EXPECT_TRUE(IsEqualGUID(ConnectedSubtype(), MEDIASUBTYPE_YUY2));

    const GraphCompletion run = RunUntilFiltersComplete(graph.Get());
    EXPECT_TRUE(run.completed);
    EXPECT_EQ(source->WaitForStreaming(), S_OK);
    const ChannelSnapshot channel = ReadChannelFromOtherProcess(width * height * 3);
    ASSERT_EQ(channel.probeResult, 0);
    EXPECT_TRUE(SameBytes(channel.frame, ReferenceBottomUpBgr(frame.data(), width, height)));
}

// The graph counts every sink as a renderer: one left unconnected must not keep the graph from completing.
TEST_F(VidtapGraph, UnconnectedVidtapBesideAConnectedOneLetsTheGraphComplete)
{
    ComPtr<IBaseFilter> idle;
    ASSERT_EQ(AddFilterByClassId(graph.Get(), kVidtapClassId, L"Idle Vidtap", idle.Out()), S_OK);
    source->Pin()->OfferType(MakeYuy2Type(32, 16));
    source->QueueFrame(SeededYuy2Frame(32, 16, 4));
    ConnectOwnSource();

    const GraphCompletion run = RunAndWaitForCompletion(graph.Get(), 10000);
    EXPECT_EQ(run.runResult, S_OK);
    EXPECT_EQ(run.waitResult, S_OK);
    EXPECT_EQ(run.waitEventCode, EC_COMPLETE);
    EXPECT_EQ(run.abortEvents, 0);
    EXPECT_EQ(source->WaitForStreaming(), S_OK);
}

// Clips as a new user plays them: the File Source connected to vidtap by the graph's intelligent
// connection, which must pass the byte stream to a parser (and decoder) and land on a type the channel
// describes truly.
struct PlatformClip {
    const char* name;       // platform_<name>.<container> and its reference platform_<name>.ref
    const char* container;
    int width;
    int height;
    bool packedYuv;   // the reference is ffmpeg's YUY2 decode, converted here; otherwise its 24-bit BGR
    bool compressed;  // needs the platform's decoders
};

const PlatformClip kPlatformClips[] = {
    {"yuy2_640x480", "avi", 640, 480, true, false},
    {"yuy2_1920x1080", "avi", 1920, 1080, true, false},
    {"bgr24_320x240", "avi", 320, 240, false, false},
    {"mjpeg_320x240", "avi", 320, 240, false, true},
    {"h264_320x240", "mp4", 320, 240, false, true},
};

void PrintTo(const PlatformClip& clip, std::ostream* out)
{
    *out << clip.name;
}

class VidtapPlatformGraph : public VidtapGraph, public testing::WithParamInterface<PlatformClip> {
protected:
    static std::string ClipPath(const char* extension)
    {
        return std::string(E2E_CLIP_DIR) + "/platform_" + GetParam().name + "." + extension;
    }
};

TEST_P(VidtapPlatformGraph, FileSourceConnectedByTheGraphCompletesAndPublishesTheLastFrameTruly)
{
    const PlatformClip& clip = GetParam();
    if (clip.compressed && !E2E_PLATFORM_DECODES_COMPRESSED)
        GTEST_SKIP() << "the platform has no decoder for " << clip.name;
    const std::vector<BYTE> reference = ReadWholeFile(ClipPath("ref").c_str());
    const size_t referenceFrameBytes = static_cast<size_t>(clip.width) * clip.height * (clip.packedYuv ? 2 : 3);
    ASSERT_GE(reference.size(), referenceFrameBytes);
    ASSERT_EQ(reference.size() % referenceFrameBytes, 0u);
    const BYTE* lastFrame = reference.data() + reference.size() - referenceFrameBytes;

    ASSERT_EQ(ConnectFileThroughGraph(ClipPath(clip.container).c_str()), S_OK);
    const GUID subtype = ConnectedSubtype();
    EXPECT_TRUE(IsEqualGUID(subtype, MEDIASUBTYPE_YUY2) || IsEqualGUID(subtype, MEDIASUBTYPE_RGB24));

    const GraphCompletion run = RunAndWaitForCompletion(graph.Get());
    EXPECT_EQ(run.runResult, S_OK);
    EXPECT_TRUE(run.completed) << "wait " << std::hex << run.waitResult;
    EXPECT_EQ(run.abortEvents, 0);

    const size_t publishedBytes = static_cast<size_t>(clip.width) * clip.height * 3;
    const ChannelSnapshot channel = ReadChannelFromOtherProcess(publishedBytes);
    ASSERT_EQ(channel.probeResult, 0);
    const BITMAPINFOHEADER format = channel.Format();
    EXPECT_EQ(format.biWidth, clip.width);
    EXPECT_EQ(format.biHeight, clip.height);
    EXPECT_EQ(format.biBitCount, 24);
    if (clip.packedYuv) {
        EXPECT_TRUE(SameBytes(channel.frame, ReferenceBottomUpBgr(lastFrame, clip.width, clip.height)));
    } else {
        const double psnr = PeakSignalToNoise(channel.frame, BottomUpRows(lastFrame, clip.width * 3, clip.height));
        EXPECT_GT(psnr, 30.0);
        std::printf("%s: %.1f dB against ffmpeg's picture\n", clip.name, psnr);
    }
}

INSTANTIATE_TEST_SUITE_P(Clips, VidtapPlatformGraph, testing::ValuesIn(kPlatformClips),
                         [](const testing::TestParamInfo<PlatformClip>& info) { return std::string(info.param.name); });

}  // namespace
