#include <windows.h>
#include <gtest/gtest.h>

TEST(Platform, NamedSectionIsVisibleByName)
{
    HANDLE section = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, L"tarn_smoke_section");
    ASSERT_NE(section, nullptr);
    HANDLE again = OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, L"tarn_smoke_section");
    EXPECT_NE(again, nullptr);
    CloseHandle(again);
    CloseHandle(section);
}
