#include "RegistrySupport.h"

#include <gtest/gtest.h>
#include <sddl.h>

#include "CRegistryKey.h"

namespace {

void SetSecurity(const std::wstring& path, const wchar_t* descriptor)
{
    CRegistryKey key;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, WRITE_DAC, key.Out()), ERROR_SUCCESS) << "open";
    PSECURITY_DESCRIPTOR security = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(descriptor, SDDL_REVISION_1, &security, nullptr));
    EXPECT_EQ(RegSetKeySecurity(key.Get(), DACL_SECURITY_INFORMATION, security), ERROR_SUCCESS);
    LocalFree(security);
}

}  // namespace

void CreateKeyWithValue(const std::wstring& path)
{
    CRegistryKey key;
    ASSERT_EQ(RegCreateKeyW(HKEY_CLASSES_ROOT, path.c_str(), key.Out()), ERROR_SUCCESS) << "create";
    const wchar_t value[] = L"someone else's";
    EXPECT_EQ(RegSetValueExW(key.Get(), L"Owner", 0, REG_SZ, reinterpret_cast<const BYTE*>(value), sizeof(value)),
              ERROR_SUCCESS);
}

void DenyEveryone(const std::wstring& path)
{
    SetSecurity(path, L"D:(D;;KA;;;WD)");
}

void AllowEveryone(const std::wstring& path)
{
    SetSecurity(path, L"D:(A;;KA;;;WD)");
}

std::wstring PathNextToTestProgram(const wchar_t* fileName)
{
    wchar_t program[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, program, MAX_PATH);
    std::wstring path(program, length);
    return path.substr(0, path.find_last_of(L'\\') + 1) + fileName;
}
