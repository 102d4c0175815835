// regsvr32 on the real modules in the test prefix: the server keys as a COM client reads them, the filter as
// the platform's filter mapper lists it, and unregistration that leaves nothing behind.
#include <gtest/gtest.h>
#include <dshow.h>

#include <string>

#include "ComPtr.h"
#include "E2eModules.h"
#include "PlatformProcess.h"

namespace {

// The filter mapper's category of DirectShow filters; its Instance sub-key holds one key per filter.
const wchar_t kFilterInstances[] = L"CLSID\\{083863F1-70DE-11D0-BD40-00A0C911CE86}\\Instance\\";

std::wstring GuidText(REFGUID id)
{
    wchar_t text[39];
    StringFromGUID2(id, text, 39);
    return text;
}

bool ClassesRootKeyExists(const std::wstring& path)
{
    HKEY key;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

// A REG_SZ value under HKEY_CLASSES_ROOT (`value` null: the default value); "<missing>" when absent or of
// another type.
std::wstring ClassesRootString(const std::wstring& path, const wchar_t* value)
{
    HKEY key;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return L"<missing>";
    wchar_t data[520] = {};
    DWORD type = 0;
    DWORD size = sizeof data - sizeof(wchar_t);
    LONG result = RegQueryValueExW(key, value, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(key);
    return result == ERROR_SUCCESS && type == REG_SZ ? std::wstring(data) : L"<missing>";
}

// How often the filter mapper lists `classId` among all filters of at least `minimumMerit`; the friendly
// name of the last such entry goes to `name`.
int FilterMapperEntries(REFCLSID classId, DWORD minimumMerit, std::wstring* name = nullptr)
{
    ComPtr<IFilterMapper2> mapper;
    if (FAILED(CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                                mapper.OutVoid())))
        return -1;
    ComPtr<IEnumMoniker> filters;
    if (mapper->EnumMatchingFilters(filters.Out(), 0, FALSE, minimumMerit, FALSE, 0, nullptr, nullptr, nullptr,
                                    FALSE, FALSE, 0, nullptr, nullptr, nullptr) != S_OK)
        return -1;
    int entries = 0;
    ComPtr<IMoniker> filter;
    while (filters->Next(1, filter.Out(), nullptr) == S_OK) {
        ComPtr<IPropertyBag> properties;
        if (FAILED(filter->BindToStorage(nullptr, nullptr, IID_IPropertyBag, properties.OutVoid())))
            continue;
        VARIANT value;
        VariantInit(&value);
        CLSID listed = GUID_NULL;
        if (SUCCEEDED(properties->Read(L"CLSID", &value, nullptr)) && value.vt == VT_BSTR)
            CLSIDFromString(value.bstrVal, &listed);
        VariantClear(&value);
        if (!IsEqualGUID(listed, classId))
            continue;
        ++entries;
        if (name != nullptr && SUCCEEDED(properties->Read(L"FriendlyName", &value, nullptr)) &&
            value.vt == VT_BSTR)
            *name = value.bstrVal;
        VariantClear(&value);
    }
    return entries;
}

class Registration : public testing::TestWithParam<ModuleUnderTest> {
protected:
    void SetUp() override
    {
        ASSERT_EQ(RunRegsvr32(module.unixPath, true), 0);
        ASSERT_FALSE(ClassesRootKeyExists(classKey));
    }

    void ExpectRegistered()
    {
        EXPECT_EQ(ClassesRootString(classKey, nullptr), module.displayName);
        const std::wstring serverKey = classKey + L"\\InprocServer32";
        EXPECT_EQ(_wcsicmp(ClassesRootString(serverKey, nullptr).c_str(), WindowsPath(module.unixPath).c_str()), 0)
            << "module path " << testing::PrintToString(ClassesRootString(serverKey, nullptr));
        EXPECT_EQ(ClassesRootString(serverKey, L"ThreadingModel"), L"Both");
        EXPECT_EQ(ClassesRootString(instanceKey, L"FriendlyName"), module.filterName);
        // Listed exactly at its merit: a client asking for more does not see it.
        std::wstring listedName;
        EXPECT_EQ(FilterMapperEntries(*module.classId, 0, &listedName), 1);
        EXPECT_EQ(listedName, module.filterName);
        EXPECT_EQ(FilterMapperEntries(*module.classId, kSinkMerit), 1);
        EXPECT_EQ(FilterMapperEntries(*module.classId, kSinkMerit + 1), 0);
    }

    void ExpectUnregistered()
    {
        EXPECT_FALSE(ClassesRootKeyExists(classKey));
        EXPECT_FALSE(ClassesRootKeyExists(instanceKey));
        EXPECT_EQ(FilterMapperEntries(*module.classId, 0), 0);
    }

    const ModuleUnderTest& module = GetParam();
    const std::wstring classKey = L"CLSID\\" + GuidText(*module.classId);
    const std::wstring instanceKey = kFilterInstances + GuidText(*module.classId);
};

TEST_P(Registration, Regsvr32WritesServerKeysAndListsTheFilterWithItsNameAndMerit)
{
    ASSERT_EQ(RunRegsvr32(module.unixPath, false), 0);
    ExpectRegistered();
}

TEST_P(Registration, RegisteringTwiceLeavesOneFilterEntry)
{
    ASSERT_EQ(RunRegsvr32(module.unixPath, false), 0);
    ASSERT_EQ(RunRegsvr32(module.unixPath, false), 0);
    ExpectRegistered();
}

TEST_P(Registration, UnregisteringRemovesEverythingAlsoSubKeysOthersAdded)
{
    ASSERT_EQ(RunRegsvr32(module.unixPath, false), 0);
    HKEY added;
    ASSERT_EQ(RegCreateKeyW(HKEY_CLASSES_ROOT, (classKey + L"\\AddedByOthers\\Deeper").c_str(), &added),
              ERROR_SUCCESS);
    const wchar_t text[] = L"x";
    EXPECT_EQ(RegSetValueExW(added, L"Note", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof text),
              ERROR_SUCCESS);
    RegCloseKey(added);

    EXPECT_EQ(RunRegsvr32(module.unixPath, true), 0);
    ExpectUnregistered();
}

TEST_P(Registration, UnregisteringTwiceSucceeds)
{
    ASSERT_EQ(RunRegsvr32(module.unixPath, false), 0);
    EXPECT_EQ(RunRegsvr32(module.unixPath, true), 0);
    EXPECT_EQ(RunRegsvr32(module.unixPath, true), 0);
    ExpectUnregistered();
}

INSTANTIATE_TEST_SUITE_P(Modules, Registration, testing::Values(kVidtapModule, kNullsinkerModule),
                         [](const testing::TestParamInfo<ModuleUnderTest>& info) {
                             return std::string(info.param.label);
                         });

}  // namespace
