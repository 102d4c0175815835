// What the registration tests know of server_test_module.dll: a filter module with one class (a CTestObject
// registered as a filter with one input pin), built with add_filter_module like the real modules. Besides
// the COM entry points it exports GetTestModuleState, so a test that loads it can see what DllMain did.
#pragma once

#include <windows.h>

// {4F8E2C71-5A3B-4C9D-8E1F-2A7B6C5D4E01}
constexpr CLSID CLSID_ServerTestModuleFilter = {0x4f8e2c71, 0x5a3b, 0x4c9d, {0x8e, 0x1f, 0x2a, 0x7b, 0x6c, 0x5d, 0x4e, 0x01}};
constexpr const wchar_t* serverTestModuleName = L"server_test_module.dll";
constexpr const wchar_t* serverTestModuleDisplayName = L"Server Test Module";
constexpr const wchar_t* serverTestModuleFilterName = L"TARN_ServerTestFilter";

struct TestModuleState {
    HINSTANCE moduleInstance;  // as DllMain stored it
    int initRoutineLoads;      // init routine calls with loading TRUE
    int initRoutineUnloads;
};
typedef void(WINAPI* GetTestModuleStateFunction)(TestModuleState* state);
