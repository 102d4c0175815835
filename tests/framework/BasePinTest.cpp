// The base pin: connection negotiation (both sides), disconnection, the pin's identity and the way its
// references reach the filter.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include <uuids.h>
#include <vfwmsgs.h>

#include "AllocationFailure.h"
#include "ComPtr.h"
#include "FakeAllocator.h"
#include "FakeUpstreamPin.h"
#include "TaskMemoryFailure.h"
#include "TestFilter.h"
#include "TypeAttachment.h"

namespace {

class BasePinTest : public testing::Test {
protected:
    // Undoes a connection made through Connect (both sides hold their peer).
    void DisconnectBoth()
    {
        upstream.Disconnect();
        EXPECT_EQ(pin->Disconnect(), S_OK);
    }
    void RefuseAllWith(HRESULT refusal)
    {
        pin->checkType = [refusal](const AM_MEDIA_TYPE*) { return refusal; };
    }
    ComPtr<IPin> Peer()
    {
        ComPtr<IPin> peer;
        EXPECT_EQ(pin->ConnectedTo(peer.Out()), S_OK);
        return peer;
    }

    // Declared in this order so that the filter goes first, then the upstream pin, then the attachment
    // (whose destructor checks that every record was freed).
    TypeAttachment attachment;
    FakeUpstreamPin upstream;
    ComPtr<TestFilter> filter{new TestFilter({L"Input"})};
    ScriptedPin* pin = filter->Pin(0);
};

using Subtypes = std::vector<GUID>;

// --- Negotiation from this pin (Connect) ---

TEST_F(BasePinTest, ConnectTriesReceivingPinsTypesBeforeItsOwn)
{
    upstream.AddType(attachment.Type(MEDIASUBTYPE_YUY2));
    upstream.AddType(attachment.Type(MEDIASUBTYPE_RGB24));
    pin->offeredTypes.push_back(attachment.Type(MEDIASUBTYPE_RGB32));
    pin->checkType = [](const AM_MEDIA_TYPE* type) {
        return IsEqualGUID(type->subtype, MEDIASUBTYPE_RGB32) ? S_OK : E_FAIL;
    };

    EXPECT_EQ(pin->Connect(&upstream, nullptr), S_OK);

    EXPECT_EQ(pin->checkedSubtypes, (Subtypes{MEDIASUBTYPE_YUY2, MEDIASUBTYPE_RGB24, MEDIASUBTYPE_RGB32}));
    ASSERT_EQ(upstream.receivedTypes.size(), 1u);
    EXPECT_TRUE(IsEqualGUID(upstream.receivedTypes[0].subtype, MEDIASUBTYPE_RGB32));
    EXPECT_EQ(upstream.Connector(), pin->GetPinInterface());
    EXPECT_EQ(pin->finishConnectionCalls, 1);

    AM_MEDIA_TYPE agreed;
    ASSERT_EQ(pin->ConnectionMediaType(&agreed), S_OK);
    EXPECT_TRUE(IsEqualGUID(agreed.subtype, MEDIASUBTYPE_RGB32));
    ASSERT_EQ(agreed.cbFormat, 88u);
    EXPECT_EQ(agreed.pUnk, attachment.AsUnknown());
    MediaTypeReleaseFormat(&agreed);
    EXPECT_EQ(Peer().Get(), static_cast<IPin*>(&upstream));
    DisconnectBoth();
}

// A complete type is tried alone, without asking the other pin for its list; a template (format type left
// open) only admits the types that fit it.
TEST_F(BasePinTest, ConnectWithACompleteTypeTriesOnlyItAndWithATemplateOnlyTheFittingTypes)
{
    upstream.AddType(attachment.Type(MEDIASUBTYPE_YUY2));
    upstream.AddType(attachment.Type(MEDIASUBTYPE_RGB24, 1));
    upstream.AddType(attachment.Type(MEDIASUBTYPE_RGB24, 2));
    COwnedMediaType complete = attachment.Type(MEDIASUBTYPE_RGB24);
    EXPECT_EQ(pin->Connect(&upstream, &complete), S_OK);
    EXPECT_EQ(pin->checkedSubtypes, Subtypes{MEDIASUBTYPE_RGB24});
    EXPECT_EQ(upstream.enumMediaTypesCalls, 0);
    EXPECT_EQ(upstream.receiveConnectionCalls, 1);
    DisconnectBoth();

    AM_MEDIA_TYPE pattern;
    MediaTypeReset(&pattern);
    pattern.majortype = MEDIATYPE_Video;
    pattern.subtype = MEDIASUBTYPE_RGB24;
    // The first fitting type is refused, the second accepted.
    int attempts = 0;
    pin->checkType = [&attempts](const AM_MEDIA_TYPE*) { return ++attempts == 1 ? E_FAIL : S_OK; };
    pin->checkedSubtypes.clear();
    EXPECT_EQ(pin->Connect(&upstream, &pattern), S_OK);
    EXPECT_EQ(pin->checkedSubtypes, (Subtypes{MEDIASUBTYPE_RGB24, MEDIASUBTYPE_RGB24}));
    ASSERT_EQ(upstream.receivedTypes.size(), 2u);
    EXPECT_EQ(upstream.receivedTypes[1].pbFormat[0], 2);
    DisconnectBoth();

    pattern.subtype = MEDIASUBTYPE_UYVY;  // nothing fits
    pin->checkedSubtypes.clear();
    EXPECT_EQ(pin->Connect(&upstream, &pattern), VFW_E_NO_ACCEPTABLE_TYPES);
    EXPECT_TRUE(pin->checkedSubtypes.empty());
    EXPECT_FALSE(pin->IsConnected());
}

// What each way of proposing a type answers for each refusal of CheckType: E_FAIL, E_INVALIDARG, S_FALSE and
// VFW_E_TYPE_NOT_ACCEPTED only say "not this type", so negotiation goes on and reports no acceptable type;
// any other failure is passed on. QueryAccept turns every refusal into S_FALSE.
TEST_F(BasePinTest, CheckTypeRefusalsArePlainOrPassedOnAndQueryAcceptAnswersSFalse)
{
    upstream.AddType(attachment.Type(MEDIASUBTYPE_YUY2));
    pin->offeredTypes.push_back(attachment.Type(MEDIASUBTYPE_RGB24));
    COwnedMediaType complete = attachment.Type(MEDIASUBTYPE_YUY2);
    const struct {
        HRESULT check;
        HRESULT proposed;    // ReceiveConnection, and Connect with the complete type
        HRESULT negotiated;  // Connect over both pins' lists
    } cases[] = {
        {S_FALSE, VFW_E_TYPE_NOT_ACCEPTED, VFW_E_NO_ACCEPTABLE_TYPES},
        {E_FAIL, VFW_E_TYPE_NOT_ACCEPTED, VFW_E_NO_ACCEPTABLE_TYPES},
        {E_INVALIDARG, VFW_E_TYPE_NOT_ACCEPTED, VFW_E_NO_ACCEPTABLE_TYPES},
        {VFW_E_TYPE_NOT_ACCEPTED, VFW_E_TYPE_NOT_ACCEPTED, VFW_E_NO_ACCEPTABLE_TYPES},
        {E_OUTOFMEMORY, E_OUTOFMEMORY, E_OUTOFMEMORY},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.check);
        RefuseAllWith(c.check);
        EXPECT_EQ(pin->QueryAccept(&complete), S_FALSE);
        int releasesBefore = pin->releaseConnectionCalls;
        EXPECT_EQ(pin->ReceiveConnection(&upstream, &complete), c.proposed);
        EXPECT_EQ(pin->releaseConnectionCalls, releasesBefore + 1);
        EXPECT_EQ(pin->Connect(&upstream, &complete), c.proposed);
        pin->checkedSubtypes.clear();
        EXPECT_EQ(pin->Connect(&upstream, nullptr), c.negotiated);
        EXPECT_EQ(pin->checkedSubtypes.size(), 2u);
        EXPECT_FALSE(pin->IsConnected());
    }
    EXPECT_EQ(upstream.receiveConnectionCalls, 0);
    EXPECT_EQ(pin->finishConnectionCalls, 0);
    upstream.ExpectBalanced();

    pin->checkType = nullptr;
    EXPECT_EQ(pin->QueryAccept(&complete), S_OK);
    EXPECT_EQ(pin->QueryAccept(nullptr), E_POINTER);
    EXPECT_FALSE(pin->IsConnected());
}

// The other pin's refusal of a complete type comes back unchanged; a plain one while negotiating counts as no
// acceptable type. A failed FinishConnection comes back too, and the other pin is disconnected again.
TEST_F(BasePinTest, RefusalByTheOtherPinOrAFailedFinishIsReportedAndUndone)
{
    COwnedMediaType complete = attachment.Type(MEDIASUBTYPE_YUY2);
    upstream.receiveConnectionResult = E_FAIL;
    EXPECT_EQ(pin->Connect(&upstream, &complete), E_FAIL);
    EXPECT_FALSE(pin->IsConnected());
    upstream.ExpectBalanced();

    upstream.AddType(attachment.Type(MEDIASUBTYPE_YUY2));
    pin->offeredTypes.push_back(attachment.Type(MEDIASUBTYPE_RGB24));
    upstream.receiveConnectionResult = VFW_E_TYPE_NOT_ACCEPTED;
    EXPECT_EQ(pin->Connect(&upstream, nullptr), VFW_E_NO_ACCEPTABLE_TYPES);
    EXPECT_EQ(upstream.receiveConnectionCalls, 3);
    EXPECT_FALSE(pin->IsConnected());

    upstream.receiveConnectionResult = S_OK;
    pin->finishConnectionResult = E_UNEXPECTED;
    EXPECT_EQ(pin->Connect(&upstream, &complete), E_UNEXPECTED);
    EXPECT_EQ(upstream.receiveConnectionCalls, 4);
    EXPECT_EQ(upstream.disconnectCalls, 1);
    EXPECT_FALSE(upstream.IsConnected());
    EXPECT_FALSE(pin->IsConnected());
    upstream.ExpectBalanced();
}

// With no type anywhere nothing acceptable is found. Of the telling failures, the first of the last list
// tried is reported; a list that cannot be had, or whose enumerator cannot start over, leaves the result to
// the other pass, and a null record in a list is skipped.
TEST_F(BasePinTest, NegotiationReportsTheFirstTellingFailureOfTheLastListTried)
{
    EXPECT_EQ(pin->Connect(&upstream, nullptr), VFW_E_NO_ACCEPTABLE_TYPES);
    EXPECT_EQ(upstream.enumMediaTypesCalls, 1);
    EXPECT_TRUE(pin->checkedSubtypes.empty());
    EXPECT_FALSE(pin->IsConnected() || upstream.IsConnected());
    EXPECT_GE(pin->releaseConnectionCalls, 1);

    // The own list is empty, so the second pass ends in VFW_E_NO_ACCEPTABLE_TYPES and that stands.
    upstream.AddType(attachment.Type(MEDIASUBTYPE_YUY2));
    pin->setConnectionTypeResult = E_OUTOFMEMORY;
    EXPECT_EQ(pin->Connect(&upstream, nullptr), VFW_E_NO_ACCEPTABLE_TYPES);
    EXPECT_EQ(pin->checkedSubtypes.size(), 1u);
    EXPECT_EQ(upstream.receiveConnectionCalls, 0);
    EXPECT_FALSE(pin->IsConnected());

    pin->setConnectionTypeResult = S_OK;
    pin->offeredTypes.push_back(attachment.Type(MEDIASUBTYPE_YUY2));
    pin->offeredTypes.push_back(attachment.Type(MEDIASUBTYPE_RGB24));
    pin->offeredTypes.push_back(attachment.Type(MEDIASUBTYPE_RGB32));
    pin->checkType = [](const AM_MEDIA_TYPE* type) {
        if (IsEqualGUID(type->subtype, MEDIASUBTYPE_YUY2))
            return E_FAIL;  // plain: never reported
        return IsEqualGUID(type->subtype, MEDIASUBTYPE_RGB24) ? E_UNEXPECTED : E_OUTOFMEMORY;
    };
    pin->checkedSubtypes.clear();
    EXPECT_EQ(pin->Connect(&upstream, nullptr), E_UNEXPECTED);
    EXPECT_EQ(pin->checkedSubtypes.size(), 4u);
    upstream.enumMediaTypesResult = E_OUTOFMEMORY;
    EXPECT_EQ(pin->Connect(&upstream, nullptr), E_UNEXPECTED);
    EXPECT_FALSE(pin->IsConnected());

    upstream.enumMediaTypesResult = S_OK;
    pin->offeredTypes.clear();
    pin->checkType = nullptr;
    upstream.AddType(attachment.Type(MEDIASUBTYPE_RGB24));
    upstream.enumerator.nullRecordAt = 0;
    pin->checkedSubtypes.clear();
    EXPECT_EQ(pin->Connect(&upstream, nullptr), S_OK);
    EXPECT_EQ(pin->checkedSubtypes, Subtypes{MEDIASUBTYPE_RGB24});
    DisconnectBoth();

    // Its own code ends the pass of an enumerator that cannot start over; the (empty) second pass replaces it.
    upstream.enumerator.resetResult = E_UNEXPECTED;
    EXPECT_EQ(pin->Connect(&upstream, nullptr), VFW_E_NO_ACCEPTABLE_TYPES);
    EXPECT_FALSE(pin->IsConnected());
}

// Without a peer, to a pin of the same direction, while connected or while the filter is not stopped, neither
// side of a connection checks a type; a peer that cannot say its direction passes the check.
TEST_F(BasePinTest, ConnectionIsRefusedWithoutAPeerOrForDirectionConnectionOrState)
{
    COwnedMediaType complete = attachment.Type(MEDIASUBTYPE_YUY2);
    EXPECT_EQ(pin->ReceiveConnection(nullptr, &complete), E_POINTER);
    EXPECT_EQ(pin->ReceiveConnection(&upstream, nullptr), E_POINTER);
    EXPECT_EQ(pin->Connect(nullptr, &complete), E_POINTER);
    for (FILTER_STATE state : {State_Paused, State_Running}) {
        filter->ForceState(state);
        EXPECT_EQ(pin->Connect(&upstream, &complete), VFW_E_NOT_STOPPED);
        EXPECT_EQ(pin->ReceiveConnection(&upstream, &complete), VFW_E_NOT_STOPPED);
    }
    filter->ForceState(State_Stopped);
    upstream.direction = PINDIR_INPUT;
    EXPECT_EQ(pin->ReceiveConnection(&upstream, &complete), VFW_E_INVALID_DIRECTION);
    EXPECT_EQ(pin->Connect(&upstream, &complete), VFW_E_INVALID_DIRECTION);

    EXPECT_TRUE(pin->checkedSubtypes.empty());
    EXPECT_EQ(upstream.receiveConnectionCalls, 0);
    EXPECT_FALSE(pin->IsConnected());
    EXPECT_GE(pin->releaseConnectionCalls, 1);

    upstream.queryDirectionResult = E_NOTIMPL;
    ASSERT_EQ(pin->Connect(&upstream, &complete), S_OK);
    FakeUpstreamPin other;
    COwnedMediaType second = attachment.Type(MEDIASUBTYPE_RGB24);
    EXPECT_EQ(pin->Connect(&other, &second), VFW_E_ALREADY_CONNECTED);
    EXPECT_EQ(pin->ReceiveConnection(&other, &second), VFW_E_ALREADY_CONNECTED);
    EXPECT_EQ(pin->checkedSubtypes.size(), 1u);
    EXPECT_TRUE(IsEqualGUID(pin->connectionType.subtype, MEDIASUBTYPE_YUY2));
    EXPECT_EQ(Peer().Get(), static_cast<IPin*>(&upstream));
    other.ExpectBalanced();
    DisconnectBoth();
}

TEST_F(BasePinTest, NegotiationStopsAtTheFirstConnectionThatSucceeds)
{
    // A FinishConnection that reports success with S_FALSE has still connected both pins: trying the next
    // type would connect them a second time.
    upstream.AddType(attachment.Type(MEDIASUBTYPE_YUY2));
    upstream.AddType(attachment.Type(MEDIASUBTYPE_RGB24));
    pin->finishConnectionResult = S_FALSE;

    EXPECT_EQ(pin->Connect(&upstream, nullptr), S_OK);

    EXPECT_EQ(pin->checkedSubtypes, Subtypes{MEDIASUBTYPE_YUY2});
    EXPECT_EQ(upstream.receiveConnectionCalls, 1);
    EXPECT_TRUE(pin->IsConnected());
    EXPECT_EQ(upstream.References(), 1);  // this pin's one reference on its peer
    DisconnectBoth();
    upstream.ExpectBalanced();
}

// --- The accepting side (ReceiveConnection) ---

// The agreed type is a copy of the offered one; a set-up that fails (the copy of the format block, or
// FinishConnection) leaves the pin unconnected, without telling the connector: its own Connect undoes its half.
TEST_F(BasePinTest, ReceiveConnectionStoresTheAgreedTypeOrUndoesAFailedSetUp)
{
    COwnedMediaType offered = attachment.Type(MEDIASUBTYPE_YUY2, 7);
    {
        // The one task-memory request is the copy of the format block.
        TaskMemoryFailureScope failure(0);
        EXPECT_EQ(pin->ReceiveConnection(&upstream, &offered), E_OUTOFMEMORY);
        EXPECT_TRUE(failure.FailureInjected());
    }
    EXPECT_FALSE(pin->IsConnected());
    upstream.ExpectBalanced();
    pin->finishConnectionResult = E_UNEXPECTED;
    EXPECT_EQ(pin->ReceiveConnection(&upstream, &offered), E_UNEXPECTED);
    EXPECT_FALSE(pin->IsConnected());
    EXPECT_EQ(upstream.disconnectCalls, 0);
    upstream.ExpectBalanced();

    pin->finishConnectionResult = S_OK;
    EXPECT_EQ(pin->ReceiveConnection(&upstream, &offered), S_OK);
    EXPECT_EQ(pin->finishConnectionCalls, 2);
    AM_MEDIA_TYPE agreed;
    ASSERT_EQ(pin->ConnectionMediaType(&agreed), S_OK);
    EXPECT_TRUE(MediaTypeFitsTemplate(&agreed, &offered));
    EXPECT_NE(agreed.pbFormat, offered.pbFormat);
    MediaTypeReleaseFormat(&agreed);
    EXPECT_EQ(upstream.References(), 1);  // this pin's reference on its peer
    EXPECT_EQ(pin->Disconnect(), S_OK);
    upstream.ExpectBalanced();
}

// --- Disconnect and the unconnected pin ---

TEST_F(BasePinTest, DisconnectDependsOnStateAndConnection)
{
    EXPECT_EQ(pin->Disconnect(), S_FALSE);
    filter->ForceState(State_Paused);
    EXPECT_EQ(pin->Disconnect(), VFW_E_NOT_STOPPED);
    filter->ForceState(State_Stopped);

    COwnedMediaType offered = attachment.Type(MEDIASUBTYPE_YUY2);
    ASSERT_EQ(pin->ReceiveConnection(&upstream, &offered), S_OK);
    for (FILTER_STATE state : {State_Paused, State_Running}) {
        filter->ForceState(state);
        EXPECT_EQ(pin->Disconnect(), VFW_E_NOT_STOPPED);
        EXPECT_TRUE(pin->IsConnected());
    }
    filter->ForceState(State_Stopped);
    EXPECT_EQ(pin->Disconnect(), S_OK);
    EXPECT_FALSE(pin->IsConnected());
    // The agreed type stays until the next connection replaces it.
    EXPECT_TRUE(IsEqualGUID(pin->connectionType.subtype, MEDIASUBTYPE_YUY2));
    EXPECT_EQ(pin->Disconnect(), S_FALSE);
    upstream.ExpectBalanced();

    // A connection whose allocator cannot be decommitted stays until it can.
    FakeAllocator stuck;
    ASSERT_EQ(pin->ReceiveConnection(&upstream, &offered), S_OK);
    ASSERT_EQ(pin->NotifyAllocator(&stuck, FALSE), S_OK);
    stuck.decommitResult = E_UNEXPECTED;
    EXPECT_EQ(pin->Disconnect(), E_UNEXPECTED);
    EXPECT_TRUE(pin->IsConnected());
    EXPECT_EQ(pin->allocator, &stuck);
    stuck.decommitResult = S_OK;
    EXPECT_EQ(pin->Disconnect(), S_OK);
    EXPECT_EQ(pin->allocator, nullptr);
    stuck.ExpectBalanced();
    upstream.ExpectBalanced();
}

TEST_F(BasePinTest, ConnectionQueriesReportNoPeerOrAFailedCopyWithNothingToFree)
{
    IPin* peer = reinterpret_cast<IPin*>(1);
    EXPECT_EQ(pin->ConnectedTo(&peer), VFW_E_NOT_CONNECTED);
    EXPECT_EQ(peer, nullptr);
    EXPECT_EQ(pin->ConnectedTo(nullptr), E_POINTER);

    AM_MEDIA_TYPE type;
    std::memset(&type, 0xAB, sizeof(type));
    EXPECT_EQ(pin->ConnectionMediaType(&type), VFW_E_NOT_CONNECTED);
    AM_MEDIA_TYPE defaultType;
    MediaTypeReset(&defaultType);
    EXPECT_EQ(std::memcmp(&type, &defaultType, sizeof(type)), 0);
    EXPECT_EQ(pin->ConnectionMediaType(nullptr), E_POINTER);

    // Connected, a copy that cannot be made leaves nothing half-copied for the caller to free.
    COwnedMediaType offered = attachment.Type(MEDIASUBTYPE_YUY2);
    ASSERT_EQ(pin->ReceiveConnection(&upstream, &offered), S_OK);
    {
        // The one task-memory request is the copy of the format block.
        TaskMemoryFailureScope failure(0);
        EXPECT_EQ(pin->ConnectionMediaType(&type), E_OUTOFMEMORY);
        EXPECT_TRUE(failure.FailureInjected());
    }
    EXPECT_EQ(type.pbFormat, nullptr);
    EXPECT_EQ(type.pUnk, nullptr);
    EXPECT_EQ(pin->Disconnect(), S_OK);
    upstream.ExpectBalanced();
}

// --- Identity ---

// QueryPinInfo cuts the name to 127 characters; QueryId hands out a task-memory copy, bounded at 50,000
// characters. A pin without a name (none given, or one that could not be copied) has an empty name and no id.
TEST_F(BasePinTest, QueryPinInfoAndQueryIdCopyTheNameWithinTheirBounds)
{
    std::wstring longName(200, L'x');
    for (int i = 0; i < 200; ++i)
        longName[i] = static_cast<wchar_t>(L'a' + i % 26);
    ComPtr<TestFilter> named(new TestFilter({longName.c_str()}));
    LONG before = named->References();
    PIN_INFO info;
    std::memset(&info, 0xCD, sizeof(info));
    ASSERT_EQ(named->Pin(0)->QueryPinInfo(&info), S_OK);
    EXPECT_EQ(std::wstring(info.achName), longName.substr(0, 127));
    EXPECT_EQ(info.dir, PINDIR_INPUT);
    EXPECT_EQ(info.pFilter, named->GetBaseFilterInterface());
    EXPECT_EQ(named->References(), before + 1);
    info.pFilter->Release();
    EXPECT_EQ(pin->QueryPinInfo(nullptr), E_POINTER);

    LPWSTR id = nullptr;
    ASSERT_EQ(pin->QueryId(&id), S_OK);
    EXPECT_STREQ(id, L"Input");
    EXPECT_NE(id, pin->Name());
    CoTaskMemFree(id);
    EXPECT_EQ(pin->QueryId(nullptr), E_POINTER);
    {
        TaskMemoryFailureScope failure(0);
        id = reinterpret_cast<LPWSTR>(1);
        EXPECT_EQ(pin->QueryId(&id), E_OUTOFMEMORY);
        EXPECT_TRUE(failure.FailureInjected());
        EXPECT_EQ(id, nullptr);
    }
    std::wstring longest(49999, L'n');
    ComPtr<TestFilter> fits(new TestFilter({longest.c_str()}));
    ASSERT_EQ(fits->Pin(0)->QueryId(&id), S_OK);
    EXPECT_EQ(std::wstring(id), longest);
    CoTaskMemFree(id);
    std::wstring tooLong(50000, L'n');
    ComPtr<TestFilter> unbounded(new TestFilter({tooLong.c_str()}));
    EXPECT_EQ(unbounded->Pin(0)->QueryId(&id), E_INVALIDARG);
    EXPECT_EQ(id, nullptr);

    ComPtr<TestFilter> nameless(new TestFilter({nullptr}));
    ASSERT_EQ(nameless->Pin(0)->QueryPinInfo(&info), S_OK);
    EXPECT_EQ(info.achName[0], L'\0');
    info.pFilter->Release();
    id = reinterpret_cast<LPWSTR>(1);
    EXPECT_EQ(nameless->Pin(0)->QueryId(&id), E_INVALIDARG);
    EXPECT_EQ(id, nullptr);
    {
        CRecursiveLock lock;
        AllocationFailureScope failure(0);
        ScriptedPin uncopied(filter.Get(), &lock, L"Input");
        EXPECT_TRUE(failure.FailureInjected());
        EXPECT_EQ(uncopied.Name(), nullptr);
        EXPECT_EQ(uncopied.QueryId(&id), E_INVALIDARG);
    }
}

TEST_F(BasePinTest, NewSegmentKeepsTheSegment)
{
    EXPECT_EQ(pin->NewSegment(10000, 20000000, 1.5), S_OK);
    EXPECT_EQ(pin->segmentStart, 10000);
    EXPECT_EQ(pin->segmentStop, 20000000);
    EXPECT_EQ(pin->segmentRate, 1.5);
}

// --- References ---

TEST_F(BasePinTest, EveryPinInterfaceCountsOnTheFilter)
{
    const LONG start = filter->References();
    IPin* asPin = pin->GetPinInterface();
    EXPECT_EQ(asPin->AddRef(), static_cast<ULONG>(start + 1));
    EXPECT_EQ(filter->References(), start + 1);

    ComPtr<IQualityControl> quality;
    ASSERT_EQ(asPin->QueryInterface(IID_IQualityControl, quality.OutVoid()), S_OK);
    ComPtr<IMemInputPin> memInput;
    ASSERT_EQ(quality->QueryInterface(IID_IMemInputPin, memInput.OutVoid()), S_OK);
    ComPtr<IUnknown> unknown;
    ASSERT_EQ(memInput->QueryInterface(IID_IUnknown, unknown.OutVoid()), S_OK);
    EXPECT_EQ(filter->References(), start + 4);
    ComPtr<IPin> again;
    ASSERT_EQ(unknown->QueryInterface(IID_IPin, again.OutVoid()), S_OK);
    EXPECT_EQ(again.Get(), asPin);
    ComPtr<IBaseFilter> notAPin;
    EXPECT_EQ(asPin->QueryInterface(IID_IBaseFilter, notAPin.OutVoid()), E_NOINTERFACE);

    again.Reset();
    unknown.Reset();
    memInput.Reset();
    quality.Reset();
    EXPECT_EQ(asPin->Release(), static_cast<ULONG>(start));
    EXPECT_EQ(filter->References(), start);
    // The media type enumerator EnumMediaTypes hands out counts on it too (MediaTypeEnumeratorTest).
}

}  // namespace
