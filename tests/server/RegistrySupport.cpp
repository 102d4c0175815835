#include "RegistrySupport.h"

#include <gtest/gtest.h>
#include <sddl.h>
#include <strmif.h>
#include <uuids.h>

#include "CRegistryKey.h"
#include "ComPtr.h"

namespace {

std::wstring GuidText(REFGUID id)
{
    wchar_t text[39] = L"";
    StringFromGUID2(id, text, 39);
    return text;
}

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

std::wstring ClassKeyName(REFCLSID classId)
{
    return L"CLSID\\" + GuidText(classId);
}

std::wstring FilterInstanceKeyName(REFCLSID classId)
{
    return L"CLSID\\{083863F1-70DE-11D0-BD40-00A0C911CE86}\\Instance\\" + GuidText(classId);
}

bool KeyExists(const std::wstring& path)
{
    CRegistryKey key;
    return RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, MAXIMUM_ALLOWED, key.Out()) == ERROR_SUCCESS;
}

std::optional<std::wstring> ReadString(const std::wstring& path, const wchar_t* valueName)
{
    wchar_t text[1024];
    DWORD bytes = sizeof(text);
    if (RegGetValueW(HKEY_CLASSES_ROOT, path.c_str(), valueName, RRF_RT_REG_SZ, nullptr, text, &bytes) != ERROR_SUCCESS)
        return std::nullopt;
    return std::wstring(text);
}

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

int CountMapperEntries(REFCLSID classId, DWORD merit)
{
    ComPtr<IFilterMapper2> mapper;
    EXPECT_EQ(CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                               mapper.OutVoid()),
              S_OK);
    if (!mapper)
        return -1;
    ComPtr<IEnumMoniker> filters;
    EXPECT_EQ(mapper->EnumMatchingFilters(filters.Out(), 0, FALSE, merit, FALSE, 0, nullptr, nullptr, nullptr, FALSE,
                                          FALSE, 0, nullptr, nullptr, nullptr),
              S_OK);
    if (!filters)
        return -1;
    ComPtr<IBindCtx> context;
    EXPECT_EQ(CreateBindCtx(0, context.Out()), S_OK);
    const std::wstring wanted = GuidText(classId);
    int found = 0;
    ComPtr<IMoniker> filter;
    while (filters->Next(1, filter.Out(), nullptr) == S_OK) {
        LPOLESTR name = nullptr;
        if (SUCCEEDED(filter->GetDisplayName(context.Get(), nullptr, &name)) && name != nullptr) {
            std::wstring displayName(name);
            CoTaskMemFree(name);
            const std::wstring tail = displayName.substr(displayName.size() >= wanted.size()
                                                             ? displayName.size() - wanted.size()
                                                             : 0);
            if (lstrcmpiW(tail.c_str(), wanted.c_str()) == 0)
                ++found;
        }
    }
    return found;
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

DWORD RunRegsvr32(const std::wstring& modulePath, bool unregister)
{
    std::wstring commandLine = std::wstring(L"regsvr32.exe /s ") + (unregister ? L"/u " : L"") + L"\"" + modulePath + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        ADD_FAILURE() << "regsvr32 could not be started: " << GetLastError();
        return static_cast<DWORD>(-1);
    }
    DWORD exitCode = static_cast<DWORD>(-1);
    if (WaitForSingleObject(process.hProcess, 30000) == WAIT_OBJECT_0)
        GetExitCodeProcess(process.hProcess, &exitCode);
    else
        TerminateProcess(process.hProcess, 99);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return exitCode;
}
