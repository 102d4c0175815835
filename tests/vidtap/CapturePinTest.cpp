// The capture sink's input pin on the real camera channel: which types it accepts, when it sets the channel
// up, what each sample publishes and end of stream behind a publish (type checks from another thread while
// samples are published are the shared sink suite's, SinkShapeTest). Each test runs in a process of its own,
// so the channel set-up is fresh in every test and the named blocks of earlier tests are gone with their
// processes.
#include <gtest/gtest.h>

#include <windows.h>
#include <evcode.h>
#include <strmif.h>
#include <vfwmsgs.h>

#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "BlockingMediaSample.h"
#include "EndOfStreamBehindReceive.h"
#include "CameraChannelReader.h"
#include "FakeAllocator.h"
#include "FakeGraph.h"
#include "FakeMediaSample.h"
#include "FakeUpstreamPin.h"
#include "VideoMediaType.h"
#include "SinkUnderTest.h"
#include "TaskMemoryFailure.h"
#include "TestPictures.h"
#include "VidtapSink.h"

namespace {

// Converted bytes of one packed 4:2:2 group (Y0, 128, Y1, 128): 254 for white (Y0 235), 0 for black (16).
constexpr BYTE kWhiteLuma = 235;
constexpr BYTE kBlackLuma = 16;
constexpr BYTE kWhiteConverted = 254;

void FillPackedYuv(FakeMediaSample& sample, BYTE luma)
{
    FillSolidPacked(sample.Data(), static_cast<size_t>(sample.GetSize()), luma, 128, 128);
}

void FillPattern(FakeMediaSample& sample, BYTE seed)
{
    for (LONG i = 0; i < sample.GetSize(); ++i)
        sample.Data()[i] = static_cast<BYTE>(seed + i * 7);
}

bool AllBytesAre(const unsigned char* bytes, size_t count, unsigned char value)
{
    for (size_t i = 0; i < count; ++i)
        if (bytes[i] != value)
            return false;
    return true;
}

// The types the tests offer and propose, 64 x 48 unless said otherwise.
COwnedMediaType I420() { return MakeVideoTypeOf(FourccSubtype(MAKEFOURCC('I', '4', '2', '0')), MAKEFOURCC('I', '4', '2', '0'), 12); }
COwnedMediaType Nv12() { return MakeVideoTypeOf(MEDIASUBTYPE_NV12, MAKEFOURCC('N', 'V', '1', '2'), 12); }
COwnedMediaType Mjpg() { return MakeVideoTypeOf(MEDIASUBTYPE_MJPG, MAKEFOURCC('M', 'J', 'P', 'G'), 24); }
COwnedMediaType Uyvy() { return MakeVideoTypeOf(MEDIASUBTYPE_UYVY, MAKEFOURCC('U', 'Y', 'V', 'Y'), 16); }
COwnedMediaType Rgb565() { return MakeVideoTypeOf(MEDIASUBTYPE_RGB565, BI_BITFIELDS, 16); }
COwnedMediaType Rgb32() { return MakeVideoType(64, 48, 32); }
COwnedMediaType Rgb24() { return MakeVideoType(64, 48, 24); }
COwnedMediaType Yuy2() { return MakeVideoType(64, 48, 16); }
COwnedMediaType OversizedYuy2() { return MakeVideoType(2560, 1440, 16); }
// Subtype YUY2 whose header announces 24 bits: the channel would not convert it.
COwnedMediaType Yuy2Announcing24Bits() { return MakeVideoTypeOf(MEDIASUBTYPE_YUY2, MAKEFOURCC('Y', 'U', 'Y', '2'), 24); }

class CapturePinTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(CameraChannelReader::HeaderBlockExists()) << "a header block outlived its process";
        ASSERT_TRUE(sink.Created());
    }

    IPin* Pin() { return sink.InputPin(); }
    IMemInputPin* Input() { return sink.MemInput(); }

    // Connects the pin with `type` and opens the channel that the connection's type check set up.
    void ConnectAndOpenChannel(const AM_MEDIA_TYPE& type)
    {
        sink.ConnectFrom(upstream, type, allocator);
        ASSERT_TRUE(channel.Open());
    }

    // One packed 4:2:2 frame of width x height pixels, every pixel of luma `luma` and no colour, received by
    // `input`.
    static HRESULT ReceivePackedFrame(IMemInputPin* input, LONG width, LONG height, BYTE luma)
    {
        FakeMediaSample sample(false, width * height * 2);
        FillPackedYuv(sample, luma);
        return input->Receive(&sample);
    }

    // A refused type leaves the pin unconnected and the channel not set up.
    void ExpectUnconnectedAndNothingSetUp()
    {
        IPin* peer = reinterpret_cast<IPin*>(1);
        EXPECT_EQ(Pin()->ConnectedTo(&peer), VFW_E_NOT_CONNECTED);
        EXPECT_EQ(peer, nullptr);
        EXPECT_FALSE(CameraChannelReader::HeaderBlockExists()) << "a refused type set the channel up";
    }

    // Declared before the sink, so they outlive it and check their balance after it is gone.
    FakeGraph graph;
    FakeUpstreamPin upstream;
    FakeAllocator allocator;
    SinkUnderTest<VidtapSink> sink;
    CameraChannelReader channel;
};

TEST_F(CapturePinTest, AudioTypeIsAcceptedOnceTheChannelIsSetUpAndBecomesTheConnectionType)
{
    const COwnedMediaType video = MakeVideoType(640, 480, 16);
    const COwnedMediaType audio = MakeAudioType();
    ASSERT_EQ(Pin()->QueryAccept(&video), S_OK);
    ASSERT_TRUE(channel.Open());

    EXPECT_EQ(Pin()->QueryAccept(&audio), S_OK);
    ASSERT_EQ(Pin()->ReceiveConnection(&upstream, &audio), S_OK);
    EXPECT_TRUE(SameMediaType(sink.ConnectionType(), audio));

    // Its samples are copied as they come; the header keeps the picture it announced.
    FakeMediaSample sample(false, 32);
    FillPattern(sample, 1);
    EXPECT_EQ(Input()->Receive(&sample), S_OK);
    EXPECT_EQ(std::memcmp(channel.frame, sample.Data(), 32), 0);
    EXPECT_TRUE(SameHeader(channel.Format(), PublishedFormat(PictureOf(video))));
}

// The size arithmetic is PictureDescriptionTest's; here the pin refuses what the channel cannot carry, one
// pixel too high or wrapping to a small size in 32 bits, and accepts the largest it carries either way up.
TEST_F(CapturePinTest, OnlyPicturesTheChannelCarriesAreAcceptedAndSetItUp)
{
    const COwnedMediaType oversized[] = {MakeVideoType(1920, 1081, 16), MakeVideoType(65536, 65536, 16)};
    for (const COwnedMediaType& type : oversized) {
        EXPECT_EQ(Pin()->QueryAccept(&type), S_FALSE);
        EXPECT_EQ(Pin()->ReceiveConnection(&upstream, &type), VFW_E_TYPE_NOT_ACCEPTED);
        ExpectUnconnectedAndNothingSetUp();
    }
    const COwnedMediaType bottomUp = MakeVideoType(1920, 1080, 16);
    const COwnedMediaType topDown = MakeVideoType(1920, -1080, 16);
    EXPECT_EQ(Pin()->QueryAccept(&bottomUp), S_OK);
    EXPECT_EQ(Pin()->QueryAccept(&topDown), S_OK);
    EXPECT_TRUE(CameraChannelReader::HeaderBlockExists());
}

TEST_F(CapturePinTest, UpstreamOfferingAnOversizedThenAFittingTypeConnectsWithTheFittingOne)
{
    const COwnedMediaType oversized = MakeVideoType(2560, 1440, 16);
    const COwnedMediaType fitting = MakeVideoType(1280, 720, 16);
    upstream.AddType(oversized);
    upstream.AddType(fitting);

    ASSERT_EQ(Pin()->Connect(&upstream, nullptr), S_OK);

    EXPECT_TRUE(upstream.IsConnected());
    ASSERT_EQ(upstream.receivedTypes.size(), 1u);
    EXPECT_TRUE(SameMediaType(upstream.receivedTypes[0], fitting));
    EXPECT_TRUE(SameMediaType(sink.ConnectionType(), fitting));
    // The set-up took the fitting picture, not the refused one.
    ASSERT_TRUE(channel.Open());
    EXPECT_TRUE(SameHeader(channel.Format(), PublishedFormat(PictureOf(fitting))));
    upstream.Disconnect();
}

// A type check on a connected pin changes the connection type, and with it what the next sample publishes,
// only when accepted: a picture the channel cannot carry, or a format block that could not be copied, is
// refused and the connection type kept. What the upstream pin offers plays no part. A sample that cannot be
// read publishes nothing.
TEST_F(CapturePinTest, TypeChecksOnAConnectedPinChangeWhatTheNextSamplePublishesOnlyWhenAccepted)
{
    const COwnedMediaType first = MakeVideoType(640, 480, 16);
    const COwnedMediaType second = MakeVideoType(320, 240, 16);
    const COwnedMediaType oversized = MakeVideoType(65536, 65536, 16);
    const COwnedMediaType i420 = I420();
    upstream.AddType(i420);
    upstream.AddType(first);
    ASSERT_NO_FATAL_FAILURE(ConnectAndOpenChannel(first));

    EXPECT_EQ(Pin()->QueryAccept(&oversized), S_FALSE);
    {
        TaskMemoryFailureScope failure(0);
        EXPECT_EQ(Pin()->QueryAccept(&second), S_FALSE);
        EXPECT_TRUE(failure.FailureInjected());
    }
    EXPECT_TRUE(SameMediaType(sink.ConnectionType(), first));
    ASSERT_EQ(ReceivePackedFrame(Input(), 640, 480, kWhiteLuma), S_OK);
    EXPECT_TRUE(SameHeader(channel.Format(), PublishedFormat(PictureOf(first))));
    ASSERT_TRUE(AllBytesAre(channel.frame, 640 * 480 * 3, kWhiteConverted));

    EXPECT_EQ(Pin()->QueryAccept(&second), S_OK);
    EXPECT_TRUE(SameMediaType(sink.ConnectionType(), second));
    // A sample whose buffer cannot be had gives its code and leaves both blocks as they were, though a publish
    // under the new type would rewrite the header's size.
    const std::vector<unsigned char> headerBefore(reinterpret_cast<unsigned char*>(channel.header),
                                                  reinterpret_cast<unsigned char*>(channel.header) + kHeaderBlockSize);
    const std::vector<unsigned char> frameBefore(channel.frame, channel.frame + 640 * 480 * 3);
    FakeMediaSample failing(false, 320 * 240 * 2);
    FillPackedYuv(failing, kBlackLuma);
    failing.pointerResult = VFW_E_NOT_COMMITTED;
    EXPECT_EQ(Input()->Receive(&failing), VFW_E_NOT_COMMITTED);
    EXPECT_EQ(std::memcmp(channel.header, headerBefore.data(), headerBefore.size()), 0);
    EXPECT_EQ(std::memcmp(channel.frame, frameBefore.data(), frameBefore.size()), 0);

    EXPECT_EQ(ReceivePackedFrame(Input(), 320, 240, kBlackLuma), S_OK);
    EXPECT_TRUE(SameHeader(channel.Format(), PublishedFormat(PictureOf(second))));
    // 240 rows of 320 pixels were written; the rest of the earlier frame is still there.
    EXPECT_TRUE(AllBytesAre(channel.frame, 320 * 240 * 3, 0));
    EXPECT_EQ(channel.frame[320 * 240 * 3], kWhiteConverted);

    // A type the channel would not carry as such, though the upstream pin also offers one it would.
    EXPECT_EQ(Pin()->QueryAccept(&i420), S_OK);
    EXPECT_TRUE(SameMediaType(sink.ConnectionType(), i420));
    EXPECT_EQ(upstream.enumMediaTypesCalls, 0);
}

TEST_F(CapturePinTest, SecondCaptureSinkInTheProcessDoesNoSecondSetUpAndPublishesIntoTheSameBlocks)
{
    const COwnedMediaType first = MakeVideoType(640, 480, 16);
    const COwnedMediaType second = MakeVideoType(320, 240, 16);
    ASSERT_NO_FATAL_FAILURE(ConnectAndOpenChannel(first));

    // Marks a set-up would overwrite: the frame block's name and the announced format.
    const wchar_t probe[] = L"probe";
    std::memcpy(channel.header->frameBlockName, probe, sizeof probe);
    BITMAPINFOHEADER marked = {};
    marked.biWidth = 7;
    marked.biHeight = 5;
    marked.biClrImportant = 99;
    std::memcpy(channel.header->format, &marked, sizeof marked);

    FakeUpstreamPin secondUpstream;
    FakeAllocator secondAllocator;
    SinkUnderTest<VidtapSink> secondSink;
    ASSERT_TRUE(secondSink.Created());
    secondSink.ConnectFrom(secondUpstream, second, secondAllocator);

    EXPECT_EQ(channel.FrameBlockName(), L"probe");
    EXPECT_TRUE(SameHeader(channel.Format(), marked));

    EXPECT_EQ(ReceivePackedFrame(secondSink.MemInput(), 320, 240, kWhiteLuma), S_OK);
    // `channel.frame` is the block the first sink's set-up named.
    EXPECT_TRUE(AllBytesAre(channel.frame, 320 * 240 * 3, kWhiteConverted));
    EXPECT_TRUE(SameHeader(channel.Format(), PublishedFormat(PictureOf(second))));
}

// The capture sink publishes whatever the filter's state: stopped, paused (a frame shown before the graph
// runs) and while the pin flushes; and the whole buffer of a sample, however little data it says it holds.
TEST_F(CapturePinTest, ReceivePublishesTheWholeBufferWhileStoppedPausedOrFlushing)
{
    const COwnedMediaType rgb = MakeVideoType(8, 4, 32);  // copied unchanged
    ASSERT_NO_FATAL_FAILURE(ConnectAndOpenChannel(rgb));
    for (int state = 0; state < 3; ++state) {
        if (state == 1) {
            ASSERT_EQ(sink.Filter()->Pause(), S_OK);
        } else if (state == 2) {
            ASSERT_EQ(sink.Filter()->Stop(), S_OK);
            ASSERT_EQ(Pin()->BeginFlush(), S_OK);
        }
        FakeMediaSample sample(false, 256);
        sample.actualLength = 16;
        FillPattern(sample, static_cast<BYTE>(11 + 45 * state));
        ASSERT_EQ(Input()->Receive(&sample), S_OK);
        EXPECT_EQ(std::memcmp(channel.frame, sample.Data(), 256), 0) << "state " << state;
    }
    ASSERT_EQ(Pin()->EndFlush(), S_OK);
}

// That end of stream waits for the sample in Receive and completes once is the shared sink suite's
// (SinkShapeTest); here the sample is held inside the publish itself, and the frame must be complete by the
// time the stream is reported finished.
TEST_F(CapturePinTest, EndOfStreamWaitsForThePublishInProgressSoTheFrameIsCompleteWhenItReturns)
{
    const COwnedMediaType type = MakeVideoType(64, 48, 16);
    BlockingMediaSample sample(BlockingMediaSample::BlockIn::GetSize, 64 * 48 * 2);
    FillPackedYuv(sample, kWhiteLuma);
    sink.JoinGraph(graph);
    ASSERT_NO_FATAL_FAILURE(ConnectAndOpenChannel(type));
    ASSERT_EQ(sink.Filter()->Run(0), S_OK);

    EndOfStreamWhileReceiving(Input(), Pin(), sample, [&] {
        EXPECT_TRUE(AllBytesAre(channel.frame, 64 * 48 * 3, kWhiteConverted));
    });
}

// What the connecting pin offers besides the proposed type, and how its enumerator behaves.
enum class OfferScript { Plain, NoEnumerator, NullRecordFirst, OutOfSyncFirst, Endless };

struct ProposalCase {
    const char* name;
    COwnedMediaType (*proposed)();
    std::vector<COwnedMediaType (*)()> offers;
    OfferScript script;
    bool refused;
};

const ProposalCase kProposalCases[] = {
    {"PlanarWhileDecoderAlsoOffersYuy2AndRgb24", I420, {I420, Rgb32, Uyvy, Yuy2, Rgb24}, OfferScript::Plain, true},
    {"Nv12WhileRgb24IsOffered", Nv12, {Nv12, Rgb24}, OfferScript::Plain, true},
    {"Rgb565WhileYuy2IsOffered", Rgb565, {Rgb565, Yuy2}, OfferScript::Plain, true},
    {"MjpgPastANullRecord", Mjpg, {Mjpg, Yuy2}, OfferScript::NullRecordFirst, true},
    {"PlanarFromAListThatChanged", I420, {I420, Yuy2}, OfferScript::OutOfSyncFirst, true},
    {"Rgb32WhenNothingElseIsOffered", Rgb32, {Rgb32}, OfferScript::Plain, false},
    {"PlanarWhenTheOnlyYuy2DoesNotFit", I420, {I420, OversizedYuy2}, OfferScript::Plain, false},
    {"PlanarWhenYuy2AnnouncesTheWrongDepth", I420, {I420, Yuy2Announcing24Bits}, OfferScript::Plain, false},
    {"UyvyWhenTheOffersCannotBeEnumerated", Uyvy, {Uyvy, Yuy2}, OfferScript::NoEnumerator, false},
    {"PlanarFromAnEndlessListWithoutCarriedType", I420, {I420, Rgb32}, OfferScript::Endless, false},
    {"Yuy2AmongPlanarOffers", Yuy2, {I420, Yuy2}, OfferScript::Plain, false},
    {"Rgb24AmongPlanarOffers", Rgb24, {Nv12, Rgb24}, OfferScript::Plain, false},
    {"AudioWhileYuy2IsOffered", MakeAudioType, {Yuy2}, OfferScript::Plain, false},
};

void PrintTo(const ProposalCase& proposal, std::ostream* out)
{
    *out << proposal.name;
}

class ConnectionProposalTest : public CapturePinTest, public testing::WithParamInterface<ProposalCase> {};

TEST_P(ConnectionProposalTest, MisdescribedPictureIsRefusedOnlyWhileACarriedTypeIsOffered)
{
    const ProposalCase& proposal = GetParam();
    for (COwnedMediaType (*offered)() : proposal.offers)
        upstream.AddType(offered());
    switch (proposal.script) {
    case OfferScript::NoEnumerator: upstream.enumMediaTypesResult = E_OUTOFMEMORY; break;
    case OfferScript::NullRecordFirst: upstream.enumerator.nullRecordAt = 0; break;
    case OfferScript::OutOfSyncFirst: upstream.enumerator.outOfSyncAnswers = 1; break;
    case OfferScript::Endless: upstream.enumerator.repeatsForever = true; break;
    case OfferScript::Plain: break;
    }
    const COwnedMediaType proposed = proposal.proposed();

    const HRESULT hr = Pin()->ReceiveConnection(&upstream, &proposed);

    if (proposal.refused) {
        EXPECT_EQ(hr, VFW_E_TYPE_NOT_ACCEPTED);
        ExpectUnconnectedAndNothingSetUp();
    } else {
        ASSERT_EQ(hr, S_OK);
        EXPECT_TRUE(SameMediaType(sink.ConnectionType(), proposed));
        EXPECT_EQ(Pin()->Disconnect(), S_OK);
    }
    // However long the list, the walk is bounded; the enumerator is given back.
    EXPECT_LE(upstream.enumerator.nextCalls, 256);
    upstream.ExpectBalanced();
}

INSTANTIATE_TEST_SUITE_P(CapturePin, ConnectionProposalTest, testing::ValuesIn(kProposalCases),
                         [](const testing::TestParamInfo<ProposalCase>& info) { return info.param.name; });

}  // namespace
