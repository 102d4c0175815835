// Test entry point for every Windows test program that links test_support: initialises COM on the test
// thread and checks, after each test, that the module's active-object count is back where it was before
// the test (a leaked reference is a failing test).
#include <gtest/gtest.h>
#include <objbase.h>

#include "CBaseObject.h"

namespace {

class ActiveObjectCountCheck : public testing::EmptyTestEventListener {
    void OnTestStart(const testing::TestInfo&) override { countAtStart = CBaseObject::ActiveObjectCount(); }
    void OnTestEnd(const testing::TestInfo& info) override
    {
        LONG now = CBaseObject::ActiveObjectCount();
        if (now != countAtStart) {
            ADD_FAILURE() << info.test_suite_name() << "." << info.name() << " left " << (now - countAtStart)
                          << " framework object(s) alive";
        }
    }
    LONG countAtStart = 0;
};

}  // namespace

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    testing::UnitTest::GetInstance()->listeners().Append(new ActiveObjectCountCheck);
    int result = RUN_ALL_TESTS();
    CoUninitialize();
    return result;
}
