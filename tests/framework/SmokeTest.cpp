#include <gtest/gtest.h>
#include "AllocationFailure.h"
#include "CountingDouble.h"
#include "CUnknown.h"
#include <strmif.h>

struct FakeClock : CountingDouble<IReferenceClock> {
    HRESULT STDMETHODCALLTYPE GetTime(REFERENCE_TIME* t) override { *t = 5; return S_OK; }
    HRESULT STDMETHODCALLTYPE AdviseTime(REFERENCE_TIME, REFERENCE_TIME, HEVENT, DWORD_PTR*) override { UNEXPECTED_CALL(); }
    HRESULT STDMETHODCALLTYPE AdvisePeriodic(REFERENCE_TIME, REFERENCE_TIME, HSEMAPHORE, DWORD_PTR*) override { UNEXPECTED_CALL(); }
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD_PTR) override { UNEXPECTED_CALL(); }
};

TEST(TestSupport, DoubleCountsAndInjectionFails)
{
    FakeClock clock;
    IReferenceClock* again = nullptr;
    ASSERT_EQ(clock.QueryInterface(IID_IReferenceClock, reinterpret_cast<void**>(&again)), S_OK);
    EXPECT_EQ(clock.References(), 1);
    again->Release();
    clock.ExpectBalanced();
    AllocationFailureScope scope(0);
    EXPECT_EQ(new (std::nothrow) CUnknown(nullptr, nullptr), nullptr);
    EXPECT_TRUE(scope.FailureInjected());
}
