// The pin and media type enumerators: Next, Skip, Reset and Clone, the out-of-sync rules (which differ
// between the two), ownership of what they hand out, and the pointer list behind the pin enumerator.
#include <gtest/gtest.h>

#include <windows.h>
#include <strmif.h>
#include <uuids.h>
#include <vfwmsgs.h>

#include <vector>

#include "AllocationFailure.h"
#include "CEnumMediaTypes.h"
#include "CTaskMediaType.h"
#include "CPointerList.h"
#include "ComPtr.h"
#include "CountingDouble.h"
#include "TaskMemoryFailure.h"
#include "TestFilter.h"
#include "VideoMediaType.h"

namespace {

ComPtr<IEnumPins> PinsOf(TestFilter* filter)
{
    ComPtr<IEnumPins> pins;
    EXPECT_EQ(filter->EnumPins(pins.Out()), S_OK);
    return pins;
}

// The media type enumerator as the pin hands it out: a new object with a count of 1 owned by the caller.
ComPtr<IEnumMediaTypes> TypesOf(ScriptedPin* pin)
{
    ComPtr<IEnumMediaTypes> types;
    types.Attach(new CEnumMediaTypes(pin, nullptr));
    return types;
}

// Takes over the references that Next handed out, so that every test releases them the same way.
struct FetchedPins {
    IPin* pins[4] = {};
    ULONG fetched = 0xFFFF;
    ~FetchedPins()
    {
        for (IPin* pin : pins)
            if (pin != nullptr)
                pin->Release();
    }
};

class FakeUnknown : public CountingDouble<IUnknown> {
};

}  // namespace

// ---- Pin enumerator ----

TEST(PinEnumeratorTest, HandsOutEachPinOnceUntilResetAndHoldsTheFilter)
{
    ComPtr<TestFilter> filter(new TestFilter({L"A"}));
    LONG before = filter->References();
    ComPtr<IEnumPins> pins = PinsOf(filter.Get());
    EXPECT_EQ(filter->References(), before + 1);

    {
        FetchedPins first;
        EXPECT_EQ(pins->Next(1, first.pins, &first.fetched), S_OK);
        EXPECT_EQ(first.fetched, 1u);
        EXPECT_EQ(first.pins[0], filter->Pin(0)->GetPinInterface());
        EXPECT_EQ(filter->References(), before + 2);
        PIN_DIRECTION direction = PINDIR_OUTPUT;
        EXPECT_EQ(first.pins[0]->QueryDirection(&direction), S_OK);  // a usable IPin, not just an address
        EXPECT_EQ(direction, PINDIR_INPUT);

        FetchedPins none;
        EXPECT_EQ(pins->Next(1, none.pins, &none.fetched), S_FALSE);
        EXPECT_EQ(none.fetched, 0u);

        EXPECT_EQ(pins->Reset(), S_OK);
        FetchedPins again;
        EXPECT_EQ(pins->Next(1, again.pins, &again.fetched), S_OK);
        EXPECT_EQ(again.pins[0], filter->Pin(0)->GetPinInterface());
    }
    pins.Reset();
    EXPECT_EQ(filter->References(), before);
}

TEST(PinEnumeratorTest, NextAndSkipCountsAndArgumentRules)
{
    ComPtr<TestFilter> filter(new TestFilter({L"A"}));
    ComPtr<IEnumPins> pins = PinsOf(filter.Get());

    FetchedPins three;
    EXPECT_EQ(pins->Next(3, three.pins, &three.fetched), S_FALSE);
    EXPECT_EQ(three.fetched, 1u);

    pins->Reset();
    FetchedPins noCount;
    EXPECT_EQ(pins->Next(2, noCount.pins, nullptr), E_INVALIDARG);
    EXPECT_EQ(noCount.pins[0], nullptr);
    EXPECT_EQ(pins->Next(1, noCount.pins, nullptr), S_OK);
    EXPECT_NE(noCount.pins[0], nullptr);

    FetchedPins zero;
    EXPECT_EQ(pins->Next(0, zero.pins, &zero.fetched), S_OK);
    EXPECT_EQ(zero.fetched, 0u);
    EXPECT_EQ(pins->Next(1, nullptr, &zero.fetched), E_POINTER);

    // A skip beyond the end leaves the position where it was.
    pins->Reset();
    EXPECT_EQ(pins->Skip(2), S_FALSE);
    EXPECT_EQ(pins->Skip(1), S_OK);  // would fail had the first Skip moved
    FetchedPins none;
    EXPECT_EQ(pins->Next(1, none.pins, &none.fetched), S_FALSE);
    EXPECT_EQ(none.fetched, 0u);
}

TEST(PinEnumeratorTest, AfterAPinListChangeNextRestartsButSkipsPinsAlreadyHandedOut)
{
    ComPtr<TestFilter> filter(new TestFilter({L"A", L"B"}));
    ComPtr<IEnumPins> pins = PinsOf(filter.Get());
    FetchedPins first;
    ASSERT_EQ(pins->Next(1, first.pins, &first.fetched), S_OK);
    filter->ChangePinListVersion();

    EXPECT_EQ(pins->Skip(1), VFW_E_ENUM_OUT_OF_SYNC);
    IEnumPins* clone = reinterpret_cast<IEnumPins*>(1);
    EXPECT_EQ(pins->Clone(&clone), VFW_E_ENUM_OUT_OF_SYNC);
    EXPECT_EQ(clone, nullptr);

    FetchedPins refreshed;
    EXPECT_EQ(pins->Next(2, refreshed.pins, &refreshed.fetched), S_FALSE);
    EXPECT_EQ(refreshed.fetched, 1u);
    EXPECT_EQ(refreshed.pins[0], filter->Pin(1)->GetPinInterface());
    EXPECT_EQ(pins->Skip(0), S_OK);  // in step again after the refresh

    ASSERT_EQ(pins->Reset(), S_OK);
    FetchedPins all;
    EXPECT_EQ(pins->Next(2, all.pins, &all.fetched), S_OK);
    EXPECT_EQ(all.pins[0], filter->Pin(0)->GetPinInterface());
    EXPECT_EQ(all.pins[1], filter->Pin(1)->GetPinInterface());
}

TEST(PinEnumeratorTest, PinMissingDuringNextIsOutOfSyncAndTakesBackWhatThisCallHandedOut)
{
    ComPtr<TestFilter> filter(new TestFilter({L"A", L"B"}));
    ComPtr<IEnumPins> pins = PinsOf(filter.Get());
    LONG before = filter->References();
    filter->missingPinAt = 1;

    FetchedPins broken;
    EXPECT_EQ(pins->Next(2, broken.pins, &broken.fetched), VFW_E_ENUM_OUT_OF_SYNC);

    EXPECT_EQ(broken.fetched, 0u);
    EXPECT_EQ(broken.pins[0], nullptr);
    EXPECT_EQ(filter->References(), before);
}

TEST(PinEnumeratorTest, CloneStartsWhereTheSourceIsAndMovesOnItsOwn)
{
    ComPtr<TestFilter> filter(new TestFilter({L"A", L"B"}));
    LONG before = filter->References();
    {
        ComPtr<IEnumPins> source = PinsOf(filter.Get());
        FetchedPins first;
        ASSERT_EQ(source->Next(1, first.pins, &first.fetched), S_OK);

        ComPtr<IEnumPins> clone;
        ASSERT_EQ(source->Clone(clone.Out()), S_OK);
        FetchedPins fromSource;
        EXPECT_EQ(source->Next(1, fromSource.pins, &fromSource.fetched), S_OK);
        EXPECT_EQ(fromSource.pins[0], filter->Pin(1)->GetPinInterface());
        source.Reset();

        FetchedPins fromClone;
        EXPECT_EQ(clone->Next(1, fromClone.pins, &fromClone.fetched), S_OK);
        EXPECT_EQ(fromClone.pins[0], filter->Pin(1)->GetPinInterface());
        // The clone also knows the pins the source had handed out before the clone was made.
        filter->ChangePinListVersion();
        FetchedPins refreshed;
        EXPECT_EQ(clone->Next(2, refreshed.pins, &refreshed.fetched), S_FALSE);
        EXPECT_EQ(refreshed.fetched, 0u);
    }
    EXPECT_EQ(filter->References(), before);
}

// Neither an enumerator nor a clone that cannot be made completely is handed out, and neither keeps the filter.
TEST(PinEnumeratorTest, EnumeratorOrCloneThatCannotBeMadeCompletelyIsOutOfMemory)
{
    ComPtr<TestFilter> filter(new TestFilter({L"A", L"B"}));
    IEnumPins* none = reinterpret_cast<IEnumPins*>(1);
    {
        AllocationFailureScope failure(0);
        EXPECT_EQ(filter->EnumPins(&none), E_OUTOFMEMORY);
        EXPECT_TRUE(failure.FailureInjected());
    }
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(filter->EnumPins(nullptr), E_POINTER);
    ComPtr<IEnumPins> pins = PinsOf(filter.Get());
    FetchedPins first;
    ASSERT_EQ(pins->Next(1, first.pins, &first.fetched), S_OK);
    LONG before = filter->References();

    // 0: the enumerator itself; 1: the copy of its list of returned pins.
    for (int failing = 0; failing < 2; ++failing) {
        IEnumPins* clone = reinterpret_cast<IEnumPins*>(1);
        AllocationFailureScope failure(failing);
        EXPECT_EQ(pins->Clone(&clone), E_OUTOFMEMORY) << "allocation " << failing;
        EXPECT_TRUE(failure.FailureInjected());
        EXPECT_EQ(clone, nullptr);
    }
    EXPECT_EQ(filter->References(), before);
    EXPECT_EQ(pins->Clone(nullptr), E_POINTER);
}

// ---- Media type enumerator ----

TEST(MediaTypeEnumeratorTest, PinWithoutTypesEndsAtOnceButThePositionStillAdvances)
{
    ComPtr<TestFilter> filter(new TestFilter({L"A"}));
    ScriptedPin* pin = filter->Pin(0);
    ComPtr<IEnumMediaTypes> types = TypesOf(pin);

    AM_MEDIA_TYPE* records[2] = {};
    ULONG fetched = 0xFFFF;
    EXPECT_EQ(types->Next(1, records, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 0u);
    EXPECT_EQ(types->Next(1, records, &fetched), S_FALSE);

    EXPECT_EQ(pin->offeredTypeRequests, (std::vector<int>{0, 1}));
    EXPECT_EQ(records[0], nullptr);
}

// An enumerator over a pin that offers one type (YUY2).
class OneTypeEnumeratorTest : public testing::Test {
protected:
    void SetUp() override
    {
        pin->OfferType(MakeTaggedVideoType(MEDIASUBTYPE_YUY2));
        types = TypesOf(pin);
    }

    ComPtr<TestFilter> filter{new TestFilter({L"A"})};
    ScriptedPin* pin = filter->Pin(0);
    ComPtr<IEnumMediaTypes> types;
};

// A huge skip does not wrap to a negative index.
TEST_F(OneTypeEnumeratorTest, SkipProbesTheLastSkippedTypeAndKeepsThePositionAdvanced)
{
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

TEST_F(OneTypeEnumeratorTest, ChangedTypeListIsRefusedUntilReset)
{
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

TEST(MediaTypeEnumeratorTest, ReturnedRecordsBelongToTheCaller)
{
    FakeUnknown attachment;
    {
        ComPtr<TestFilter> filter(new TestFilter({L"A"}));
        ScriptedPin* pin = filter->Pin(0);
        pin->OfferType(MakeTaggedVideoType(MEDIASUBTYPE_YUY2, 7));
        pin->OfferType(MakeTaggedVideoType(MEDIASUBTYPE_RGB24, 9));
        pin->offeredTypes[1].pUnk = attachment.AsUnknown();
        attachment.AddRef();  // the pin's own type holds one
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
    attachment.ExpectBalanced();
}

TEST(MediaTypeEnumeratorTest, CloneStartsWhereTheSourceIsAndKeepsThePinAlive)
{
    ComPtr<TestFilter> filter(new TestFilter({L"A"}));
    ScriptedPin* pin = filter->Pin(0);
    LONG before = filter->References();
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

        IEnumMediaTypes* failed = reinterpret_cast<IEnumMediaTypes*>(1);
        AllocationFailureScope failure(0);
        EXPECT_EQ(clone->Clone(&failed), E_OUTOFMEMORY);
        EXPECT_TRUE(failure.FailureInjected());
        EXPECT_EQ(failed, nullptr);
    }
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
}

// ---- Pointer list ----

TEST(PointerListTest, AppendAllStopsAtTheFirstNodeThatCannotBeAllocated)
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
}

TEST(PointerListTest, RemoveLastAndClearKeepBothEndsConsistent)
{
    int items[2];
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

    {
        AllocationFailureScope failure(0);
        EXPECT_EQ(list.Append(&items[0]), nullptr);
    }
    EXPECT_EQ(list.Count(), 0);
    list.Append(&items[1]);
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.First(), nullptr);
    EXPECT_EQ(list.Contains(&items[1]), nullptr);
}
