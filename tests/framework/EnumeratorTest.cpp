// The pin and media type enumerators: Next, Skip, Reset and Clone, the out-of-sync rules (which differ
// between the two), ownership of what they hand out, and the pointer list behind the pin enumerator.
#include <gtest/gtest.h>

#include <windows.h>
#include <strmif.h>
#include <uuids.h>
#include <vfwmsgs.h>

#include <utility>
#include <vector>

#include "AllocationFailure.h"
#include "CTaskMediaType.h"
#include "CPointerList.h"
#include "ComPtr.h"
#include "TaskMemoryFailure.h"
#include "TestFilter.h"
#include "TypeAttachment.h"
#include "VideoMediaType.h"

namespace {

ComPtr<IEnumPins> PinsOf(TestFilter* filter)
{
    ComPtr<IEnumPins> pins;
    EXPECT_EQ(filter->EnumPins(pins.Out()), S_OK);
    return pins;
}

// The media type enumerator the pin hands out.
ComPtr<IEnumMediaTypes> TypesOf(ScriptedPin* pin)
{
    ComPtr<IEnumMediaTypes> types;
    EXPECT_EQ(pin->EnumMediaTypes(types.Out()), S_OK);
    return types;
}

// What Next answered and the pins it handed out, in order; as many as it reported fetching.
using Fetch = std::pair<HRESULT, std::vector<IPin*>>;

// Calls Next for `count` pins and gives back the references it handed out (the filter keeps its pins alive).
Fetch Next(IEnumPins* pins, ULONG count)
{
    IPin* out[4] = {};
    ULONG fetched = 0xFFFF;
    Fetch answer{pins->Next(count, out, &fetched), {}};
    for (IPin* pin : out) {
        if (pin != nullptr) {
            answer.second.push_back(pin);
            pin->Release();
        }
    }
    EXPECT_EQ(fetched, answer.second.size());
    return answer;
}

}  // namespace

// ---- Pin enumerator ----

// An enumerator over a filter with pins A and B.
class PinEnumeratorTest : public testing::Test {
protected:
    ComPtr<TestFilter> filter{new TestFilter({L"A", L"B"})};
    IPin* const a = filter->Pin(0)->GetPinInterface();
    IPin* const b = filter->Pin(1)->GetPinInterface();
    const LONG before = filter->References();
    ComPtr<IEnumPins> pins = PinsOf(filter.Get());
};

TEST_F(PinEnumeratorTest, HandsOutEachPinOnceUntilResetAndHoldsTheFilter)
{
    EXPECT_EQ(filter->References(), before + 1);
    IPin* held = nullptr;
    ULONG fetched = 0;
    EXPECT_EQ(pins->Next(1, &held, &fetched), S_OK);
    EXPECT_EQ(fetched, 1u);
    EXPECT_EQ(held, a);
    EXPECT_EQ(filter->References(), before + 2);
    PIN_DIRECTION direction = PINDIR_OUTPUT;
    EXPECT_EQ(held->QueryDirection(&direction), S_OK);  // a usable IPin, not just an address
    EXPECT_EQ(direction, PINDIR_INPUT);
    held->Release();

    EXPECT_EQ(Next(pins.Get(), 1), (Fetch{S_OK, {b}}));
    EXPECT_EQ(Next(pins.Get(), 1), (Fetch{S_FALSE, {}}));
    EXPECT_EQ(pins->Reset(), S_OK);
    EXPECT_EQ(Next(pins.Get(), 1), (Fetch{S_OK, {a}}));
    pins.Reset();
    EXPECT_EQ(filter->References(), before);
}

TEST_F(PinEnumeratorTest, NextAndSkipCountsAndArgumentRules)
{
    EXPECT_EQ(Next(pins.Get(), 3), (Fetch{S_FALSE, {a, b}}));

    pins->Reset();
    IPin* noCount[3] = {};
    EXPECT_EQ(pins->Next(3, noCount, nullptr), E_INVALIDARG);
    EXPECT_EQ(noCount[0], nullptr);
    EXPECT_EQ(pins->Next(1, noCount, nullptr), S_OK);
    EXPECT_EQ(noCount[0], a);
    noCount[0]->Release();
    EXPECT_EQ(Next(pins.Get(), 0), (Fetch{S_OK, {}}));
    ULONG fetched = 0;
    EXPECT_EQ(pins->Next(1, nullptr, &fetched), E_POINTER);

    // A skip beyond the end leaves the position where it was.
    pins->Reset();
    EXPECT_EQ(pins->Skip(3), S_FALSE);
    EXPECT_EQ(pins->Skip(2), S_OK);  // would fail had the first Skip moved
    EXPECT_EQ(Next(pins.Get(), 1), (Fetch{S_FALSE, {}}));
}

TEST_F(PinEnumeratorTest, AfterAPinListChangeNextRestartsButSkipsPinsAlreadyHandedOut)
{
    ASSERT_EQ(Next(pins.Get(), 1).first, S_OK);
    filter->ChangePinListVersion();

    EXPECT_EQ(pins->Skip(1), VFW_E_ENUM_OUT_OF_SYNC);
    IEnumPins* clone = reinterpret_cast<IEnumPins*>(1);
    EXPECT_EQ(pins->Clone(&clone), VFW_E_ENUM_OUT_OF_SYNC);
    EXPECT_EQ(clone, nullptr);

    EXPECT_EQ(Next(pins.Get(), 2), (Fetch{S_FALSE, {b}}));
    EXPECT_EQ(pins->Skip(0), S_OK);  // in step again after the refresh
    ASSERT_EQ(pins->Reset(), S_OK);
    EXPECT_EQ(Next(pins.Get(), 2), (Fetch{S_OK, {a, b}}));
}

TEST_F(PinEnumeratorTest, PinMissingDuringNextIsOutOfSyncAndTakesBackWhatThisCallHandedOut)
{
    filter->missingPinAt = 1;
    EXPECT_EQ(Next(pins.Get(), 2), (Fetch{VFW_E_ENUM_OUT_OF_SYNC, {}}));
    EXPECT_EQ(filter->References(), before + 1);
}

TEST_F(PinEnumeratorTest, CloneStartsWhereTheSourceIsAndMovesOnItsOwn)
{
    ASSERT_EQ(Next(pins.Get(), 1).first, S_OK);
    ComPtr<IEnumPins> clone;
    ASSERT_EQ(pins->Clone(clone.Out()), S_OK);
    EXPECT_EQ(Next(pins.Get(), 1), (Fetch{S_OK, {b}}));
    pins.Reset();

    EXPECT_EQ(Next(clone.Get(), 1), (Fetch{S_OK, {b}}));
    // The clone also knows the pins the source had handed out before the clone was made.
    filter->ChangePinListVersion();
    EXPECT_EQ(Next(clone.Get(), 2), (Fetch{S_FALSE, {}}));
    clone.Reset();
    EXPECT_EQ(filter->References(), before);
}

// Neither an enumerator nor a clone that cannot be made completely is handed out, and neither keeps the filter.
TEST_F(PinEnumeratorTest, EnumeratorOrCloneThatCannotBeMadeCompletelyIsOutOfMemory)
{
    IEnumPins* none = reinterpret_cast<IEnumPins*>(1);
    {
        AllocationFailureScope failure(0);
        EXPECT_EQ(filter->EnumPins(&none), E_OUTOFMEMORY);
        EXPECT_TRUE(failure.FailureInjected());
    }
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(filter->EnumPins(nullptr), E_POINTER);
    ASSERT_EQ(Next(pins.Get(), 1).first, S_OK);

    // 0: the enumerator itself; 1: the copy of its list of returned pins.
    for (int failing = 0; failing < 2; ++failing) {
        IEnumPins* clone = reinterpret_cast<IEnumPins*>(1);
        AllocationFailureScope failure(failing);
        EXPECT_EQ(pins->Clone(&clone), E_OUTOFMEMORY) << "allocation " << failing;
        EXPECT_TRUE(failure.FailureInjected());
        EXPECT_EQ(clone, nullptr);
    }
    EXPECT_EQ(filter->References(), before + 1);
    EXPECT_EQ(pins->Clone(nullptr), E_POINTER);
}

// ---- Media type enumerator ----

// Pin A of a filter, and what its types may carry as pUnk; the attachment goes last and fails the test if a
// record still holds it.
class MediaTypeEnumeratorTest : public testing::Test {
protected:
    TypeAttachment attachment;
    ComPtr<TestFilter> filter{new TestFilter({L"A"})};
    ScriptedPin* pin = filter->Pin(0);
    const LONG before = filter->References();
};

TEST_F(MediaTypeEnumeratorTest, PinWithoutTypesEndsAtOnceButThePositionStillAdvances)
{
    ComPtr<IEnumMediaTypes> types = TypesOf(pin);
    AM_MEDIA_TYPE* records[2] = {};
    ULONG fetched = 0xFFFF;
    EXPECT_EQ(types->Next(1, records, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 0u);
    EXPECT_EQ(types->Next(1, records, &fetched), S_FALSE);

    EXPECT_EQ(pin->offeredTypeRequests, (std::vector<int>{0, 1}));
    EXPECT_EQ(records[0], nullptr);
}

// A huge skip does not wrap to a negative index.
TEST_F(MediaTypeEnumeratorTest, SkipProbesTheLastSkippedTypeAndKeepsThePositionAdvanced)
{
    pin->offeredTypes.push_back(MakeTaggedVideoType(MEDIASUBTYPE_YUY2));
    ComPtr<IEnumMediaTypes> types = TypesOf(pin);
    EXPECT_EQ(types->Skip(1), S_OK);
    EXPECT_EQ(types->Skip(1), S_FALSE);
    EXPECT_EQ(types->Skip(0), S_OK);
    AM_MEDIA_TYPE* record = nullptr;
    EXPECT_EQ(types->Next(1, &record, nullptr), S_FALSE);
    EXPECT_EQ(pin->offeredTypeRequests, (std::vector<int>{0, 1, 2}));

    ASSERT_EQ(types->Reset(), S_OK);
    ASSERT_EQ(types->Skip(1), S_OK);
    pin->offeredTypeRequests.clear();
    EXPECT_EQ(types->Skip(0xFFFFFFFF), S_FALSE);
    ASSERT_EQ(pin->offeredTypeRequests.size(), 1u);
    EXPECT_GT(pin->offeredTypeRequests[0], 0);
}

TEST_F(MediaTypeEnumeratorTest, ChangedTypeListIsRefusedUntilReset)
{
    pin->offeredTypes.push_back(MakeTaggedVideoType(MEDIASUBTYPE_YUY2));
    ComPtr<IEnumMediaTypes> types = TypesOf(pin);
    pin->ChangeTypeListVersion();

    AM_MEDIA_TYPE* records[2] = {};
    EXPECT_EQ(types->Next(2, records, nullptr), VFW_E_ENUM_OUT_OF_SYNC);
    EXPECT_EQ(types->Skip(0), S_OK);
    EXPECT_EQ(types->Skip(1), VFW_E_ENUM_OUT_OF_SYNC);
    IEnumMediaTypes* clone = reinterpret_cast<IEnumMediaTypes*>(1);
    EXPECT_EQ(types->Clone(&clone), VFW_E_ENUM_OUT_OF_SYNC);
    EXPECT_EQ(clone, nullptr);
    EXPECT_TRUE(pin->offeredTypeRequests.empty());

    ASSERT_EQ(types->Reset(), S_OK);
    CTaskMediaType record;
    EXPECT_EQ(types->Next(1, record.Out(), nullptr), S_OK);
    ASSERT_TRUE(record);
    EXPECT_TRUE(IsEqualGUID(record->subtype, MEDIASUBTYPE_YUY2));
}

TEST_F(MediaTypeEnumeratorTest, ReturnedRecordsBelongToTheCaller)
{
    pin->offeredTypes.push_back(MakeTaggedVideoType(MEDIASUBTYPE_YUY2, 7));
    pin->offeredTypes.push_back(attachment.Type(MEDIASUBTYPE_RGB24, 9));  // the pin's own type holds one
    ComPtr<IEnumMediaTypes> types = TypesOf(pin);

    AM_MEDIA_TYPE* records[3] = {};
    ULONG fetched = 0;
    EXPECT_EQ(types->Next(3, records, &fetched), S_FALSE);
    CTaskMediaType first(records[0]);
    CTaskMediaType second(records[1]);
    ASSERT_EQ(fetched, 2u);
    EXPECT_EQ(records[2], nullptr);
    EXPECT_EQ(attachment.References(), 2);
    ASSERT_EQ(records[1]->cbFormat, 88u);
    EXPECT_NE(records[1]->pbFormat, pin->offeredTypes[1].pbFormat);
    EXPECT_EQ(records[1]->pbFormat[0], 9);
    EXPECT_EQ(records[1]->pUnk, attachment.AsUnknown());

    first.Reset();
    second.Reset();
    EXPECT_EQ(attachment.References(), 1);
    ASSERT_EQ(pin->offeredTypes[1].cbFormat, 88u);
    EXPECT_EQ(pin->offeredTypes[1].pbFormat[0], 9);

    // A record that cannot be allocated ends Next, and the pin's copy it was made from is freed.
    ASSERT_EQ(types->Reset(), S_OK);
    ASSERT_EQ(types->Skip(1), S_OK);
    AM_MEDIA_TYPE* record = reinterpret_cast<AM_MEDIA_TYPE*>(1);
    fetched = 0xFFFF;
    {
        // 0: the format block of the pin's copy; 1: the record handed out.
        TaskMemoryFailureScope failure(1);
        EXPECT_EQ(types->Next(1, &record, &fetched), S_FALSE);
        EXPECT_TRUE(failure.FailureInjected());
    }
    EXPECT_EQ(fetched, 0u);
    EXPECT_EQ(record, nullptr);
    EXPECT_EQ(attachment.References(), 1);
}

TEST_F(MediaTypeEnumeratorTest, CloneStartsWhereTheSourceIsAndKeepsThePinAlive)
{
    ComPtr<IEnumMediaTypes> source = TypesOf(pin);
    EXPECT_EQ(filter->References(), before + 1);
    ASSERT_EQ(source->Skip(3), S_FALSE);

    ComPtr<IEnumMediaTypes> clone;
    ASSERT_EQ(source->Clone(clone.Out()), S_OK);
    EXPECT_EQ(filter->References(), before + 2);
    source.Reset();
    pin->offeredTypeRequests.clear();

    AM_MEDIA_TYPE* record = nullptr;
    EXPECT_EQ(clone->Next(1, &record, nullptr), S_FALSE);
    EXPECT_EQ(clone->Next(1, &record, nullptr), S_FALSE);
    EXPECT_EQ(pin->offeredTypeRequests, (std::vector<int>{3, 4}));
    {
        IEnumMediaTypes* failed = reinterpret_cast<IEnumMediaTypes*>(1);
        AllocationFailureScope failure(0);
        EXPECT_EQ(clone->Clone(&failed), E_OUTOFMEMORY);
        EXPECT_TRUE(failure.FailureInjected());
        EXPECT_EQ(failed, nullptr);
    }
    clone.Reset();
    EXPECT_EQ(filter->References(), before);
}

// Both enumerators share one IUnknown: IUnknown and their own interface, nothing else.
TEST(EnumeratorUnknown, AnswersIUnknownAndItsOwnInterfaceOnly)
{
    ComPtr<TestFilter> filter(new TestFilter({L"A"}));
    ComPtr<IEnumPins> pins = PinsOf(filter.Get());
    ComPtr<IEnumMediaTypes> types = TypesOf(filter->Pin(0));
    struct Case {
        IUnknown* object;
        const IID* own;
        const IID* foreign;
    };
    for (const Case& c : {Case{pins.Get(), &IID_IEnumPins, &IID_IEnumMediaTypes},
                          Case{types.Get(), &IID_IEnumMediaTypes, &IID_IEnumPins}}) {
        void* answer = &answer;
        EXPECT_EQ(c.object->QueryInterface(*c.foreign, &answer), E_NOINTERFACE);
        EXPECT_EQ(answer, nullptr);
        for (const IID* iid : {&IID_IUnknown, c.own}) {
            ASSERT_EQ(c.object->QueryInterface(*iid, &answer), S_OK);
            EXPECT_EQ(answer, static_cast<void*>(c.object));
            EXPECT_EQ(c.object->Release(), 1u);  // the reference the query took
        }
        EXPECT_EQ(c.object->QueryInterface(*c.own, nullptr), E_POINTER);
    }
    EXPECT_EQ(types->Next(1, nullptr, nullptr), E_POINTER);
    EXPECT_EQ(filter->Pin(0)->EnumMediaTypes(nullptr), E_POINTER);
}

// ---- Pointer list ----

TEST(PointerListTest, AppendAllStopsAtTheFirstNodeThatCannotBeAllocatedAndBothEndsStayConsistent)
{
    int items[3];
    CPointerList source;
    for (int& item : items)
        ASSERT_NE(source.Append(&item), nullptr);

    CPointerList copy;
    {
        AllocationFailureScope failure(1);
        EXPECT_FALSE(copy.AppendAll(source));
        EXPECT_TRUE(failure.FailureInjected());
    }
    EXPECT_EQ(copy.Count(), 1);
    EXPECT_NE(copy.Contains(&items[0]), nullptr);
    EXPECT_EQ(copy.Contains(&items[1]), nullptr);

    EXPECT_TRUE(copy.AppendAll(source));
    EXPECT_EQ(copy.Count(), 4);
    EXPECT_EQ(copy.Contains(&items[0]), copy.First());  // the first of two nodes holding it
    EXPECT_EQ(copy.Last()->item, &items[2]);

    // RemoveLast and Clear keep both ends consistent.
    CPointerList list;
    list.Append(&items[0]);
    list.Append(&items[1]);

    list.RemoveLast();
    EXPECT_EQ(list.Count(), 1);
    EXPECT_EQ(list.First(), list.Last());
    EXPECT_EQ(list.Last()->next, nullptr);
    list.RemoveLast();
    EXPECT_EQ(list.First(), nullptr);
    EXPECT_EQ(list.Last(), nullptr);
    list.RemoveLast();  // empty: nothing happens
    EXPECT_EQ(list.Count(), 0);
    list.Append(&items[1]);
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.First(), nullptr);
    EXPECT_EQ(list.Contains(&items[1]), nullptr);
}
