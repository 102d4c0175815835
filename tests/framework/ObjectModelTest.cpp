// Reference counting, aggregation and interface answers of CUnknown-derived objects; the module-wide
// active-object count and the release of the automation library with the last object; the re-entrant lock
// and its guard; ComPtr's ownership transfers.
#include <gtest/gtest.h>
#include <windows.h>
#include <strmif.h>

#include "CBaseObject.h"
#include "AutomationLibraryTestSeam.h"
#include "CDispatchTypeInfo.h"
#include "CForwardingUnknown.h"
#include "CLockGuard.h"
#include "CRecursiveLock.h"
#include "CUnknown.h"
#include "ComPtr.h"
#include "CountingDouble.h"
#include "HangWatchdog.h"
#include "TestThread.h"

#include <memory>

namespace {

// A counted object with two interfaces. IQualityControl does not sit first among the interfaces, so its
// forwarders only reach the right object if the pointer adjustment is right.
class CTwoInterfaceObject : public CForwardingUnknown<CUnknown, IPersist, IQualityControl> {
public:
    CTwoInterfaceObject(IUnknown* outer, int* destroyed)
        : CForwardingUnknown(L"two-interface object", outer), destroyed(destroyed)
    {
    }
    ~CTwoInterfaceObject() override { ++*destroyed; }

    HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) override
    {
        if (SameGuid(riid, IID_IPersist))
            return ReturnInterface(static_cast<IPersist*>(this), ppv);
        if (SameGuid(riid, IID_IQualityControl))
            return ReturnInterface(static_cast<IQualityControl*>(this), ppv);
        return CUnknown::NonDelegatingQueryInterface(riid, ppv);
    }

    HRESULT STDMETHODCALLTYPE GetClassID(CLSID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Notify(IBaseFilter*, Quality) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetSink(IQualityControl*) override { return E_NOTIMPL; }

    IUnknown* Persist() { return static_cast<IPersist*>(this); }
    IUnknown* QualityControl() { return static_cast<IQualityControl*>(this); }
    void* Nondelegating() { return static_cast<INonDelegatingUnknown*>(this); }

private:
    int* const destroyed;
};

// The outer object of an aggregate: it answers IUnknown and IPersist itself, nothing else.
struct FakeOuterUnknown : CountingDouble<IPersist> {
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID*) override { UNEXPECTED_CALL(); }
};

// The object's own count, read without changing it.
ULONG CountOf(CUnknown* object)
{
    object->NonDelegatingAddRef();
    return object->NonDelegatingRelease();
}

// IID_IUnknown with its last byte changed.
IID AlmostUnknown()
{
    IID iid = IID_IUnknown;
    iid.Data4[7] ^= 0x01;
    return iid;
}

void* const notWritten = reinterpret_cast<void*>(0x1234);

}  // namespace

// Interfaces of an object that is not aggregated count on the object itself; the last release, through any
// interface, destroys it once.
TEST(ObjectModel, FirstAddRefReturnsOneAndLastReleaseDestroysOnce)
{
    LONG before = CBaseObject::ActiveObjectCount();
    int destroyed = 0;
    auto* object = new CTwoInterfaceObject(nullptr, &destroyed);
    EXPECT_EQ(CBaseObject::ActiveObjectCount(), before + 1);
    EXPECT_EQ(object->NonDelegatingAddRef(), 1u);
    EXPECT_EQ(object->GetOwnerUnknown(), object->Nondelegating());

    EXPECT_EQ(object->NonDelegatingAddRef(), 2u);
    EXPECT_EQ(object->Persist()->AddRef(), 3u);
    EXPECT_EQ(object->QualityControl()->AddRef(), 4u);
    EXPECT_EQ(object->Persist()->Release(), 3u);
    EXPECT_EQ(object->QualityControl()->Release(), 2u);
    EXPECT_EQ(object->NonDelegatingRelease(), 1u);
    EXPECT_EQ(destroyed, 0);

    EXPECT_EQ(object->QualityControl()->Release(), 0u);
    EXPECT_EQ(destroyed, 1);
    EXPECT_EQ(CBaseObject::ActiveObjectCount(), before);
}

// IUnknown asked of any interface is the nondelegating unknown, and the interfaces of one object are found
// through each other. An unknown identifier is refused with a null out-pointer, a null out-pointer with
// E_POINTER; neither takes a reference.
TEST(ObjectModel, QueryInterfaceAnswersTheNondelegatingUnknownAndRefusesWithoutAReference)
{
    int destroyed = 0;
    auto* object = new CTwoInterfaceObject(nullptr, &destroyed);
    object->NonDelegatingAddRef();

    for (IUnknown* asked : {object->Persist(), object->QualityControl()}) {
        void* unknown = nullptr;
        ASSERT_EQ(asked->QueryInterface(IID_IUnknown, &unknown), S_OK);
        EXPECT_EQ(unknown, object->Nondelegating());
        EXPECT_EQ(CountOf(object), 2u);
        // The answer is used as an IUnknown: its slots must reach the nondelegating operations.
        void* persist = nullptr;
        ASSERT_EQ(static_cast<IUnknown*>(unknown)->QueryInterface(IID_IPersist, &persist), S_OK);
        EXPECT_EQ(persist, static_cast<void*>(static_cast<IPersist*>(object)));
        EXPECT_EQ(CountOf(object), 3u);
        static_cast<IUnknown*>(persist)->Release();
        EXPECT_EQ(static_cast<IUnknown*>(unknown)->Release(), 1u);
    }
    void* out = nullptr;
    ASSERT_EQ(object->Persist()->QueryInterface(IID_IQualityControl, &out), S_OK);
    EXPECT_EQ(out, static_cast<void*>(static_cast<IQualityControl*>(object)));
    static_cast<IUnknown*>(out)->Release();

    const IID almostUnknown = AlmostUnknown();
    out = notWritten;
    EXPECT_EQ(object->NonDelegatingQueryInterface(almostUnknown, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    out = notWritten;
    EXPECT_EQ(object->QualityControl()->QueryInterface(almostUnknown, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    out = notWritten;
    EXPECT_EQ(object->Persist()->QueryInterface(IID_IBaseFilter, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(object->NonDelegatingQueryInterface(IID_IUnknown, nullptr), E_POINTER);
    EXPECT_EQ(object->Persist()->QueryInterface(IID_IQualityControl, nullptr), E_POINTER);
    EXPECT_EQ(object->Persist()->QueryInterface(almostUnknown, nullptr), E_POINTER);
    EXPECT_EQ(CountOf(object), 1u);

    object->NonDelegatingRelease();
    EXPECT_EQ(destroyed, 1);
}

TEST(ObjectModel, ReturnInterfaceHandsOutOneReferenceTakenThroughTheInterface)
{
    FakeOuterUnknown peer;
    void* out = nullptr;
    EXPECT_EQ(ReturnInterface(peer.AsUnknown(), &out), S_OK);
    EXPECT_EQ(out, static_cast<void*>(peer.AsUnknown()));
    EXPECT_EQ(peer.References(), 1);
    peer.AsUnknown()->Release();

    EXPECT_EQ(ReturnInterface(peer.AsUnknown(), nullptr), E_POINTER);
    EXPECT_EQ(peer.addRefCalls, 1);
    peer.ExpectBalanced();
}

TEST(ObjectModel, AggregatedObjectIsCountedAndQueriedThroughItsOuterObject)
{
    FakeOuterUnknown outer;
    int destroyed = 0;
    auto* inner = new CTwoInterfaceObject(outer.AsUnknown(), &destroyed);
    // The outer object holds the inner one through its nondelegating unknown.
    EXPECT_EQ(inner->NonDelegatingAddRef(), 1u);
    EXPECT_EQ(inner->GetOwnerUnknown(), outer.AsUnknown());

    // The outer object's results come back unchanged.
    ULONG returned = inner->QualityControl()->AddRef();
    EXPECT_EQ(returned, static_cast<ULONG>(outer.references));
    returned = inner->Persist()->AddRef();
    EXPECT_EQ(returned, static_cast<ULONG>(outer.references));
    EXPECT_EQ(outer.References(), 2);
    EXPECT_EQ(CountOf(inner), 1u);
    inner->Persist()->Release();
    inner->QualityControl()->Release();
    EXPECT_EQ(outer.References(), 0);
    EXPECT_EQ(destroyed, 0);

    // Whatever the outer answers: its own IPersist and IUnknown, not the inner's ...
    void* out = nullptr;
    ASSERT_EQ(inner->QualityControl()->QueryInterface(IID_IPersist, &out), S_OK);
    EXPECT_EQ(out, static_cast<void*>(static_cast<IPersist*>(&outer)));
    static_cast<IUnknown*>(out)->Release();
    ASSERT_EQ(inner->Persist()->QueryInterface(IID_IUnknown, &out), S_OK);
    EXPECT_EQ(out, static_cast<void*>(outer.AsUnknown()));
    static_cast<IUnknown*>(out)->Release();
    // ... and the outer's refusal, even for an interface the inner object implements.
    out = notWritten;
    EXPECT_EQ(inner->Persist()->QueryInterface(IID_IQualityControl, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(outer.queryInterfaceCalls, 3);
    EXPECT_EQ(CountOf(inner), 1u);

    // The nondelegating side still answers for the inner object itself and counts on it.
    ASSERT_EQ(inner->NonDelegatingQueryInterface(IID_IUnknown, &out), S_OK);
    EXPECT_EQ(out, inner->Nondelegating());
    EXPECT_EQ(CountOf(inner), 2u);
    static_cast<IUnknown*>(out)->Release();

    EXPECT_EQ(inner->NonDelegatingRelease(), 0u);
    EXPECT_EQ(destroyed, 1);
    outer.ExpectBalanced();
}

TEST(ActiveObjectCount, ReturnsToItsEarlierValueAfterThreeObjects)
{
    LONG before = CBaseObject::ActiveObjectCount();
    CUnknown* objects[3];
    for (int i = 0; i < 3; ++i) {
        objects[i] = new CUnknown(L"counted", nullptr);
        objects[i]->NonDelegatingAddRef();
        EXPECT_EQ(CBaseObject::ActiveObjectCount(), before + i + 1);
    }
    {
        // A class factory counts through CBaseObject alone.
        CBaseObject factoryLike;
        EXPECT_EQ(CBaseObject::ActiveObjectCount(), before + 4);
    }
    for (int i = 0; i < 3; ++i) {
        objects[i]->NonDelegatingRelease();
        EXPECT_EQ(CBaseObject::ActiveObjectCount(), before + 2 - i);
    }
}

// The automation library's handle is played by a small system library that nothing else in this process
// loads, so whether it is still loaded can be read back with GetModuleHandleW.
class AutomationLibraryRelease : public testing::Test {
protected:
    static constexpr const wchar_t* observedLibrary = L"msimg32.dll";

    void SetUp() override
    {
        ASSERT_EQ(CBaseObject::ActiveObjectCount(), 0) << "the last-object rule needs no other object alive";
        ASSERT_EQ(GetModuleHandleW(observedLibrary), nullptr);
        savedHandle = ExchangeAutomationLibrary(nullptr);
    }
    void TearDown() override
    {
        while (HMODULE stillLoaded = GetModuleHandleW(observedLibrary))
            FreeLibrary(stillLoaded);
        ExchangeAutomationLibrary(savedHandle);
    }

    HMODULE savedHandle = nullptr;
};

TEST_F(AutomationLibraryRelease, LastObjectFreesTheLibraryExactlyOnce)
{
    // Two loads: one is the handle the module keeps, the other lets the test see that only one was freed.
    HMODULE library = LoadLibraryW(observedLibrary);
    ASSERT_NE(library, nullptr);
    ASSERT_EQ(LoadLibraryW(observedLibrary), library);
    ExchangeAutomationLibrary(library);

    auto* first = new CUnknown(L"first", nullptr);
    auto* last = new CUnknown(L"last", nullptr);
    first->NonDelegatingAddRef();
    last->NonDelegatingAddRef();
    first->NonDelegatingRelease();
    EXPECT_EQ(CurrentAutomationLibrary(), library) << "freed while an object was still alive";

    last->NonDelegatingRelease();
    EXPECT_EQ(CurrentAutomationLibrary(), nullptr);
    EXPECT_EQ(GetModuleHandleW(observedLibrary), library) << "freed more than once";
    FreeLibrary(library);
    EXPECT_EQ(GetModuleHandleW(observedLibrary), nullptr) << "not freed";

    // With the handle null the last object frees nothing.
    ASSERT_EQ(LoadLibraryW(observedLibrary), library);
    {
        CBaseObject only;
    }
    EXPECT_EQ(CurrentAutomationLibrary(), nullptr);
    EXPECT_EQ(GetModuleHandleW(observedLibrary), library);
}

namespace {

// Long enough for a thread to take a free lock; how long a held lock is watched to stay held.
constexpr DWORD lockFreeWithin = 5000;
constexpr DWORD lockHeldFor = 100;

// A second thread that takes the lock `depth` times and gives it back, so the test can ask whether the lock
// was free for it without ever blocking the test's own thread. One still blocked when the contender goes (the
// test has already failed) would stall the run: the watchdog ends the program instead.
class LockContender {
public:
    explicit LockContender(CRecursiveLock* lock, int depth = 1)
        : thread([lock, depth] {
              for (int i = 0; i < depth; ++i)
                  lock->Lock();
              for (int i = 0; i < depth; ++i)
                  lock->Unlock();
          })
    {
    }

    bool AcquiredWithin(DWORD milliseconds) { return thread.Wait(milliseconds); }

private:
    HangWatchdog watchdog{2 * lockFreeWithin, "a thread blocked on a lock the test no longer holds"};
    TestThread thread;  // joined before the watchdog goes
};

}  // namespace

// Re-entry is tried on a thread of its own, so a lock that is not re-entrant fails the test instead of
// hanging it. The tests that take the lock twice on their own thread check this first.
bool HolderTakesItAgainWithoutBlocking(CRecursiveLock* lock)
{
    LockContender reentering(lock, 3);
    return reentering.AcquiredWithin(lockFreeWithin);
}

// Free for another thread only after as many unlocks as locks; nested guards hold it until the outermost
// scope ends.
TEST(RecursiveLock, FreeForOtherThreadsOnlyAfterTheMatchingUnlockOrOutermostGuard)
{
    CRecursiveLock lock;
    ASSERT_TRUE(HolderTakesItAgainWithoutBlocking(&lock));
    lock.Lock();
    lock.Lock();
    {
        LockContender other(&lock);
        EXPECT_FALSE(other.AcquiredWithin(lockHeldFor));
        lock.Unlock();
        EXPECT_FALSE(other.AcquiredWithin(lockHeldFor)) << "free after one unlock of two locks";
        lock.Unlock();
        EXPECT_TRUE(other.AcquiredWithin(lockFreeWithin));
    }
    std::unique_ptr<LockContender> other;
    {
        CLockGuard outer(&lock);
        {
            CLockGuard inner(&lock);
        }
        other = std::make_unique<LockContender>(&lock);
        EXPECT_FALSE(other->AcquiredWithin(lockHeldFor));
    }
    EXPECT_TRUE(other->AcquiredWithin(lockFreeWithin));
}

TEST(ComPtr, ReleasesWhatItOwnsAndHandsOwnershipOverExplicitly)
{
    FakeOuterUnknown peer;
    {
        ComPtr<IUnknown> counted(peer.AsUnknown());  // takes its own reference
        EXPECT_EQ(peer.References(), 1);
        ComPtr<IUnknown> copy = counted;
        EXPECT_EQ(peer.References(), 2);

        // Out() gives the slot for a new reference and drops the one held before.
        IUnknown** slot = copy.Out();
        EXPECT_EQ(peer.References(), 1);
        ASSERT_EQ(peer.QueryInterface(IID_IUnknown, reinterpret_cast<void**>(slot)), S_OK);
        EXPECT_EQ(peer.References(), 2);

        // Detach hands the reference back without releasing it; Attach adopts one without adding.
        IUnknown* detached = copy.Detach();
        EXPECT_FALSE(copy);
        EXPECT_EQ(peer.References(), 2);
        copy.Attach(detached);
        EXPECT_EQ(peer.References(), 2);
    }
    peer.ExpectBalanced();
}
