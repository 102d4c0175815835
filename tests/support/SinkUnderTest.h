// A sink filter's outer object as the class factory hands it out, for tests of the two sinks: created
// through the sink's creator without an aggregating object and held by one reference for the scope. At the
// end of the scope it is taken out of service the way a graph does it (stopped, its pin disconnected, out
// of the graph) and released, so the doubles it was given (declared before it) get their references back
// before they check their balance.
//
// `Traits` names the sink:
//   struct VidtapSink {
//       using Outer = CVidtap;
//       static INonDelegatingUnknown* Create(IUnknown* outer, HRESULT* hr) { return CreateVidtapObject(outer, hr); }
//       static const CLSID& ClassId() { return CVidtap::classId; }
//   };
// The accessors hand out pointers without a reference, valid for the scope.
#pragma once

#include <windows.h>
#include <strmif.h>
#include <gtest/gtest.h>

#include "CUnknown.h"
#include "FakeAllocator.h"
#include "FakeGraph.h"
#include "FakeUpstreamPin.h"

template <class Traits>
class SinkUnderTest {
public:
    using Outer = typename Traits::Outer;

    SinkUnderTest()
    {
        object = static_cast<Outer*>(Traits::Create(nullptr, &creationResult));
        if (object != nullptr)
            object->NonDelegatingAddRef();
    }
    ~SinkUnderTest()
    {
        if (object == nullptr)
            return;
        if (object->GetFilter() != nullptr) {
            Filter()->Stop();
            if (object->GetInputPin() != nullptr)
                InputPin()->Disconnect();
            Filter()->JoinFilterGraph(nullptr, nullptr);
        }
        EXPECT_EQ(object->NonDelegatingRelease(), 0u) << "references on the sink were not given back";
    }
    SinkUnderTest(const SinkUnderTest&) = delete;
    SinkUnderTest& operator=(const SinkUnderTest&) = delete;

    bool Created() const { return object != nullptr && creationResult == S_OK; }
    Outer* Object() const { return object; }
    INonDelegatingUnknown* Unknown() const { return object; }
    IBaseFilter* Filter() const { return object->GetFilter()->GetBaseFilterInterface(); }
    auto* Pin() const { return object->GetInputPin(); }
    IPin* InputPin() const { return Pin()->GetPinInterface(); }
    IMemInputPin* MemInput() const { return Pin()->GetMemInputPinInterface(); }

    // What a graph does before streaming: the filter joins `graph`, the upstream pin connects with `type`
    // and hands over its allocator.
    void JoinGraph(FakeGraph& graph) { ASSERT_EQ(Filter()->JoinFilterGraph(graph.AsGraph(), nullptr), S_OK); }
    void ConnectFrom(FakeUpstreamPin& upstream, const AM_MEDIA_TYPE& type, FakeAllocator& allocator)
    {
        ASSERT_EQ(InputPin()->ReceiveConnection(&upstream, &type), S_OK);
        ASSERT_EQ(MemInput()->NotifyAllocator(&allocator, FALSE), S_OK);
    }

    // The sink streaming: created, in `graph`, connected from `upstream` with `type`, and running.
    void RunConnected(FakeGraph& graph, FakeUpstreamPin& upstream, const AM_MEDIA_TYPE& type, FakeAllocator& allocator)
    {
        ASSERT_TRUE(Created());
        JoinGraph(graph);
        ConnectFrom(upstream, type, allocator);
        ASSERT_EQ(Filter()->Run(0), S_OK);
    }

    // The connected pin's connection type, as ConnectionMediaType hands it out.
    COwnedMediaType ConnectionType() const
    {
        AM_MEDIA_TYPE connected;
        MediaTypeReset(&connected);
        EXPECT_EQ(InputPin()->ConnectionMediaType(&connected), S_OK);
        COwnedMediaType copy;
        copy = connected;
        MediaTypeReleaseFormat(&connected);
        return copy;
    }

    // The creator's report; S_OK when it reported nothing.
    HRESULT creationResult = S_OK;

private:
    Outer* object = nullptr;
};
