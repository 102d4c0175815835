// IAMovieSetup on the base filter: the filter-mapper half of registration for one filter, against the
// platform's filter mapper (so these tests change the prefix's registry and run under a lock) and against a
// mapper double standing in for the platform's class.
#include <gtest/gtest.h>

#include <windows.h>
#include <strmif.h>
#include <uuids.h>

#include <string>
#include <vector>

#include "ComPtr.h"
#include "FakeClassFactory.h"
#include "FakeFilterMapper.h"
#include "FilterMapperRegistration.h"
#include "PlatformRegistration.h"
#include "TestFilter.h"

namespace {

const REGPINTYPES anyType[] = {{&MEDIATYPE_NULL, &MEDIASUBTYPE_NULL}};
const REGFILTERPINS inputPin[] = {
    {const_cast<LPWSTR>(L"Input"), FALSE, FALSE, FALSE, FALSE, &CLSID_NULL, L"Output", 1, anyType}};
const FilterSetupRecord testFilterSetup = {&CLSID_TestFilter, L"TARN_TestFilter", MERIT_DO_NOT_USE, 1, inputPin};
// Two pins, one with two media types and one with none that names the filter it connects to.
const REGPINTYPES twoTypes[] = {{&MEDIATYPE_Video, &MEDIASUBTYPE_YUY2}, {&MEDIATYPE_Audio, &MEDIASUBTYPE_PCM}};
const REGFILTERPINS twoPins[] = {
    {const_cast<LPWSTR>(L"In"), TRUE, FALSE, TRUE, FALSE, &CLSID_NULL, L"Out", 2, twoTypes},
    {const_cast<LPWSTR>(L"Out"), FALSE, TRUE, FALSE, TRUE, &CLSID_TestFilter, L"In", 0, nullptr}};
const FilterSetupRecord twoPinSetup = {&CLSID_TestFilter, L"TARN_TwoPins", 0x00600000, 2, twoPins};

// Whether this thread is still in the apartment the test entry point entered.
bool CallerStillInitialised()
{
    HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (SUCCEEDED(hr))
        CoUninitialize();
    return hr == S_FALSE;
}

}  // namespace

// A filter without setup data registers nothing.
TEST(BaseFilterRegistrationTest, RegisterListsTheFilterAndUnregisterRemovesIt)
{
    ComPtr<TestFilter> filter(new TestFilter());
    EXPECT_EQ(filter->Register(), S_FALSE);
    EXPECT_EQ(filter->Unregister(), S_FALSE);
    EXPECT_EQ(CountFilterMapperEntries(CLSID_TestFilter, 0), 0);

    filter->setupData = &testFilterSetup;
    // Not registered yet: the mapper's "not registered" counts as success.
    ASSERT_EQ(filter->Unregister(), S_OK);
    ASSERT_EQ(CountFilterMapperEntries(CLSID_TestFilter, 0), 0);

    EXPECT_EQ(filter->Register(), S_OK);
    EXPECT_EQ(CountFilterMapperEntries(CLSID_TestFilter, 0), 1);
    // Registration brackets its own COM use; the caller's apartment is left as it was.
    EXPECT_TRUE(CallerStillInitialised());

    EXPECT_EQ(filter->Unregister(), S_OK);
    EXPECT_EQ(CountFilterMapperEntries(CLSID_TestFilter, 0), 0);
    EXPECT_EQ(filter->Unregister(), S_OK);
    EXPECT_TRUE(CallerStillInitialised());
}

// The older filter mapper class of this process played by a double: the factory fails to create it until a
// test hands out the fake mapper.
class RegistrationWithMapperDouble : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(CoRegisterClassObject(CLSID_FilterMapper, factory.AsUnknown(), CLSCTX_INPROC_SERVER,
                                        REGCLS_MULTIPLEUSE, &cookie),
                  S_OK);
        filter->setupData = &testFilterSetup;
    }
    void TearDown() override
    {
        // Before the doubles go: COM holds the factory until it is revoked.
        if (cookie != 0)
            CoRevokeClassObject(cookie);
    }

    FakeFilterMapper mapper;
    FakeClassFactory factory;
    DWORD cookie = 0;
    ComPtr<TestFilter> filter{new TestFilter()};
};

// The older mapper takes a record after unregistering the filter, pin by pin and media type by media type.
TEST(FilterMapperRegistration, OldMapperTakesTheFilterPinByPinAndTypeByTypeAfterUnregisteringIt)
{
    FakeFilterMapper mapper;
    EXPECT_EQ(RegisterFilterThroughMapper(&twoPinSetup, &mapper, TRUE), S_OK);
    const std::wstring id = FakeFilterMapper::Text(CLSID_TestFilter);
    const std::wstring null = FakeFilterMapper::Text(GUID_NULL);
    const std::vector<std::wstring> expected = {
        L"UnregisterFilter " + id,
        L"RegisterFilter " + id + L" TARN_TwoPins 00600000",
        L"RegisterPin " + id + L" In 1010 " + null + L" Out",
        L"RegisterPinType " + id + L" In " + FakeFilterMapper::Text(MEDIATYPE_Video) + L" " +
            FakeFilterMapper::Text(MEDIASUBTYPE_YUY2),
        L"RegisterPinType " + id + L" In " + FakeFilterMapper::Text(MEDIATYPE_Audio) + L" " +
            FakeFilterMapper::Text(MEDIASUBTYPE_PCM),
        L"RegisterPin " + id + L" Out 0101 " + id + L" In",
    };
    EXPECT_EQ(mapper.calls, expected);

    mapper.calls.clear();
    EXPECT_EQ(RegisterFilterThroughMapper(&twoPinSetup, &mapper, FALSE), S_OK);
    EXPECT_EQ(mapper.calls, std::vector<std::wstring>{L"UnregisterFilter " + id});
}

// IAMovieSetup::Register hands the filter's own record to the mapper it creates. Registration that did not
// happen is reported, not answered with S_OK: the caller would otherwise take a filter the mapper does not
// list for registered. Unregister counts a filter the mapper does not list as unregistered.
TEST_F(RegistrationWithMapperDouble, RegisterAndUnregisterHandTheRecordToTheMapperAndReportItsFailures)
{
    factory.HandOut(mapper.AsUnknown());
    EXPECT_EQ(filter->Unregister(), S_OK);  // the double answers 0x80070002, as for an unknown filter
    EXPECT_EQ(mapper.calls, std::vector<std::wstring>{L"UnregisterFilter " + FakeFilterMapper::Text(CLSID_TestFilter)});
    mapper.calls.clear();

    EXPECT_EQ(filter->Register(), S_OK);
    ASSERT_EQ(mapper.calls.size(), 4u);
    EXPECT_EQ(mapper.calls[1],
              L"RegisterFilter " + FakeFilterMapper::Text(CLSID_TestFilter) + L" TARN_TestFilter 00200000");
    mapper.calls.clear();

    factory.FailWith(REGDB_E_CLASSNOTREG);
    EXPECT_EQ(filter->Register(), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(filter->Unregister(), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(factory.creations, 4);

    factory.HandOut(mapper.AsUnknown());
    mapper.FailOn(L"RegisterPin", E_FAIL);
    EXPECT_EQ(filter->Register(), E_FAIL);
    ASSERT_EQ(mapper.calls.size(), 3u) << "no media type is registered for a pin the mapper refused";

    mapper.FailOn(L"UnregisterFilter", E_ACCESSDENIED);
    EXPECT_EQ(filter->Unregister(), E_ACCESSDENIED);
}
