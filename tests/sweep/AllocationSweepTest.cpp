// Every heap allocation (operator new) and every task-memory request of a whole scenario fails in turn, the
// 1st, the 2nd, ... until a run reaches the end with nothing failed. In each run every step succeeds or
// returns E_OUTOFMEMORY (the scenario ends at the first refusal), the sink is destroyed cleanly and the
// framework's active-object count is where it started. One driver for both sinks and every scenario; each
// sweep prints how many sites the scenario reached. Scenarios use no test doubles: the doubles allocate
// as they record calls, and every allocation of this thread is counted.
#include <gtest/gtest.h>

#include <windows.h>
#include <strmif.h>
#include <uuids.h>

#include <cstdio>
#include <functional>
#include <iterator>
#include <string>

#include "AllocationFailure.h"
#include "CBaseObject.h"
#include "CTaskMediaType.h"
#include "ComPtr.h"
#include "NullsinkerSink.h"
#include "SinkUnderTest.h"
#include "TaskMemoryFailure.h"
#include "VidtapSink.h"

namespace {

// The results of one scenario run, step by step; a scenario stops after the first failed step. Fixed
// storage: the log must not allocate while the failures are injected.
struct StepLog {
    struct Entry {
        const char* name;
        HRESULT result;
    };
    Entry steps[16] = {};
    size_t count = 0;

    // Records `result`; true when the scenario may go on.
    bool Step(const char* name, HRESULT result)
    {
        if (count < std::size(steps))
            steps[count++] = {name, result};
        return SUCCEEDED(result);
    }
};

// The code a step may give when an allocation was refused: E_OUTOFMEMORY, and for QueryId the answer of a
// pin whose name could not be copied at construction (the pin is built without a name, by design, and
// says E_INVALIDARG when asked for its id).
bool IsRefusalOfAnAllocation(const StepLog::Entry& step)
{
    return step.result == E_OUTOFMEMORY ||
           (step.result == E_INVALIDARG && std::string(step.name) == "QueryId");
}

template <class Traits>
void Create(StepLog& log)
{
    SinkUnderTest<Traits> sink;
    log.Step("create", sink.Object() != nullptr ? sink.creationResult : E_OUTOFMEMORY);
}

// Pins, their identity and the types the sink's pin proposes.
template <class Traits>
void EnumeratePinsAndTypes(StepLog& log)
{
    SinkUnderTest<Traits> sink;
    if (!log.Step("create", sink.Object() != nullptr ? sink.creationResult : E_OUTOFMEMORY))
        return;
    ComPtr<IEnumPins> pins;
    if (!log.Step("EnumPins", sink.Filter()->EnumPins(pins.Out())))
        return;
    ComPtr<IPin> pin;
    if (!log.Step("IEnumPins::Next", pins->Next(1, pin.Out(), nullptr)))
        return;
    ComPtr<IEnumPins> pinsClone;
    if (!log.Step("IEnumPins::Clone", pins->Clone(pinsClone.Out())))
        return;
    LPWSTR id = nullptr;
    if (!log.Step("QueryId", pin->QueryId(&id)))
        return;
    CoTaskMemFree(id);
    ComPtr<IEnumMediaTypes> types;
    if (!log.Step("EnumMediaTypes", pin->EnumMediaTypes(types.Out())))
        return;
    AM_MEDIA_TYPE* record = nullptr;
    const HRESULT next = types->Next(1, &record, nullptr);
    CTaskMediaType proposed(record);
    if (!log.Step("IEnumMediaTypes::Next", next))
        return;
    ComPtr<IEnumMediaTypes> typesClone;
    log.Step("IEnumMediaTypes::Clone", types->Clone(typesClone.Out()));
}

// Runs `scenario` with the n-th request failing, n = 0, 1, ... until one run completes without a failure
// injected; gives the number of sites reached.
template <class Scope>
int Sweep(const std::function<void(StepLog&)>& scenario, const char* what)
{
    for (int site = 0;; ++site) {
        const LONG objectsBefore = CBaseObject::ActiveObjectCount();
        StepLog log;
        bool injected = false;
        {
            Scope failure(site);
            scenario(log);
            injected = failure.FailureInjected();
        }
        EXPECT_EQ(CBaseObject::ActiveObjectCount(), objectsBefore) << what << " site " << site << " leaked objects";
        for (size_t i = 0; i < log.count; ++i) {
            const StepLog::Entry& step = log.steps[i];
            const bool last = i + 1 == log.count;
            EXPECT_TRUE(SUCCEEDED(step.result) || (injected && last && IsRefusalOfAnAllocation(step)))
                << what << " site " << site << ": " << step.name << " returned 0x" << std::hex << step.result;
        }
        if (!injected) {
            const bool completed = log.count != 0 && SUCCEEDED(log.steps[log.count - 1].result);
            EXPECT_TRUE(completed) << what << ": the run without a failure did not complete";
            return site;
        }
        if (testing::Test::HasFailure())
            return site;
    }
}

template <class Traits>
class AllocationSweep : public testing::Test {
protected:
    static void SweepBoth(void (*scenario)(StepLog&), const char* name)
    {
        const int heapSites = Sweep<AllocationFailureScope>(scenario, name);
        const int taskSites = Sweep<TaskMemoryFailureScope>(scenario, name);
        std::printf("%s %s: %d heap allocation sites, %d task-memory sites\n", Traits::Label(), name, heapSites,
                    taskSites);
    }
};

struct SweptNullsinker : NullsinkerSink {
    static const char* Label() { return "nullsinker"; }
};
struct SweptVidtap : VidtapSink {
    static const char* Label() { return "vidtap"; }
};
using Sinks = testing::Types<SweptNullsinker, SweptVidtap>;
TYPED_TEST_SUITE(AllocationSweep, Sinks);

TYPED_TEST(AllocationSweep, Creation)
{
    this->SweepBoth(Create<TypeParam>, "creation");
}

TYPED_TEST(AllocationSweep, PinAndTypeEnumeration)
{
    this->SweepBoth(EnumeratePinsAndTypes<TypeParam>, "pin and type enumeration");
}

}  // namespace
