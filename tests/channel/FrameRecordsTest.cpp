// The exported frame records: defaults, the validity rules and copying.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <iterator>
#include <new>
#include <type_traits>

#include "CVideoFrame.h"
#include "CVideoFrameForm.h"

static_assert(sizeof(CVideoFrameForm) == 16 && std::is_standard_layout_v<CVideoFrameForm>);
static_assert(sizeof(CVideoFrame) == 272 && std::is_standard_layout_v<CVideoFrame>);
static_assert(!std::is_polymorphic_v<CVideoFrameForm> && !std::is_polymorphic_v<CVideoFrame>);

TEST(CVideoFrameForm, DefaultFormIsNotInitialised)
{
    const CVideoFrameForm form;
    EXPECT_EQ(form.width, 0);
    EXPECT_EQ(form.height, 0);
    EXPECT_EQ(form.stride, 0);
    EXPECT_EQ(form.pixelSize, 4);
    EXPECT_FALSE(form.IsFrameFormInit());
    EXPECT_EQ(form.get_SizeBytes(), 0);
}

TEST(CVideoFrameForm, InitialisedOnlyWhenEveryFieldIsPositive)
{
    CVideoFrameForm form;
    form.width = 8;
    form.height = 4;
    form.stride = 24;
    EXPECT_TRUE(form.IsFrameFormInit());
    EXPECT_EQ(form.get_SizeBytes(), 96);

    for (int field = 0; field < 4; ++field) {
        CVideoFrameForm broken;
        broken = form;
        int32_t* fields[] = {&broken.width, &broken.height, &broken.stride, &broken.pixelSize};
        *fields[field] = -1;
        EXPECT_FALSE(broken.IsFrameFormInit()) << "field " << field;
        *fields[field] = 0;
        EXPECT_FALSE(broken.IsFrameFormInit()) << "field " << field;
    }
}

TEST(CVideoFrameForm, SizeIsTheWrapping32BitProduct)
{
    CVideoFrameForm form;
    form.stride = -24;
    form.height = 4;
    EXPECT_EQ(form.get_SizeBytes(), -96);
    form.stride = 65536;
    form.height = 32768;  // 2^31 wraps to INT_MIN
    EXPECT_EQ(form.get_SizeBytes(), INT_MIN);
}

TEST(CVideoFrame, DefaultFrameHasZeroReservedBytes)
{
    // Construct over dirty memory, so the zeros come from the constructor.
    alignas(CVideoFrame) unsigned char storage[sizeof(CVideoFrame)];
    std::fill(std::begin(storage), std::end(storage), 0xA5);
    CVideoFrame* frame = new (storage) CVideoFrame;
    EXPECT_EQ(frame->width, 0);
    EXPECT_EQ(frame->height, 0);
    EXPECT_EQ(frame->stride, 0);
    EXPECT_EQ(frame->pixelSize, 4);
    for (unsigned char byte : frame->reserved)
        ASSERT_EQ(byte, 0);
    frame->~CVideoFrame();
}

TEST(CVideoFrame, ValidFrameIsAnyNonNullPointer)
{
    const CVideoFrame frame;
    unsigned char byte = 0;
    EXPECT_TRUE(frame.IsValidFrame(&byte));
    EXPECT_FALSE(frame.IsValidFrame(nullptr));
}

// Assignment returns the target and copies every byte of the record: the four form fields and, for a
// frame, the reserved bytes (both records are standard layout without padding).
template <class Record>
void ExpectAssignmentCopiesEveryByte(Record& source)
{
    source.width = 640;
    source.height = 480;
    source.stride = 1920;
    source.pixelSize = -3;
    Record target;
    Record& result = (target = source);
    EXPECT_EQ(&result, &target);
    EXPECT_EQ(0, std::memcmp(&target, &source, sizeof source));
}

TEST(FrameRecords, AssignmentCopiesEveryFieldAndTheReservedBytes)
{
    CVideoFrameForm form;
    ExpectAssignmentCopiesEveryByte(form);
    CVideoFrame frame;
    for (size_t i = 0; i < sizeof frame.reserved; ++i)
        frame.reserved[i] = static_cast<unsigned char>(i);
    ExpectAssignmentCopiesEveryByte(frame);
}
