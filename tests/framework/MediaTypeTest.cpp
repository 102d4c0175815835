// Media type records: the default type, deep copies with their format blocks and pUnk references, value
// semantics of COwnedMediaType (including failed copies), and the two comparison tests.
#include <gtest/gtest.h>
#include <windows.h>
#include <dshow.h>

#include <cstring>

#include "COwnedMediaType.h"
#include "CountingDouble.h"
#include "TaskMemoryFailure.h"

namespace {

// What a record can carry in pUnk: any counted object.
struct FakeAttachment : CountingDouble<IPersist> {
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID*) override { UNEXPECTED_CALL(); }
};

const BYTE blockBytes[4] = {0x11, 0x22, 0x33, 0x44};

// A video type with a private copy of `bytes` as its format block and, when given, a counted pUnk.
void FillVideoRecord(AM_MEDIA_TYPE* type, const BYTE* bytes, ULONG size, IUnknown* attachment = nullptr)
{
    MediaTypeReset(type);
    type->majortype = MEDIATYPE_Video;
    type->subtype = MEDIASUBTYPE_YUY2;
    type->formattype = FORMAT_VideoInfo;
    type->bFixedSizeSamples = FALSE;
    type->bTemporalCompression = TRUE;
    type->lSampleSize = 614400;
    if (size != 0) {
        type->pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(size));
        std::memcpy(type->pbFormat, bytes, size);
        type->cbFormat = size;
    }
    if (attachment != nullptr) {
        attachment->AddRef();
        type->pUnk = attachment;
    }
}

// Every field but the format block pointer.
void ExpectSameFieldsApartFromBlock(const AM_MEDIA_TYPE& a, const AM_MEDIA_TYPE& b)
{
    EXPECT_TRUE(IsEqualGUID(a.majortype, b.majortype));
    EXPECT_TRUE(IsEqualGUID(a.subtype, b.subtype));
    EXPECT_TRUE(IsEqualGUID(a.formattype, b.formattype));
    EXPECT_EQ(a.bFixedSizeSamples, b.bFixedSizeSamples);
    EXPECT_EQ(a.bTemporalCompression, b.bTemporalCompression);
    EXPECT_EQ(a.lSampleSize, b.lSampleSize);
    EXPECT_EQ(a.pUnk, b.pUnk);
    EXPECT_EQ(a.cbFormat, b.cbFormat);
}

bool BlockHolds(const AM_MEDIA_TYPE& type, const BYTE* bytes, ULONG size)
{
    return type.cbFormat == size && type.pbFormat != nullptr && std::memcmp(type.pbFormat, bytes, size) == 0;
}

}  // namespace

TEST(MediaType, NewOwnedTypeIsTheDefaultType)
{
    COwnedMediaType type;
    AM_MEDIA_TYPE expected;
    std::memset(&expected, 0, sizeof(expected));
    expected.bFixedSizeSamples = TRUE;
    expected.lSampleSize = 1;
    EXPECT_EQ(std::memcmp(&type, &expected, sizeof(expected)), 0);
}

TEST(MediaType, ResetForgetsWhatTheRecordHeldWithoutFreeingIt)
{
    FakeAttachment attachment;
    AM_MEDIA_TYPE type;
    FillVideoRecord(&type, blockBytes, sizeof(blockBytes), attachment.AsUnknown());
    AM_MEDIA_TYPE held = type;

    MediaTypeReset(&type);
    COwnedMediaType defaultType;
    EXPECT_EQ(std::memcmp(&type, &defaultType, sizeof(type)), 0);
    EXPECT_EQ(attachment.References(), 1) << "Reset released pUnk";
    EXPECT_EQ(std::memcmp(held.pbFormat, blockBytes, sizeof(blockBytes)), 0);

    MediaTypeReleaseFormat(&held);
}

TEST(MediaType, ReleaseFormatFreesTheBlockAndDropsPUnkButKeepsTheRest)
{
    FakeAttachment attachment;
    AM_MEDIA_TYPE type;
    FillVideoRecord(&type, blockBytes, sizeof(blockBytes), attachment.AsUnknown());

    MediaTypeReleaseFormat(&type);
    EXPECT_EQ(type.cbFormat, 0u);
    EXPECT_EQ(type.pbFormat, nullptr);
    EXPECT_EQ(type.pUnk, nullptr);
    EXPECT_EQ(attachment.References(), 0);
    EXPECT_TRUE(IsEqualGUID(type.majortype, MEDIATYPE_Video));
    EXPECT_TRUE(IsEqualGUID(type.formattype, FORMAT_VideoInfo));
    EXPECT_EQ(type.lSampleSize, 614400u);
    EXPECT_EQ(type.bTemporalCompression, TRUE);
}

// A record with a block gets its own equal copy (one task-memory request); one without a block allocates
// nothing and owns nothing, whatever pbFormat holds.
TEST(MediaType, DuplicateGivesTheTargetItsOwnEqualBlockOrNone)
{
    BYTE notOwned[4] = {1, 2, 3, 4};
    for (ULONG size : {static_cast<ULONG>(sizeof(blockBytes)), 0ul}) {
        AM_MEDIA_TYPE source;
        FillVideoRecord(&source, blockBytes, size);
        if (size == 0)
            source.pbFormat = notOwned;  // cbFormat 0: not a block, never freed
        AM_MEDIA_TYPE target;
        {
            TaskMemoryFailureScope watch(-1);
            EXPECT_EQ(MediaTypeDuplicate(&target, &source), S_OK);
            EXPECT_EQ(watch.AllocationsSeen(), size != 0 ? 1 : 0);
        }
        ExpectSameFieldsApartFromBlock(target, source);
        EXPECT_EQ(target.pbFormat == source.pbFormat, size == 0);
        // Freeing one record leaves the other's block intact; a record without a block leaves the pointer alone.
        MediaTypeReleaseFormat(&source);
        if (size != 0) {
            EXPECT_TRUE(BlockHolds(target, blockBytes, size));
            MediaTypeReleaseFormat(&target);
        } else {
            EXPECT_EQ(target.pbFormat, notOwned);
            MediaTypeReleaseFormat(&target);
            EXPECT_EQ(target.pbFormat, notOwned);
        }
    }
}

TEST(MediaType, CopiesTakeAndDropOnePUnkReferenceEach)
{
    FakeAttachment attachment;
    COwnedMediaType source;
    FillVideoRecord(&source, blockBytes, sizeof(blockBytes), attachment.AsUnknown());
    ASSERT_EQ(attachment.References(), 1);

    AM_MEDIA_TYPE duplicate;
    ASSERT_EQ(MediaTypeDuplicate(&duplicate, &source), S_OK);
    EXPECT_EQ(duplicate.pUnk, attachment.AsUnknown());
    EXPECT_EQ(attachment.References(), 2);
    MediaTypeReleaseFormat(&duplicate);
    EXPECT_EQ(attachment.References(), 1);
    {
        COwnedMediaType copied(source);
        COwnedMediaType assigned;
        assigned = source;
        EXPECT_EQ(attachment.References(), 3);
    }
    EXPECT_EQ(attachment.References(), 1);
}

TEST(MediaType, AssignmentReleasesWhatTheTargetHeldBeforeCopying)
{
    FakeAttachment oldAttachment;
    FakeAttachment newAttachment;
    const BYTE otherBytes[6] = {9, 8, 7, 6, 5, 4};
    COwnedMediaType target;
    FillVideoRecord(&target, otherBytes, sizeof(otherBytes), oldAttachment.AsUnknown());
    COwnedMediaType source;
    FillVideoRecord(&source, blockBytes, sizeof(blockBytes), newAttachment.AsUnknown());
    source.subtype = MEDIASUBTYPE_RGB24;

    EXPECT_EQ(target.AssignFrom(source), S_OK);
    EXPECT_EQ(oldAttachment.References(), 0);
    EXPECT_EQ(newAttachment.References(), 2);
    EXPECT_TRUE(IsEqualGUID(target.subtype, MEDIASUBTYPE_RGB24));
    EXPECT_TRUE(BlockHolds(target, blockBytes, sizeof(blockBytes)));
}

TEST(MediaType, SelfAssignmentChangesNothing)
{
    FakeAttachment attachment;
    COwnedMediaType type;
    FillVideoRecord(&type, blockBytes, sizeof(blockBytes), attachment.AsUnknown());
    BYTE* block = type.pbFormat;
    COwnedMediaType& sameType = type;

    TaskMemoryFailureScope watch(-1);
    type = sameType;
    EXPECT_EQ(type.AssignFrom(sameType), S_OK);
    EXPECT_EQ(watch.AllocationsSeen(), 0);
    EXPECT_EQ(type.pbFormat, block);
    EXPECT_TRUE(BlockHolds(type, blockBytes, sizeof(blockBytes)));
    EXPECT_EQ(type.pUnk, attachment.AsUnknown());
    EXPECT_EQ(attachment.References(), 1);
    EXPECT_EQ(attachment.releaseCalls, 0);
}

// The target has the source's pUnk pointer from the field copy before the block is allocated; a failed
// allocation must not leave it there, or releasing the target would drop a reference it never took.
TEST(MediaType, DuplicateThatCannotAllocateLeavesTheTargetOwningNothing)
{
    FakeAttachment attachment;
    AM_MEDIA_TYPE source;
    FillVideoRecord(&source, blockBytes, sizeof(blockBytes), attachment.AsUnknown());

    AM_MEDIA_TYPE target;
    {
        TaskMemoryFailureScope failure(0);
        EXPECT_EQ(MediaTypeDuplicate(&target, &source), E_OUTOFMEMORY);
        EXPECT_TRUE(failure.FailureInjected());
    }
    EXPECT_EQ(target.cbFormat, 0u);
    EXPECT_EQ(target.pbFormat, nullptr);
    EXPECT_EQ(target.pUnk, nullptr);
    EXPECT_EQ(attachment.References(), 1);

    MediaTypeReleaseFormat(&target);
    EXPECT_EQ(attachment.References(), 1);
    EXPECT_TRUE(BlockHolds(source, blockBytes, sizeof(blockBytes)));
    MediaTypeReleaseFormat(&source);
}

// A record from another filter may claim a block (cbFormat not 0) without one: it is refused, never read.
TEST(MediaType, RecordClaimingAMissingBlockIsNotCopied)
{
    FakeAttachment attachment;
    COwnedMediaType malformed;
    FillVideoRecord(&malformed, nullptr, 0, attachment.AsUnknown());
    malformed.cbFormat = 88;

    AM_MEDIA_TYPE target;
    EXPECT_EQ(MediaTypeDuplicate(&target, &malformed), E_POINTER);
    EXPECT_EQ(target.cbFormat, 0u);
    EXPECT_EQ(target.pbFormat, nullptr);
    EXPECT_EQ(target.pUnk, nullptr);
    EXPECT_EQ(attachment.References(), 1);

    COwnedMediaType assigned;
    EXPECT_EQ(assigned.AssignFrom(malformed), E_OUTOFMEMORY);
    EXPECT_EQ(assigned.cbFormat, 0u);
    EXPECT_EQ(attachment.References(), 1);

    malformed.cbFormat = 0;  // it owns no block to free
}

TEST(MediaType, FailedAssignmentIsReportedOnlyByAssignFromAndLeaksNothing)
{
    FakeAttachment oldAttachment;
    FakeAttachment sourceAttachment;
    COwnedMediaType source;
    FillVideoRecord(&source, blockBytes, sizeof(blockBytes), sourceAttachment.AsUnknown());

    COwnedMediaType reported;
    FillVideoRecord(&reported, blockBytes, sizeof(blockBytes), oldAttachment.AsUnknown());
    {
        TaskMemoryFailureScope failure(0);
        EXPECT_EQ(reported.AssignFrom(source), E_OUTOFMEMORY);
        EXPECT_TRUE(failure.FailureInjected());
    }
    EXPECT_EQ(oldAttachment.References(), 0);
    EXPECT_EQ(reported.cbFormat, 0u);
    EXPECT_EQ(reported.pUnk, nullptr);

    COwnedMediaType unreported;
    {
        TaskMemoryFailureScope failure(0);
        unreported = source;
        EXPECT_TRUE(failure.FailureInjected());
    }
    EXPECT_EQ(unreported.cbFormat, 0u);
    EXPECT_EQ(unreported.pbFormat, nullptr);
    EXPECT_EQ(unreported.pUnk, nullptr);
    EXPECT_EQ(sourceAttachment.References(), 1);
}

TEST(MediaType, DestroyReleasesTheContentsAndAcceptsNull)
{
    MediaTypeDestroy(nullptr);

    FakeAttachment attachment;
    auto* record = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
    ASSERT_NE(record, nullptr);
    FillVideoRecord(record, blockBytes, sizeof(blockBytes), attachment.AsUnknown());
    MediaTypeDestroy(record);
    EXPECT_EQ(attachment.References(), 0);
}

TEST(MediaType, IncompleteWhenMajorTypeOrFormatTypeIsOpen)
{
    COwnedMediaType type;
    EXPECT_TRUE(MediaTypeIsIncomplete(&type));

    type.majortype = MEDIATYPE_Video;
    EXPECT_TRUE(MediaTypeIsIncomplete(&type));

    type.formattype = FORMAT_VideoInfo;
    EXPECT_FALSE(MediaTypeIsIncomplete(&type)) << "the subtype plays no part";

    type.majortype = GUID_NULL;
    EXPECT_TRUE(MediaTypeIsIncomplete(&type));
}

// The default template fits any type; a set major type and subtype must match; sample properties and pUnk
// are never compared.
TEST(MediaTypeTemplate, SetMajorTypeAndSubtypeMustMatch)
{
    COwnedMediaType pattern;
    COwnedMediaType full;
    EXPECT_TRUE(MediaTypeFitsTemplate(&full, &pattern));
    FillVideoRecord(&full, blockBytes, sizeof(blockBytes));
    EXPECT_TRUE(MediaTypeFitsTemplate(&full, &pattern));

    pattern.majortype = MEDIATYPE_Audio;
    EXPECT_FALSE(MediaTypeFitsTemplate(&full, &pattern));
    pattern.majortype = MEDIATYPE_Video;
    EXPECT_TRUE(MediaTypeFitsTemplate(&full, &pattern));
    pattern.subtype = MEDIASUBTYPE_RGB24;
    EXPECT_FALSE(MediaTypeFitsTemplate(&full, &pattern));
    pattern.subtype = MEDIASUBTYPE_YUY2;
    EXPECT_TRUE(MediaTypeFitsTemplate(&full, &pattern));

    FakeAttachment attachment;
    pattern.bFixedSizeSamples = TRUE;
    pattern.bTemporalCompression = FALSE;
    pattern.lSampleSize = 7;
    pattern.pUnk = attachment.AsUnknown();
    EXPECT_TRUE(MediaTypeFitsTemplate(&full, &pattern));
    pattern.pUnk = nullptr;
}

TEST(MediaTypeTemplate, SetFormatTypeComparesTheBlocksByLengthAndBytes)
{
    COwnedMediaType full;
    FillVideoRecord(&full, blockBytes, sizeof(blockBytes));
    COwnedMediaType pattern;
    FillVideoRecord(&pattern, blockBytes, sizeof(blockBytes));
    EXPECT_TRUE(MediaTypeFitsTemplate(&full, &pattern));

    pattern.formattype = FORMAT_WaveFormatEx;
    EXPECT_FALSE(MediaTypeFitsTemplate(&full, &pattern));
    pattern.formattype = FORMAT_VideoInfo;

    pattern.pbFormat[3] ^= 0x01;
    EXPECT_FALSE(MediaTypeFitsTemplate(&full, &pattern)) << "last byte differs";
    pattern.pbFormat[3] ^= 0x01;

    const BYTE longer[5] = {0x11, 0x22, 0x33, 0x44, 0x55};
    COwnedMediaType longerPattern;
    FillVideoRecord(&longerPattern, longer, sizeof(longer));
    EXPECT_FALSE(MediaTypeFitsTemplate(&full, &longerPattern)) << "other length, equal prefix";
    EXPECT_FALSE(MediaTypeFitsTemplate(&longerPattern, &full));

    // Without a block on either side nothing is compared, whatever pbFormat holds.
    COwnedMediaType noBlock;
    FillVideoRecord(&noBlock, nullptr, 0);
    COwnedMediaType noBlockPattern;
    FillVideoRecord(&noBlockPattern, nullptr, 0);
    BYTE unrelated[4] = {0};
    noBlockPattern.pbFormat = unrelated;
    EXPECT_TRUE(MediaTypeFitsTemplate(&noBlock, &noBlockPattern));
    EXPECT_FALSE(MediaTypeFitsTemplate(&full, &noBlockPattern));

    // A block claimed but missing matches nothing.
    AM_MEDIA_TYPE missing;
    FillVideoRecord(&missing, nullptr, 0);
    missing.cbFormat = sizeof(blockBytes);
    EXPECT_FALSE(MediaTypeFitsTemplate(&full, &missing));
    EXPECT_FALSE(MediaTypeFitsTemplate(&missing, &full));
    EXPECT_FALSE(MediaTypeFitsTemplate(&missing, &missing));
}

TEST(MediaTypeTemplate, OpenFormatTypeIgnoresTheBlocksEvenWhenTheTemplateCarriesOne)
{
    COwnedMediaType full;
    FillVideoRecord(&full, blockBytes, sizeof(blockBytes));
    const BYTE otherBytes[6] = {9, 8, 7, 6, 5, 4};
    COwnedMediaType pattern;
    FillVideoRecord(&pattern, otherBytes, sizeof(otherBytes));
    pattern.formattype = GUID_NULL;
    EXPECT_TRUE(MediaTypeFitsTemplate(&full, &pattern));

    full.formattype = FORMAT_WaveFormatEx;
    EXPECT_TRUE(MediaTypeFitsTemplate(&full, &pattern));
}
