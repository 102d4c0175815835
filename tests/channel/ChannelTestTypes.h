// Named-block helpers for the channel tests under Wine; their media types come from VideoMediaType.h.
#pragma once

#include <windows.h>
#include <strmif.h>
#include <amvideo.h>
#include <dvdmedia.h>
#include <uuids.h>

#include <cstring>
#include <string>
#include <vector>

#include "CameraChannelLayout.h"
#include "CameraChannelReader.h"
#include "VideoMediaType.h"

// The record of a type that lives until the end of the full expression, for calls that take a pointer.
inline const AM_MEDIA_TYPE* RecordOf(const AM_MEDIA_TYPE& type)
{
    return &type;
}

// The frame-block name of try `attempt`: the base name followed by the digits of 0, 1, ..., attempt.
inline std::wstring FrameBlockNameOfTry(unsigned attempt)
{
    std::wstring name = kFrameBlockBaseName;
    for (unsigned k = 0; k <= attempt; ++k)
        name += std::to_wstring(k);
    return name;
}

inline uint32_t BitsOf(float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// A named section this test opened or created itself, mapped whole. Closed when the test process ends
// (each test runs in a process of its own), so the handles are deliberately kept.
struct TestSection {
    HANDLE handle = nullptr;
    unsigned char* view = nullptr;
};

inline TestSection CreateTestSection(const std::wstring& name, DWORD size, DWORD protect = PAGE_READWRITE)
{
    TestSection section;
    section.handle = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, protect, 0, size, name.c_str());
    if (section.handle != nullptr && (protect & SEC_RESERVE) == 0)
        section.view = static_cast<unsigned char*>(MapViewOfFile(section.handle, FILE_MAP_ALL_ACCESS, 0, 0, 0));
    return section;
}

inline TestSection OpenTestSection(const std::wstring& name)
{
    TestSection section;
    section.handle = OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, name.c_str());
    if (section.handle != nullptr)
        section.view = static_cast<unsigned char*>(MapViewOfFile(section.handle, FILE_MAP_ALL_ACCESS, 0, 0, 0));
    return section;
}
