// A filter graph as a filter sees it: IFilterGraph (which a filter only stores and hands back) and the
// graph's IMediaEventSink, whose Notify calls are recorded. A test that wants a graph without an event sink
// calls Refuse(IID_IMediaEventSink). Lives on the test's stack. Notify may be called from several threads at
// once, as a real graph's is (the streaming thread's end of stream and the control thread's Run both raise
// EC_COMPLETE): the calls are serialised; read `events` only when the threads are done.
//
//   FakeGraph graph;
//   filter->JoinFilterGraph(&graph, L"Sink");
//   ASSERT_EQ(graph.events.size(), 1u);
#pragma once

#include <windows.h>
#include <strmif.h>

#include <mutex>
#include <vector>

#include "CountingDouble.h"

class FakeGraph : public CountingDouble<IFilterGraph, IMediaEventSink> {
public:
    struct Event {
        LONG code;
        LONG_PTR param1;
        LONG_PTR param2;
    };

    // IFilterGraph: a filter never drives its graph in these tests.
    HRESULT STDMETHODCALLTYPE AddFilter(IBaseFilter*, LPCWSTR) override { UNEXPECTED_CALL(); }
    HRESULT STDMETHODCALLTYPE RemoveFilter(IBaseFilter*) override { UNEXPECTED_CALL(); }
    HRESULT STDMETHODCALLTYPE EnumFilters(IEnumFilters**) override { UNEXPECTED_CALL(); }
    HRESULT STDMETHODCALLTYPE FindFilterByName(LPCWSTR, IBaseFilter**) override { UNEXPECTED_CALL(); }
    HRESULT STDMETHODCALLTYPE ConnectDirect(IPin*, IPin*, const AM_MEDIA_TYPE*) override { UNEXPECTED_CALL(); }
    HRESULT STDMETHODCALLTYPE Reconnect(IPin*) override { UNEXPECTED_CALL(); }
    HRESULT STDMETHODCALLTYPE Disconnect(IPin*) override { UNEXPECTED_CALL(); }
    HRESULT STDMETHODCALLTYPE SetDefaultSyncSource() override { UNEXPECTED_CALL(); }

    // IMediaEventSink
    HRESULT STDMETHODCALLTYPE Notify(LONG code, LONG_PTR param1, LONG_PTR param2) override
    {
        std::lock_guard<std::mutex> guard(notifyLock);
        events.push_back(Event{code, param1, param2});
        return notifyResult;
    }

    IFilterGraph* AsGraph() { return static_cast<IFilterGraph*>(this); }
    IMediaEventSink* AsEventSink() { return static_cast<IMediaEventSink*>(this); }

    // Scripting: what Notify answers.
    HRESULT notifyResult = S_OK;

    std::vector<Event> events;

private:
    std::mutex notifyLock;
};
