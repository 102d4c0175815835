// Tests of what the two sink filters share, run for both (VidtapSink, NullsinkerSink): the outer object's
// interface routing and aggregation, the lazily created seeking pass-through, creation failures, the one
// "Input" pin, and the receive path's locking between the streaming thread and the control thread. Every test
// ends with the doubles balanced (their destructors check) and the active-object count back (TestMain checks).

#include <windows.h>
#include <control.h>
#include <evcode.h>
#include <strmif.h>
#include <uuids.h>
#include <vfwmsgs.h>
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <type_traits>

#include "AllocationFailure.h"
#include "BlockingMediaSample.h"
#include "CBaseObject.h"
#include "ComPtr.h"
#include "CountingDouble.h"
#include "EndOfStreamBehindReceive.h"
#include "FakeAllocator.h"
#include "FakeGraph.h"
#include "FakeMediaSample.h"
#include "FakeUpstreamPin.h"
#include "HangWatchdog.h"
#include "VideoMediaType.h"
#include "SinkUnderTest.h"
#include "TestThread.h"
#include "NullsinkerSink.h"
#include "VidtapSink.h"

// An object that aggregates a sink: only its IUnknown is needed, to see where the counts land.
class AggregatingUnknown : public CountingDouble<IUnknown> {};

template <class Traits>
class SinkShapeTest : public testing::Test {
protected:
    using Outer = typename Traits::Outer;

    static HRESULT Query(INonDelegatingUnknown* unknown, REFIID iid, void** out)
    {
        *out = reinterpret_cast<void*>(1);  // must come back null on a refusal
        return unknown->NonDelegatingQueryInterface(iid, out);
    }

    // Builds the sink with the n-th allocation of its creation failing. `injected` tells whether the
    // creation got that far.
    static Outer* CreateFailingAt(int allocation, HRESULT* hr, bool* injected)
    {
        AllocationFailureScope failure(allocation);
        Outer* created = static_cast<Outer*>(Traits::Create(nullptr, hr));
        *injected = failure.FailureInjected();
        return created;
    }

    // A sink whose filter was built but whose pin could not be: what the class factory would destroy.
    static Outer* CreateWithoutPin()
    {
        for (int allocation = 0; allocation < 16; ++allocation) {
            HRESULT hr = S_OK;
            bool injected = false;
            Outer* created = CreateFailingAt(allocation, &hr, &injected);
            if (created != nullptr && created->GetFilter() != nullptr && created->GetInputPin() == nullptr)
                return created;
            delete static_cast<CUnknown*>(created);
            if (!injected)
                break;
        }
        return nullptr;
    }
};

// Names the two instantiations after their sinks.
struct SinkName {
    template <class Traits>
    static std::string GetName(int)
    {
        return std::is_same<Traits, VidtapSink>::value ? "Vidtap" : "Nullsinker";
    }
};

using BothSinks = testing::Types<VidtapSink, NullsinkerSink>;
TYPED_TEST_SUITE(SinkShapeTest, BothSinks, SinkName);

TYPED_TEST(SinkShapeTest, OuterObjectAnswersFilterInterfacesAndTheFilterHasOneInputPin)
{
    SinkUnderTest<TypeParam> sink;
    ASSERT_TRUE(sink.Created());
    INonDelegatingUnknown* outer = sink.Unknown();

    for (const IID* iid : {&IID_IUnknown, &IID_IBaseFilter, &IID_IMediaFilter, &IID_IPersist}) {
        void* answered = nullptr;
        EXPECT_EQ(this->Query(outer, *iid, &answered), S_OK);
        ASSERT_NE(answered, nullptr);
        static_cast<IUnknown*>(answered)->Release();
    }
    // The pin is reached through the filter's pin enumeration only; setup is the registration's business.
    for (const IID* iid : {&IID_IAMovieSetup, &IID_IPin, &IID_IMemInputPin, &IID_IQualityControl}) {
        void* refused = nullptr;
        EXPECT_EQ(this->Query(outer, *iid, &refused), E_NOINTERFACE);
        EXPECT_EQ(refused, nullptr);
    }
    EXPECT_EQ(outer->NonDelegatingQueryInterface(IID_IBaseFilter, nullptr), E_POINTER);

    // The filter's interfaces answer for the whole object.
    IBaseFilter* filter = sink.Filter();
    for (const IID* iid : {&IID_IAMovieSetup, &IID_IPin, &IID_IMemInputPin}) {
        void* refused = reinterpret_cast<void*>(1);
        EXPECT_EQ(filter->QueryInterface(*iid, &refused), E_NOINTERFACE);
        EXPECT_EQ(refused, nullptr);
    }
    ComPtr<IUnknown> identity;
    ASSERT_EQ(filter->QueryInterface(IID_IUnknown, identity.OutVoid()), S_OK);
    EXPECT_EQ(static_cast<void*>(identity.Get()), static_cast<void*>(outer));
    CLSID classId = {};
    EXPECT_EQ(filter->GetClassID(&classId), S_OK);
    EXPECT_TRUE(IsEqualGUID(classId, TypeParam::ClassId()));

    // Exactly one pin, an input named "Input" with IMemInputPin (the pin enumerator over CountPins and GetPinAt
    // is the framework's, pinned at PinEnumeratorTest).
    auto* base = sink.Object()->GetFilter();
    EXPECT_EQ(base->CountPins(), 1);
    EXPECT_EQ(base->GetPinAt(0), sink.Pin());
    EXPECT_EQ(base->GetPinAt(1), nullptr);
    EXPECT_EQ(base->GetPinAt(-1), nullptr);

    ComPtr<IPin> found;
    ASSERT_EQ(filter->FindPin(L"Input", found.Out()), S_OK);
    EXPECT_EQ(found.Get(), sink.InputPin());
    PIN_DIRECTION direction = PINDIR_OUTPUT;
    EXPECT_EQ(found->QueryDirection(&direction), S_OK);
    EXPECT_EQ(direction, PINDIR_INPUT);
    ComPtr<IMemInputPin> memInput;
    EXPECT_EQ(found->QueryInterface(IID_IMemInputPin, memInput.OutVoid()), S_OK);
}

TYPED_TEST(SinkShapeTest, AggregatedSinkCountsLandOnTheAggregatingObject)
{
    AggregatingUnknown aggregator;
    HRESULT hr = S_OK;
    INonDelegatingUnknown* inner = TypeParam::Create(aggregator.AsUnknown(), &hr);
    ASSERT_NE(inner, nullptr);
    ASSERT_EQ(hr, S_OK);
    inner->NonDelegatingAddRef();  // the aggregating object's own reference on its inner object

    IBaseFilter* filter = nullptr;
    ASSERT_EQ(inner->NonDelegatingQueryInterface(IID_IBaseFilter, reinterpret_cast<void**>(&filter)), S_OK);
    EXPECT_EQ(aggregator.References(), 1);
    IPin* pin = nullptr;
    ASSERT_EQ(filter->FindPin(L"Input", &pin), S_OK);
    EXPECT_EQ(aggregator.References(), 2);
    void* seeking = nullptr;
    ASSERT_EQ(inner->NonDelegatingQueryInterface(IID_IMediaSeeking, &seeking), S_OK);
    EXPECT_EQ(aggregator.References(), 3);

    // The filter's IUnknown is the aggregating object's.
    IUnknown* identity = nullptr;
    ASSERT_EQ(filter->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
    EXPECT_EQ(identity, aggregator.AsUnknown());
    identity->Release();

    static_cast<IUnknown*>(seeking)->Release();
    pin->Release();
    filter->Release();
    aggregator.ExpectBalanced();
    // None of those references reached the inner object's own count.
    EXPECT_EQ(inner->NonDelegatingRelease(), 0u);
}

// The pass-through is made at the first seeking or position request and shared by every later one; one
// that cannot be allocated keeps nothing, and a later request succeeds. (That its position face answers
// with its seeking face, through the outer object, is PosPassThruTest's.)
TYPED_TEST(SinkShapeTest, SeekingAndPositionRequestsShareOnePassThrough)
{
    SinkUnderTest<TypeParam> sink;
    ASSERT_TRUE(sink.Created());
    const LONG before = CBaseObject::ActiveObjectCount();
    {
        AllocationFailureScope failure(0);
        void* seeking = nullptr;
        EXPECT_EQ(this->Query(sink.Unknown(), IID_IMediaSeeking, &seeking), E_OUTOFMEMORY);
        EXPECT_TRUE(failure.FailureInjected());
        EXPECT_EQ(seeking, nullptr);
    }
    EXPECT_EQ(CBaseObject::ActiveObjectCount(), before);

    ComPtr<IMediaSeeking> first;
    ComPtr<IMediaSeeking> second;
    ComPtr<IMediaPosition> position;
    ASSERT_EQ(sink.Unknown()->NonDelegatingQueryInterface(IID_IMediaPosition, position.OutVoid()), S_OK);
    EXPECT_EQ(CBaseObject::ActiveObjectCount(), before + 1);
    ASSERT_EQ(sink.Unknown()->NonDelegatingQueryInterface(IID_IMediaSeeking, first.OutVoid()), S_OK);
    ASSERT_EQ(sink.Unknown()->NonDelegatingQueryInterface(IID_IMediaSeeking, second.OutVoid()), S_OK);
    EXPECT_EQ(CBaseObject::ActiveObjectCount(), before + 1);
    EXPECT_EQ(first.Get(), second.Get());
}

TYPED_TEST(SinkShapeTest, PassThroughOverAMissingPinIsRefusedAndNotKept)
{
    auto* partial = this->CreateWithoutPin();
    ASSERT_NE(partial, nullptr) << "no allocation failure left the sink without its pin";
    partial->NonDelegatingAddRef();
    const LONG before = CBaseObject::ActiveObjectCount();

    for (int attempt = 0; attempt < 2; ++attempt) {
        void* seeking = nullptr;
        EXPECT_TRUE(FAILED(this->Query(partial, IID_IMediaSeeking, &seeking)));
        EXPECT_EQ(seeking, nullptr);
        EXPECT_EQ(CBaseObject::ActiveObjectCount(), before);
    }
    // The filter stands without its pin.
    EXPECT_EQ(partial->GetFilter()->CountPins(), 1);
    EXPECT_EQ(partial->GetFilter()->GetPinAt(0), nullptr);
    IPin* pin = reinterpret_cast<IPin*>(1);
    EXPECT_EQ(partial->GetFilter()->GetBaseFilterInterface()->FindPin(L"Input", &pin), VFW_E_NOT_FOUND);
    EXPECT_EQ(pin, nullptr);
    EXPECT_EQ(partial->NonDelegatingRelease(), 0u);
}

TYPED_TEST(SinkShapeTest, CreationFailuresReportOutOfMemoryAndThePartlyBuiltSinkIsDestroyedCleanly)
{
    const LONG start = CBaseObject::ActiveObjectCount();
    bool sawNoObject = false;
    bool sawNoFilter = false;
    bool sawNoPin = false;
    for (int allocation = 0; allocation < 16; ++allocation) {
        HRESULT hr = S_OK;
        bool injected = false;
        auto* created = this->CreateFailingAt(allocation, &hr, &injected);
        if (!injected) {
            // Every allocation of the creation has been failed once.
            EXPECT_NE(created, nullptr);
            EXPECT_EQ(hr, S_OK);
            delete static_cast<CUnknown*>(created);
            break;
        }
        if (created == nullptr) {
            EXPECT_EQ(hr, E_OUTOFMEMORY);
            sawNoObject = true;
            continue;
        }
        if (created->GetFilter() == nullptr) {
            EXPECT_EQ(hr, E_OUTOFMEMORY);
            EXPECT_EQ(created->GetInputPin(), nullptr) << "a pin was built without its filter";
            sawNoFilter = true;
        } else if (created->GetInputPin() == nullptr) {
            EXPECT_EQ(hr, E_OUTOFMEMORY);
            sawNoPin = true;
        }
        // As the class factory does with an object whose creation reported a failure.
        delete static_cast<CUnknown*>(created);
        EXPECT_EQ(CBaseObject::ActiveObjectCount(), start) << "allocation " << allocation;
    }
    EXPECT_TRUE(sawNoObject);
    EXPECT_TRUE(sawNoFilter);
    EXPECT_TRUE(sawNoPin);

    // A successful creation never writes its result.
    HRESULT untouched = S_FALSE;
    auto* created = TypeParam::Create(nullptr, &untouched);
    EXPECT_EQ(untouched, S_FALSE);
    delete static_cast<CUnknown*>(created);
}

// Receive publishes or drops whatever arrives: it never blocks and consults neither the filter's state,
// the flushing flag nor a type attached to the sample; it fails only for a missing sample or data pointer.
TYPED_TEST(SinkShapeTest, ReceiveTakesEverySampleWhateverTheStateAndFailsOnlyWithoutData)
{
    FakeMediaSample sample;
    SinkUnderTest<TypeParam> sink;
    ASSERT_TRUE(sink.Created());
    IMemInputPin* input = sink.MemInput();

    EXPECT_EQ(input->ReceiveCanBlock(), S_FALSE);
    EXPECT_EQ(sink.InputPin()->NewSegment(0, 10000000, 2.0), S_OK);
    EXPECT_EQ(input->Receive(nullptr), E_POINTER);

    EXPECT_EQ(input->Receive(&sample), S_OK);  // stopped
    // A batch goes through the same Receive, one sample after the other.
    IMediaSample* batch[3] = {&sample, &sample, &sample};
    long processed = -1;
    EXPECT_EQ(input->ReceiveMultiple(batch, 3, &processed), S_OK);
    EXPECT_EQ(processed, 3);
    ASSERT_EQ(sink.InputPin()->BeginFlush(), S_OK);
    EXPECT_EQ(input->Receive(&sample), S_OK);  // flushing
    ASSERT_EQ(sink.InputPin()->EndFlush(), S_OK);

    sample.SetChangedType(MakeAudioType());
    EXPECT_EQ(input->Receive(&sample), S_OK);
    EXPECT_EQ(input->Receive(&sample), S_OK);
    EXPECT_EQ(sample.typesHandedOut, 0) << "the sample's own type was asked for";

    sample.pointerResult = VFW_E_NOT_COMMITTED;
    EXPECT_EQ(input->Receive(&sample), VFW_E_NOT_COMMITTED);
    sample.ExpectBalanced();
}

// End of stream on the streaming thread while another thread is still inside Receive: it waits for that
// sample, then completes (the event's parameters, and once per run, are InputPinTest's).
TYPED_TEST(SinkShapeTest, EndOfStreamWaitsForTheSampleInReceiveThenCompletesOnce)
{
    BlockingMediaSample sample(BlockingMediaSample::BlockIn::GetPointer);
    FakeGraph graph;
    FakeUpstreamPin upstream;
    FakeAllocator allocator;
    const COwnedMediaType type = MakeVideoType(64, 48, 16);
    SinkUnderTest<TypeParam> sink;
    ASSERT_NO_FATAL_FAILURE(sink.RunConnected(graph, upstream, type, allocator));

    const EndOfStreamBehindReceive ended = EndOfStreamWhileReceiving(sink.MemInput(), sink.InputPin(), sample);
    EXPECT_EQ(ended.receiveResult, S_OK);
    EXPECT_EQ(ended.endResult, S_OK);
    EXPECT_EQ(graph.events.size(), 1u);
}

// The streaming thread receiving samples and ending the stream while the control thread checks types and
// changes state: everything finishes (a hang ends the process through the watchdog), no call fails for want
// of a lock, and each sample is published under one complete type: the channel's header announces exactly
// one of the two pictures, never a mix or freed memory (the null sink makes no channel at all).
TYPED_TEST(SinkShapeTest, StreamingAndControlThreadsNeverDeadlockAndEachSampleIsPublishedUnderOneType)
{
    FakeMediaSample sample(false, 640 * 480 * 2);
    FakeGraph graph;
    FakeUpstreamPin upstream;
    FakeAllocator allocator;
    const COwnedMediaType large = MakeVideoType(640, 480, 16);
    const COwnedMediaType small = MakeVideoType(320, 240, 16);
    SinkUnderTest<TypeParam> sink;
    ASSERT_NO_FATAL_FAILURE(sink.RunConnected(graph, upstream, large, allocator));

    std::atomic<bool> streamingDone{false};
    int failedReceives = 0;
    int unexpectedEnds = 0;
    int refusedChecks = 0;
    int mixedHeaders = 0;
    {
        HangWatchdog watchdog(120000, "streaming and control threads");
        TestThread streaming([&] {
            for (int i = 0; i < 300; ++i) {
                if (sink.MemInput()->Receive(&sample) != S_OK)
                    ++failedReceives;
                if (!TypeParam::ChannelAnnouncesOneOf(large, small))
                    ++mixedHeaders;
                if (i % 20 == 19) {
                    // Stopped, flushing or not: never a lock-related failure.
                    HRESULT hr = sink.InputPin()->EndOfStream();
                    if (hr != S_OK && hr != S_FALSE && hr != VFW_E_WRONG_STATE)
                        ++unexpectedEnds;
                }
            }
            streamingDone = true;
        });
        IBaseFilter* filter = sink.Filter();
        for (int i = 0; i < 100000 && !streamingDone; ++i) {
            if (sink.InputPin()->QueryAccept(i % 2 == 0 ? &small : &large) != S_OK)
                ++refusedChecks;
            switch (i % 5) {
            case 0: filter->Stop(); break;
            case 1: filter->Pause(); break;
            case 2: filter->Run(0); break;
            case 3:
                sink.InputPin()->BeginFlush();
                sink.InputPin()->EndFlush();
                break;
            default: break;
            }
            Sleep(0);
        }
        streaming.Join();
    }
    EXPECT_EQ(failedReceives, 0);
    EXPECT_EQ(unexpectedEnds, 0);
    EXPECT_EQ(refusedChecks, 0);
    EXPECT_EQ(mixedHeaders, 0);
    sample.ExpectBalanced();
}

// A pin that serves data only when asked could never deliver a sample: its connection is refused before the
// type is looked at, with a code that sends the graph on to insert a parser.
TYPED_TEST(SinkShapeTest, ConnectionFromAPinThatOnlyServesReadsIsRefused)
{
    FakeUpstreamPin fileReader{UpstreamKind::PullSource};
    AM_MEDIA_TYPE byteStream;
    MediaTypeReset(&byteStream);
    byteStream.majortype = MEDIATYPE_Stream;
    byteStream.subtype = MEDIASUBTYPE_Avi;
    SinkUnderTest<TypeParam> sink;
    ASSERT_TRUE(sink.Created());

    EXPECT_EQ(sink.InputPin()->ReceiveConnection(&fileReader, &byteStream), VFW_E_NO_TRANSPORT);
    IPin* peer = reinterpret_cast<IPin*>(1);
    EXPECT_EQ(sink.InputPin()->ConnectedTo(&peer), VFW_E_NOT_CONNECTED);
    EXPECT_EQ(peer, nullptr);
    EXPECT_TRUE(fileReader.WasQueriedFor(IID_IAsyncReader));
    fileReader.ExpectBalanced();
}

// With nothing connected there is no stream to wait for: every run that starts reports completion at once,
// once; a connected pin waits for its end of stream.
TYPED_TEST(SinkShapeTest, RunWithTheInputUnconnectedCompletesOncePerRun)
{
    FakeGraph graph;
    FakeUpstreamPin upstream;
    FakeAllocator allocator;
    SinkUnderTest<TypeParam> sink;
    ASSERT_TRUE(sink.Created());
    sink.JoinGraph(graph);
    IBaseFilter* filter = sink.Filter();

    ASSERT_EQ(filter->Run(0), S_OK);  // from Stopped
    ASSERT_EQ(graph.events.size(), 1u);
    EXPECT_EQ(graph.events[0].code, EC_COMPLETE);
    EXPECT_EQ(graph.events[0].param1, S_OK);
    EXPECT_EQ(graph.events[0].param2, reinterpret_cast<LONG_PTR>(filter));
    EXPECT_EQ(filter->Run(10), S_OK);  // already running: the same run
    EXPECT_EQ(graph.events.size(), 1u);
    ASSERT_EQ(filter->Pause(), S_OK);
    EXPECT_EQ(graph.events.size(), 1u);
    ASSERT_EQ(filter->Run(20), S_OK);  // from Paused
    EXPECT_EQ(graph.events.size(), 2u);
    ASSERT_EQ(filter->Stop(), S_OK);

    sink.ConnectFrom(upstream, MakeVideoType(64, 48, 16), allocator);
    ASSERT_EQ(filter->Run(30), S_OK);
    EXPECT_EQ(graph.events.size(), 2u) << "a connected pin completed without an end of stream";
    ASSERT_EQ(filter->Stop(), S_OK);
}
