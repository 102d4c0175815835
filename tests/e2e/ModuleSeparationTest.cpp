// vidtap.dll and nullsinker.dll loaded side by side in one process: each module's class table serves only its
// own class, each module's unload answer counts only its own objects, factories and server locks, and each
// exports the frame record classes' members by name.
#include <gtest/gtest.h>
#include <strmif.h>

#include <cstdint>

#include "ComPtr.h"
#include "E2eModules.h"
#include "PlatformProcess.h"

namespace {

using GetClassObjectEntry = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
using CanUnloadNowEntry = HRESULT(STDAPICALLTYPE*)();

// One loaded module and its entry points; freed when the test ends.
class LoadedModule {
public:
    explicit LoadedModule(const char* unixPath) : library(LoadLibraryW(WindowsPath(unixPath).c_str())) {}
    ~LoadedModule()
    {
        if (library != nullptr)
            FreeLibrary(library);
    }
    LoadedModule(const LoadedModule&) = delete;
    LoadedModule& operator=(const LoadedModule&) = delete;

    bool Loaded() const { return Export("DllGetClassObject") != nullptr && Export("DllCanUnloadNow") != nullptr; }
    FARPROC Export(const char* name) const { return library != nullptr ? GetProcAddress(library, name) : nullptr; }
    // An export as the function type it has.
    template <class Function>
    Function Entry(const char* name) const
    {
        return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(Export(name)));
    }
    HRESULT Factory(REFCLSID classId, IClassFactory** factory) const
    {
        return Entry<GetClassObjectEntry>("DllGetClassObject")(classId, IID_IClassFactory,
                                                               reinterpret_cast<void**>(factory));
    }
    HRESULT CanUnloadNow() const { return Entry<CanUnloadNowEntry>("DllCanUnloadNow")(); }

private:
    HMODULE library;
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

// What keeps a module loaded (a factory, an object, a server lock) is EntryPointsTest's; here each module's
// answer is shown to count its own objects and locks only.
TEST_F(BothModules, UnloadAnswerOfEachModuleCountsOnlyItsOwnObjects)
{
    ComPtr<IClassFactory> vidtapFactory;
    ASSERT_EQ(vidtap.Factory(kVidtapClassId, vidtapFactory.Out()), S_OK);
    ComPtr<IBaseFilter> capture;
    ASSERT_EQ(vidtapFactory->CreateInstance(nullptr, IID_IBaseFilter, capture.OutVoid()), S_OK);
    vidtapFactory.Reset();
    EXPECT_EQ(vidtap.CanUnloadNow(), S_FALSE);
    EXPECT_EQ(nullsinker.CanUnloadNow(), S_OK);

    ComPtr<IClassFactory> nullsinkerFactory;
    ASSERT_EQ(nullsinker.Factory(kNullsinkerClassId, nullsinkerFactory.Out()), S_OK);
    ASSERT_EQ(nullsinkerFactory->LockServer(TRUE), S_OK);
    capture.Reset();
    EXPECT_EQ(vidtap.CanUnloadNow(), S_OK);
    ASSERT_EQ(nullsinkerFactory->LockServer(FALSE), S_OK);
}

// The exported members of CVideoFrameForm and CVideoFrame, by their C++ names, as a consumer links them.
const char* const kFrameRecordMembers[] = {
    "_ZN15CVideoFrameFormC1Ev", "_ZN15CVideoFrameFormC2Ev", "_ZNK15CVideoFrameForm15IsFrameFormInitEv",
    "_ZNK15CVideoFrameForm13get_SizeBytesEv", "_ZN15CVideoFrameFormaSERKS_", "_ZN11CVideoFrameC1Ev",
    "_ZN11CVideoFrameC2Ev", "_ZN11CVideoFrameD1Ev", "_ZN11CVideoFrameD2Ev", "_ZNK11CVideoFrame12IsValidFrameEPh",
    "_ZN11CVideoFrameaSERKS_"};

// The exports called the way a consumer's compiler calls members (this in ECX). What each member does is
// pinned on the records themselves (FrameRecordsTest) and through the Microsoft names (msconsumer); here the
// names are shown to reach those members.
using Construct = void(__attribute__((thiscall)) *)(void* self);
using SizeBytes = int(__attribute__((thiscall)) *)(const void* self);

TEST_F(BothModules, EachModuleExportsTheFrameRecordMembersByName)
{
    for (const LoadedModule* module : {&vidtap, &nullsinker}) {
        for (const char* name : kFrameRecordMembers)
            EXPECT_NE(module->Export(name), nullptr) << name;
        EXPECT_EQ(module->Export("_ZN15CVideoFrameFormD1Ev"), nullptr) << "the form has no exported destructor";

        // A form: four int32 fields (width, height, stride, pixelSize).
        int32_t form[4] = {-1, -1, -1, -1};
        module->Entry<Construct>("_ZN15CVideoFrameFormC1Ev")(form);
        EXPECT_EQ(form[3], 4);
        form[1] = 4;
        form[2] = 24;
        EXPECT_EQ(module->Entry<SizeBytes>("_ZNK15CVideoFrameForm13get_SizeBytesEv")(form), 96);
    }
}

}  // namespace
