// The shared test infrastructure does what other tests rely on: failure injection reaches task memory and
// nothrow allocations and nothing else, and the COM doubles report unbalanced references and unscripted
// calls as test failures. (That a leaked framework object fails its test is checked by the program
// LeakedObjectTest, whose only test leaks on purpose.)
#include <gtest/gtest.h>
#include <gtest/gtest-spi.h>
#include <windows.h>
#include <objbase.h>
#include <strmif.h>

#include <new>
#include <thread>

#include "AllocationFailure.h"
#include "CPointerList.h"
#include "CountingDouble.h"
#include "FakeClock.h"
#include "TaskMemoryFailure.h"

namespace {

DWORD WINAPI AllocateOneInt(void* result)
{
    *static_cast<int**>(result) = new (std::nothrow) int(1);
    return 0;
}

}  // namespace

TEST(TaskMemoryFailure, OnlyTheChosenRequestOfThisThreadFails)
{
    void* before = nullptr;
    void* chosen = nullptr;
    void* after = nullptr;
    void* otherThread = nullptr;
    {
        TaskMemoryFailureScope failure(1);
        before = CoTaskMemAlloc(16);
        std::thread([&] { otherThread = CoTaskMemAlloc(16); }).join();
        chosen = CoTaskMemAlloc(16);
        after = CoTaskMemAlloc(16);
        EXPECT_TRUE(failure.FailureInjected());
        EXPECT_EQ(failure.AllocationsSeen(), 3);
    }
    EXPECT_NE(before, nullptr);
    EXPECT_NE(otherThread, nullptr);
    EXPECT_EQ(chosen, nullptr);
    EXPECT_NE(after, nullptr);
    CoTaskMemFree(before);
    CoTaskMemFree(otherThread);
    CoTaskMemFree(after);

    void* outsideScope = CoTaskMemAlloc(16);
    EXPECT_NE(outsideScope, nullptr);
    CoTaskMemFree(outsideScope);
}

// A scope that fails every request from its first on fails them all, but only this program's own: what the
// platform allocates for itself inside a call (here the string StringFromCLSID hands out) is neither counted
// nor failed. A scope whose request is never reached says so.
TEST(TaskMemoryFailure, FailAllFollowingFailsEveryLaterRequestOfThisProgramAndAMissedRequestIsReported)
{
    LPOLESTR text = nullptr;
    {
        TaskMemoryFailureScope failure(0, true);
        EXPECT_EQ(StringFromCLSID(CLSID_NULL, &text), S_OK);
        EXPECT_EQ(failure.AllocationsSeen(), 0);
        EXPECT_EQ(CoTaskMemAlloc(8), nullptr);
        EXPECT_EQ(CoTaskMemAlloc(8), nullptr);
        EXPECT_EQ(failure.AllocationsSeen(), 2);
    }
    EXPECT_NE(text, nullptr);
    CoTaskMemFree(text);
    TaskMemoryFailureScope failure(5);
    void* block = CoTaskMemAlloc(8);
    EXPECT_NE(block, nullptr);
    CoTaskMemFree(block);
    EXPECT_FALSE(failure.FailureInjected());
}

// The accounting counts this program's blocks and those a double hands over, until anyone frees them; the
// platform's own blocks are not counted.
TEST(TaskMemoryAccounting, CountsTheBlocksOfThisProgramUntilTheyAreFreed)
{
    const LONG before = TaskMemoryBlocksAlive();
    void* ours = CoTaskMemAlloc(16);
    LPOLESTR platforms = nullptr;
    ASSERT_EQ(StringFromCLSID(CLSID_NULL, &platforms), S_OK);
    EXPECT_EQ(TaskMemoryBlocksAlive(), before + 1);
    void* handedOver = nullptr;
    {
        TaskMemoryFailureScope failure(0, true);
        handedOver = AllocateHandedOverTaskMemory(16);
        EXPECT_EQ(failure.AllocationsSeen(), 0);
    }
    ASSERT_NE(handedOver, nullptr);
    EXPECT_EQ(TaskMemoryBlocksAlive(), before + 2);
    void* moved = CoTaskMemRealloc(ours, 4096);
    ASSERT_NE(moved, nullptr);
    EXPECT_EQ(TaskMemoryBlocksAlive(), before + 2);
    CoTaskMemFree(moved);
    CoTaskMemFree(handedOver);
    CoTaskMemFree(platforms);
    EXPECT_EQ(TaskMemoryBlocksAlive(), before);
}

// Framework code allocates with new (std::nothrow) inside the framework library; the replaced operator new
// must be the one that code links against, not only the test's own. Other threads' allocations are not the
// scope's.
TEST(AllocationFailure, NothrowAllocationOfThisThreadInsideTheFrameworkLibraryGetsNull)
{
    CPointerList list;
    int item = 0;
    int* otherThread = nullptr;
    {
        AllocationFailureScope failure(0);
        // A plain Win32 thread: std::thread would itself allocate on this thread.
        HANDLE thread = CreateThread(nullptr, 0, &AllocateOneInt, &otherThread, 0, nullptr);
        ASSERT_NE(thread, nullptr);
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
        EXPECT_EQ(failure.AllocationsSeen(), 0);
        EXPECT_EQ(list.Append(&item), nullptr);
        EXPECT_TRUE(failure.FailureInjected());
        EXPECT_EQ(list.Count(), 0);
    }
    EXPECT_NE(otherThread, nullptr);
    delete otherThread;
    EXPECT_NE(list.Append(&item), nullptr);
    EXPECT_EQ(list.Count(), 1);
}

TEST(CountingDouble, CountsReferencesAndAnswersOnlyWhatItImplements)
{
    FakeClock clock;
    void* out = nullptr;
    ASSERT_EQ(clock.QueryInterface(IID_IReferenceClock, &out), S_OK);
    EXPECT_EQ(out, static_cast<void*>(static_cast<IReferenceClock*>(&clock)));
    EXPECT_EQ(clock.References(), 1);
    EXPECT_EQ(clock.QueryInterface(IID_IBaseFilter, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);

    clock.Refuse(IID_IUnknown);
    EXPECT_EQ(clock.QueryInterface(IID_IUnknown, &out), E_NOINTERFACE);
    EXPECT_TRUE(clock.WasQueriedFor(IID_IBaseFilter));
    EXPECT_EQ(clock.queryInterfaceCalls, 3);

    clock.Release();
    clock.ExpectBalanced();
}

// Over-release, a double destroyed while referenced and a call nobody scripted each fail the test.
TEST(CountingDouble, UnbalancedReferencesAndUnscriptedCallsFailTheTest)
{
    FakeClock clock;
    EXPECT_NONFATAL_FAILURE(clock.Release(), "released more often than it was referenced");
    clock.AddRef();  // restore the balance the failed release broke
    EXPECT_NONFATAL_FAILURE(
        {
            FakeClock referenced;
            referenced.AddRef();
        },
        "1 reference(s) not given back");
    HRESULT result = S_OK;
    EXPECT_NONFATAL_FAILURE(result = clock.Unadvise(0), "unexpected call to Unadvise");
    EXPECT_EQ(result, E_NOTIMPL);
}
