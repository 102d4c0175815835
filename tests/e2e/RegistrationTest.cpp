// regsvr32 on the real modules in the test prefix: each module's own names and merit, as the class key and
// the platform's filter mapper list them, and unregistration. The server path, threading model and what
// unregistration removes (also when repeated, or with keys others added) are the server layer's and are
// tested there (TestModuleRegistration), on a test module built the same way; COM creating each module's
// filter from the registered path is every SinkGraph test's set-up.
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
    EXPECT_EQ(ReadString(instanceKey, L"FriendlyName"), std::wstring(module.filterName));
    // Listed exactly at its merit: a client asking for more does not see it.
    std::wstring listedName;
    EXPECT_EQ(CountFilterMapperEntries(*module.classId, 0, &listedName), 1);
    EXPECT_EQ(listedName, module.filterName);
    EXPECT_EQ(CountFilterMapperEntries(*module.classId, kSinkMerit), 1);
    EXPECT_EQ(CountFilterMapperEntries(*module.classId, kSinkMerit + 1), 0);

    EXPECT_EQ(RunRegsvr32(modulePath, true), 0);
    EXPECT_FALSE(KeyExists(classKey));
    EXPECT_EQ(CountFilterMapperEntries(*module.classId, 0), 0);
}

INSTANTIATE_TEST_SUITE_P(Modules, Registration, testing::Values(kVidtapModule, kNullsinkerModule),
                         ModuleLabel);

}  // namespace
