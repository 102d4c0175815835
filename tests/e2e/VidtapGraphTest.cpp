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

// The geometry a second process reads for a picture the graph delivered (the header block's other fields and
// defaults are pinned by the camera channel's own tests).
void ExpectPublishedHeader(const ChannelSnapshot& channel, LONG width, LONG height, DWORD connectionImageSize)
{
    const BITMAPINFOHEADER format = channel.Format();
    EXPECT_EQ(format.biWidth, width);
    EXPECT_EQ(format.biHeight, height);
    EXPECT_EQ(format.biBitCount, 24);
    EXPECT_EQ(format.biSizeImage, connectionImageSize);  // the connection's, as the sink received it
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

    const GraphCompletion run = RunGraph(graph.Get(), CompletionHandling::ApplicationWaits);
    EXPECT_TRUE(CompletedOnce(run));

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
    source->Pin()->OfferType(MakeVideoType(width, height, 16));
    std::vector<BYTE> lastFrame;
    for (unsigned seed = 1; seed <= 3; ++seed) {
        lastFrame = SeededYuy2Frame(width, height, seed);
        source->QueueFrame(lastFrame);
    }
    ConnectOwnSource();

    const GraphCompletion run = RunGraph(graph.Get(), CompletionHandling::EveryFilterNotice);
    EXPECT_TRUE(CompletedOnce(run));
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
    source->Pin()->OfferType(MakeVideoType(width, height, 32));
    source->Pin()->SetBuffers(1, static_cast<long>(frameBytes + slack));
    std::vector<BYTE> lastFrame;
    for (unsigned seed = 7; seed <= 8; ++seed) {
        lastFrame = SeededBytes(frameBytes, seed);
        source->QueueFrame(lastFrame);
    }
    ConnectOwnSource();
    EXPECT_TRUE(IsEqualGUID(ConnectedSubtype(), MEDIASUBTYPE_RGB32));

    const GraphCompletion run = RunGraph(graph.Get(), CompletionHandling::EveryFilterNotice);
    EXPECT_TRUE(CompletedOnce(run));
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

// The order a decoder offers its output in: planar first, the carried types later.
TEST_F(VidtapGraph, OwnSourceOfferingPlanarTypesFirstConnectsWithYuy2AndPublishesConverted)
{
    constexpr int width = 64;
    constexpr int height = 48;
    source->Pin()->OfferType(MakeVideoTypeOf(MEDIASUBTYPE_IYUV, MAKEFOURCC('I', '4', '2', '0'), 12, width, height));
    source->Pin()->OfferType(MakeVideoType(width, height, 32));
    source->Pin()->OfferType(MakeVideoTypeOf(MEDIASUBTYPE_UYVY, MAKEFOURCC('U', 'Y', 'V', 'Y'), 16, width, height));
    source->Pin()->OfferType(MakeVideoType(width, height, 16));
    source->Pin()->OfferType(MakeVideoType(width, height, 24));
    const std::vector<BYTE> frame = SeededYuy2Frame(width, height, 9);
    source->QueueFrame(frame);
    ConnectOwnSource();
    EXPECT_TRUE(IsEqualGUID(ConnectedSubtype(), MEDIASUBTYPE_YUY2));

    const GraphCompletion run = RunGraph(graph.Get(), CompletionHandling::EveryFilterNotice);
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

    const GraphCompletion run = RunGraph(graph.Get(), CompletionHandling::ApplicationWaits);
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
