// The input pins: the receive-state check, sample delivery (properties, mid-stream type changes, batches),
// the allocator, flushing and deactivation, and end of stream turned into EC_COMPLETE once per run.
#include <gtest/gtest.h>

#include <algorithm>

#include <windows.h>

#include <evcode.h>
#include <uuids.h>
#include <vfwmsgs.h>

#include "ComPtr.h"
#include "CountingDouble.h"
#include "FakeAllocator.h"
#include "FakeGraph.h"
#include "FakeMediaSample.h"
#include "FakeUpstreamPin.h"
#include "PinDouble.h"
#include "TestFilter.h"
#include "TypeAttachment.h"

namespace {

class InputPinTest : public testing::Test {
protected:
    InputPinTest()
    {
        pin->baseStateCalls = true;
        filter->JoinFilterGraph(graph.AsGraph(), L"Sink");
    }
    ~InputPinTest() override
    {
        filter->Stop();
        if (pin->IsConnected()) {
            EXPECT_EQ(pin->Disconnect(), S_OK);
        }
        filter->JoinFilterGraph(nullptr, nullptr);
    }

    // Connects the pin as an upstream pin would (YUY2) and hands it an allocator, so that stopping the
    // filter deactivates it cleanly.
    void Connect()
    {
        COwnedMediaType type = attachment.Type(MEDIASUBTYPE_YUY2);
        ASSERT_EQ(pin->ReceiveConnection(&upstream, &type), S_OK);
        ASSERT_EQ(memInput->NotifyAllocator(&allocator, FALSE), S_OK);
    }
    void Run()
    {
        ASSERT_EQ(filter->Run(0), S_OK);
    }
    size_t CompletionsRaised() const
    {
        size_t count = 0;
        for (const FakeGraph::Event& event : graph.events)
            count += event.code == EC_COMPLETE ? 1 : 0;
        return count;
    }
    // Refuses every type but the connection's YUY2.
    void AcceptOnlyYuy2()
    {
        pin->checkType = [](const AM_MEDIA_TYPE* type) {
            return IsEqualGUID(type->subtype, MEDIASUBTYPE_YUY2) ? S_OK : S_FALSE;
        };
    }

    // Doubles first: the filter (declared last) goes first and gives its references back.
    TypeAttachment attachment;
    FakeGraph graph;
    FakeAllocator allocator;
    FakeUpstreamPin upstream;
    ComPtr<TestFilter> filter{new TestFilter({L"Input"})};
    ScriptedPin* pin = filter->Pin(0);
    IMemInputPin* memInput = pin->GetMemInputPinInterface();
};

// --- Receive state ---

TEST_F(InputPinTest, ReceiveStateChecksStoppedThenFlushingThenRuntimeError)
{
    pin->runtimeError = true;
    pin->BeginFlush();
    EXPECT_EQ(pin->CheckReceiveState(), VFW_E_WRONG_STATE);
    filter->ForceState(State_Paused);
    EXPECT_EQ(pin->CheckReceiveState(), S_FALSE);
    EXPECT_EQ(pin->EndFlush(), S_OK);  // clears both
    EXPECT_EQ(pin->CheckReceiveState(), S_OK);
    pin->runtimeError = true;
    EXPECT_EQ(pin->CheckReceiveState(), VFW_E_RUNTIME_ERROR);
    filter->ForceState(State_Running);
    EXPECT_EQ(pin->CheckReceiveState(), VFW_E_RUNTIME_ERROR);
    filter->ForceState(State_Stopped);

    // Receive refuses by that check without touching the sample.
    pin->EndFlush();
    FakeMediaSample sample;
    EXPECT_EQ(memInput->Receive(&sample), VFW_E_WRONG_STATE);
    filter->ForceState(State_Paused);
    pin->BeginFlush();
    EXPECT_EQ(memInput->Receive(&sample), S_FALSE);
    EXPECT_EQ(sample.sampleCalls, 0);
    EXPECT_EQ(sample.queryInterfaceCalls, 0);
    EXPECT_EQ(memInput->Receive(nullptr), E_POINTER);
}

// --- Sample properties ---

TEST_F(InputPinTest, ReceiveBuildsThePropertiesOfAPlainSampleAndTakesThoseOfASampleThatHasThem)
{
    filter->ForceState(State_Paused);
    FakeMediaSample sample(false, 64);
    sample.syncPoint = true;
    sample.timeResult = S_OK;
    sample.timeStart = 100;
    sample.timeStop = 200;
    sample.actualLength = 40;

    EXPECT_EQ(memInput->Receive(&sample), S_OK);

    const AM_SAMPLE2_PROPERTIES& props = pin->sampleProps;
    EXPECT_EQ(props.dwSampleFlags, 0x111u);
    EXPECT_EQ(props.cbData, sizeof(AM_SAMPLE2_PROPERTIES));
    EXPECT_EQ(props.dwTypeSpecificFlags, 0u);
    EXPECT_EQ(props.dwStreamId, static_cast<DWORD>(AM_STREAM_MEDIA));
    EXPECT_EQ(props.tStart, 100);
    EXPECT_EQ(props.tStop, 200);
    EXPECT_EQ(props.lActual, 40);
    EXPECT_EQ(props.cbBuffer, 64);
    EXPECT_EQ(props.pbBuffer, sample.Data());
    EXPECT_EQ(props.pMediaType, nullptr);

    // A second sample's record owes nothing to the first: untimed, preroll and discontinuity only.
    FakeMediaSample next(false, 16);
    next.preroll = true;
    next.discontinuity = true;
    next.pointerResult = E_FAIL;  // not examined: the record just has no buffer
    EXPECT_EQ(memInput->Receive(&next), S_OK);
    EXPECT_EQ(pin->sampleProps.dwSampleFlags, static_cast<DWORD>(AM_SAMPLE_PREROLL | AM_SAMPLE_DATADISCONTINUITY));
    EXPECT_EQ(pin->sampleProps.pbBuffer, nullptr);
    EXPECT_EQ(pin->sampleProps.cbBuffer, 16);
    sample.ExpectBalanced();
    next.ExpectBalanced();

    // A sample with IMediaSample2 gives its own record, with one call.
    FakeMediaSample withProperties(true, 32);
    withProperties.typeSpecificFlags = 0x55;
    withProperties.streamId = 7;
    withProperties.timeResult = S_OK;
    withProperties.timeStart = 9;
    withProperties.timeStop = 10;
    EXPECT_EQ(memInput->Receive(&withProperties), S_OK);
    EXPECT_EQ(pin->sampleProps.dwTypeSpecificFlags, 0x55u);
    EXPECT_EQ(pin->sampleProps.dwStreamId, 7u);
    EXPECT_EQ(pin->sampleProps.tStart, 9);
    EXPECT_EQ(pin->sampleProps.dwSampleFlags, static_cast<DWORD>(AM_SAMPLE_TIMEVALID | AM_SAMPLE_STOPVALID));
    EXPECT_EQ(withProperties.sampleCalls, 1);  // GetProperties only
    withProperties.propertiesResult = E_UNEXPECTED;
    EXPECT_EQ(memInput->Receive(&withProperties), E_UNEXPECTED);
    withProperties.ExpectBalanced();
}

// --- Mid-stream type changes ---

// A plain sample's changed type is checked and its copy freed again; a sample with IMediaSample2 keeps the
// type in its own record.
TEST_F(InputPinTest, AcceptedTypeChangeIsTestedAndFreedUnlessTheSampleKeepsItsRecord)
{
    Connect();
    filter->ForceState(State_Running);
    LONG attachmentBefore = attachment.References();
    FakeMediaSample sample;
    sample.SetChangedType(attachment.Type(MEDIASUBTYPE_RGB24));
    LONG attachmentWithSample = attachment.References();
    ASSERT_GT(attachmentWithSample, attachmentBefore);

    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(memInput->Receive(&sample), S_OK);
        // Each copy handed out was freed again: no record per type change is left behind.
        EXPECT_EQ(attachment.References(), attachmentWithSample);
        EXPECT_EQ(pin->sampleProps.pMediaType, nullptr);
        EXPECT_TRUE(pin->sampleProps.dwSampleFlags & AM_SAMPLE_TYPECHANGED);
    }
    EXPECT_EQ(sample.typesHandedOut, 3);
    EXPECT_EQ(pin->checkedSubtypes.back(), MEDIASUBTYPE_RGB24);
    EXPECT_TRUE(IsEqualGUID(pin->connectionType.subtype, MEDIASUBTYPE_YUY2));
    EXPECT_TRUE(graph.events.empty());

    FakeMediaSample withProperties(true);
    withProperties.SetChangedType(attachment.Type(MEDIASUBTYPE_RGB24));
    attachmentWithSample = attachment.References();
    pin->checkedSubtypes.clear();
    EXPECT_EQ(memInput->Receive(&withProperties), S_OK);
    EXPECT_EQ(attachment.References(), attachmentWithSample);
    EXPECT_EQ(pin->checkedSubtypes.size(), 1u);
    EXPECT_NE(pin->sampleProps.pMediaType, nullptr);
}

TEST_F(InputPinTest, RefusedTypeChangeAbortsTheStreamUntilFlushOrStop)
{
    Connect();
    Run();
    AcceptOnlyYuy2();
    FakeMediaSample changed;
    changed.SetChangedType(attachment.Type(MEDIASUBTYPE_RGB24));
    LONG attachmentWithSample = attachment.References();
    FakeMediaSample plain;

    EXPECT_EQ(memInput->Receive(&changed), VFW_E_INVALIDMEDIATYPE);

    EXPECT_EQ(pin->endOfStreamCalls, 1);
    EXPECT_FALSE(pin->atEndOfStream);
    ASSERT_EQ(graph.events.size(), 1u);  // no EC_COMPLETE
    EXPECT_EQ(graph.events[0].code, EC_ERRORABORT);
    EXPECT_EQ(graph.events[0].param1, static_cast<LONG_PTR>(VFW_E_TYPE_NOT_ACCEPTED));
    EXPECT_EQ(graph.events[0].param2, 0);
    EXPECT_EQ(attachment.References(), attachmentWithSample);
    EXPECT_EQ(pin->sampleProps.pMediaType, nullptr);

    EXPECT_EQ(memInput->Receive(&plain), VFW_E_RUNTIME_ERROR);
    EXPECT_EQ(pin->EndOfStream(), VFW_E_RUNTIME_ERROR);
    EXPECT_EQ(CompletionsRaised(), 0u);

    pin->BeginFlush();
    pin->EndFlush();
    EXPECT_EQ(memInput->Receive(&plain), S_OK);
    EXPECT_EQ(graph.events.size(), 1u);

    // Stopping clears it too; the IMediaSample2 path refuses the same way.
    FakeMediaSample changedWithProperties(true);
    changedWithProperties.SetChangedType(attachment.Type(MEDIASUBTYPE_RGB32));
    EXPECT_EQ(memInput->Receive(&changedWithProperties), VFW_E_INVALIDMEDIATYPE);
    EXPECT_EQ(filter->Stop(), S_OK);
    Run();
    EXPECT_EQ(memInput->Receive(&plain), S_OK);
    EXPECT_EQ(allocator.decommitCalls, 1);
}

// A type change without a type is refused without being checked, with or without IMediaSample2; a refused
// change fails the stream also without an event sink to tell.
TEST_F(InputPinTest, TypeChangeWithoutATypeOrWithoutAnEventSinkIsStillRefused)
{
    filter->ForceState(State_Running);
    for (bool withProperties : {false, true}) {
        pin->EndFlush();
        FakeMediaSample broken(withProperties);
        broken.typeChangeWithoutType = true;
        EXPECT_EQ(memInput->Receive(&broken), VFW_E_INVALIDMEDIATYPE) << withProperties;
        EXPECT_TRUE(pin->checkedSubtypes.empty());
    }
    EXPECT_EQ(graph.events.size(), 2u);

    filter->JoinFilterGraph(nullptr, nullptr);
    pin->EndFlush();
    AcceptOnlyYuy2();
    FakeMediaSample changed;
    changed.SetChangedType(attachment.Type(MEDIASUBTYPE_RGB24));
    EXPECT_EQ(memInput->Receive(&changed), VFW_E_INVALIDMEDIATYPE);
    EXPECT_TRUE(pin->runtimeError);
    EXPECT_EQ(graph.events.size(), 2u);
}

// --- Batches ---

// Null pointers are refused before any sample is looked at.
TEST_F(InputPinTest, ReceiveMultipleStopsAtTheFirstSampleNotTaken)
{
    filter->ForceState(State_Paused);
    FakeMediaSample first, second, third;
    IMediaSample* samples[] = {&first, &second, &third};
    long processed = -1;

    EXPECT_EQ(memInput->ReceiveMultiple(samples, 3, &processed), S_OK);
    EXPECT_EQ(processed, 3);

    pin->receiveResults = {S_OK, S_FALSE};
    LONG callsBefore = pin->receiveCalls;
    EXPECT_EQ(memInput->ReceiveMultiple(samples, 3, &processed), S_FALSE);
    EXPECT_EQ(processed, 1);
    EXPECT_EQ(pin->receiveCalls, callsBefore + 2);

    processed = -1;
    EXPECT_EQ(memInput->ReceiveMultiple(samples, 0, &processed), S_OK);
    EXPECT_EQ(processed, 0);
    callsBefore = pin->receiveCalls;
    EXPECT_EQ(memInput->ReceiveMultiple(samples, 1, nullptr), E_POINTER);
    EXPECT_EQ(memInput->ReceiveMultiple(nullptr, 1, &processed), E_POINTER);
    EXPECT_EQ(pin->receiveCalls, callsBefore);

    filter->ForceState(State_Stopped);
    EXPECT_EQ(memInput->ReceiveMultiple(samples, 3, &processed), VFW_E_WRONG_STATE);
    EXPECT_EQ(processed, 0);
}

// --- Allocator ---

// Remembers the lowest count others held on it after any Release: 0 means the allocator was, for a moment,
// held by nobody (a real one would have been destroyed).
struct WatchedAllocator : FakeAllocator {
    ULONG STDMETHODCALLTYPE Release() override
    {
        ULONG result = FakeAllocator::Release();
        lowest = std::min(lowest, References());
        return result;
    }
    LONG lowest = 1000;
};

// GetAllocator creates the platform's standard allocator once and keeps it until the connection is released;
// NotifyAllocator replaces what the pin holds.
TEST_F(InputPinTest, GetAllocatorCreatesTheStandardAllocatorOnceAndNotifyAllocatorReplacesIt)
{
    ComPtr<IMemAllocator> first, second, third;
    ASSERT_EQ(memInput->GetAllocator(first.Out()), S_OK);
    ASSERT_EQ(memInput->GetAllocator(second.Out()), S_OK);
    EXPECT_EQ(first.Get(), second.Get());
    EXPECT_EQ(pin->allocator, first.Get());
    // A working allocator of the platform's: it takes buffer requirements.
    ALLOCATOR_PROPERTIES wanted = {1, 16, 1, 0};
    ALLOCATOR_PROPERTIES actual = {};
    EXPECT_EQ(first->SetProperties(&wanted, &actual), S_OK);
    EXPECT_EQ(actual.cbBuffer, 16);

    EXPECT_EQ(pin->ReleaseConnection(), S_OK);
    EXPECT_EQ(pin->allocator, nullptr);
    ASSERT_EQ(memInput->GetAllocator(third.Out()), S_OK);
    EXPECT_NE(third.Get(), first.Get());  // `first` is still held, so its address cannot be reused
    EXPECT_EQ(memInput->GetAllocator(nullptr), E_POINTER);

    WatchedAllocator held;
    FakeAllocator other;
    ASSERT_EQ(memInput->NotifyAllocator(&held, TRUE), S_OK);
    EXPECT_TRUE(pin->readOnly);
    EXPECT_EQ(held.References(), 1);

    // The allocator already held: its count stays where it was and never drops to nobody.
    ASSERT_EQ(memInput->NotifyAllocator(&held, FALSE), S_OK);
    EXPECT_EQ(held.References(), 1);
    EXPECT_EQ(held.lowest, 1);
    EXPECT_FALSE(pin->readOnly);

    ComPtr<IMemAllocator> handedOut;
    ASSERT_EQ(memInput->GetAllocator(handedOut.Out()), S_OK);
    EXPECT_EQ(handedOut.Get(), static_cast<IMemAllocator*>(&held));
    handedOut.Reset();

    // Any nonzero flag means read-only, also one whose low byte is 0.
    ASSERT_EQ(memInput->NotifyAllocator(&other, 0x100), S_OK);
    EXPECT_TRUE(pin->readOnly);
    held.ExpectBalanced();
    EXPECT_EQ(memInput->NotifyAllocator(nullptr, FALSE), E_POINTER);

    EXPECT_EQ(pin->ReleaseConnection(), S_OK);
    EXPECT_EQ(other.decommitCalls, 1);
    other.ExpectBalanced();
}

TEST_F(InputPinTest, DeactivateWithoutAllocatorKeepsFlushing)
{
    pin->runtimeError = true;
    pin->BeginFlush();
    EXPECT_EQ(pin->Deactivate(), VFW_E_NO_ALLOCATOR);
    EXPECT_FALSE(pin->runtimeError);
    EXPECT_TRUE(pin->flushing);

    ASSERT_EQ(memInput->NotifyAllocator(&allocator, FALSE), S_OK);
    allocator.decommitResult = E_UNEXPECTED;
    EXPECT_EQ(pin->Deactivate(), E_UNEXPECTED);
    EXPECT_FALSE(pin->flushing);
    EXPECT_EQ(allocator.decommitCalls, 1);
    allocator.decommitResult = S_OK;
    EXPECT_EQ(pin->ReleaseConnection(), S_OK);
}

// An output pin on the base pin alone: it accepts every type and is connected through its ReceiveConnection by
// a test that plays the downstream input pin.
class TestOutputPin : public CBasePin {
public:
    explicit TestOutputPin(CBaseFilter* filter)
        : CBasePin(L"TestOutputPin", filter, filter->GetFilterLock(), nullptr, L"Output", PINDIR_OUTPUT)
    {
    }
    HRESULT CheckType(const AM_MEDIA_TYPE*) override { return S_OK; }
};

// The input pin of a downstream filter, as far as an output pin and ReceiveCanBlock use it.
struct DownstreamInputPin : PinDouble<IMemInputPin> {
    HRESULT STDMETHODCALLTYPE QueryDirection(PIN_DIRECTION* dir) override
    {
        *dir = PINDIR_INPUT;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetAllocator(IMemAllocator**) override { UNEXPECTED_CALL(); }
    HRESULT STDMETHODCALLTYPE NotifyAllocator(IMemAllocator*, BOOL) override { UNEXPECTED_CALL(); }
    HRESULT STDMETHODCALLTYPE GetAllocatorRequirements(ALLOCATOR_PROPERTIES*) override { UNEXPECTED_CALL(); }
    HRESULT STDMETHODCALLTYPE Receive(IMediaSample*) override { UNEXPECTED_CALL(); }
    HRESULT STDMETHODCALLTYPE ReceiveMultiple(IMediaSample**, long, long*) override { UNEXPECTED_CALL(); }
    HRESULT STDMETHODCALLTYPE ReceiveCanBlock() override
    {
        ++receiveCanBlockCalls;
        return canBlock;
    }

    HRESULT canBlock = S_OK;
    int receiveCanBlockCalls = 0;
};

TEST_F(InputPinTest, ReceiveCanBlockAsksOnlyConnectedDownstreamInputs)
{
    // No output pin, then an unconnected one: nothing downstream can promise not to block.
    EXPECT_EQ(memInput->ReceiveCanBlock(), S_OK);
    auto* output = new TestOutputPin(filter.Get());
    filter->AddPin(output);
    EXPECT_EQ(memInput->ReceiveCanBlock(), S_OK);

    DownstreamInputPin downstream;
    COwnedMediaType type = attachment.Type(MEDIASUBTYPE_YUY2);
    ASSERT_EQ(output->ReceiveConnection(&downstream, &type), S_OK);
    downstream.canBlock = S_FALSE;
    EXPECT_EQ(memInput->ReceiveCanBlock(), S_FALSE);
    downstream.canBlock = S_OK;
    EXPECT_EQ(memInput->ReceiveCanBlock(), S_OK);
    EXPECT_EQ(downstream.receiveCanBlockCalls, 2);

    // A downstream pin without IMemInputPin is taken as one that may block.
    downstream.Refuse(IID_IMemInputPin);
    downstream.canBlock = S_FALSE;
    EXPECT_EQ(memInput->ReceiveCanBlock(), S_OK);
    EXPECT_EQ(downstream.receiveCanBlockCalls, 2);

    EXPECT_EQ(output->Disconnect(), S_OK);
    downstream.ExpectBalanced();
    EXPECT_EQ(memInput->GetAllocatorRequirements(nullptr), E_NOTIMPL);
}

// --- End of stream ---

// End of stream becomes one EC_COMPLETE (S_OK, the filter) per run: at once while running, at the next run
// while paused, and again at every later run while it stands; a flush or a new activation withdraws it. While
// stopped it is refused as the wrong state, while flushing with S_FALSE, and a refused one changes nothing.
TEST_F(InputPinTest, EndOfStreamCompletesOncePerRunUntilWithdrawn)
{
    Connect();
    const struct {
        const char* steps;        // R run, P pause, S stop, F flush, B/X begin/end a flush, and end of stream
                                  // answered E with S_OK, w with VFW_E_WRONG_STATE, f with S_FALSE
        const char* completions;  // raised so far, after each step
        const char* atEnd;        // whether the pin stands at the end of stream, after each step
        int activations;
    } scripts[] = {
        {"REE", "011", "011", 1},
        {"PER", "001", "011", 1},
        {"REPRPR", "011223", "011111", 1},
        {"PEFRE", "00001", "01001", 1},
        {"PESR", "0000", "0110", 2},
        {"wPEBfXBfXR", "0000000000", "0011100000", 1},
    };
    for (const auto& script : scripts) {
        SCOPED_TRACE(script.steps);
        pin->activateCalls = 0;
        graph.events.clear();
        for (size_t i = 0; script.steps[i] != '\0'; ++i) {
            switch (script.steps[i]) {
            case 'R': ASSERT_EQ(filter->Run(0), S_OK); break;
            case 'P': ASSERT_EQ(filter->Pause(), S_OK); break;
            case 'S': ASSERT_EQ(filter->Stop(), S_OK); break;
            case 'E': ASSERT_EQ(pin->EndOfStream(), S_OK); break;
            case 'w': EXPECT_EQ(pin->EndOfStream(), VFW_E_WRONG_STATE); break;
            case 'f': EXPECT_EQ(pin->EndOfStream(), S_FALSE); break;
            case 'B': ASSERT_EQ(pin->BeginFlush(), S_OK); break;
            case 'X': ASSERT_EQ(pin->EndFlush(), S_OK); break;
            default:
                ASSERT_EQ(pin->BeginFlush(), S_OK);
                ASSERT_EQ(pin->EndFlush(), S_OK);
            }
            EXPECT_EQ(CompletionsRaised(), static_cast<size_t>(script.completions[i] - '0')) << "step " << i;
            EXPECT_EQ(pin->atEndOfStream != FALSE, script.atEnd[i] == '1') << "step " << i;
        }
        EXPECT_EQ(pin->activateCalls, script.activations);
        for (const FakeGraph::Event& event : graph.events) {
            EXPECT_EQ(event.code, EC_COMPLETE);
            EXPECT_EQ(event.param1, static_cast<LONG_PTR>(S_OK));
            EXPECT_EQ(event.param2, reinterpret_cast<LONG_PTR>(filter->GetBaseFilterInterface()));
        }
        ASSERT_EQ(filter->Stop(), S_OK);
    }
}

}  // namespace
