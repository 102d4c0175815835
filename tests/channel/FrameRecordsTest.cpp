// The exported frame records: defaults, the validity rules and copying.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <iterator>
#include <new>
#include <type_traits>
#include <vector>

#include "CVideoFrame.h"
#include "CVideoFrameForm.h"

static_assert(sizeof(CVideoFrameForm) == 16 && std::is_standard_layout_v<CVideoFrameForm>);
static_assert(sizeof(CVideoFrame) == 272 && std::is_standard_layout_v<CVideoFrame>);
static_assert(!std::is_polymorphic_v<CVideoFrameForm> && !std::is_polymorphic_v<CVideoFrame>);

TEST(CVideoFrameForm, InitialisedOnlyWhenEveryFieldIsPositiveAndSizedByStrideTimesHeight)
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

    // The size is the wrapping 32-bit product of stride and height.
    form.stride = -24;
    form.height = 4;
    EXPECT_EQ(form.get_SizeBytes(), -96);
    form.stride = 65536;
    form.height = 32768;  // 2^31 wraps to INT_MIN
    EXPECT_EQ(form.get_SizeBytes(), INT_MIN);
}

// Both records start with no shape and a pixel size of 4; the frame's reserved bytes are zero (constructed
// over dirty memory, so the zeros come from the constructor), and it calls any non-null pointer valid.
TEST(FrameRecords, DefaultRecordsHaveNoShapeAndAFrameZeroReservedBytes)
{
    const CVideoFrameForm form;
    EXPECT_FALSE(form.IsFrameFormInit());
    EXPECT_EQ(form.get_SizeBytes(), 0);
    alignas(CVideoFrame) unsigned char storage[sizeof(CVideoFrame)];
    std::fill(std::begin(storage), std::end(storage), 0xA5);
    CVideoFrame* frame = new (storage) CVideoFrame;
    EXPECT_EQ(std::vector<int32_t>({form.width, form.height, form.stride, form.pixelSize}),
              std::vector<int32_t>({0, 0, 0, 4}));
    EXPECT_EQ(std::vector<int32_t>({frame->width, frame->height, frame->stride, frame->pixelSize}),
              std::vector<int32_t>({0, 0, 0, 4}));
    EXPECT_EQ(std::vector<unsigned char>(std::begin(frame->reserved), std::end(frame->reserved)),
              std::vector<unsigned char>(sizeof frame->reserved, 0));
    unsigned char byte = 0;
    EXPECT_TRUE(frame->IsValidFrame(&byte));
    EXPECT_FALSE(frame->IsValidFrame(nullptr));
    frame->~CVideoFrame();
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
