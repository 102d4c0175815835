#include "PlatformRegistration.h"

#include <dshow.h>

#include "ComPtr.h"
#include "PlatformProcess.h"

namespace {

std::wstring GuidText(REFGUID id)
{
    wchar_t text[39] = L"";
    StringFromGUID2(id, text, 39);
    return text;
}

// A BSTR property of a mapper entry; empty when absent or of another type.
std::wstring StringProperty(IPropertyBag* properties, const wchar_t* name)
{
    VARIANT value;
    VariantInit(&value);
    std::wstring text;
    if (SUCCEEDED(properties->Read(name, &value, nullptr)) && value.vt == VT_BSTR && value.bstrVal != nullptr)
        text = value.bstrVal;
    VariantClear(&value);
    return text;
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
    // MAXIMUM_ALLOWED: a key whose security denies everyone still exists.
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, MAXIMUM_ALLOWED, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

std::optional<std::wstring> ReadString(const std::wstring& path, const wchar_t* valueName)
{
    wchar_t data[1024] = {};
    DWORD bytes = sizeof data;
    if (RegGetValueW(HKEY_CLASSES_ROOT, path.c_str(), valueName, RRF_RT_REG_SZ, nullptr, data, &bytes) !=
        ERROR_SUCCESS)
        return std::nullopt;
    return std::wstring(data);
}

int CountFilterMapperEntries(REFCLSID classId, DWORD minimumMerit, std::wstring* friendlyName)
{
    ComPtr<IFilterMapper2> mapper;
    if (FAILED(CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                                mapper.OutVoid())))
        return -1;
    ComPtr<IEnumMoniker> filters;
    if (mapper->EnumMatchingFilters(filters.Out(), 0, FALSE, minimumMerit, FALSE, 0, nullptr, nullptr, nullptr,
                                    FALSE, FALSE, 0, nullptr, nullptr, nullptr) != S_OK)
        return -1;
    const std::wstring wanted = GuidText(classId);
    int entries = 0;
    ComPtr<IMoniker> filter;
    while (filters->Next(1, filter.Out(), nullptr) == S_OK) {
        ComPtr<IPropertyBag> properties;
        if (FAILED(filter->BindToStorage(nullptr, nullptr, IID_IPropertyBag, properties.OutVoid())))
            continue;
        if (lstrcmpiW(StringProperty(properties.Get(), L"CLSID").c_str(), wanted.c_str()) != 0)
            continue;
        ++entries;
        if (friendlyName != nullptr)
            *friendlyName = StringProperty(properties.Get(), L"FriendlyName");
    }
    return entries;
}

long RunRegsvr32(const std::wstring& modulePath, bool unregister)
{
    return RunProcess(std::wstring(L"regsvr32.exe /s ") + (unregister ? L"/u " : L"") + L"\"" + modulePath + L"\"");
}

std::optional<std::string> ExportRegistryTree(const std::wstring& key, const std::wstring& exportFile)
{
    // reg.exe of this program's own bitness: it exports the registry view this program sees.
    if (RunProcess(L"reg.exe export \"" + key + L"\" \"" + exportFile + L"\" /y") != 0)
        return std::nullopt;
    HANDLE file = CreateFileW(exportFile.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return std::nullopt;
    std::string contents;
    char buffer[65536];
    DWORD bytes = 0;
    while (ReadFile(file, buffer, sizeof buffer, &bytes, nullptr) && bytes != 0)
        contents.append(buffer, bytes);
    CloseHandle(file);
    DeleteFileW(exportFile.c_str());
    return contents;
}
