#include "RegistrySupport.h"

#include <gtest/gtest.h>
#include <sddl.h>
#include <strmif.h>
#include <uuids.h>

#include "CRegistryKey.h"
#include "ComPtr.h"

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

std::vector<BYTE> ReadBinary(const std::wstring& path, const wchar_t* valueName)
{
    std::vector<BYTE> data(4096);
    DWORD bytes = static_cast<DWORD>(data.size());
    if (RegGetValueW(HKEY_CLASSES_ROOT, path.c_str(), valueName, RRF_RT_REG_BINARY, nullptr, data.data(), &bytes) !=
        ERROR_SUCCESS)
        return {};
    data.resize(bytes);
    return data;
}

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
