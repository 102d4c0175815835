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

void MakeDefault(AM_MEDIA_TYPE* type)
{
    MediaTypeReleaseFormat(type);
    MediaTypeReset(type);
}

// Frees the record's block but leaves it claiming one, as a malformed record from another filter might.
void ClaimMissingBlock(AM_MEDIA_TYPE* type)
{
    MediaTypeReleaseFormat(type);
    type->cbFormat = sizeof(blockBytes);
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

// Reset forgets the block and pUnk without freeing them; ReleaseFormat frees both and keeps every other field;
// Destroy frees the record with its contents and takes null.
TEST(MediaType, ResetForgetsAndReleaseFormatOrDestroyFreesTheContents)
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
    EXPECT_EQ(held.cbFormat, 0u);
    EXPECT_EQ(held.pbFormat, nullptr);
    EXPECT_EQ(held.pUnk, nullptr);
    EXPECT_EQ(attachment.References(), 0);
    EXPECT_TRUE(IsEqualGUID(held.majortype, MEDIATYPE_Video));
    EXPECT_TRUE(IsEqualGUID(held.formattype, FORMAT_VideoInfo));
    EXPECT_EQ(held.lSampleSize, 614400u);
    EXPECT_EQ(held.bTemporalCompression, TRUE);

    MediaTypeDestroy(nullptr);
    auto* record = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
    ASSERT_NE(record, nullptr);
    FillVideoRecord(record, blockBytes, sizeof(blockBytes), attachment.AsUnknown());
    MediaTypeDestroy(record);
    EXPECT_EQ(attachment.References(), 0);
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

// Every copy takes its own pUnk reference and drops it when it goes; assignment first releases what the
// target held, and assigning a type to itself changes (and allocates) nothing.
TEST(MediaType, CopiesTakeOnePUnkReferenceEachAndAssignmentReleasesWhatTheTargetHeld)
{
    FakeAttachment attachment;
    FakeAttachment oldAttachment;
    COwnedMediaType source;
    FillVideoRecord(&source, blockBytes, sizeof(blockBytes), attachment.AsUnknown());
    source.subtype = MEDIASUBTYPE_RGB24;
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
        const BYTE otherBytes[6] = {9, 8, 7, 6, 5, 4};
        COwnedMediaType target;
        FillVideoRecord(&target, otherBytes, sizeof(otherBytes), oldAttachment.AsUnknown());
        EXPECT_EQ(target.AssignFrom(source), S_OK);
        EXPECT_EQ(oldAttachment.References(), 0);
        EXPECT_EQ(attachment.References(), 4);
        EXPECT_TRUE(IsEqualGUID(target.subtype, MEDIASUBTYPE_RGB24));
        EXPECT_TRUE(BlockHolds(target, blockBytes, sizeof(blockBytes)));
    }
    EXPECT_EQ(attachment.References(), 1);

    BYTE* block = source.pbFormat;
    COwnedMediaType& sameType = source;
    const int releasesBefore = attachment.releaseCalls;
    TaskMemoryFailureScope watch(-1);
    source = sameType;
    EXPECT_EQ(source.AssignFrom(sameType), S_OK);
    EXPECT_EQ(watch.AllocationsSeen(), 0);
    EXPECT_EQ(source.pbFormat, block);
    EXPECT_TRUE(BlockHolds(source, blockBytes, sizeof(blockBytes)));
    EXPECT_EQ(source.pUnk, attachment.AsUnknown());
    EXPECT_EQ(attachment.References(), 1);
    EXPECT_EQ(attachment.releaseCalls, releasesBefore);
}

// A copy that fails (no memory for the block, or a source from another filter claiming a block it does not
// have, which is refused and never read) leaves the target owning nothing and the source as it was: the target
// has the source's pUnk from the field copy before the block is allocated, and keeping it would drop a
// reference it never took. operator= cannot report the failure; AssignFrom and Duplicate do.
TEST(MediaType, FailedCopyLeavesTheTargetOwningNothing)
{
    enum How { Duplicate, AssignFrom, Assign };
    const struct {
        const char* name;
        How how;
        bool missingBlock;  // otherwise the block's allocation fails
        HRESULT result;
    } cases[] = {
        {"Duplicate without memory", Duplicate, false, E_OUTOFMEMORY},
        {"Duplicate of a missing block", Duplicate, true, E_POINTER},
        {"AssignFrom without memory", AssignFrom, false, E_OUTOFMEMORY},
        {"AssignFrom of a missing block", AssignFrom, true, E_OUTOFMEMORY},
        {"operator= without memory", Assign, false, S_OK},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeAttachment attachment;
        FakeAttachment oldAttachment;
        AM_MEDIA_TYPE source;
        FillVideoRecord(&source, blockBytes, c.missingBlock ? 0 : sizeof(blockBytes), attachment.AsUnknown());
        source.cbFormat = sizeof(blockBytes);
        AM_MEDIA_TYPE duplicate;
        COwnedMediaType assigned;
        FillVideoRecord(&assigned, blockBytes, sizeof(blockBytes), oldAttachment.AsUnknown());
        AM_MEDIA_TYPE& target = c.how == Duplicate ? duplicate : assigned;
        {
            TaskMemoryFailureScope failure(c.missingBlock ? -1 : 0);
            HRESULT result = S_OK;
            if (c.how == Duplicate)
                result = MediaTypeDuplicate(&duplicate, &source);
            else if (c.how == AssignFrom)
                result = assigned.AssignFrom(source);
            else
                assigned = source;
            EXPECT_EQ(result, c.result);
            EXPECT_EQ(failure.FailureInjected(), !c.missingBlock);
        }
        EXPECT_EQ(target.cbFormat, 0u);
        EXPECT_EQ(target.pbFormat, nullptr);
        EXPECT_EQ(target.pUnk, nullptr);
        EXPECT_EQ(attachment.References(), 1);
        EXPECT_EQ(oldAttachment.References(), c.how == Duplicate ? 1 : 0);
        MediaTypeReleaseFormat(&target);
        EXPECT_EQ(attachment.References(), 1);
        if (c.missingBlock) {
            source.cbFormat = 0;  // it owns no block to free
        } else {
            EXPECT_TRUE(BlockHolds(source, blockBytes, sizeof(blockBytes)));
        }
        MediaTypeReleaseFormat(&source);
    }
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

// The default template fits any type; a set major type and subtype must match; a set format type must match
// and then the blocks are compared by length and bytes (nothing is compared when neither side has one, and a
// block claimed but missing matches nothing); an open format type ignores the blocks; sample properties and
// pUnk are never compared.
TEST(MediaTypeTemplate, SetFieldsMustMatch)
{
    using Change = void (*)(AM_MEDIA_TYPE* type, AM_MEDIA_TYPE* pattern);
    static BYTE unrelated[4] = {0};
    const struct {
        const char* name;
        Change change;
        bool fits;
    } cases[] = {
        {"default template", [](AM_MEDIA_TYPE*, AM_MEDIA_TYPE* p) { MakeDefault(p); }, true},
        {"default template and type",
         [](AM_MEDIA_TYPE* t, AM_MEDIA_TYPE* p) {
             MakeDefault(t);
             MakeDefault(p);
         },
         true},
        {"same type", [](AM_MEDIA_TYPE*, AM_MEDIA_TYPE*) {}, true},
        {"other major type", [](AM_MEDIA_TYPE*, AM_MEDIA_TYPE* p) { p->majortype = MEDIATYPE_Audio; }, false},
        {"other subtype", [](AM_MEDIA_TYPE*, AM_MEDIA_TYPE* p) { p->subtype = MEDIASUBTYPE_RGB24; }, false},
        {"other sample properties and pUnk",
         [](AM_MEDIA_TYPE*, AM_MEDIA_TYPE* p) {
             p->bFixedSizeSamples = TRUE;
             p->bTemporalCompression = FALSE;
             p->lSampleSize = 7;
             p->pUnk = reinterpret_cast<IUnknown*>(unrelated);  // never used: the record is freed without it
         },
         true},
        {"other format type", [](AM_MEDIA_TYPE*, AM_MEDIA_TYPE* p) { p->formattype = FORMAT_WaveFormatEx; }, false},
        {"last byte differs", [](AM_MEDIA_TYPE*, AM_MEDIA_TYPE* p) { p->pbFormat[3] ^= 0x01; }, false},
        {"shorter template, equal prefix", [](AM_MEDIA_TYPE*, AM_MEDIA_TYPE* p) { p->cbFormat = 3; }, false},
        {"shorter type, equal prefix", [](AM_MEDIA_TYPE* t, AM_MEDIA_TYPE*) { t->cbFormat = 3; }, false},
        {"no block on either side, pbFormat set",
         [](AM_MEDIA_TYPE* t, AM_MEDIA_TYPE* p) {
             MediaTypeReleaseFormat(t);
             MediaTypeReleaseFormat(p);
             p->pbFormat = unrelated;
         },
         true},
        {"no block in the template",
         [](AM_MEDIA_TYPE*, AM_MEDIA_TYPE* p) {
             MediaTypeReleaseFormat(p);
             p->pbFormat = unrelated;
         },
         false},
        {"template claims a missing block", [](AM_MEDIA_TYPE*, AM_MEDIA_TYPE* p) { ClaimMissingBlock(p); }, false},
        {"type claims a missing block", [](AM_MEDIA_TYPE* t, AM_MEDIA_TYPE*) { ClaimMissingBlock(t); }, false},
        {"both claim a missing block",
         [](AM_MEDIA_TYPE* t, AM_MEDIA_TYPE* p) {
             ClaimMissingBlock(t);
             ClaimMissingBlock(p);
         },
         false},
        {"open format type, other block",
         [](AM_MEDIA_TYPE*, AM_MEDIA_TYPE* p) {
             p->formattype = GUID_NULL;
             p->pbFormat[0] ^= 0x01;
         },
         true},
        {"open format type, other format type",
         [](AM_MEDIA_TYPE* t, AM_MEDIA_TYPE* p) {
             p->formattype = GUID_NULL;
             t->formattype = FORMAT_WaveFormatEx;
         },
         true},
    };
    for (const auto& c : cases) {
        AM_MEDIA_TYPE type;
        AM_MEDIA_TYPE pattern;
        FillVideoRecord(&type, blockBytes, sizeof(blockBytes));
        FillVideoRecord(&pattern, blockBytes, sizeof(blockBytes));
        c.change(&type, &pattern);
        EXPECT_EQ(MediaTypeFitsTemplate(&type, &pattern) != FALSE, c.fits) << c.name;
        pattern.pUnk = nullptr;
        for (AM_MEDIA_TYPE* record : {&type, &pattern}) {
            if (record->pbFormat != unrelated)
                MediaTypeReleaseFormat(record);
        }
    }
}
