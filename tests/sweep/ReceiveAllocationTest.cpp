// The receive path allocates nothing: over 10,000 Receive calls on a connected, running sink, with samples
// of the platform's allocator (every other one carrying a media type of its own), this program's code makes
// no heap allocation and no task-memory request. The capture sink publishes every one of them, each through the
// sync step, with a reader counted as waiting so that every frame also releases a wake-up.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "AllocationFailure.h"
#include "ComPtr.h"
#include "FakeUpstreamPin.h"
#include "VideoMediaType.h"
#include "PlatformSamples.h"
#include "SinkUnderTest.h"
#include "SweptSinks.h"
#include "TaskMemoryFailure.h"
#include "tarn_camera_channel.h"

namespace {

constexpr int kReceiveCalls = 10000;
constexpr LONG kWidth = 640;
constexpr LONG kHeight = 480;

template <class Traits>
class ReceiveAllocation : public testing::Test {};

using Sinks = testing::Types<SweptNullsinker, SweptVidtap>;
TYPED_TEST_SUITE(ReceiveAllocation, Sinks);

TYPED_TEST(ReceiveAllocation, TenThousandReceiveCallsAllocateNothing)
{
    const COwnedMediaType packed = MakeVideoType(kWidth, kHeight, 16);
    FakeUpstreamPin upstream;
    upstream.recordsCalls = false;
    upstream.AddType(packed);
    PlatformSamples samples(2, kWidth * kHeight * 2);
    ASSERT_EQ(samples.Status(), S_OK);
    SinkUnderTest<TypeParam> sink;
    ASSERT_TRUE(sink.Created());
    ASSERT_EQ(sink.InputPin()->ReceiveConnection(&upstream, &packed), S_OK);
    ASSERT_EQ(sink.MemInput()->NotifyAllocator(samples.Allocator(), FALSE), S_OK);
    ASSERT_EQ(sink.Filter()->Run(0), S_OK);
    ComPtr<IMediaSample> plain;
    ComPtr<IMediaSample> typed;
    ASSERT_EQ(samples.Take(plain.Out()), S_OK);
    ASSERT_EQ(samples.Take(typed.Out(), &packed), S_OK);
    IMediaSample* const delivered[] = {plain.Get(), typed.Get()};

    // The capture sink's sync block, once its channel is set up (the null sink has none).
    HANDLE syncSection = OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE,
                                          TARN_CAMERA_HEADER_BLOCK_NAME TARN_CAMERA_SYNC_BLOCK_SUFFIX);
    auto* sync = syncSection != nullptr
                     ? static_cast<TarnCameraSyncBlock*>(MapViewOfFile(syncSection, FILE_MAP_ALL_ACCESS, 0, 0, 0))
                     : nullptr;
    ASSERT_EQ(sync != nullptr, TypeParam::Label() == std::string("vidtap"));
    const unsigned long long sequenceBefore = sync != nullptr ? sync->sequence : 0;
    if (sync != nullptr)
        sync->waitingReaders = 1;

    int refused = 0;
    int heapAllocations = -1;
    int taskMemoryRequests = -1;
    {
        AllocationFailureScope heap(-1);
        TaskMemoryFailureScope taskMemory(-1);
        for (int call = 0; call < kReceiveCalls; ++call)
            refused += sink.MemInput()->Receive(delivered[call % 2]) != S_OK ? 1 : 0;
        heapAllocations = heap.AllocationsSeen();
        taskMemoryRequests = taskMemory.AllocationsSeen();
    }
    std::printf("%s: %d Receive calls, %d heap allocations, %d task-memory requests\n", TypeParam::Label(),
                kReceiveCalls, heapAllocations, taskMemoryRequests);
    EXPECT_EQ(refused, 0);
    EXPECT_EQ(heapAllocations, 0);
    EXPECT_EQ(taskMemoryRequests, 0);
    if (sync != nullptr) {
        EXPECT_EQ(sync->sequence - sequenceBefore, 2u * kReceiveCalls) << "every frame took the sync step";
        sync->waitingReaders = 0;
        UnmapViewOfFile(sync);
    }
    if (syncSection != nullptr)
        CloseHandle(syncSection);
}

}  // namespace
