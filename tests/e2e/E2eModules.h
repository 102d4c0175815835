// What the end-to-end tests know of the modules under test: their class identifiers, names and merit as a
// client sees them, and the files the build hands to the tests (as Windows paths on Wine's Z: drive).
#pragma once

#include <windows.h>

#include <ostream>

// {EC7AE514-C493-4385-869A-8BBFBAC709C9}
static const CLSID kVidtapClassId = {0xec7ae514, 0xc493, 0x4385, {0x86, 0x9a, 0x8b, 0xbf, 0xba, 0xc7, 0x09, 0xc9}};
// {CF1663CF-839C-4D7F-8C11-E94FBFDD5949}
static const CLSID kNullsinkerClassId = {0xcf1663cf, 0x839c, 0x4d7f, {0x8c, 0x11, 0xe9, 0x4f, 0xbf, 0xdd, 0x59, 0x49}};

inline constexpr DWORD kSinkMerit = 0x00200000;  // MERIT_DO_NOT_USE

// One filter module as registration and COM see it.
struct ModuleUnderTest {
    const char* label;          // for test names
    const char* unixPath;       // the built DLL
    const CLSID* classId;
    const wchar_t* displayName;  // CLSID\{id} default value
    const wchar_t* filterName;   // the filter mapper's name
};

inline const ModuleUnderTest kVidtapModule = {"vidtap", E2E_VIDTAP_DLL, &kVidtapClassId, L"Vidtap", L"TARN_Vidtap"};
inline const ModuleUnderTest kNullsinkerModule = {"nullsinker", E2E_NULLSINKER_DLL, &kNullsinkerClassId,
                                                  L"Nullsinker", L"TARN_Nullsinker"};

// How a test names the module it runs on (value-parameterised tests print their parameter).
inline void PrintTo(const ModuleUnderTest& module, std::ostream* out)
{
    *out << module.label;
}
