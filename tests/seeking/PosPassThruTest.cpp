// The seeking pass-through's forwarding of IMediaSeeking and IMediaPosition to the upstream pin, and its
// place as an aggregated part of a filter's outer object.
#include <gtest/gtest.h>

#include <windows.h>
#include <control.h>
#include <strmif.h>
#include <uuids.h>
#include <vfwmsgs.h>

#include <functional>
#include <limits>
#include <utility>
#include <vector>

#include "CPosPassThru.h"
#include "FakeSeekingInputPin.h"
#include "FakeUpstreamPin.h"
#include "SeekingOuterObject.h"

namespace {

// A code no real upstream returns by accident, so a passed-through result is recognisable.
const HRESULT kUpstreamCode = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, 0x7A11);

struct ForwardingCase {
    std::function<HRESULT()> call;
    UpstreamCall expected;
};

template <class T>
T* Query(IUnknown* from, REFIID iid)
{
    void* out = nullptr;
    EXPECT_EQ(from->QueryInterface(iid, &out), S_OK);
    return static_cast<T*>(out);
}

class PosPassThruTest : public testing::Test {
protected:
    void SetUp() override
    {
        pin.peer = &upstream;
        outer = new SeekingOuterObject(&pin);
        outer->NonDelegatingAddRef();
        ASSERT_EQ(outer->constructionResult, S_OK);
        seeking = Query<IMediaSeeking>(outer->GetOwnerUnknown(), IID_IMediaSeeking);
        position = Query<IMediaPosition>(outer->GetOwnerUnknown(), IID_IMediaPosition);
        upstream.seekingResult = kUpstreamCode;
    }
    void TearDown() override
    {
        seeking->Release();
        position->Release();
        EXPECT_EQ(outer->NonDelegatingRelease(), 0u);
        upstream.ExpectBalanced();
        pin.ExpectBalanced();
    }

    std::vector<ForwardingCase> SeekingCases()
    {
        IMediaSeeking* s = seeking;
        const DWORD currentFlags = AM_SEEKING_AbsolutePositioning | AM_SEEKING_SeekToKeyFrame;
        const DWORD stopFlags = AM_SEEKING_RelativePositioning | AM_SEEKING_ReturnTime;
        return {
            {[=] { return s->GetCapabilities(&capabilities); }, {"GetCapabilities", {&capabilities}}},
            {[=] { return s->CheckCapabilities(&capabilities); }, {"CheckCapabilities", {&capabilities}}},
            {[=] { return s->IsFormatSupported(&format); }, {"IsFormatSupported", {&format}}},
            {[=] { return s->QueryPreferredFormat(&format); }, {"QueryPreferredFormat", {&format}}},
            {[=] { return s->GetTimeFormat(&format); }, {"GetTimeFormat", {&format}}},
            {[=] { return s->IsUsingTimeFormat(&otherFormat); }, {"IsUsingTimeFormat", {&otherFormat}}},
            {[=] { return s->SetTimeFormat(&otherFormat); }, {"SetTimeFormat", {&otherFormat}}},
            {[=] { return s->GetDuration(&first); }, {"GetDuration", {&first}}},
            {[=] { return s->GetStopPosition(&first); }, {"GetStopPosition", {&first}}},
            {[=] { return s->GetCurrentPosition(&first); }, {"GetCurrentPosition", {&first}}},
            {[=] { return s->ConvertTimeFormat(&first, &format, -1234567890123LL, &otherFormat); },
             {"ConvertTimeFormat", {&first, &format, &otherFormat}, {-1234567890123LL}}},
            {[=] { return s->SetPositions(&first, currentFlags, &second, stopFlags); },
             {"SetPositions", {&first, &second}, {currentFlags, stopFlags}}},
            {[=] { return s->GetPositions(&first, &second); }, {"GetPositions", {&first, &second}}},
            {[=] { return s->GetAvailable(&first, &second); }, {"GetAvailable", {&first, &second}}},
            {[=] { return s->SetRate(2.0); }, {"SetRate", {}, {}, {2.0}}},
            {[=] { return s->GetRate(&rate); }, {"GetRate", {&rate}}},
            {[=] { return s->GetPreroll(&first); }, {"GetPreroll", {&first}}},
        };
    }

    std::vector<ForwardingCase> PositionCases()
    {
        IMediaPosition* p = position;
        return {
            {[=] { return p->get_Duration(&seconds); }, {"get_Duration", {&seconds}}},
            {[=] { return p->put_CurrentPosition(1.5); }, {"put_CurrentPosition", {}, {}, {1.5}}},
            {[=] { return p->get_CurrentPosition(&seconds); }, {"get_CurrentPosition", {&seconds}}},
            {[=] { return p->get_StopTime(&seconds); }, {"get_StopTime", {&seconds}}},
            {[=] { return p->put_StopTime(7.25); }, {"put_StopTime", {}, {}, {7.25}}},
            {[=] { return p->get_PrerollTime(&seconds); }, {"get_PrerollTime", {&seconds}}},
            {[=] { return p->put_PrerollTime(0.125); }, {"put_PrerollTime", {}, {}, {0.125}}},
            {[=] { return p->put_Rate(0.5); }, {"put_Rate", {}, {}, {0.5}}},
            {[=] { return p->get_Rate(&rate); }, {"get_Rate", {&rate}}},
            {[=] { return p->CanSeekForward(&canSeek); }, {"CanSeekForward", {&canSeek}}},
            {[=] { return p->CanSeekBackward(&canSeek); }, {"CanSeekBackward", {&canSeek}}},
        };
    }

    static void ExpectAllForwarded(const std::vector<ForwardingCase>& cases, FakeUpstreamPin& answering)
    {
        for (const ForwardingCase& c : cases) {
            answering.calls.clear();
            EXPECT_EQ(c.call(), kUpstreamCode) << c.expected.method;
            ASSERT_EQ(answering.calls.size(), 1u) << c.expected.method;
            EXPECT_EQ(answering.calls[0], c.expected);
        }
    }

    static void ExpectAllNotImplemented(const std::vector<ForwardingCase>& cases)
    {
        for (const ForwardingCase& c : cases)
            EXPECT_EQ(c.call(), E_NOTIMPL) << c.expected.method;
    }

    FakeUpstreamPin upstream{UpstreamKind::Seekable};
    FakeSeekingInputPin pin;
    SeekingOuterObject* outer = nullptr;
    IMediaSeeking* seeking = nullptr;
    IMediaPosition* position = nullptr;

    // Argument storage: the upstream must receive these very addresses.
    DWORD capabilities = 0;
    GUID format = TIME_FORMAT_MEDIA_TIME;
    GUID otherFormat = TIME_FORMAT_FRAME;
    LONGLONG first = 0;
    LONGLONG second = 0;
    double rate = 0.0;
    REFTIME seconds = 0.0;
    LONG canSeek = 0;
};

// Position methods pass their seconds unconverted.
TEST_F(PosPassThruTest, EverySeekingAndPositionMethodReachesTheUpstreamUnchanged)
{
    ExpectAllForwarded(SeekingCases(), upstream);
    ExpectAllForwarded(PositionCases(), upstream);
}

// With no upstream pin both interfaces answer E_NOTIMPL; an upstream without one of them has that one answer
// E_NOTIMPL without being called, and the other is still forwarded.
TEST_F(PosPassThruTest, AMissingUpstreamInterfaceIsNotImplementedAndTheOtherIsStillForwarded)
{
    pin.peer = nullptr;
    ExpectAllNotImplemented(SeekingCases());
    ExpectAllNotImplemented(PositionCases());
    EXPECT_TRUE(upstream.calls.empty());

    for (const bool seekingMissing : {true, false}) {
        FakeUpstreamPin lacking{UpstreamKind::Seekable};
        lacking.seekingResult = kUpstreamCode;
        lacking.Refuse(seekingMissing ? IID_IMediaSeeking : IID_IMediaPosition);
        pin.peer = &lacking;
        ExpectAllNotImplemented(seekingMissing ? SeekingCases() : PositionCases());
        EXPECT_TRUE(lacking.calls.empty());
        ExpectAllForwarded(seekingMissing ? PositionCases() : SeekingCases(), lacking);
        pin.peer = nullptr;
        lacking.ExpectBalanced();
    }
}

TEST_F(PosPassThruTest, OnlyAZeroRateIsRefusedBeforeLookingUpstream)
{
    EXPECT_EQ(seeking->SetRate(0.0), E_INVALIDARG);
    EXPECT_EQ(position->put_Rate(0.0), E_INVALIDARG);
    EXPECT_EQ(seeking->SetRate(-0.0), E_INVALIDARG);
    EXPECT_EQ(pin.connectedToCalls, 0);
    EXPECT_TRUE(upstream.calls.empty());

    // Every other rate, NaN included, is forwarded unchanged.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(seeking->SetRate(nan), kUpstreamCode);
    EXPECT_EQ(position->put_Rate(-1.0), kUpstreamCode);
    ASSERT_EQ(upstream.calls.size(), 2u);
    EXPECT_EQ(upstream.calls[0], (UpstreamCall{"SetRate", {}, {}, {nan}}));
    EXPECT_EQ(upstream.calls[1], (UpstreamCall{"put_Rate", {}, {}, {-1.0}}));

    pin.peer = nullptr;
    EXPECT_EQ(seeking->SetRate(0.0), E_INVALIDARG);
    EXPECT_EQ(position->put_Rate(0.0), E_INVALIDARG);
}

TEST_F(PosPassThruTest, UpstreamIsLookedUpAfreshOnEveryCall)
{
    FakeUpstreamPin reconnected{UpstreamKind::Seekable};
    reconnected.seekingResult = S_FALSE;
    DWORD caps = 0;
    EXPECT_EQ(seeking->GetCapabilities(&caps), kUpstreamCode);
    pin.peer = &reconnected;
    EXPECT_EQ(seeking->GetCapabilities(&caps), S_FALSE);
    EXPECT_EQ(position->CanSeekForward(&canSeek), S_FALSE);
    pin.peer = nullptr;
    EXPECT_EQ(seeking->GetCapabilities(&caps), E_NOTIMPL);

    EXPECT_EQ(upstream.calls.size(), 1u);
    EXPECT_EQ(reconnected.calls.size(), 2u);
    EXPECT_EQ(pin.connectedToCalls, 4);
    reconnected.ExpectBalanced();
}

TEST_F(PosPassThruTest, FacesAreQueriedAndCountedByTheOuterObject)
{
    const int queriesBefore = outer->queryInterfaceCalls;
    IUnknown* identity = Query<IUnknown>(seeking, IID_IUnknown);
    EXPECT_EQ(identity, outer->GetOwnerUnknown());
    IMediaSeeking* seekingAgain = Query<IMediaSeeking>(position, IID_IMediaSeeking);
    EXPECT_EQ(seekingAgain, seeking);
    void* dispatch = reinterpret_cast<void*>(1);
    EXPECT_EQ(position->QueryInterface(IID_IDispatch, &dispatch), E_NOINTERFACE);
    EXPECT_EQ(dispatch, nullptr);
    EXPECT_EQ(outer->queryInterfaceCalls, queriesBefore + 3);

    // The fixture holds three references on the outer object (its own and one per face), this test two more.
    EXPECT_EQ(position->AddRef(), 6u);
    EXPECT_EQ(seeking->Release(), 5u);
    seekingAgain->Release();
    identity->Release();
    // The pass-through's own count is still only the outer object's reference.
    EXPECT_EQ(outer->passThru->NonDelegatingAddRef(), 2u);
    EXPECT_EQ(outer->passThru->NonDelegatingRelease(), 1u);
}

TEST_F(PosPassThruTest, NonDelegatingQueryInterfaceAnswersItsTwoFacesAndIUnknownOnly)
{
    CPosPassThru* passThru = outer->passThru;
    void* out = nullptr;
    // The faces count on the outer object, the nondelegating unknown on the pass-through itself.
    for (const auto& [iid, face] : {std::pair<const IID*, IUnknown*>{&IID_IMediaSeeking, static_cast<IMediaSeeking*>(passThru)},
                                    {&IID_IMediaPosition, static_cast<IMediaPosition*>(passThru)}}) {
        ASSERT_EQ(passThru->NonDelegatingQueryInterface(*iid, &out), S_OK);
        EXPECT_EQ(out, face);
        face->Release();
    }
    ASSERT_EQ(passThru->NonDelegatingQueryInterface(IID_IUnknown, &out), S_OK);
    EXPECT_EQ(out, static_cast<INonDelegatingUnknown*>(passThru));
    EXPECT_EQ(static_cast<INonDelegatingUnknown*>(out)->NonDelegatingRelease(), 1u);

    IID nearlyUnknown = IID_IUnknown;
    nearlyUnknown.Data4[7] ^= 1;
    for (const IID& refused : {IID_IDispatch, nearlyUnknown, IID_IPin}) {
        out = reinterpret_cast<void*>(1);
        EXPECT_EQ(passThru->NonDelegatingQueryInterface(refused, &out), E_NOINTERFACE);
        EXPECT_EQ(out, nullptr);
    }
    EXPECT_EQ(passThru->NonDelegatingQueryInterface(IID_IMediaSeeking, nullptr), E_POINTER);
}

// A pass-through with no outer object, over an input pin connected to a seekable upstream.
class PosPassThruStandalone : public testing::Test {
protected:
    void SetUp() override { pin.peer = &upstream; }
    void TearDown() override
    {
        upstream.ExpectBalanced();
        pin.ExpectBalanced();
    }

    FakeUpstreamPin upstream{UpstreamKind::Seekable};
    FakeSeekingInputPin pin;
};

TEST_F(PosPassThruStandalone, OwnsItselfAndIsDestroyedByItsLastRelease)
{
    const LONG objectsBefore = CBaseObject::ActiveObjectCount();
    HRESULT hr = S_FALSE;  // written only on failure
    CPosPassThru* passThru = new CPosPassThru(L"standalone", nullptr, &hr, &pin);
    EXPECT_EQ(hr, S_FALSE);
    EXPECT_EQ(passThru->NonDelegatingAddRef(), 1u);

    IMediaPosition* position = static_cast<IMediaPosition*>(passThru);
    IUnknown* identity = Query<IUnknown>(position, IID_IUnknown);
    EXPECT_EQ(identity, reinterpret_cast<IUnknown*>(static_cast<INonDelegatingUnknown*>(passThru)));
    IMediaSeeking* seeking = Query<IMediaSeeking>(position, IID_IMediaSeeking);
    EXPECT_EQ(seeking->AddRef(), 4u);
    EXPECT_EQ(seeking->Release(), 3u);
    LONG canSeek = 0;
    EXPECT_EQ(position->CanSeekBackward(&canSeek), S_OK);
    EXPECT_EQ(upstream.calls.size(), 1u);

    identity->Release();
    seeking->Release();
    EXPECT_EQ(CBaseObject::ActiveObjectCount(), objectsBefore + 1);
    EXPECT_EQ(position->Release(), 0u);
    EXPECT_EQ(CBaseObject::ActiveObjectCount(), objectsBefore);
}

TEST_F(PosPassThruStandalone, NullPinIsReportedAndBehavesAsUnconnected)
{
    HRESULT hr = S_OK;
    CPosPassThru* passThru = new CPosPassThru(L"no pin", nullptr, &hr, nullptr);
    passThru->NonDelegatingAddRef();
    EXPECT_EQ(hr, E_POINTER);
    DWORD caps = 0;
    EXPECT_EQ(passThru->GetCapabilities(&caps), E_NOTIMPL);
    EXPECT_EQ(passThru->put_CurrentPosition(1.0), E_NOTIMPL);
    EXPECT_EQ(passThru->NonDelegatingRelease(), 0u);
}

// A filter that knows its own position answers GetCurrentPosition itself; the other queries still go
// upstream.
class OwnPositionPassThru : public CPosPassThru {
public:
    using CPosPassThru::CPosPassThru;
    HRESULT QueryOwnPosition(LONGLONG* current, LONGLONG* stop) override
    {
        stopAsked = stop;
        *current = 4200;
        return S_OK;
    }
    LONGLONG* stopAsked = reinterpret_cast<LONGLONG*>(1);
};

TEST_F(PosPassThruStandalone, OwnPositionIsAnsweredWithoutAskingUpstream)
{
    upstream.timeAnswer = 77;
    HRESULT hr = S_OK;
    OwnPositionPassThru* passThru = new OwnPositionPassThru(L"own position", nullptr, &hr, &pin);
    passThru->NonDelegatingAddRef();

    LONGLONG value = 0;
    EXPECT_EQ(passThru->GetCurrentPosition(&value), S_OK);
    EXPECT_EQ(value, 4200);
    EXPECT_EQ(passThru->stopAsked, nullptr);
    EXPECT_TRUE(upstream.calls.empty());
    EXPECT_EQ(passThru->GetDuration(&value), S_OK);
    EXPECT_EQ(value, 77);
    passThru->NonDelegatingRelease();
}

}  // namespace
