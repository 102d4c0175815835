// Module entry points and class factory against this program's own class table: a scripted class (its
// creator can fail, return nothing, or return an object together with a failure), a plain class, and a
// third class with an init routine. Every test runs in a fresh process, so the module counts start at 0.
#include <gtest/gtest.h>

#include <new>
#include <strmif.h>
#include <utility>
#include <vector>

#include "AllocationFailure.h"
#include "CTestObject.h"
#include "ClassTableEntry.h"
#include "ComPtr.h"
#include "CountingDouble.h"
#include "ModuleEntryPoints.h"
#include "ModuleStateTestSeam.h"

namespace {

// {6B1D3E5A-0C47-4F2B-9A61-3E8D7C2B1A01} .. 03
constexpr CLSID CLSID_Scripted = {0x6b1d3e5a, 0x0c47, 0x4f2b, {0x9a, 0x61, 0x3e, 0x8d, 0x7c, 0x2b, 0x1a, 0x01}};
constexpr CLSID CLSID_Plain = {0x6b1d3e5a, 0x0c47, 0x4f2b, {0x9a, 0x61, 0x3e, 0x8d, 0x7c, 0x2b, 0x1a, 0x02}};
constexpr CLSID CLSID_Third = {0x6b1d3e5a, 0x0c47, 0x4f2b, {0x9a, 0x61, 0x3e, 0x8d, 0x7c, 0x2b, 0x1a, 0x03}};
constexpr CLSID CLSID_Unknown = {0x6b1d3e5a, 0x0c47, 0x4f2b, {0x9a, 0x61, 0x3e, 0x8d, 0x7c, 0x2b, 0x1a, 0x04}};

enum class Creation { Succeeds, ReturnsNothingWithFailure, ReturnsNothingWithSuccess, ReturnsObjectWithFailure };
Creation scriptedCreation = Creation::Succeeds;
constexpr HRESULT scriptedFailure = static_cast<HRESULT>(0x80040155);
IUnknown* lastOuter = nullptr;

INonDelegatingUnknown* CreateScripted(IUnknown* outer, HRESULT* hr)
{
    lastOuter = outer;
    switch (scriptedCreation) {
    case Creation::ReturnsNothingWithFailure:
        *hr = scriptedFailure;
        return nullptr;
    case Creation::ReturnsNothingWithSuccess:
        return nullptr;
    case Creation::ReturnsObjectWithFailure:
        *hr = scriptedFailure;
        return new (std::nothrow) CTestObject(outer);
    case Creation::Succeeds:
        break;
    }
    return new (std::nothrow) CTestObject(outer);
}

std::vector<std::pair<BOOL, const CLSID*>> initCalls;
void RecordInitCall(BOOL loading, const CLSID* classId) { initCalls.emplace_back(loading, classId); }

}  // namespace

const ClassTableEntry classTable[] = {
    {L"Scripted", &CLSID_Scripted, CreateScripted, RecordInitCall, nullptr},
    {L"Plain", &CLSID_Plain, CreateScripted, nullptr, nullptr},
    {L"Third", &CLSID_Third, CreateScripted, RecordInitCall, nullptr},
};
const int classTableCount = 3;

namespace {

ComPtr<IClassFactory> GetFactory(REFCLSID classId)
{
    ComPtr<IClassFactory> factory;
    EXPECT_EQ(DllGetClassObject(classId, IID_IClassFactory, factory.OutVoid()), S_OK);
    return factory;
}

void* const garbage = reinterpret_cast<void*>(0x1234);

}  // namespace

TEST(DllMain, AttachStoresTheInstanceAndCallsInitRoutinesInTableOrderDetachCallsThemAgain)
{
    HINSTANCE self = GetModuleHandleW(nullptr);
    EXPECT_TRUE(DllMain(self, DLL_PROCESS_ATTACH, nullptr));
    EXPECT_EQ(ModuleInstance(), self);
    ASSERT_EQ(initCalls.size(), 2u);
    EXPECT_EQ(initCalls[0], std::make_pair(TRUE, &CLSID_Scripted));
    EXPECT_EQ(initCalls[1], std::make_pair(TRUE, &CLSID_Third));

    EXPECT_TRUE(DllMain(self, DLL_THREAD_ATTACH, nullptr));
    EXPECT_TRUE(DllMain(self, DLL_THREAD_DETACH, nullptr));
    EXPECT_EQ(initCalls.size(), 2u);

    EXPECT_TRUE(DllMain(self, DLL_PROCESS_DETACH, nullptr));
    ASSERT_EQ(initCalls.size(), 4u);
    EXPECT_EQ(initCalls[2], std::make_pair(FALSE, &CLSID_Scripted));
    EXPECT_EQ(initCalls[3], std::make_pair(FALSE, &CLSID_Third));
}

// The interface is checked before the class; a null out-pointer and a factory that cannot be allocated are
// refused too, and no refusal leaves an object behind.
TEST(DllGetClassObject, RefusalsLeaveNoFactory)
{
    void* out = garbage;
    EXPECT_EQ(DllGetClassObject(CLSID_Unknown, IID_IClassFactory, &out), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(out, nullptr);
    out = garbage;
    EXPECT_EQ(DllGetClassObject(CLSID_Unknown, IID_IBaseFilter, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    out = garbage;
    EXPECT_EQ(DllGetClassObject(CLSID_Plain, IID_IBaseFilter, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(DllGetClassObject(CLSID_Plain, IID_IClassFactory, nullptr), E_POINTER);
    out = garbage;
    {
        AllocationFailureScope failFirst(0);
        EXPECT_EQ(DllGetClassObject(CLSID_Plain, IID_IClassFactory, &out), E_OUTOFMEMORY);
        EXPECT_TRUE(failFirst.FailureInjected());
    }
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(CBaseObject::ActiveObjectCount(), 0);
}

TEST(DllGetClassObject, EveryRequestMakesANewFactoryWhoseUnknownIsItsClassFactory)
{
    IUnknown* unknown = nullptr;
    ASSERT_EQ(DllGetClassObject(CLSID_Plain, IID_IUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
    IClassFactory* factory = nullptr;
    ASSERT_EQ(unknown->QueryInterface(IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
    EXPECT_EQ(static_cast<IUnknown*>(factory), unknown);
    void* out = garbage;
    EXPECT_EQ(factory->QueryInterface(IID_IBaseFilter, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(factory->QueryInterface(IID_IUnknown, nullptr), E_POINTER);

    // Every request makes a new factory.
    LONG before = CBaseObject::ActiveObjectCount();
    {
        ComPtr<IClassFactory> second = GetFactory(CLSID_Plain);
        EXPECT_NE(second.Get(), factory);
        EXPECT_EQ(CBaseObject::ActiveObjectCount(), before + 1);
    }
    EXPECT_EQ(CBaseObject::ActiveObjectCount(), before);
    EXPECT_EQ(factory->Release(), 1u);
    EXPECT_EQ(unknown->Release(), 0u);
}

// An unbalanced unlock takes the server lock count below zero, which counts as unlocked.
TEST(DllCanUnloadNow, AHeldFactoryObjectOrServerLockKeepsTheModuleLoaded)
{
    EXPECT_EQ(DllCanUnloadNow(), S_OK);
    ComPtr<IClassFactory> factory = GetFactory(CLSID_Plain);
    EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
    ComPtr<IUnknown> object;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, object.OutVoid()), S_OK);
    factory.Reset();
    EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
    object.Reset();
    EXPECT_EQ(DllCanUnloadNow(), S_OK);

    GetFactory(CLSID_Plain)->LockServer(TRUE);
    EXPECT_EQ(ServerLockCount(), 1);
    EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
    EXPECT_EQ(GetFactory(CLSID_Plain)->LockServer(FALSE), S_OK);
    EXPECT_EQ(ServerLockCount(), 0);
    EXPECT_EQ(DllCanUnloadNow(), S_OK);
    EXPECT_EQ(GetFactory(CLSID_Plain)->LockServer(FALSE), S_OK);
    EXPECT_EQ(ServerLockCount(), -1);
    EXPECT_EQ(DllCanUnloadNow(), S_OK);
}

TEST(CClassFactory, CreatesAnObjectHeldOnlyByTheCaller)
{
    ComPtr<IClassFactory> factory = GetFactory(CLSID_Scripted);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, nullptr), E_POINTER);
    IUnknown* object = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&object)), S_OK);
    EXPECT_EQ(lastOuter, nullptr);
    EXPECT_EQ(CTestObject::alive, 1);
    EXPECT_EQ(object->Release(), 0u);
    EXPECT_EQ(CTestObject::alive, 0);

    // An object that lacks the interface asked for is destroyed at once.
    void* out = garbage;
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IBaseFilter, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(CTestObject::created, 2);
    EXPECT_EQ(CTestObject::alive, 0);
}

TEST(CClassFactory, AggregationIsAcceptedForIUnknownOnly)
{
    struct Outer : CountingDouble<IUnknown> {} outer;
    ComPtr<IClassFactory> factory = GetFactory(CLSID_Scripted);

    void* out = garbage;
    EXPECT_EQ(factory->CreateInstance(outer.AsUnknown(), IID_IBaseFilter, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(CTestObject::created, 0);

    IUnknown* inner = nullptr;
    ASSERT_EQ(factory->CreateInstance(outer.AsUnknown(), IID_IUnknown, reinterpret_cast<void**>(&inner)), S_OK);
    EXPECT_EQ(lastOuter, outer.AsUnknown());
    // The caller holds the inner object's nondelegating unknown: its count is the inner object's own.
    EXPECT_NE(inner, outer.AsUnknown());
    EXPECT_EQ(inner->AddRef(), 2u);
    EXPECT_EQ(inner->Release(), 1u);
    EXPECT_EQ(inner->Release(), 0u);
    EXPECT_EQ(CTestObject::alive, 0);
    outer.ExpectBalanced();
}

TEST(CClassFactory, CreatorFailuresAreReturnedAndAnObjectWithAFailureIsDestroyed)
{
    ComPtr<IClassFactory> factory = GetFactory(CLSID_Scripted);
    LONG before = CBaseObject::ActiveObjectCount();
    void* out = garbage;

    scriptedCreation = Creation::ReturnsNothingWithFailure;
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, &out), scriptedFailure);
    EXPECT_EQ(out, nullptr);

    scriptedCreation = Creation::ReturnsNothingWithSuccess;
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, &out), E_OUTOFMEMORY);

    scriptedCreation = Creation::ReturnsObjectWithFailure;
    out = garbage;
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, &out), scriptedFailure);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(CTestObject::created, 1);
    EXPECT_EQ(CTestObject::alive, 0);
    EXPECT_EQ(CBaseObject::ActiveObjectCount(), before);
}
