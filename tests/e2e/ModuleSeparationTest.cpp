// vidtap.dll and nullsinker.dll loaded side by side in one process: each module's class table serves only its
// own class, and each module's unload answer counts only its own objects, factories and server locks.
#include <gtest/gtest.h>
#include <strmif.h>

#include "ComPtr.h"
#include "E2eModules.h"
#include "PlatformProcess.h"

namespace {

using GetClassObjectEntry = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
using CanUnloadNowEntry = HRESULT(STDAPICALLTYPE*)();

// One loaded module and its two entry points; freed when the test ends.
class LoadedModule {
public:
    explicit LoadedModule(const char* unixPath) : library(LoadLibraryW(WindowsPath(unixPath).c_str()))
    {
        if (library != nullptr) {
            getClassObject =
                reinterpret_cast<GetClassObjectEntry>(GetProcAddress(library, "DllGetClassObject"));
            canUnloadNow = reinterpret_cast<CanUnloadNowEntry>(GetProcAddress(library, "DllCanUnloadNow"));
        }
    }
    ~LoadedModule()
    {
        if (library != nullptr)
            FreeLibrary(library);
    }
    LoadedModule(const LoadedModule&) = delete;
    LoadedModule& operator=(const LoadedModule&) = delete;

    bool Loaded() const { return getClassObject != nullptr && canUnloadNow != nullptr; }
    HRESULT Factory(REFCLSID classId, IClassFactory** factory)
    {
        return getClassObject(classId, IID_IClassFactory, reinterpret_cast<void**>(factory));
    }
    HRESULT CanUnloadNow() { return canUnloadNow(); }

private:
    HMODULE library;
    GetClassObjectEntry getClassObject = nullptr;
    CanUnloadNowEntry canUnloadNow = nullptr;
};

class BothModules : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(vidtap.Loaded());
        ASSERT_TRUE(nullsinker.Loaded());
        ASSERT_EQ(vidtap.CanUnloadNow(), S_OK);
        ASSERT_EQ(nullsinker.CanUnloadNow(), S_OK);
    }

    LoadedModule vidtap{E2E_VIDTAP_DLL};
    LoadedModule nullsinker{E2E_NULLSINKER_DLL};
};

// The class id an object reports through IPersist.
CLSID ReportedClassId(IUnknown* object)
{
    CLSID id = GUID_NULL;
    ComPtr<IPersist> persist;
    if (SUCCEEDED(object->QueryInterface(IID_IPersist, persist.OutVoid())))
        persist->GetClassID(&id);
    return id;
}

TEST_F(BothModules, EachModuleServesOnlyItsOwnClass)
{
    IClassFactory* foreign = reinterpret_cast<IClassFactory*>(1);
    EXPECT_EQ(vidtap.Factory(kNullsinkerClassId, &foreign), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(foreign, nullptr);
    foreign = reinterpret_cast<IClassFactory*>(1);
    EXPECT_EQ(nullsinker.Factory(kVidtapClassId, &foreign), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(foreign, nullptr);

    ComPtr<IClassFactory> vidtapFactory;
    ComPtr<IClassFactory> nullsinkerFactory;
    ASSERT_EQ(vidtap.Factory(kVidtapClassId, vidtapFactory.Out()), S_OK);
    ASSERT_EQ(nullsinker.Factory(kNullsinkerClassId, nullsinkerFactory.Out()), S_OK);
    ComPtr<IBaseFilter> capture;
    ComPtr<IBaseFilter> discard;
    ASSERT_EQ(vidtapFactory->CreateInstance(nullptr, IID_IBaseFilter, capture.OutVoid()), S_OK);
    ASSERT_EQ(nullsinkerFactory->CreateInstance(nullptr, IID_IBaseFilter, discard.OutVoid()), S_OK);
    EXPECT_TRUE(IsEqualGUID(ReportedClassId(capture.Get()), kVidtapClassId));
    EXPECT_TRUE(IsEqualGUID(ReportedClassId(discard.Get()), kNullsinkerClassId));
}

TEST_F(BothModules, UnloadAnswerOfEachModuleCountsOnlyItsOwnObjects)
{
    ComPtr<IClassFactory> vidtapFactory;
    ASSERT_EQ(vidtap.Factory(kVidtapClassId, vidtapFactory.Out()), S_OK);
    EXPECT_EQ(vidtap.CanUnloadNow(), S_FALSE);
    EXPECT_EQ(nullsinker.CanUnloadNow(), S_OK);

    ComPtr<IBaseFilter> capture;
    ASSERT_EQ(vidtapFactory->CreateInstance(nullptr, IID_IBaseFilter, capture.OutVoid()), S_OK);
    vidtapFactory.Reset();
    EXPECT_EQ(vidtap.CanUnloadNow(), S_FALSE);
    EXPECT_EQ(nullsinker.CanUnloadNow(), S_OK);

    ComPtr<IClassFactory> nullsinkerFactory;
    ASSERT_EQ(nullsinker.Factory(kNullsinkerClassId, nullsinkerFactory.Out()), S_OK);
    ASSERT_EQ(nullsinkerFactory->LockServer(TRUE), S_OK);
    nullsinkerFactory.Reset();
    capture.Reset();
    EXPECT_EQ(vidtap.CanUnloadNow(), S_OK);
    EXPECT_EQ(nullsinker.CanUnloadNow(), S_FALSE);  // the server lock alone keeps it

    ASSERT_EQ(nullsinker.Factory(kNullsinkerClassId, nullsinkerFactory.Out()), S_OK);
    ASSERT_EQ(nullsinkerFactory->LockServer(FALSE), S_OK);
    nullsinkerFactory.Reset();
    EXPECT_EQ(vidtap.CanUnloadNow(), S_OK);
    EXPECT_EQ(nullsinker.CanUnloadNow(), S_OK);
}

}  // namespace
