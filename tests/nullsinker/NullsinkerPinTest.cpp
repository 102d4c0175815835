// The null sink's input pin: every type accepted and kept, and samples dropped unread. That streaming through
// it leaves no camera channel is checked after every sample of the shared sink suite's streaming test
// (SinkShapeTest).
#include <gtest/gtest.h>

#include <windows.h>
#include <strmif.h>
#include <amvideo.h>
#include <uuids.h>
#include <vfwmsgs.h>

#include <vector>

#include "FakeAllocator.h"
#include "FakeMediaSample.h"
#include "FakeUpstreamPin.h"
#include "NullsinkerSink.h"
#include "VideoMediaType.h"
#include "SinkUnderTest.h"
#include "TaskMemoryFailure.h"

namespace {

// Types no capture pin would take, next to ordinary ones.
std::vector<COwnedMediaType> AssortedTypes()
{
    std::vector<COwnedMediaType> types;
    types.push_back(MakeVideoType(640, 480, 16));
    types.push_back(MakeVideoType(4096, 2160, 32));    // larger than the camera channel
    types.push_back(MakeVideoType(65536, 65536, 16));  // byte count wraps in 32 bits
    types.push_back(MakeAudioType());
    types.push_back(COwnedMediaType());  // all GUID_NULL, no format block
    // A video type whose VIDEOINFOHEADER is cut short after 3 bytes.
    BYTE stub[3] = {1, 2, 3};
    AM_MEDIA_TYPE raw;
    MediaTypeReset(&raw);
    raw.majortype = MEDIATYPE_Video;
    raw.subtype = MEDIASUBTYPE_RGB24;
    raw.formattype = FORMAT_VideoInfo;
    raw.cbFormat = sizeof stub;
    raw.pbFormat = stub;
    COwnedMediaType truncated;
    truncated = raw;
    types.push_back(truncated);
    return types;
}

TEST(NullsinkerPin, EveryTypeIsAcceptedAndBecomesTheConnectionType)
{
    FakeUpstreamPin upstream;
    SinkUnderTest<NullsinkerSink> sink;
    ASSERT_TRUE(sink.Created());
    IPin* pin = sink.InputPin();

    for (const COwnedMediaType& type : AssortedTypes()) {
        EXPECT_EQ(pin->QueryAccept(&type), S_OK);
        ASSERT_EQ(pin->ReceiveConnection(&upstream, &type), S_OK);
        EXPECT_TRUE(SameMediaType(sink.ConnectionType(), type));
        EXPECT_EQ(pin->Disconnect(), S_OK);
    }
    // On a connected pin a later check replaces the connection type.
    const std::vector<COwnedMediaType> types = AssortedTypes();
    ASSERT_EQ(pin->ReceiveConnection(&upstream, &types[0]), S_OK);
    EXPECT_EQ(pin->QueryAccept(&types[3]), S_OK);
    EXPECT_TRUE(SameMediaType(sink.ConnectionType(), types[3]));
}

TEST(NullsinkerPin, ReceiveAsksOnlyForTheDataPointer)
{
    FakeUpstreamPin upstream;
    FakeAllocator allocator;
    FakeMediaSample sample(true, 64);  // would answer IMediaSample2 too
    sample.syncPoint = true;
    sample.timeResult = S_OK;
    SinkUnderTest<NullsinkerSink> sink;
    ASSERT_TRUE(sink.Created());
    const COwnedMediaType type = MakeVideoType(64, 48, 16);
    sink.ConnectFrom(upstream, type, allocator);

    EXPECT_EQ(sink.MemInput()->Receive(&sample), S_OK);
    EXPECT_EQ(sample.sampleCalls, 1) << "the null sink looked at more than the data pointer";
    EXPECT_EQ(sample.queryInterfaceCalls, 0);
    sample.ExpectBalanced();
}

TEST(NullsinkerPin, FailedFormatCopyInATypeCheckRefusesTheTypeAndKeepsTheConnectionType)
{
    FakeUpstreamPin upstream;
    FakeAllocator allocator;
    SinkUnderTest<NullsinkerSink> sink;
    ASSERT_TRUE(sink.Created());
    const COwnedMediaType first = MakeVideoType(64, 48, 16);
    const COwnedMediaType second = MakeAudioType();
    sink.ConnectFrom(upstream, first, allocator);

    {
        TaskMemoryFailureScope failure(0);
        EXPECT_EQ(sink.InputPin()->QueryAccept(&second), S_FALSE);
        EXPECT_TRUE(failure.FailureInjected());
    }
    EXPECT_TRUE(SameMediaType(sink.ConnectionType(), first));
}

}  // namespace
