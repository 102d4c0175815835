// What the end-to-end tests know of the modules under test: their class identifiers, names and merit as a
// client sees them, and the files the build hands to the tests (as Windows paths on Wine's Z: drive).
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "tarn_filters.h"

static const CLSID kVidtapClassId = TARN_VIDTAP_CLASS_ID;
static const CLSID kNullsinkerClassId = TARN_NULLSINKER_CLASS_ID;

inline constexpr DWORD kSinkMerit = 0x00200000;  // MERIT_DO_NOT_USE

// One filter module as registration and COM see it.
struct ModuleUnderTest {
    const char* label;          // for test names
    const char* unixPath;       // the built DLL
    const CLSID* classId;
    const wchar_t* displayName;  // CLSID\{id} default value
    const wchar_t* filterName;   // the filter mapper's name
};

inline const ModuleUnderTest kVidtapModule = {"vidtap", E2E_VIDTAP_DLL, &kVidtapClassId, TARN_VIDTAP_CLASS_NAME,
                                             TARN_VIDTAP_FILTER_NAME};
inline const ModuleUnderTest kNullsinkerModule = {"nullsinker", E2E_NULLSINKER_DLL, &kNullsinkerClassId,
                                                  TARN_NULLSINKER_CLASS_NAME, TARN_NULLSINKER_FILTER_NAME};

// How a test names the module it runs on (value-parameterised tests print their parameter).
inline void PrintTo(const ModuleUnderTest& module, std::ostream* out)
{
    *out << module.label;
}

// The instantiation of a test suite over both modules names each test after its module.
inline std::string ModuleLabel(const testing::TestParamInfo<ModuleUnderTest>& info)
{
    return info.param.label;
}
