// The README's camera-graph recipe run for real: the tests' source stands in for a camera (its pin reports
// PIN_CATEGORY_CAPTURE and offers several formats), vidtap.dll is created by class id after regsvr32, each
// route connects them, the graph runs to EC_COMPLETE and the last frame is read back through the reader library.
#include <gtest/gtest.h>
#include <dshow.h>

#include <vector>

#include "CameraGraphRecipe.h"
#include "GraphHelpers.h"
#include "ReferenceConversion.h"
#include "SameBytes.h"
#include "SinkGraphTest.h"
#include "TestPictures.h"
#include "tarn_camera_channel.h"

namespace {

constexpr int kWidth = 64;
constexpr int kHeight = 48;

class CameraGraphRecipe : public SinkGraphTest {
protected:
    CameraGraphRecipe() : SinkGraphTest(kVidtapModule) {}

    // A camera's capture pin with the formats such a pin lists (packed 4:2:2 first, then RGB at other sizes)
    // and, as a camera's allocator has, more than one buffer: the capture graph builder puts a Smart Tee behind
    // a capture pin, and Wine's (8.0) copies each sample it receives into a buffer of that same allocator, which
    // it also hands downstream; with one buffer its Receive waits forever for the buffer the camera holds.
    std::vector<BYTE> ScriptCamera()
    {
        source->Pin()->SetCategory(PIN_CATEGORY_CAPTURE);
        source->Pin()->SetBuffers(3, 0);
        source->Pin()->OfferType(MakeVideoType(kWidth, kHeight, 16));
        source->Pin()->OfferType(MakeVideoType(kWidth * 2, kHeight * 2, 32));
        source->Pin()->OfferType(MakeVideoType(kWidth / 2, kHeight / 2, 24));
        std::vector<BYTE> lastFrame;
        for (unsigned seed = 11; seed <= 13; ++seed) {
            lastFrame = SeededYuy2Frame(kWidth, kHeight, seed);
            source->QueueFrame(lastFrame);
        }
        EXPECT_EQ(graph->AddFilter(source.Get(), L"Camera"), S_OK);
        return lastFrame;
    }

    // Runs the connected graph to EC_COMPLETE and compares what the reader library reads with `lastFrame`.
    void ExpectRunDeliversThroughTheChannel(const std::vector<BYTE>& lastFrame)
    {
        EXPECT_TRUE(IsEqualGUID(ConnectedSubtype(), MEDIASUBTYPE_YUY2));

        const GraphCompletion run = RunGraph(graph.Get(), CompletionHandling::ApplicationWaits);
        EXPECT_EQ(run.runResult, S_OK);
        EXPECT_EQ(run.waitEventCode, EC_COMPLETE);
        EXPECT_EQ(source->WaitForStreaming(), S_OK);

        TarnCameraReader* reader = nullptr;
        ASSERT_EQ(tarn_camera_reader_open(nullptr, &reader), TARN_CAMERA_OK);
        std::vector<BYTE> picture(kWidth * 3 * kHeight);
        TarnCameraFrameInfo info = {};
        const TarnCameraResult read =
            tarn_camera_reader_read(reader, picture.data(), static_cast<unsigned long>(picture.size()), &info);
        tarn_camera_reader_close(reader);
        ASSERT_EQ(read, TARN_CAMERA_OK) << tarn_camera_result_message(read);
        EXPECT_EQ(info.width, kWidth);
        EXPECT_EQ(info.height, kHeight);
        EXPECT_TRUE(SameBytes(picture, ReferenceBottomUpBgr(lastFrame.data(), kWidth, kHeight)));
    }
};

TEST_F(CameraGraphRecipe, CaptureGraphBuilderConnectsTheCapturePin)
{
    const std::vector<BYTE> lastFrame = ScriptCamera();
    ASSERT_EQ(ConnectCameraThroughCaptureBuilder(graph.Get(), source.Get(), sink.Get()), S_OK);
    ExpectRunDeliversThroughTheChannel(lastFrame);
}

TEST_F(CameraGraphRecipe, ConnectDirectConnectsTheCameraPin)
{
    const std::vector<BYTE> lastFrame = ScriptCamera();
    ASSERT_EQ(ConnectCameraDirectly(graph.Get(), source->Pin(), sink.Get()), S_OK);
    ExpectRunDeliversThroughTheChannel(lastFrame);
}

}  // namespace
