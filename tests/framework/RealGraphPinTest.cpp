// The rendered input pin inside the platform's own filter graph: a real upstream (File Source + AVI Splitter
// over a small raw YUY2 clip) connects to the pin, gets its allocator, streams every frame through Receive on
// its own thread, and the end of stream reaches the graph's event sink as EC_COMPLETE (S_OK, the filter).
// How end of stream turns into completions run by run (a standing end reported again at the next run among
// them) is pinned in InputPinTest.
#include <gtest/gtest.h>

#include <windows.h>

#include <control.h>
#include <evcode.h>
#include <uuids.h>
#include <vfwmsgs.h>

#include <string>

#include "ComPtr.h"
#include "GraphBuilding.h"
#include "TestFilter.h"

namespace {

struct GraphEvent {
    long code;
    LONG_PTR param1;
    LONG_PTR param2;
};

class RealGraphPinTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                   graph.OutVoid()),
                  S_OK);
        ASSERT_EQ(graph->QueryInterface(IID_IMediaControl, control.OutVoid()), S_OK);
        ASSERT_EQ(graph->QueryInterface(IID_IMediaEvent, events.OutVoid()), S_OK);
        filter->Pin(0)->baseStateCalls = true;
        ASSERT_EQ(graph->AddFilter(filter.Get(), L"Pin test"), S_OK);
        // The graph's own completion logic counts only the renderers it recognises; with default handling
        // cancelled, every EC_COMPLETE a filter raises reaches the application as it was sent.
        ASSERT_EQ(events->CancelDefaultHandling(EC_COMPLETE), S_OK);
    }
    // Reads events until one with `code` arrives or `timeoutMs` have passed; returns how many with that code
    // were read (0 or 1) and keeps it in `found`.
    int ReadEventsUntil(long code, DWORD timeoutMs, GraphEvent* found)
    {
        DWORD start = GetTickCount();
        do {
            GraphEvent event = {};
            // Short waits, polled: Wine's graph answers a long wait on an empty queue with E_ABORT at once.
            if (events->GetEvent(&event.code, &event.param1, &event.param2, 50) != S_OK)
                continue;
            events->FreeEventParams(event.code, event.param1, event.param2);
            if (event.code == code) {
                *found = event;
                return 1;
            }
        } while (GetTickCount() - start < timeoutMs);
        return 0;
    }
    void TearDown() override
    {
        if (control)
            control->Stop();
        if (graph)
            graph->RemoveFilter(filter.Get());
        events.Reset();
        control.Reset();
        graph.Reset();
        EXPECT_FALSE(filter->Pin(0)->IsConnected());
    }

    // Declared first, so it is released last: the graph holds the filter while it lives.
    ComPtr<TestFilter> filter{new TestFilter({L"Input"})};
    ComPtr<IGraphBuilder> graph;
    ComPtr<IMediaControl> control;
    ComPtr<IMediaEvent> events;
};

TEST_F(RealGraphPinTest, RealUpstreamStreamsAClipToTheEnd)
{
    std::wstring clip = L"" PIN_TEST_CLIP;
    if (GetFileAttributesW(clip.c_str()) == INVALID_FILE_ATTRIBUTES)
        GTEST_SKIP() << "no test clip (ffmpeg missing at build time)";

    ComPtr<IPin> splitterOut;
    ASSERT_EQ(AddClipPlayback(graph.Get(), clip.c_str(), splitterOut.Out()), S_OK);

    // The splitter's output pin negotiates and proposes its type to this pin's ReceiveConnection.
    ScriptedPin* pin = filter->Pin(0);
    ASSERT_EQ(graph->ConnectDirect(splitterOut.Get(), pin->GetPinInterface(), nullptr), S_OK);
    ASSERT_TRUE(pin->IsConnected());
    EXPECT_TRUE(IsEqualGUID(pin->connectionType.subtype, MEDIASUBTYPE_YUY2));
    EXPECT_NE(pin->allocator, nullptr);

    ASSERT_EQ(control->Run(), S_OK);
    GraphEvent complete = {};
    EXPECT_EQ(ReadEventsUntil(EC_COMPLETE, 10000, &complete), 1);
    EXPECT_EQ(complete.param1, static_cast<LONG_PTR>(S_OK));
    EXPECT_EQ(complete.param2, reinterpret_cast<LONG_PTR>(filter->GetBaseFilterInterface()));
    EXPECT_EQ(pin->receiveCalls, 30);  // every frame of the clip
    EXPECT_EQ(pin->endOfStreamCalls, 1);
    EXPECT_TRUE(pin->sampleProps.dwSampleFlags & AM_SAMPLE_TIMEVALID);
    EXPECT_EQ(control->Stop(), S_OK);

    // Undo the connection before the filters go, as an application would. The splitter's output pin is
    // let go first: the splitter may discard its output pins when its input is disconnected.
    EXPECT_EQ(graph->Disconnect(splitterOut.Get()), S_OK);
    EXPECT_EQ(graph->Disconnect(pin->GetPinInterface()), S_OK);
    EXPECT_EQ(pin->allocator, nullptr);
}

}  // namespace
