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
#include "CountingDouble.h"
#include "FakeAllocator.h"
#include "FakeUpstreamPin.h"
#include "PinTestFilter.h"
#include "TaskMemoryFailure.h"

namespace {

// Carried as pUnk by every media type a test makes: each copy of a record takes a reference on it, so a
// record that is never freed leaves a reference behind and fails the test when the attachment goes.
struct TypeAttachment : CountingDouble<IUnknown> {};

class BasePinTest : public testing::Test {
protected:
    COwnedMediaType Type(REFGUID subtype, BYTE tag = 0)
    {
        COwnedMediaType type = MakeTaggedVideoType(subtype, tag);
        type.pUnk = attachment.AsUnknown();
        attachment.AddRef();
        return type;
    }
    // Undoes a connection made through Connect (both sides hold their peer).
    void DisconnectBoth()
    {
        upstream.Disconnect();
        EXPECT_EQ(pin->Disconnect(), S_OK);
    }
    HRESULT RefuseAllWith(HRESULT refusal)
    {
        pin->checkType = [refusal](const AM_MEDIA_TYPE*) { return refusal; };
        return refusal;
    }

    // Declared in this order so that the filter goes first, then the upstream pin, then the attachment
    // (whose destructor checks that every record was freed).
    TypeAttachment attachment;
    FakeUpstreamPin upstream;
    PinTestFilter::Ref filter = PinTestFilter::Create();
    ScriptedInputPin* pin = filter->Pin();
};

std::vector<GUID> Subtypes(std::initializer_list<GUID> list)
{
    return std::vector<GUID>(list);
}

// --- Negotiation from this pin (Connect) ---

TEST_F(BasePinTest, ConnectTriesReceivingPinsTypesBeforeItsOwn)
{
    upstream.AddType(Type(MEDIASUBTYPE_YUY2));
    upstream.AddType(Type(MEDIASUBTYPE_RGB24));
    pin->offeredTypes.push_back(Type(MEDIASUBTYPE_RGB32));
    pin->checkType = [](const AM_MEDIA_TYPE* type) {
        return IsEqualGUID(type->subtype, MEDIASUBTYPE_RGB32) ? S_OK : E_FAIL;
    };

    EXPECT_EQ(pin->Connect(&upstream, nullptr), S_OK);

    EXPECT_EQ(pin->checkedSubtypes, Subtypes({MEDIASUBTYPE_YUY2, MEDIASUBTYPE_RGB24, MEDIASUBTYPE_RGB32}));
    ASSERT_EQ(upstream.receivedTypes.size(), 1u);
    EXPECT_TRUE(IsEqualGUID(upstream.receivedTypes[0].subtype, MEDIASUBTYPE_RGB32));
    EXPECT_EQ(upstream.Connector(), filter->PinInterface());
    EXPECT_EQ(pin->finishConnectionCalls, 1);

    AM_MEDIA_TYPE agreed;
    ASSERT_EQ(pin->ConnectionMediaType(&agreed), S_OK);
    EXPECT_TRUE(IsEqualGUID(agreed.subtype, MEDIASUBTYPE_RGB32));
    ASSERT_EQ(agreed.cbFormat, 88u);
    EXPECT_EQ(agreed.pUnk, attachment.AsUnknown());
    MediaTypeReleaseFormat(&agreed);
    ComPtr<IPin> peer;
    EXPECT_EQ(pin->ConnectedTo(peer.Out()), S_OK);
    EXPECT_EQ(peer.Get(), static_cast<IPin*>(&upstream));
    peer.Reset();
    DisconnectBoth();
}

TEST_F(BasePinTest, ConnectWithCompleteTypeTriesOnlyThatType)
{
    upstream.AddType(Type(MEDIASUBTYPE_YUY2));
    COwnedMediaType complete = Type(MEDIASUBTYPE_RGB24);

    EXPECT_EQ(pin->Connect(&upstream, &complete), S_OK);

    EXPECT_EQ(pin->checkedSubtypes, Subtypes({MEDIASUBTYPE_RGB24}));
    EXPECT_EQ(upstream.enumMediaTypesCalls, 0);
    EXPECT_EQ(upstream.receiveConnectionCalls, 1);
    DisconnectBoth();
}

TEST_F(BasePinTest, ConnectWithTemplateTriesOnlyFittingTypes)
{
    upstream.AddType(Type(MEDIASUBTYPE_YUY2));
    upstream.AddType(Type(MEDIASUBTYPE_RGB24, 1));
    upstream.AddType(Type(MEDIASUBTYPE_RGB24, 2));
    AM_MEDIA_TYPE pattern;
    MediaTypeReset(&pattern);
    pattern.majortype = MEDIATYPE_Video;
    pattern.subtype = MEDIASUBTYPE_RGB24;  // format type left open: a template
    // The first fitting type is refused, the second accepted.
    int attempts = 0;
    pin->checkType = [&attempts](const AM_MEDIA_TYPE*) { return ++attempts == 1 ? E_FAIL : S_OK; };

    EXPECT_EQ(pin->Connect(&upstream, &pattern), S_OK);

    EXPECT_EQ(pin->checkedSubtypes, Subtypes({MEDIASUBTYPE_RGB24, MEDIASUBTYPE_RGB24}));
    ASSERT_EQ(upstream.receivedTypes.size(), 1u);
    EXPECT_EQ(upstream.receivedTypes[0].pbFormat[0], 2);
    DisconnectBoth();

    pattern.subtype = MEDIASUBTYPE_UYVY;  // nothing fits
    pin->checkedSubtypes.clear();
    EXPECT_EQ(pin->Connect(&upstream, &pattern), VFW_E_NO_ACCEPTABLE_TYPES);
    EXPECT_TRUE(pin->checkedSubtypes.empty());
    EXPECT_FALSE(pin->IsConnected());
}

// No type anywhere, or every attempt refused plainly (by this pin's check or by the other pin): nothing
// acceptable was found.
TEST_F(BasePinTest, ConnectReportsNoAcceptableTypesWhenEveryAttemptIsAPlainRefusal)
{
    EXPECT_EQ(pin->Connect(&upstream, nullptr), VFW_E_NO_ACCEPTABLE_TYPES);
    EXPECT_EQ(upstream.enumMediaTypesCalls, 1);
    EXPECT_TRUE(pin->checkedSubtypes.empty());
    EXPECT_FALSE(pin->IsConnected() || upstream.IsConnected());
    EXPECT_GE(pin->releaseConnectionCalls, 1);

    upstream.AddType(Type(MEDIASUBTYPE_YUY2));
    pin->offeredTypes.push_back(Type(MEDIASUBTYPE_RGB24));
    for (HRESULT refusal : {E_FAIL, E_INVALIDARG, S_FALSE}) {
        pin->checkedSubtypes.clear();
        RefuseAllWith(refusal);
        EXPECT_EQ(pin->Connect(&upstream, nullptr), VFW_E_NO_ACCEPTABLE_TYPES) << refusal;
        EXPECT_EQ(pin->checkedSubtypes.size(), 2u);
    }
    // The other pin refusing plainly counts the same.
    pin->checkType = nullptr;
    upstream.receiveConnectionResult = VFW_E_TYPE_NOT_ACCEPTED;
    EXPECT_EQ(pin->Connect(&upstream, nullptr), VFW_E_NO_ACCEPTABLE_TYPES);
    EXPECT_EQ(upstream.receiveConnectionCalls, 2);
    EXPECT_FALSE(pin->IsConnected());
}

TEST_F(BasePinTest, SecondPassResultReplacesTellingFailureOfFirst)
{
    upstream.AddType(Type(MEDIASUBTYPE_YUY2));
    pin->setConnectionTypeResult = E_OUTOFMEMORY;

    // The own list is empty, so the second pass ends in VFW_E_NO_ACCEPTABLE_TYPES and that stands.
    EXPECT_EQ(pin->Connect(&upstream, nullptr), VFW_E_NO_ACCEPTABLE_TYPES);
    EXPECT_EQ(pin->checkedSubtypes.size(), 1u);
    EXPECT_EQ(upstream.receiveConnectionCalls, 0);
    EXPECT_FALSE(pin->IsConnected());
}

TEST_F(BasePinTest, FirstTellingFailureOfTheLastListIsReported)
{
    pin->offeredTypes.push_back(Type(MEDIASUBTYPE_YUY2));
    pin->offeredTypes.push_back(Type(MEDIASUBTYPE_RGB24));
    pin->offeredTypes.push_back(Type(MEDIASUBTYPE_RGB32));
    pin->checkType = [](const AM_MEDIA_TYPE* type) {
        if (IsEqualGUID(type->subtype, MEDIASUBTYPE_YUY2))
            return E_FAIL;  // plain: never reported
        return IsEqualGUID(type->subtype, MEDIASUBTYPE_RGB24) ? E_UNEXPECTED : E_OUTOFMEMORY;
    };

    EXPECT_EQ(pin->Connect(&upstream, nullptr), E_UNEXPECTED);
    EXPECT_EQ(pin->checkedSubtypes.size(), 3u);

    // A receiving pin that cannot enumerate is skipped; its pass leaves the result alone.
    upstream.enumMediaTypesResult = E_OUTOFMEMORY;
    EXPECT_EQ(pin->Connect(&upstream, nullptr), E_UNEXPECTED);
    EXPECT_FALSE(pin->IsConnected());
}

TEST_F(BasePinTest, ConnectSkipsNullRecordsAndSurvivesAnEnumeratorThatCannotReset)
{
    upstream.AddType(Type(MEDIASUBTYPE_YUY2));
    upstream.AddType(Type(MEDIASUBTYPE_RGB24));
    upstream.enumerator.nullRecordAt = 0;

    // A null record is skipped, the next one is tried.
    EXPECT_EQ(pin->Connect(&upstream, nullptr), S_OK);
    EXPECT_EQ(pin->checkedSubtypes, Subtypes({MEDIASUBTYPE_RGB24}));
    DisconnectBoth();

    // An enumerator that cannot start over ends its pass with its own code, which the (empty) second pass
    // then replaces.
    upstream.enumerator.resetResult = E_UNEXPECTED;
    EXPECT_EQ(pin->Connect(&upstream, nullptr), VFW_E_NO_ACCEPTABLE_TYPES);
    EXPECT_FALSE(pin->IsConnected());
}

TEST_F(BasePinTest, ConnectionToAPinOfTheSameDirectionOrToNothingIsRefused)
{
    COwnedMediaType complete = Type(MEDIASUBTYPE_YUY2);
    EXPECT_EQ(pin->ReceiveConnection(nullptr, &complete), E_POINTER);
    EXPECT_EQ(pin->ReceiveConnection(&upstream, nullptr), E_POINTER);
    EXPECT_EQ(pin->Connect(nullptr, &complete), E_POINTER);

    upstream.direction = PINDIR_INPUT;
    EXPECT_EQ(pin->ReceiveConnection(&upstream, &complete), VFW_E_INVALID_DIRECTION);
    EXPECT_EQ(pin->Connect(&upstream, &complete), VFW_E_INVALID_DIRECTION);

    EXPECT_TRUE(pin->checkedSubtypes.empty());
    EXPECT_EQ(upstream.receiveConnectionCalls, 0);
    EXPECT_FALSE(pin->IsConnected());
    EXPECT_GE(pin->releaseConnectionCalls, 1);

    // A peer that cannot say its direction passes the check.
    upstream.queryDirectionResult = E_NOTIMPL;
    EXPECT_EQ(pin->Connect(&upstream, &complete), S_OK);
    DisconnectBoth();
}

TEST_F(BasePinTest, ConnectWithCompleteTypeReportsRefusalsExactly)
{
    COwnedMediaType complete = Type(MEDIASUBTYPE_YUY2);

    RefuseAllWith(S_FALSE);
    EXPECT_EQ(pin->Connect(&upstream, &complete), VFW_E_TYPE_NOT_ACCEPTED);
    RefuseAllWith(E_INVALIDARG);
    EXPECT_EQ(pin->Connect(&upstream, &complete), VFW_E_TYPE_NOT_ACCEPTED);
    RefuseAllWith(E_OUTOFMEMORY);
    EXPECT_EQ(pin->Connect(&upstream, &complete), E_OUTOFMEMORY);
    EXPECT_EQ(upstream.receiveConnectionCalls, 0);

    // The other pin's refusal comes back unchanged, and this side lets go of it.
    pin->checkType = nullptr;
    upstream.receiveConnectionResult = E_FAIL;
    EXPECT_EQ(pin->Connect(&upstream, &complete), E_FAIL);
    EXPECT_FALSE(pin->IsConnected());
    upstream.ExpectBalanced();

    // A failed FinishConnection comes back too, and the other pin is disconnected again.
    upstream.receiveConnectionResult = S_OK;
    pin->finishConnectionResult = E_UNEXPECTED;
    EXPECT_EQ(pin->Connect(&upstream, &complete), E_UNEXPECTED);
    EXPECT_EQ(upstream.receiveConnectionCalls, 2);
    EXPECT_EQ(upstream.disconnectCalls, 1);
    EXPECT_FALSE(upstream.IsConnected());
    EXPECT_FALSE(pin->IsConnected());
    upstream.ExpectBalanced();
}

TEST_F(BasePinTest, NegotiationStopsAtTheFirstConnectionThatSucceeds)
{
    // A FinishConnection that reports success with S_FALSE has still connected both pins: trying the next
    // type would connect them a second time.
    upstream.AddType(Type(MEDIASUBTYPE_YUY2));
    upstream.AddType(Type(MEDIASUBTYPE_RGB24));
    pin->finishConnectionResult = S_FALSE;

    EXPECT_EQ(pin->Connect(&upstream, nullptr), S_OK);

    EXPECT_EQ(pin->checkedSubtypes, Subtypes({MEDIASUBTYPE_YUY2}));
    EXPECT_EQ(upstream.receiveConnectionCalls, 1);
    EXPECT_TRUE(pin->IsConnected());
    EXPECT_EQ(upstream.References(), 1);  // this pin's one reference on its peer
    DisconnectBoth();
    upstream.ExpectBalanced();
}

TEST_F(BasePinTest, ConnectingAConnectedPinChangesNothing)
{
    COwnedMediaType first = Type(MEDIASUBTYPE_YUY2);
    COwnedMediaType second = Type(MEDIASUBTYPE_RGB24);
    ASSERT_EQ(pin->Connect(&upstream, &first), S_OK);
    FakeUpstreamPin other;

    EXPECT_EQ(pin->Connect(&other, &second), VFW_E_ALREADY_CONNECTED);
    EXPECT_EQ(pin->ReceiveConnection(&other, &second), VFW_E_ALREADY_CONNECTED);

    EXPECT_EQ(pin->checkedSubtypes.size(), 1u);
    EXPECT_TRUE(IsEqualGUID(pin->ConnectionType().subtype, MEDIASUBTYPE_YUY2));
    ComPtr<IPin> peer;
    EXPECT_EQ(pin->ConnectedTo(peer.Out()), S_OK);
    EXPECT_EQ(peer.Get(), static_cast<IPin*>(&upstream));
    peer.Reset();
    other.ExpectBalanced();
    DisconnectBoth();
}

TEST_F(BasePinTest, ConnectionNeedsAStoppedFilter)
{
    COwnedMediaType complete = Type(MEDIASUBTYPE_YUY2);
    for (FILTER_STATE state : {State_Paused, State_Running}) {
        filter->ForceState(state);
        EXPECT_EQ(pin->Connect(&upstream, &complete), VFW_E_NOT_STOPPED);
        EXPECT_EQ(pin->ReceiveConnection(&upstream, &complete), VFW_E_NOT_STOPPED);
    }
    EXPECT_TRUE(pin->checkedSubtypes.empty());
    filter->ForceState(State_Stopped);
}

// --- The accepting side (ReceiveConnection) ---

TEST_F(BasePinTest, ReceiveConnectionStoresTheAgreedType)
{
    COwnedMediaType offered = Type(MEDIASUBTYPE_YUY2, 7);

    EXPECT_EQ(pin->ReceiveConnection(&upstream, &offered), S_OK);

    EXPECT_EQ(pin->finishConnectionCalls, 1);
    AM_MEDIA_TYPE agreed;
    ASSERT_EQ(pin->ConnectionMediaType(&agreed), S_OK);
    EXPECT_TRUE(MediaTypeFitsTemplate(&agreed, &offered));
    EXPECT_NE(agreed.pbFormat, offered.pbFormat);
    MediaTypeReleaseFormat(&agreed);
    EXPECT_EQ(upstream.References(), 1);  // this pin's reference on its peer

    EXPECT_EQ(pin->Disconnect(), S_OK);
    upstream.ExpectBalanced();
}

TEST_F(BasePinTest, ReceiveConnectionRefusesTypesCheckTypeDoesNotAnswerWithSOk)
{
    COwnedMediaType offered = Type(MEDIASUBTYPE_YUY2);
    const HRESULT cases[][2] = {{S_FALSE, VFW_E_TYPE_NOT_ACCEPTED},
                                {E_FAIL, VFW_E_TYPE_NOT_ACCEPTED},
                                {E_INVALIDARG, VFW_E_TYPE_NOT_ACCEPTED},
                                {VFW_E_TYPE_NOT_ACCEPTED, VFW_E_TYPE_NOT_ACCEPTED},
                                {E_OUTOFMEMORY, E_OUTOFMEMORY}};
    for (const auto& c : cases) {
        RefuseAllWith(c[0]);
        int releasesBefore = pin->releaseConnectionCalls;
        EXPECT_EQ(pin->ReceiveConnection(&upstream, &offered), c[1]) << c[0];
        EXPECT_FALSE(pin->IsConnected());
        EXPECT_EQ(pin->releaseConnectionCalls, releasesBefore + 1);
    }
    EXPECT_EQ(pin->finishConnectionCalls, 0);
    upstream.ExpectBalanced();
}

TEST_F(BasePinTest, ReceiveConnectionUndoesAFailedSetUp)
{
    COwnedMediaType offered = Type(MEDIASUBTYPE_YUY2);
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
    EXPECT_EQ(upstream.disconnectCalls, 0);  // the connector is not told: its own Connect undoes its half
    upstream.ExpectBalanced();
}

// --- Disconnect and the unconnected pin ---

TEST_F(BasePinTest, DisconnectDependsOnStateAndConnection)
{
    EXPECT_EQ(pin->Disconnect(), S_FALSE);
    filter->ForceState(State_Paused);
    EXPECT_EQ(pin->Disconnect(), VFW_E_NOT_STOPPED);
    filter->ForceState(State_Stopped);

    COwnedMediaType offered = Type(MEDIASUBTYPE_YUY2);
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
    EXPECT_TRUE(IsEqualGUID(pin->ConnectionType().subtype, MEDIASUBTYPE_YUY2));
    EXPECT_EQ(pin->Disconnect(), S_FALSE);
    upstream.ExpectBalanced();
}

TEST_F(BasePinTest, DisconnectFailsAndStaysConnectedWhenReleaseFails)
{
    FakeAllocator stuck;
    COwnedMediaType offered = Type(MEDIASUBTYPE_YUY2);
    ASSERT_EQ(pin->ReceiveConnection(&upstream, &offered), S_OK);
    ASSERT_EQ(filter->MemInputPin()->NotifyAllocator(&stuck, FALSE), S_OK);
    stuck.decommitResult = E_UNEXPECTED;

    EXPECT_EQ(pin->Disconnect(), E_UNEXPECTED);
    EXPECT_TRUE(pin->IsConnected());
    EXPECT_EQ(pin->HeldAllocator(), &stuck);

    stuck.decommitResult = S_OK;
    EXPECT_EQ(pin->Disconnect(), S_OK);
    EXPECT_EQ(pin->HeldAllocator(), nullptr);
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
    COwnedMediaType offered = Type(MEDIASUBTYPE_YUY2);
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

TEST_F(BasePinTest, QueryPinInfoCutsTheNameTo127Characters)
{
    std::wstring longName(200, L'x');
    for (int i = 0; i < 200; ++i)
        longName[i] = static_cast<wchar_t>(L'a' + i % 26);
    PinTestFilter::Ref named = PinTestFilter::Create(longName.c_str());
    ULONG before = named->References();

    PIN_INFO info;
    std::memset(&info, 0xCD, sizeof(info));
    ASSERT_EQ(named->PinInterface()->QueryPinInfo(&info), S_OK);
    EXPECT_EQ(std::wstring(info.achName), longName.substr(0, 127));
    EXPECT_EQ(info.dir, PINDIR_INPUT);
    EXPECT_EQ(info.pFilter, named->GetBaseFilterInterface());
    EXPECT_EQ(named->References(), before + 1);
    info.pFilter->Release();

    PinTestFilter::Ref nameless = PinTestFilter::Create(nullptr);
    ASSERT_EQ(nameless->PinInterface()->QueryPinInfo(&info), S_OK);
    EXPECT_EQ(info.achName[0], L'\0');
    info.pFilter->Release();
    EXPECT_EQ(pin->QueryPinInfo(nullptr), E_POINTER);
}

TEST_F(BasePinTest, QueryIdHandsOutATaskMemoryCopyOfTheName)
{
    LPWSTR id = nullptr;
    ASSERT_EQ(pin->QueryId(&id), S_OK);
    EXPECT_STREQ(id, L"Input");
    EXPECT_NE(id, pin->Name());
    CoTaskMemFree(id);

    PinTestFilter::Ref nameless = PinTestFilter::Create(nullptr);
    id = reinterpret_cast<LPWSTR>(1);
    EXPECT_EQ(nameless->PinInterface()->QueryId(&id), E_INVALIDARG);
    EXPECT_EQ(id, nullptr);
    EXPECT_EQ(pin->QueryId(nullptr), E_POINTER);

    {
        TaskMemoryFailureScope failure(0);
        id = reinterpret_cast<LPWSTR>(1);
        EXPECT_EQ(pin->QueryId(&id), E_OUTOFMEMORY);
        EXPECT_TRUE(failure.FailureInjected());
        EXPECT_EQ(id, nullptr);
    }

    // The name is bounded at 50,000 characters.
    std::wstring longest(49999, L'n');
    PinTestFilter::Ref fits = PinTestFilter::Create(longest.c_str());
    ASSERT_EQ(fits->PinInterface()->QueryId(&id), S_OK);
    EXPECT_EQ(std::wstring(id), longest);
    CoTaskMemFree(id);
    std::wstring tooLong(50000, L'n');
    PinTestFilter::Ref unbounded = PinTestFilter::Create(tooLong.c_str());
    EXPECT_EQ(unbounded->PinInterface()->QueryId(&id), E_INVALIDARG);
    EXPECT_EQ(id, nullptr);
}

TEST_F(BasePinTest, PinWhoseNameCannotBeCopiedHasNoName)
{
    CRecursiveLock lock;
    AllocationFailureScope failure(0);
    ScriptedInputPin nameless(filter.filter, &lock, L"Input");
    EXPECT_TRUE(failure.FailureInjected());

    EXPECT_EQ(nameless.Name(), nullptr);
    LPWSTR id = nullptr;
    EXPECT_EQ(nameless.QueryId(&id), E_INVALIDARG);
}

TEST_F(BasePinTest, QueryAcceptAnswersSOkOrSFalseOnly)
{
    COwnedMediaType type = Type(MEDIASUBTYPE_YUY2);
    for (HRESULT refusal : {E_FAIL, E_OUTOFMEMORY, VFW_E_TYPE_NOT_ACCEPTED, S_FALSE}) {
        RefuseAllWith(refusal);
        EXPECT_EQ(pin->QueryAccept(&type), S_FALSE) << refusal;
    }
    pin->checkType = nullptr;
    EXPECT_EQ(pin->QueryAccept(&type), S_OK);
    EXPECT_EQ(pin->QueryAccept(nullptr), E_POINTER);
    EXPECT_FALSE(pin->IsConnected());
}

TEST_F(BasePinTest, NewSegmentKeepsTheSegment)
{
    EXPECT_EQ(pin->NewSegment(10000, 20000000, 1.5), S_OK);
    EXPECT_EQ(pin->SegmentStart(), 10000);
    EXPECT_EQ(pin->SegmentStop(), 20000000);
    EXPECT_EQ(pin->SegmentRate(), 1.5);
}

// --- References ---

TEST_F(BasePinTest, EveryPinInterfaceCountsOnTheFilter)
{
    ULONG start = filter->References();
    IPin* asPin = filter->PinInterface();
    EXPECT_EQ(asPin->AddRef(), start + 1);
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
    EXPECT_EQ(asPin->Release(), start);
    EXPECT_EQ(filter->References(), start);

    // So does the media type enumerator (the base pin offers nothing of its own).
    ComPtr<IEnumMediaTypes> types;
    ASSERT_EQ(pin->EnumMediaTypes(types.Out()), S_OK);
    EXPECT_EQ(filter->References(), start + 1);
    AM_MEDIA_TYPE* record = nullptr;
    ULONG fetched = 7;
    EXPECT_EQ(types->Next(1, &record, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 0u);
    types.Reset();
    EXPECT_EQ(filter->References(), start);
    EXPECT_EQ(pin->EnumMediaTypes(nullptr), E_POINTER);
}

}  // namespace
