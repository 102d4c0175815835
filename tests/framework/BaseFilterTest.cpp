// The base filter: its state machine over the pins, pin lookup, graph membership and events, the clock.
#include <gtest/gtest.h>

#include <windows.h>
#include <evcode.h>
#include <strmif.h>
#include <vfwmsgs.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "AllocationFailure.h"
#include "ComPtr.h"
#include "FakeClock.h"
#include "FakeGraph.h"
#include "TestFilter.h"
#include "TestThread.h"

using Calls = std::vector<std::string>;

namespace {

// What the filter's pins are connected to: another test filter's pin, referenced the way a real connection
// references its peer.
struct Peer {
    ComPtr<TestFilter> filter{new TestFilter({L"Out"})};
    IPin* Pin() const { return filter->Pin(0)->GetPinInterface(); }
};

FILTER_STATE StateOf(TestFilter* filter)
{
    FILTER_STATE state = static_cast<FILTER_STATE>(-1);
    EXPECT_EQ(filter->GetState(0, &state), S_OK);
    return state;
}

}  // namespace

// ---- State machine ----

// A filter with pins A and B, and the doubles it may hold. The doubles are declared first: the filter goes first
// and gives its references back, and a double still referenced when it goes fails the test.
class BaseFilterTest : public testing::Test {
protected:
    FakeGraph graph;
    FakeClock clock;
    Peer upstream;
    ComPtr<TestFilter> filter{new TestFilter({L"A", L"B"})};
};

// A transition of IMediaFilter and what it answers.
struct Transition {
    char to;  // 'S'top, 'P'ause, 'R'un
    REFERENCE_TIME start = 0;
    HRESULT result = S_OK;
};

HRESULT Make(TestFilter* filter, const Transition& transition)
{
    switch (transition.to) {
    case 'S': return filter->Stop();
    case 'P': return filter->Pause();
    default: return filter->Run(transition.start);
    }
}

// Which pins each transition reaches, in order: only connected pins, each state call once, and nothing for a
// transition to the state the filter is already in (Pause through the derived filter's Pause included). The
// first pin that fails to activate or to start ends the walk, and the filter stays where it got to; Stop
// deactivates every pin and reports the first failure. A pin missing from the walk ends it without failing.
// Run keeps its start time even when it fails.
TEST(BaseFilterStateTest, TransitionsCallTheConnectedPinsOnceInOrder)
{
    struct Case {
        const char* name;
        std::initializer_list<const wchar_t*> pins;
        std::vector<size_t> connected;
        void (*script)(TestFilter* filter);  // scripts failures before anything else; may be null
        std::vector<Transition> before;      // made before the calls are recorded
        std::vector<Transition> transitions;
        Calls calls;
        FILTER_STATE state;
        std::vector<REFERENCE_TIME> lastPinStarts;  // every start time the last connected pin was given
    };
    const Case cases[] = {
        {"run from stopped pauses first", {L"A"}, {0}, nullptr, {}, {{'R', 1234}},
         {"Filter.Pause", "A.Activate", "A.StartRunning"}, State_Running, {1234}},
        {"run from paused", {L"A"}, {0}, nullptr, {{'P'}}, {{'R', 77}}, {"A.StartRunning"}, State_Running, {77}},
        {"stop while stopped", {L"A"}, {0}, nullptr, {}, {{'S'}}, {}, State_Stopped, {}},
        {"pause while running or paused", {L"A"}, {0}, nullptr, {{'R'}}, {{'P'}, {'P'}},
         {"Filter.Pause", "Filter.Pause"}, State_Paused, {0}},
        {"stop twice", {L"A"}, {0}, nullptr, {{'R'}, {'P'}}, {{'S'}, {'S'}}, {"A.Deactivate"}, State_Stopped, {0}},
        {"unconnected pin never called", {L"A", L"B"}, {1}, nullptr, {}, {{'P'}, {'R', 5}, {'S'}},
         {"Filter.Pause", "B.Activate", "B.StartRunning", "B.Deactivate"}, State_Stopped, {5}},
        {"first activation failure ends pause", {L"A", L"B", L"C"}, {0, 1, 2},
         [](TestFilter* f) { f->Pin(1)->activateResult = VFW_E_NO_ALLOCATOR; }, {}, {{'P', 0, VFW_E_NO_ALLOCATOR}},
         {"Filter.Pause", "A.Activate", "B.Activate"}, State_Stopped, {}},
        {"failed pause ends run stopped", {L"A", L"B"}, {0, 1},
         [](TestFilter* f) { f->Pin(0)->activateResult = E_OUTOFMEMORY; }, {}, {{'R', 100, E_OUTOFMEMORY}},
         {"Filter.Pause", "A.Activate"}, State_Stopped, {}},
        {"failed pin start ends run paused", {L"A", L"B"}, {0, 1},
         [](TestFilter* f) { f->Pin(0)->startRunningResult = VFW_E_RUNTIME_ERROR; }, {},
         {{'R', 200, VFW_E_RUNTIME_ERROR}}, {"Filter.Pause", "A.Activate", "B.Activate", "A.StartRunning"},
         State_Paused, {}},
        {"stop reports the first deactivate failure", {L"A", L"B"}, {0, 1},
         [](TestFilter* f) {
             f->Pin(0)->deactivateResult = VFW_E_RUNTIME_ERROR;
             f->Pin(1)->deactivateResult = E_UNEXPECTED;
         },
         {{'R'}}, {{'S', 0, VFW_E_RUNTIME_ERROR}}, {"A.Deactivate", "B.Deactivate"}, State_Stopped, {0}},
        {"missing pin ends the walk", {L"A", L"B"}, {1}, [](TestFilter* f) { f->missingPinAt = 0; }, {}, {{'P'}},
         {"Filter.Pause"}, State_Paused, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Peer upstream;
        ComPtr<TestFilter> filter(new TestFilter(c.pins));
        for (size_t pin : c.connected)
            filter->Pin(pin)->SetConnected(upstream.Pin());
        if (c.script != nullptr)
            c.script(filter.Get());
        for (const Transition& t : c.before)
            ASSERT_EQ(Make(filter.Get(), t), S_OK);
        filter->calls.clear();
        for (const Transition& t : c.transitions) {
            EXPECT_EQ(Make(filter.Get(), t), t.result) << t.to;
            if (t.to == 'R') {
                EXPECT_EQ(filter->StartTime(), t.start);
            }
        }
        EXPECT_EQ(filter->calls, c.calls);
        EXPECT_EQ(StateOf(filter.Get()), c.state);
        EXPECT_EQ(filter->Pin(c.connected.back())->startTimes, c.lastPinStarts);
    }
}

// ---- Pins ----

TEST(BaseFilterPinsTest, FindPinMatchesTheExactNameAndAddsOneReferenceToTheFilter)
{
    ComPtr<TestFilter> filter(new TestFilter({L"In", L"Input", L"Input"}));
    LONG before = filter->References();

    IPin* found = nullptr;
    ASSERT_EQ(filter->FindPin(L"Input", &found), S_OK);
    EXPECT_EQ(found, filter->Pin(1)->GetPinInterface());
    EXPECT_EQ(filter->References(), before + 1);
    found->Release();
    EXPECT_EQ(filter->References(), before);

    // A pin missing from the walk ends it: the second "Input" is not looked at.
    filter->missingPinAt = 1;
    found = reinterpret_cast<IPin*>(1);
    EXPECT_EQ(filter->FindPin(L"Input", &found), VFW_E_NOT_FOUND);
    EXPECT_EQ(found, nullptr);
    filter->missingPinAt = -1;
    EXPECT_EQ(filter->FindPin(L"input", &found), VFW_E_NOT_FOUND);
    EXPECT_EQ(found, nullptr);
    EXPECT_EQ(filter->FindPin(L"Input", nullptr), E_POINTER);
    EXPECT_EQ(filter->FindPin(nullptr, &found), E_POINTER);
    EXPECT_EQ(found, nullptr);
    EXPECT_EQ(filter->References(), before);
}

// ---- Graph membership and events, the clock ----

TEST_F(BaseFilterTest, QueryFilterInfoCutsALongNameTo127CharactersUnderTheLockAndHandsOutTheGraph)
{
    std::wstring name;
    for (int i = 0; i < 200; ++i)
        name.push_back(static_cast<wchar_t>(L'a' + i % 26));
    ASSERT_EQ(filter->JoinFilterGraph(graph.AsGraph(), name.c_str()), S_OK);
    EXPECT_EQ(graph.References(), 0);  // the graph is held without a reference

    FILTER_INFO info;
    std::fill(std::begin(info.achName), std::end(info.achName), L'#');
    ASSERT_EQ(filter->QueryFilterInfo(&info), S_OK);

    EXPECT_EQ(std::wstring(info.achName), name.substr(0, 127));
    EXPECT_EQ(info.pGraph, graph.AsGraph());
    EXPECT_EQ(graph.References(), 1);
    info.pGraph->Release();
    EXPECT_EQ(filter->QueryFilterInfo(nullptr), E_POINTER);

    // The name is read under the filter lock, so a JoinFilterGraph on another thread cannot free it mid-copy.
    ASSERT_EQ(filter->JoinFilterGraph(graph.AsGraph(), L"Sink"), S_OK);
    info = {};
    HRESULT result = E_FAIL;
    filter->GetFilterLock()->Lock();
    TestThread reader([&] { result = filter->QueryFilterInfo(&info); });
    ASSERT_TRUE(reader.Started());
    EXPECT_FALSE(reader.Wait(100)) << "the name was read while the filter lock was held";
    filter->GetFilterLock()->Unlock();
    reader.Join();

    EXPECT_EQ(result, S_OK);
    EXPECT_EQ(std::wstring(info.achName), L"Sink");
    if (info.pGraph != nullptr)
        info.pGraph->Release();
}

// Outside a graph the filter has no name, no graph and no event sink, and its events go nowhere.
void ExpectOutsideAGraph(TestFilter* filter)
{
    FILTER_INFO info;
    info.achName[0] = L'#';
    info.pGraph = reinterpret_cast<IFilterGraph*>(1);
    ASSERT_EQ(filter->QueryFilterInfo(&info), S_OK);
    EXPECT_EQ(info.achName[0], L'\0');
    EXPECT_EQ(info.pGraph, nullptr);
    EXPECT_EQ(filter->GetEventSink(), nullptr);
    EXPECT_EQ(filter->SendGraphEvent(EC_ERRORABORT, E_FAIL, 0), E_NOTIMPL);
}

// Never joined, left, or left with a new name that could not be copied: the membership ends all the same.
// Inside a graph without an event sink, events are dropped too.
TEST_F(BaseFilterTest, OutsideAGraphOrItsEventSinkTheFilterHasNoNameGraphOrEvents)
{
    ExpectOutsideAGraph(filter.Get());
    ASSERT_EQ(filter->JoinFilterGraph(graph.AsGraph(), L"Sink"), S_OK);
    EXPECT_EQ(filter->GetEventSink(), graph.AsEventSink());
    ASSERT_EQ(filter->JoinFilterGraph(nullptr, nullptr), S_OK);
    ExpectOutsideAGraph(filter.Get());

    ASSERT_EQ(filter->JoinFilterGraph(graph.AsGraph(), L"Old"), S_OK);
    {
        AllocationFailureScope failure(0);
        EXPECT_EQ(filter->JoinFilterGraph(nullptr, L"New"), E_OUTOFMEMORY);
        EXPECT_TRUE(failure.FailureInjected());
    }
    ExpectOutsideAGraph(filter.Get());

    graph.Refuse(IID_IMediaEventSink);
    ASSERT_EQ(filter->JoinFilterGraph(graph.AsGraph(), L"Sink"), S_OK);
    EXPECT_EQ(filter->SendGraphEvent(EC_COMPLETE, S_OK, 0), E_NOTIMPL);
    EXPECT_TRUE(graph.events.empty());
}

TEST_F(BaseFilterTest, CompleteEventCarriesTheFiltersOwnBaseFilter)
{
    ASSERT_EQ(filter->JoinFilterGraph(graph.AsGraph(), L"Sink"), S_OK);
    LONG before = filter->References();

    EXPECT_EQ(filter->SendGraphEvent(EC_COMPLETE, S_OK, 0x1234), S_OK);
    graph.notifyResult = E_FAIL;
    EXPECT_EQ(filter->SendGraphEvent(EC_ERRORABORT, VFW_E_RUNTIME_ERROR, 0x1234), E_FAIL);

    ASSERT_EQ(graph.events.size(), 2u);
    EXPECT_EQ(graph.events[0].code, EC_COMPLETE);
    EXPECT_EQ(graph.events[0].param1, S_OK);
    EXPECT_EQ(graph.events[0].param2, reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(filter.Get())));
    EXPECT_EQ(graph.events[1].code, EC_ERRORABORT);
    EXPECT_EQ(graph.events[1].param1, VFW_E_RUNTIME_ERROR);
    EXPECT_EQ(graph.events[1].param2, 0x1234);
    EXPECT_EQ(filter->References(), before);
}

// Setting the current clock again keeps one reference; the stream time is clock time since the start of the
// last run.
TEST_F(BaseFilterTest, TheClockIsHeldOnceAndStreamTimeCountsFromTheLastRun)
{
    ASSERT_EQ(filter->SetSyncSource(&clock), S_OK);
    ASSERT_EQ(filter->SetSyncSource(&clock), S_OK);
    EXPECT_EQ(clock.References(), 1);
    EXPECT_EQ(clock.lastReleases, 0);  // never let go of in between

    IReferenceClock* current = nullptr;
    ASSERT_EQ(filter->GetSyncSource(&current), S_OK);
    EXPECT_EQ(current, &clock);
    EXPECT_EQ(clock.References(), 2);
    current->Release();

    ASSERT_EQ(filter->SetSyncSource(nullptr), S_OK);
    EXPECT_EQ(clock.References(), 0);
    EXPECT_EQ(clock.lastReleases, 1);
    REFERENCE_TIME streamTime = 0;
    EXPECT_EQ(filter->GetStreamTime(streamTime), VFW_E_NO_CLOCK);
    current = &clock;
    EXPECT_EQ(filter->GetSyncSource(&current), S_OK);
    EXPECT_EQ(current, nullptr);
    EXPECT_EQ(filter->GetSyncSource(nullptr), E_POINTER);

    // Run while running calls no pin and only moves the stream time's origin. The filter is destroyed still
    // holding the clock: its destructor gives the reference back.
    filter->Pin(0)->SetConnected(upstream.Pin());
    ASSERT_EQ(filter->SetSyncSource(&clock), S_OK);
    clock.now = 5000000;
    ASSERT_EQ(filter->Run(1000000), S_OK);
    EXPECT_EQ(filter->GetStreamTime(streamTime), S_OK);
    EXPECT_EQ(streamTime, 4000000);
    filter->calls.clear();

    EXPECT_EQ(filter->Run(2000000), S_OK);
    EXPECT_TRUE(filter->calls.empty());
    EXPECT_EQ(filter->Pin(0)->startTimes, std::vector<REFERENCE_TIME>{1000000});
    EXPECT_EQ(StateOf(filter.Get()), State_Running);
    EXPECT_EQ(filter->GetStreamTime(streamTime), S_OK);
    EXPECT_EQ(streamTime, 3000000);

    clock.getTimeResult = E_FAIL;
    EXPECT_EQ(filter->GetStreamTime(streamTime), E_FAIL);
}

// ---- Identity ----

TEST_F(BaseFilterTest, FilterInterfacesShareOnePointerAndOthersAreRefused)
{
    IBaseFilter* baseFilter = filter.Get();
    LONG before = filter->References();

    void* const setup = static_cast<IAMovieSetup*>(filter.Get());
    for (const auto& [iid, expected] : {std::pair<const IID*, void*>{&IID_IMediaFilter, baseFilter},
                                        {&IID_IPersist, baseFilter}, {&IID_IAMovieSetup, setup}}) {
        void* answer = nullptr;
        ASSERT_EQ(baseFilter->QueryInterface(*iid, &answer), S_OK);
        EXPECT_EQ(answer, expected);
        static_cast<IUnknown*>(answer)->Release();
    }
    void* answer = &answer;
    EXPECT_EQ(baseFilter->QueryInterface(IID_IPin, &answer), E_NOINTERFACE);
    EXPECT_EQ(answer, nullptr);
    EXPECT_EQ(baseFilter->QueryInterface(IID_IBaseFilter, nullptr), E_POINTER);
    EXPECT_EQ(filter->References(), before);

    CLSID classId = GUID_NULL;
    EXPECT_EQ(filter->GetClassID(&classId), S_OK);
    EXPECT_TRUE(IsEqualGUID(classId, CLSID_TestFilter));
    EXPECT_EQ(filter->GetState(0, nullptr), E_POINTER);
    LPWSTR vendor = nullptr;
    EXPECT_EQ(filter->QueryVendorInfo(&vendor), E_NOTIMPL);
    EXPECT_EQ(vendor, nullptr);
}
