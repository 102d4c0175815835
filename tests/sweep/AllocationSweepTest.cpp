// Every heap allocation (operator new) and every task-memory request that this program's code makes in a
// whole scenario fails in turn, the 1st, the 2nd, ... until a run reaches the end with nothing failed. The
// platform's own allocations (the registry, the filter mapper, the type library, its allocators and samples)
// are left alone. In each run every step succeeds or gives its refusal (E_OUTOFMEMORY, or the code the step
// defines for a refused allocation), and the scenario ends at the first refusal; afterwards the sink is
// destroyed cleanly, the framework's active-object count and the process's live task-memory blocks are where
// they started, and the module could be unloaded. One driver for every scenario of both sinks; each sweep
// prints how many sites the scenario reached. Scenarios use only doubles that allocate nothing this program
// counts (the upstream pin) and the platform's own objects: every allocation counted is the sinks'.
// And the receive path allocates nothing at all: over 10,000 Receive calls on a connected, running sink, with
// samples of the platform's allocator (every other one carrying a media type of its own), this program's code
// makes no heap allocation and no task-memory request. The capture sink publishes every one of them, each
// through the sync step, with a reader counted as waiting so that every frame also releases a wake-up.
#include <gtest/gtest.h>

#include <windows.h>
#include <olectl.h>
#include <strmif.h>
#include <uuids.h>
#include <vfwmsgs.h>

#include <cstdio>
#include <functional>
#include <iterator>
#include <string>

#include "AllocationFailure.h"
#include "CBaseObject.h"
#include "CTaskMediaType.h"
#include "ComPtr.h"
#include "ModuleEntryPoints.h"
#include "FakeUpstreamPin.h"
#include "VideoMediaType.h"
#include "PlatformRegistration.h"
#include "PlatformSamples.h"
#include "SinkUnderTest.h"
#include "SweptSinks.h"
#include "TaskMemoryFailure.h"
#include "tarn_camera_channel.h"

namespace {

// The results of one scenario run, step by step; a scenario stops after the first step that failed or was
// refused. Fixed storage: the log must not allocate while the failures are injected.
struct StepLog {
    struct Entry {
        const char* name;
        HRESULT result;
        bool refused;  // the step's answer to a refused allocation
    };
    Entry steps[24] = {};
    size_t count = 0;

    // Records `result`; `refusal` is what the step answers, besides E_OUTOFMEMORY, when an allocation it
    // needs is refused. True when the scenario may go on.
    bool Step(const char* name, HRESULT result, HRESULT refusal = E_OUTOFMEMORY)
    {
        const bool refused = result == E_OUTOFMEMORY || result == refusal;
        if (count < std::size(steps))
            steps[count++] = {name, result, refused};
        return SUCCEEDED(result) && !refused;
    }
};

// A success that came with a wrong answer is a failure of its own. `right` reads the answer, after the call
// that gave `result` has run.
template <class Check>
HRESULT AnsweredRightly(HRESULT result, Check right)
{
    return FAILED(result) || right() ? result : E_UNEXPECTED;
}

// The duration the upstream reports through both seeking interfaces: 10 s, in 100 ns units and in seconds.
constexpr LONGLONG kDuration = 100000000;
constexpr REFTIME kDurationSeconds = 10.0;

// The types and the upstream pin of the scenarios, made before any failure is injected: a picture type the
// channel would publish under a header that does not fit it (planar 4:2:0), packed 4:2:2 at two sizes (the
// larger one `width` x `height`). The upstream offers the planar type, then the larger packed one, and records
// nothing, so every allocation a sweep counts is the sink's; each run leaves it unconnected with its
// references balanced.
struct SweepTypes {
    explicit SweepTypes(LONG width = 64, LONG height = 48)
        : packed(MakeVideoType(width, height, 16)), smallerPacked(MakeVideoType(width / 2, height / 2, 16))
    {
        upstream.recordsCalls = false;
        upstream.timeAnswer = kDuration;
        upstream.secondsAnswer = kDurationSeconds;
        upstream.AddType(planar);
        upstream.AddType(packed);
    }
    COwnedMediaType planar =
        MakeVideoTypeOf(FourccSubtype(MAKEFOURCC('I', '4', '2', '0')), MAKEFOURCC('I', '4', '2', '0'), 12);
    COwnedMediaType packed;
    COwnedMediaType smallerPacked;
    const AM_MEDIA_TYPE* offered[2] = {&planar, &packed};
    FakeUpstreamPin upstream{UpstreamKind::Seekable};
};

constexpr long kPackedFrameBytes = 64 * 48 * 2;

template <class Traits>
bool Created(StepLog& log, const SinkUnderTest<Traits>& sink)
{
    return log.Step("create", sink.Object() != nullptr ? sink.creationResult : E_OUTOFMEMORY);
}

// The sink created and connected in the packed type, as the scenarios after negotiation start.
template <class Traits>
bool CreatedAndConnected(StepLog& log, SinkUnderTest<Traits>& sink, SweepTypes& types)
{
    return Created(log, sink) &&
           log.Step("ReceiveConnection", sink.InputPin()->ReceiveConnection(&types.upstream, &types.packed));
}

// What an upstream pin's Connect does with the sink's input: proposes its types in order until one is not
// refused as a type.
template <class Traits>
HRESULT NegotiateFrom(SinkUnderTest<Traits>& sink, SweepTypes& types)
{
    HRESULT hr = VFW_E_NO_ACCEPTABLE_TYPES;
    for (const AM_MEDIA_TYPE* type : types.offered) {
        hr = sink.InputPin()->ReceiveConnection(&types.upstream, type);
        if (hr != VFW_E_TYPE_NOT_ACCEPTED)
            return hr;
    }
    return hr;
}

// The module's entry points as COM uses them, through this program's class table.
template <class Traits>
void LoadModuleAndCreateThroughTheFactory(StepLog& log, SweepTypes&)
{
    const bool attached = DllMain(GetModuleHandleW(nullptr), DLL_PROCESS_ATTACH, nullptr);
    ComPtr<IClassFactory> factory;
    if (!log.Step("DllMain(attach)", attached ? S_OK : E_FAIL) ||
        !log.Step("DllGetClassObject",
                  DllGetClassObject(Traits::SweptClassId(), IID_IClassFactory, factory.OutVoid())) ||
        !log.Step("LockServer(TRUE)", factory->LockServer(TRUE)))
        return;
    ComPtr<IBaseFilter> filter;
    const HRESULT created = factory->CreateInstance(nullptr, IID_IBaseFilter, filter.OutVoid());
    // Unlocked whatever the creation gave, so a refused creation leaves no server lock behind.
    const HRESULT unlocked = factory->LockServer(FALSE);
    CLSID reported = GUID_NULL;
    log.Step("CreateInstance", AnsweredRightly(created, [&] { return static_cast<bool>(filter); })) &&
        log.Step("LockServer(FALSE)", unlocked) &&
        log.Step("GetClassID", AnsweredRightly(filter->GetClassID(&reported),
                                               [&] { return IsEqualGUID(reported, Traits::ClassId()); }));
}

// Pins, their identity and the types the sink's pin proposes.
template <class Traits>
void EnumeratePinsAndTypes(StepLog& log, SweepTypes&)
{
    SinkUnderTest<Traits> sink;
    ComPtr<IEnumPins> pins;
    ComPtr<IPin> pin;
    ComPtr<IEnumPins> pinsClone;
    if (!Created(log, sink) || !log.Step("EnumPins", sink.Filter()->EnumPins(pins.Out())) ||
        !log.Step("IEnumPins::Next", pins->Next(1, pin.Out(), nullptr)) ||
        !log.Step("IEnumPins::Clone", pins->Clone(pinsClone.Out())))
        return;
    LPWSTR id = nullptr;
    // A pin whose name could not be copied at construction is built without one and has no id.
    const HRESULT identified = pin->QueryId(&id);
    CoTaskMemFree(id);
    ComPtr<IEnumMediaTypes> types;
    if (!log.Step("QueryId", identified, E_INVALIDARG) ||
        !log.Step("EnumMediaTypes", pin->EnumMediaTypes(types.Out())))
        return;
    AM_MEDIA_TYPE* record = nullptr;
    const HRESULT next = types->Next(1, &record, nullptr);
    CTaskMediaType proposed(record);
    ComPtr<IEnumMediaTypes> typesClone;
    log.Step("IEnumMediaTypes::Next", next) && log.Step("IEnumMediaTypes::Clone", types->Clone(typesClone.Out()));
}

// The upstream pin proposes its types in turn (the capture sink refuses the planar one because the upstream
// also offers packed 4:2:2; the null sink takes the first); then the connection type is read back, a later
// type check replaces it, and the pin disconnects.
template <class Traits>
void ConnectWithTypeNegotiation(StepLog& log, SweepTypes& types)
{
    SinkUnderTest<Traits> sink;
    if (!Created(log, sink) || !log.Step("ReceiveConnection", NegotiateFrom(sink, types)))
        return;
    AM_MEDIA_TYPE connected;
    const HRESULT copied = sink.InputPin()->ConnectionMediaType(&connected);
    // A copy that could not be made leaves no format block; a made one is freed here.
    MediaTypeReleaseFormat(&connected);
    // A type check that cannot store the type refuses it.
    log.Step("ConnectionMediaType", copied) &&
        log.Step("QueryAccept", sink.InputPin()->QueryAccept(&types.smallerPacked), S_FALSE) &&
        log.Step("Disconnect", sink.InputPin()->Disconnect());
}

// The pin's own allocator is asked for and the upstream hands over its own instead (the platform's); then
// samples of it while running: one in the connection type, then a dynamic type change the way an upstream
// filter makes it (QueryAccept, then a sample carrying the new type), the end of the stream, the stop (the pin
// then decommits the allocator) and the connection letting it go. The capture sink publishes both samples
// into the camera channel.
template <class Traits>
void HandOverTheAllocatorAndStream(StepLog& log, SweepTypes& types)
{
    PlatformSamples samples(2, kPackedFrameBytes);
    SinkUnderTest<Traits> sink;
    ComPtr<IMemAllocator> proposed;
    ComPtr<IMemAllocator> held;
    ComPtr<IMediaSample> first;
    ComPtr<IMediaSample> changed;
    CreatedAndConnected(log, sink, types) &&
        log.Step("GetAllocator", sink.MemInput()->GetAllocator(proposed.Out())) &&
        log.Step("NotifyAllocator", sink.MemInput()->NotifyAllocator(samples.Allocator(), FALSE)) &&
        log.Step("GetAllocator(notified)", AnsweredRightly(sink.MemInput()->GetAllocator(held.Out()),
                                                          [&] { return held.Get() == samples.Allocator(); })) &&
        log.Step("Pause", sink.Filter()->Pause()) && log.Step("Run", sink.Filter()->Run(0)) &&
        log.Step("GetBuffer", samples.Take(first.Out())) &&
        log.Step("Receive", sink.MemInput()->Receive(first.Get())) &&
        log.Step("QueryAccept(new type)", sink.InputPin()->QueryAccept(&types.smallerPacked), S_FALSE) &&
        log.Step("GetBuffer(new type)", samples.Take(changed.Out(), &types.smallerPacked)) &&
        log.Step("Receive(new type)", sink.MemInput()->Receive(changed.Get())) &&
        log.Step("EndOfStream", sink.InputPin()->EndOfStream()) && log.Step("Stop", sink.Filter()->Stop()) &&
        log.Step("Disconnect", sink.InputPin()->Disconnect());
}

// Both seeking interfaces of a connected sink, IMediaPosition's IDispatch half through the platform's type
// library included: each call reaches the upstream pin and its answer comes back.
template <class Traits>
void SeekThroughThePassThrough(StepLog& log, SweepTypes& types)
{
    SinkUnderTest<Traits> sink;
    ComPtr<IMediaSeeking> seeking;
    LONGLONG duration = 0;
    ComPtr<IMediaPosition> position;
    UINT typeInfoCount = 0;
    ComPtr<ITypeInfo> typeInfo;
    LPOLESTR name = const_cast<LPOLESTR>(L"Duration");
    DISPID member = DISPID_UNKNOWN;
    INonDelegatingUnknown* const outer = sink.Unknown();
    if (!CreatedAndConnected(log, sink, types) ||
        !log.Step("QueryInterface(IMediaSeeking)",
                  outer->NonDelegatingQueryInterface(IID_IMediaSeeking, seeking.OutVoid())) ||
        !log.Step("GetDuration",
                  AnsweredRightly(seeking->GetDuration(&duration), [&] { return duration == kDuration; })) ||
        !log.Step("QueryInterface(IMediaPosition)",
                  outer->NonDelegatingQueryInterface(IID_IMediaPosition, position.OutVoid())) ||
        !log.Step("GetTypeInfoCount", AnsweredRightly(position->GetTypeInfoCount(&typeInfoCount),
                                                      [&] { return typeInfoCount == 1; })) ||
        !log.Step("GetTypeInfo", position->GetTypeInfo(0, 0, typeInfo.Out())) ||
        !log.Step("GetIDsOfNames", position->GetIDsOfNames(IID_NULL, &name, 1, 0, &member)))
        return;
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    VARIANT result = {};
    const HRESULT invoked =
        position->Invoke(member, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr);
    log.Step("Invoke(Duration)",
             AnsweredRightly(invoked, [&] { return result.vt == VT_R8 && result.dblVal == kDurationSeconds; }));
}

// Self-registration of this program's classes and its undoing.
void RegisterAndUnregister(StepLog& log, SweepTypes&)
{
    if (log.Step("DllRegisterServer", DllRegisterServer()))
        log.Step("DllUnregisterServer", DllUnregisterServer());
}

using Scenario = std::function<void(StepLog&)>;

// Runs `scenario` with the n-th request failing, n = 0, 1, ... until one run completes without a failure
// injected; gives the number of sites reached.
template <class Scope>
int Sweep(const Scenario& scenario, const char* what)
{
    for (int site = 0;; ++site) {
        const LONG objectsBefore = CBaseObject::ActiveObjectCount();
        const LONG blocksBefore = TaskMemoryBlocksAlive();
        StepLog log;
        bool injected = false;
        {
            Scope failure(site);
            scenario(log);
            injected = failure.FailureInjected();
        }
        EXPECT_EQ(CBaseObject::ActiveObjectCount(), objectsBefore) << what << " site " << site << " leaked objects";
        EXPECT_EQ(TaskMemoryBlocksAlive(), blocksBefore) << what << " site " << site << " leaked task memory";
        EXPECT_EQ(DllCanUnloadNow(), S_OK) << what << " site " << site << " keeps the module loaded";
        for (size_t i = 0; i < log.count; ++i) {
            const StepLog::Entry& step = log.steps[i];
            const bool last = i + 1 == log.count;
            EXPECT_TRUE((SUCCEEDED(step.result) && !step.refused) || (injected && last && step.refused))
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

// Sweeps heap allocations and task-memory requests in turn, after a first run without injection that settles
// what the process sets up once (the camera channel, the platform's own caches), and prints the sites.
void SweepBoth(const Scenario& scenario, const char* label, const char* name)
{
    StepLog settling;
    scenario(settling);
    const int heapSites = Sweep<AllocationFailureScope>(scenario, name);
    const int taskSites = Sweep<TaskMemoryFailureScope>(scenario, name);
    std::printf("%s %s: %d heap allocation sites, %d task-memory sites\n", label, name, heapSites, taskSites);
}

template <class Traits>
class AllocationSweep : public testing::Test {
protected:
    void SweepScenario(void (*scenario)(StepLog&, SweepTypes&), const char* name)
    {
        SweepBoth([this, scenario](StepLog& log) { scenario(log, types); }, Traits::Label(), name);
    }

    SweepTypes types;
};

using Sinks = testing::Types<SweptNullsinker, SweptVidtap>;
TYPED_TEST_SUITE(AllocationSweep, Sinks);

#define SWEEP_SCENARIO(test, scenario, name) \
    TYPED_TEST(AllocationSweep, test) { this->SweepScenario(scenario<TypeParam>, name); }

SWEEP_SCENARIO(ModuleLoadAndClassFactory, LoadModuleAndCreateThroughTheFactory, "module load and class factory")
SWEEP_SCENARIO(PinAndTypeEnumeration, EnumeratePinsAndTypes, "pin and type enumeration")
SWEEP_SCENARIO(ConnectionWithTypeNegotiation, ConnectWithTypeNegotiation, "connection with type negotiation")
SWEEP_SCENARIO(AllocatorHandOverAndStreamingWithTypeChanges, HandOverTheAllocatorAndStream,
               "allocator hand-over and streaming with type changes")
SWEEP_SCENARIO(SeekingPassThroughWithTheTypeLibrary, SeekThroughThePassThrough,
               "seeking pass-through with the type library")

// Registration covers both sinks' classes at once: the module's, not one sink's. It leaves no key behind.
TEST(AllocationSweepOfTheModule, RegistrationAndUnregistration)
{
    SweepTypes types;
    SweepBoth([&types](StepLog& log) { RegisterAndUnregister(log, types); }, "module",
              "registration and unregistration");
    EXPECT_FALSE(KeyExists(ClassKeyName(kSweptNullsinkerClassId)));
    EXPECT_FALSE(KeyExists(ClassKeyName(kSweptVidtapClassId)));
}

template <class Traits>
class ReceiveAllocation : public testing::Test {};
TYPED_TEST_SUITE(ReceiveAllocation, Sinks);

TYPED_TEST(ReceiveAllocation, TenThousandReceiveCallsAllocateNothing)
{
    constexpr int kReceiveCalls = 10000;
    SweepTypes types(640, 480);
    PlatformSamples samples(2, 640 * 480 * 2);
    ASSERT_EQ(samples.Status(), S_OK);
    SinkUnderTest<TypeParam> sink;
    ASSERT_TRUE(sink.Created());
    ASSERT_EQ(sink.InputPin()->ReceiveConnection(&types.upstream, &types.packed), S_OK);
    ASSERT_EQ(sink.MemInput()->NotifyAllocator(samples.Allocator(), FALSE), S_OK);
    ASSERT_EQ(sink.Filter()->Run(0), S_OK);
    ComPtr<IMediaSample> plain;
    ComPtr<IMediaSample> typed;
    ASSERT_EQ(samples.Take(plain.Out()), S_OK);
    ASSERT_EQ(samples.Take(typed.Out(), &types.packed), S_OK);
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
