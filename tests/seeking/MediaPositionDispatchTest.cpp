// The IDispatch half of the pass-through's IMediaPosition face, against the platform's real automation
// library and type library (loaded at run time; this program does not import OleAut32 either, so whether
// the library is loaded at all shows whether its references balance).
#include <gtest/gtest.h>

#include <windows.h>
#include <control.h>
#include <oaidl.h>
#include <strmif.h>

#include <atomic>
#include <string>
#include <thread>

#include "AutomationLibraryTestSeam.h"
#include "CDispatchTypeInfo.h"
#include "CPosPassThru.h"
#include "FakeSeekingInputPin.h"
#include "FakeUpstreamPin.h"

namespace {

bool AutomationModuleLoaded()
{
    return GetModuleHandleW(L"oleaut32.dll") != nullptr;
}

class MediaPositionDispatchTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(CurrentAutomationLibrary(), nullptr);
        ASSERT_FALSE(AutomationModuleLoaded());
        pin.peer = &upstream;
        passThru = NewPassThru();
        position = passThru;
    }
    void TearDown() override
    {
        if (passThru != nullptr) {
            EXPECT_EQ(passThru->NonDelegatingRelease(), 0u);
        }
        // The last object of the module took the automation library with it, exactly once.
        EXPECT_EQ(CurrentAutomationLibrary(), nullptr);
        EXPECT_FALSE(AutomationModuleLoaded());
        upstream.ExpectBalanced();
        pin.ExpectBalanced();
    }

    CPosPassThru* NewPassThru()
    {
        HRESULT hr = S_OK;
        CPosPassThru* created = new CPosPassThru(L"dispatch test", nullptr, &hr, &pin);
        created->NonDelegatingAddRef();
        EXPECT_EQ(hr, S_OK);
        return created;
    }

    DISPID IdOf(const wchar_t* name)
    {
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        DISPID id = DISPID_UNKNOWN;
        EXPECT_EQ(position->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), S_OK) << name;
        return id;
    }
    // Reads the Duration property by name, as a script host would, and checks that it came back in seconds.
    void ExpectLateBoundDuration(double seconds)
    {
        const DISPID duration = IdOf(L"Duration");
        VARIANT result;
        result.vt = VT_EMPTY;
        DISPPARAMS noArguments = {nullptr, nullptr, 0, 0};
        EXPECT_EQ(position->Invoke(duration, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &noArguments,
                                   &result, nullptr, nullptr),
                  S_OK);
        EXPECT_EQ(result.vt, VT_R8);
        EXPECT_EQ(result.dblVal, seconds);
    }

    FakeUpstreamPin upstream{UpstreamKind::Seekable};
    FakeSeekingInputPin pin;
    CPosPassThru* passThru = nullptr;
    IMediaPosition* position = nullptr;
};

// Only type information 0 exists; asking for the count or another index loads nothing. Type information 0
// describes IMediaPosition and is loaded once.
TEST_F(MediaPositionDispatchTest, OnlyTypeInfoZeroExistsAndDescribesIMediaPosition)
{
    UINT count = 0;
    EXPECT_EQ(position->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(position->GetTypeInfoCount(nullptr), E_POINTER);
    ITypeInfo* info = reinterpret_cast<ITypeInfo*>(1);
    EXPECT_EQ(position->GetTypeInfo(1, LOCALE_USER_DEFAULT, &info), TYPE_E_ELEMENTNOTFOUND);
    EXPECT_EQ(info, nullptr);
    EXPECT_EQ(position->GetTypeInfo(0, LOCALE_USER_DEFAULT, nullptr), E_POINTER);
    EXPECT_EQ(CurrentAutomationLibrary(), nullptr);

    ASSERT_EQ(position->GetTypeInfo(0, LOCALE_USER_DEFAULT, &info), S_OK);
    TYPEATTR* attributes = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attributes), S_OK);
    EXPECT_TRUE(IsEqualGUID(attributes->guid, IID_IMediaPosition));
    info->ReleaseTypeAttr(attributes);

    EXPECT_NE(CurrentAutomationLibrary(), nullptr);
    EXPECT_EQ(CurrentAutomationLibrary(), GetModuleHandleW(L"oleaut32.dll"));
    ITypeInfo* again = nullptr;
    ASSERT_EQ(position->GetTypeInfo(0, LOCALE_USER_DEFAULT, &again), S_OK);
    EXPECT_EQ(again, info);
    again->Release();
    info->Release();
}

// A late-bound property get reaches the upstream and comes back in seconds; a put passes its seconds
// unconverted; a failure comes back as the call's exception.
TEST_F(MediaPositionDispatchTest, LateBoundPropertiesReachTheUpstreamInSeconds)
{
    upstream.secondsAnswer = 12.5;
    ExpectLateBoundDuration(12.5);
    ASSERT_EQ(upstream.calls.size(), 1u);
    EXPECT_EQ(upstream.calls[0].method, "get_Duration");
    upstream.calls.clear();

    const DISPID currentPosition = IdOf(L"CurrentPosition");
    VARIANT seconds;
    seconds.vt = VT_R8;
    seconds.dblVal = 1.5;
    DISPID namedPut = DISPID_PROPERTYPUT;
    DISPPARAMS arguments = {&seconds, &namedPut, 1, 1};
    EXPECT_EQ(position->Invoke(currentPosition, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &arguments,
                               nullptr, nullptr, nullptr),
              S_OK);
    ASSERT_EQ(upstream.calls.size(), 1u);
    EXPECT_EQ(upstream.calls[0], (UpstreamCall{"put_CurrentPosition", {}, {}, {1.5}}));

    // An upstream failure comes back as the exception of the late-bound call, carrying the upstream's code.
    upstream.seekingResult = E_NOTIMPL;
    DISPPARAMS noArguments = {nullptr, nullptr, 0, 0};
    VARIANT result = {};
    EXCEPINFO exception = {};
    EXPECT_EQ(position->Invoke(IdOf(L"Duration"), IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET,
                               &noArguments, &result, &exception, nullptr),
              DISP_E_EXCEPTION);
    EXPECT_EQ(exception.scode, E_NOTIMPL);
    // Freed through the loaded library: this program does not import it.
    using FreeString = void(WINAPI*)(BSTR);
    auto freeString = reinterpret_cast<FreeString>(
        reinterpret_cast<void (*)()>(GetProcAddress(CurrentAutomationLibrary(), "SysFreeString")));
    ASSERT_NE(freeString, nullptr);
    for (BSTR text : {exception.bstrSource, exception.bstrDescription, exception.bstrHelpFile})
        freeString(text);
}

// Null name or id arrays, and an Invoke for another interface, are refused before the platform is reached;
// names are looked up in IMediaPosition whatever interface the caller names.
TEST_F(MediaPositionDispatchTest, RefusedCallsLoadNothingAndNamesAreLookedUpInIMediaPositionWhateverTheInterface)
{
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"Rate")};
    DISPID viaNull = DISPID_UNKNOWN;
    DISPID viaOther = DISPID_UNKNOWN;
    EXPECT_EQ(position->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, nullptr), E_POINTER);
    EXPECT_EQ(position->GetIDsOfNames(IID_NULL, nullptr, 1, LOCALE_USER_DEFAULT, &viaNull), E_POINTER);
    DISPPARAMS noArguments = {nullptr, nullptr, 0, 0};
    VARIANT result;
    result.vt = VT_EMPTY;
    EXPECT_EQ(position->Invoke(1, IID_IMediaPosition, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &noArguments,
                               &result, nullptr, nullptr),
              DISP_E_UNKNOWNINTERFACE);
    EXPECT_EQ(CurrentAutomationLibrary(), nullptr);
    EXPECT_FALSE(AutomationModuleLoaded());
    EXPECT_TRUE(upstream.calls.empty());

    ASSERT_EQ(position->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &viaNull), S_OK);
    ASSERT_EQ(position->GetIDsOfNames(IID_IMediaSeeking, names, 1, LOCALE_USER_DEFAULT, &viaOther), S_OK);
    EXPECT_EQ(viaOther, viaNull);
    LPOLESTR unknownName[] = {const_cast<LPOLESTR>(L"NoSuchMember")};
    EXPECT_EQ(position->GetIDsOfNames(IID_NULL, unknownName, 1, LOCALE_USER_DEFAULT, &viaOther), DISP_E_UNKNOWNNAME);
}

// Two threads make the first IDispatch call of the module at the same moment, on one object: both must get
// the same type information, and afterwards exactly the references of a single load remain (the loser's
// type information and library reference given back, nothing released twice).
TEST_F(MediaPositionDispatchTest, ConcurrentFirstCallsKeepOneTypeInfoAndOneLibraryReference)
{
    // A single-threaded first load tells how many references the platform's type information carries
    // while the object and one caller hold it.
    ULONG referencesWithOneCaller = 0;
    {
        ITypeInfo* info = nullptr;
        ASSERT_EQ(position->GetTypeInfo(0, LOCALE_USER_DEFAULT, &info), S_OK);
        referencesWithOneCaller = info->AddRef() - 1;
        info->Release();
        info->Release();
        EXPECT_EQ(passThru->NonDelegatingRelease(), 0u);
        passThru = nullptr;
        ASSERT_FALSE(AutomationModuleLoaded());
    }

    for (int round = 0; round < 20; ++round) {
        CPosPassThru* shared = NewPassThru();
        IMediaPosition* face = shared;
        std::atomic<int> ready{0};
        std::atomic<bool> go{false};
        ITypeInfo* seen[2] = {nullptr, nullptr};
        HRESULT results[2] = {E_FAIL, E_FAIL};
        auto firstCall = [&](int slot) {
            ready.fetch_add(1);
            while (!go.load())
                ;
            results[slot] = face->GetTypeInfo(0, LOCALE_USER_DEFAULT, &seen[slot]);
        };
        std::thread a(firstCall, 0);
        std::thread b(firstCall, 1);
        while (ready.load() != 2)
            ;
        go.store(true);
        a.join();
        b.join();

        ASSERT_EQ(results[0], S_OK) << "round " << round;
        ASSERT_EQ(results[1], S_OK) << "round " << round;
        EXPECT_EQ(seen[0], seen[1]) << "round " << round;
        seen[0]->Release();
        EXPECT_EQ(seen[1]->AddRef() - 1, referencesWithOneCaller) << "round " << round;
        seen[1]->Release();
        seen[1]->Release();

        EXPECT_EQ(shared->NonDelegatingRelease(), 0u);
        EXPECT_EQ(CurrentAutomationLibrary(), nullptr);
        ASSERT_FALSE(AutomationModuleLoaded()) << "a library reference leaked in round " << round;
    }
}

// Without a registered type library the file "control.tlb" is tried; the registration is hidden for this
// process only by redirecting HKEY_CLASSES_ROOT to an empty key.
class UnregisteredTypeLibraryTest : public MediaPositionDispatchTest {
protected:
    void SetUp() override
    {
        MediaPositionDispatchTest::SetUp();
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\TarnSeekingTest\\EmptyClasses", 0, nullptr, 0,
                                  KEY_ALL_ACCESS, nullptr, &emptyClasses, nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegOverridePredefKey(HKEY_CLASSES_ROOT, emptyClasses), ERROR_SUCCESS);
        GetCurrentDirectoryW(MAX_PATH, previousDirectory);
    }
    void TearDown() override
    {
        // The type library read from the copy must be gone before the copy can be deleted.
        if (passThru != nullptr) {
            EXPECT_EQ(passThru->NonDelegatingRelease(), 0u);
        }
        passThru = nullptr;
        RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
        RegCloseKey(emptyClasses);
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\TarnSeekingTest");
        SetCurrentDirectoryW(previousDirectory);
        if (!libraryCopy.empty()) {
            DeleteFileW(libraryCopy.c_str());
            RemoveDirectoryW(copyDirectory.c_str());
        }
        MediaPositionDispatchTest::TearDown();
    }

    // Makes "control.tlb" findable in the current directory: the platform's own DirectShow module, whose
    // embedded type library LoadTypeLib reads.
    void ProvideControlTypeLibrary()
    {
        wchar_t path[MAX_PATH];
        GetTempPathW(MAX_PATH, path);
        copyDirectory = std::wstring(path) + L"tarn-seeking-" + std::to_wstring(GetCurrentProcessId());
        ASSERT_TRUE(CreateDirectoryW(copyDirectory.c_str(), nullptr));
        GetSystemDirectoryW(path, MAX_PATH);
        libraryCopy = copyDirectory + L"\\control.tlb";
        ASSERT_TRUE(CopyFileW((std::wstring(path) + L"\\quartz.dll").c_str(), libraryCopy.c_str(), TRUE));
        ASSERT_TRUE(SetCurrentDirectoryW(copyDirectory.c_str()));
    }

    HKEY emptyClasses = nullptr;
    wchar_t previousDirectory[MAX_PATH] = {};
    std::wstring copyDirectory;
    std::wstring libraryCopy;
};

TEST_F(UnregisteredTypeLibraryTest, MissingControlTypeLibraryIsReportedAndForwardingStillWorks)
{
    ITypeInfo* info = reinterpret_cast<ITypeInfo*>(1);
    const HRESULT loadFailure = position->GetTypeInfo(0, LOCALE_USER_DEFAULT, &info);
    EXPECT_EQ(loadFailure, TYPE_E_CANTLOADLIBRARY);
    EXPECT_EQ(info, nullptr);
    DISPPARAMS noArguments = {nullptr, nullptr, 0, 0};
    EXPECT_EQ(position->Invoke(1, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &noArguments, nullptr,
                               nullptr, nullptr),
              loadFailure);

    REFTIME length = 0.0;
    upstream.secondsAnswer = 2.0;
    EXPECT_EQ(position->get_Duration(&length), S_OK);
    EXPECT_EQ(length, 2.0);
}

TEST_F(UnregisteredTypeLibraryTest, ControlTypeLibraryFileIsUsedInstead)
{
    ProvideControlTypeLibrary();
    upstream.secondsAnswer = 9.0;
    ExpectLateBoundDuration(9.0);
}

}  // namespace
