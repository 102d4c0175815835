// IAMovieSetup on the base filter: the filter-mapper half of registration for one filter, against the
// platform's filter mapper (so these tests change the prefix's registry and run under a lock).
#include <gtest/gtest.h>

#include <windows.h>
#include <strmif.h>
#include <uuids.h>

#include "ComPtr.h"
#include "TestFilter.h"

namespace {

const REGPINTYPES anyType[] = {{&MEDIATYPE_NULL, &MEDIASUBTYPE_NULL}};
const REGFILTERPINS inputPin[] = {
    {const_cast<LPWSTR>(L"Input"), FALSE, FALSE, FALSE, FALSE, &CLSID_NULL, L"Output", 1, anyType}};
const FilterSetupRecord testFilterSetup = {&CLSID_TestFilter, L"TARN_TestFilter", MERIT_DO_NOT_USE, 1, inputPin};

// Whether the platform's mapper lists a filter with this class id, at any merit.
bool MapperLists(REFCLSID classId)
{
    ComPtr<IFilterMapper> mapper;
    if (FAILED(CoCreateInstance(CLSID_FilterMapper, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper,
                                mapper.OutVoid()))) {
        ADD_FAILURE() << "the platform's filter mapper cannot be created";
        return false;
    }
    ComPtr<IEnumRegFilters> filters;
    if (FAILED(mapper->EnumMatchingFilters(filters.Out(), 0, FALSE, GUID_NULL, GUID_NULL, FALSE, FALSE, GUID_NULL,
                                           GUID_NULL)))
        return false;
    bool listed = false;
    REGFILTER* entry = nullptr;
    ULONG fetched = 0;
    while (filters->Next(1, &entry, &fetched) == S_OK && fetched == 1) {
        listed = listed || IsEqualGUID(entry->Clsid, classId);
        CoTaskMemFree(entry);
    }
    return listed;
}

// Whether this thread is still in the apartment the test entry point entered.
bool CallerStillInitialised()
{
    HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (SUCCEEDED(hr))
        CoUninitialize();
    return hr == S_FALSE;
}

}  // namespace

TEST(BaseFilterRegistrationTest, FilterWithoutSetupDataRegistersNothing)
{
    ComPtr<TestFilter> filter(new TestFilter());

    EXPECT_EQ(filter->Register(), S_FALSE);
    EXPECT_EQ(filter->Unregister(), S_FALSE);
    EXPECT_FALSE(MapperLists(CLSID_TestFilter));
}

TEST(BaseFilterRegistrationTest, RegisterListsTheFilterAndUnregisterRemovesIt)
{
    ComPtr<TestFilter> filter(new TestFilter());
    filter->setupData = &testFilterSetup;
    // Not registered yet: the mapper's "not registered" counts as success.
    ASSERT_EQ(filter->Unregister(), S_OK);
    ASSERT_FALSE(MapperLists(CLSID_TestFilter));

    EXPECT_EQ(filter->Register(), S_OK);
    EXPECT_TRUE(MapperLists(CLSID_TestFilter));
    // Registration brackets its own COM use; the caller's apartment is left as it was.
    EXPECT_TRUE(CallerStillInitialised());

    EXPECT_EQ(filter->Unregister(), S_OK);
    EXPECT_FALSE(MapperLists(CLSID_TestFilter));
    EXPECT_EQ(filter->Unregister(), S_OK);
    EXPECT_TRUE(CallerStillInitialised());
}
