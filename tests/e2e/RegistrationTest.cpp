// regsvr32 on the real modules in the test prefix: the server keys as a COM client reads them, the filter as
// the platform's filter mapper lists it under the module's own names and merit, and unregistration that
// leaves nothing behind. How registration behaves when repeated, or with keys others added, is the server
// layer's and is tested there, on a test module built the same way.
#include <gtest/gtest.h>

#include <string>

#include "E2eModules.h"
#include "PlatformProcess.h"
#include "PlatformRegistration.h"

namespace {

class Registration : public testing::TestWithParam<ModuleUnderTest> {
protected:
    void SetUp() override
    {
        ASSERT_EQ(RunRegsvr32(modulePath, true), 0);
        ASSERT_FALSE(KeyExists(classKey));
    }

    const ModuleUnderTest& module = GetParam();
    const std::wstring modulePath = WindowsPath(module.unixPath);
    const std::wstring classKey = ClassKeyName(*module.classId);
    const std::wstring instanceKey = FilterInstanceKeyName(*module.classId);
};

TEST_P(Registration, Regsvr32ListsTheModuleUnderItsNamesAndMeritAndUnregisteringRemovesIt)
{
    ASSERT_EQ(RunRegsvr32(modulePath, false), 0);
    EXPECT_EQ(ReadString(classKey, nullptr), std::wstring(module.displayName));
    const std::wstring serverKey = classKey + L"\\InprocServer32";
    const std::wstring registeredPath = ReadString(serverKey, nullptr).value_or(L"<missing>");
    EXPECT_EQ(_wcsicmp(registeredPath.c_str(), modulePath.c_str()), 0)
        << "module path " << testing::PrintToString(registeredPath);
    EXPECT_EQ(ReadString(serverKey, L"ThreadingModel"), std::wstring(L"Both"));
    EXPECT_EQ(ReadString(instanceKey, L"FriendlyName"), std::wstring(module.filterName));
    // Listed exactly at its merit: a client asking for more does not see it.
    std::wstring listedName;
    EXPECT_EQ(CountFilterMapperEntries(*module.classId, 0, &listedName), 1);
    EXPECT_EQ(listedName, module.filterName);
    EXPECT_EQ(CountFilterMapperEntries(*module.classId, kSinkMerit), 1);
    EXPECT_EQ(CountFilterMapperEntries(*module.classId, kSinkMerit + 1), 0);

    EXPECT_EQ(RunRegsvr32(modulePath, true), 0);
    EXPECT_FALSE(KeyExists(classKey));
    EXPECT_FALSE(KeyExists(instanceKey));
    EXPECT_EQ(CountFilterMapperEntries(*module.classId, 0), 0);
}

INSTANTIATE_TEST_SUITE_P(Modules, Registration, testing::Values(kVidtapModule, kNullsinkerModule),
                         [](const testing::TestParamInfo<ModuleUnderTest>& info) {
                             return std::string(info.param.label);
                         });

}  // namespace
