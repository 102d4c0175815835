// vidtap.dll in the platform's filter graph, created by class id after regsvr32, on clips as a new user plays
// them; the camera channel is read back by a second process while this one keeps it alive.
#include <gtest/gtest.h>
#include <dshow.h>

#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include "ChannelSnapshot.h"
#include "E2eModules.h"
#include "GraphHelpers.h"
#include "PlatformProcess.h"
#include "ReferenceConversion.h"
#include "SameBytes.h"
#include "SinkGraphTest.h"

namespace {

// Clips as a new user plays them: the File Source connected to vidtap by the graph's intelligent
// connection, which must pass the byte stream to a parser (and decoder) and land on a type the channel
// describes truly. Raw packed 4:2:2 at a smaller size, connected directly, is RegistrationFree's.
struct PlatformClip {
    const char* name;       // platform_<name>.<container> and its reference platform_<name>.ref
    const char* container;
    int width;
    int height;
    bool packedYuv;   // the reference is ffmpeg's YUY2 decode, converted here; otherwise its 24-bit BGR
    bool compressed;  // needs the platform's decoders
};

const PlatformClip kPlatformClips[] = {
    {"yuy2_1920x1080", "avi", 1920, 1080, true, false},
    {"bgr24_320x240", "avi", 320, 240, false, false},
    {"mjpeg_320x240", "avi", 320, 240, false, true},
    {"h264_320x240", "mp4", 320, 240, false, true},
};

void PrintTo(const PlatformClip& clip, std::ostream* out)
{
    *out << clip.name;
}

class VidtapPlatformGraph : public SinkGraphTest, public testing::WithParamInterface<PlatformClip> {
protected:
    VidtapPlatformGraph() : SinkGraphTest(kVidtapModule) {}

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
