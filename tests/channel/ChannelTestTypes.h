// Media types and named-block helpers for the channel tests under Wine. A TestVideoType owns its format
// block (an ordinary buffer, sized as the test says) and hands out an AM_MEDIA_TYPE pointing into it.
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

class TestVideoType {
public:
    // A video type whose format block of `formatSize` bytes (default: the whole VIDEOINFOHEADER or
    // VIDEOINFOHEADER2) carries a picture header of the given size and depth where `formatType` keeps it.
    TestVideoType(LONG width, LONG height, WORD bitCount, const GUID& formatType = FORMAT_VideoInfo,
                  size_t formatSize = 0)
    {
        const bool second = IsEqualGUID(formatType, FORMAT_VideoInfo2) || IsEqualGUID(formatType, FORMAT_MPEG2Video);
        const size_t headerOffset = second ? offsetof(VIDEOINFOHEADER2, bmiHeader) : offsetof(VIDEOINFOHEADER, bmiHeader);
        const size_t fullSize = second ? sizeof(VIDEOINFOHEADER2) : sizeof(VIDEOINFOHEADER);
        format.assign(formatSize != 0 ? formatSize : fullSize, 0xCD);
        BITMAPINFOHEADER header = {};
        header.biSize = sizeof header;
        header.biWidth = width;
        header.biHeight = height;
        header.biPlanes = 1;
        header.biBitCount = bitCount;
        header.biCompression = bitCount == 16 ? MAKEFOURCC('Y', 'U', 'Y', '2') : BI_RGB;
        const int64_t rows = height < 0 ? -int64_t{height} : int64_t{height};
        header.biSizeImage = static_cast<DWORD>(int64_t{width} * rows * (bitCount / 8));
        header.biXPelsPerMeter = 2835;
        header.biClrImportant = 7;
        std::memcpy(&picture, &header, sizeof header);
        if (headerOffset + sizeof header <= format.size())
            std::memcpy(&format[headerOffset], &header, sizeof header);

        type.majortype = MEDIATYPE_Video;
        type.subtype = bitCount == 16 ? MEDIASUBTYPE_YUY2 : MEDIASUBTYPE_RGB32;
        type.bFixedSizeSamples = TRUE;
        type.formattype = formatType;
        type.cbFormat = static_cast<ULONG>(format.size());
        type.pbFormat = format.data();
    }
    TestVideoType(const TestVideoType&) = delete;
    TestVideoType& operator=(const TestVideoType&) = delete;

    const AM_MEDIA_TYPE* Type() const { return &type; }
    AM_MEDIA_TYPE* MutableType() { return &type; }
    // The picture header as built, whether or not it fits the format block.
    const BITMAPINFOHEADER& Picture() const { return picture; }

private:
    std::vector<BYTE> format;
    BITMAPINFOHEADER picture = {};
    AM_MEDIA_TYPE type = {};
};

// The frame-block name of try `attempt`: the base name followed by the digits of 0, 1, ..., attempt.
inline std::wstring FrameBlockNameOfTry(unsigned attempt)
{
    std::wstring name = kFrameBlockBaseName;
    for (unsigned k = 0; k <= attempt; ++k)
        name += std::to_wstring(k);
    return name;
}

inline std::wstring NameIn(const CameraHeaderBlock* header)
{
    const wchar_t* units = reinterpret_cast<const wchar_t*>(header->frameBlockName);
    return std::wstring(units, wcsnlen(units, kFrameBlockNameUnits));
}

inline BITMAPINFOHEADER FormatIn(const CameraHeaderBlock* header)
{
    BITMAPINFOHEADER format;
    std::memcpy(&format, header->format, sizeof format);
    return format;
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
