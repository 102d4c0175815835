// The one way tests see the camera channel's raw bytes: the header block opened by its name and the frame
// block opened by the name the header block announces, mapped in this process (the sinks' tests, which watch
// the blocks change and must find none after the null sink, and the channel probe, which dumps them for a
// test in another process). Views stay mapped until the process ends, so they can be read after the sinks
// that wrote them are gone. Tests that only need a frame read it through the shipped reader library.
#pragma once

#include <windows.h>
#include <strmif.h>
#include <amvideo.h>

#include <cstring>
#include <cwchar>
#include <string>

#include "CameraChannelLayout.h"

// The frame block name a header block announces (at most kFrameBlockNameUnits units).
inline std::wstring FrameBlockNameIn(const CameraHeaderBlock& header)
{
    const wchar_t* units = reinterpret_cast<const wchar_t*>(header.frameBlockName);
    return std::wstring(units, wcsnlen(units, kFrameBlockNameUnits));
}

// `format` of a header block as the record it is.
inline BITMAPINFOHEADER FormatIn(const CameraHeaderBlock& header)
{
    BITMAPINFOHEADER format;
    static_assert(sizeof format == sizeof header.format, "format is a BITMAPINFOHEADER");
    std::memcpy(&format, header.format, sizeof format);
    return format;
}

// The picture header `picture` as the channel publishes it: 24-bit uncompressed, everything else kept.
inline BITMAPINFOHEADER PublishedFormat(BITMAPINFOHEADER picture)
{
    picture.biBitCount = 24;
    picture.biCompression = BI_RGB;
    return picture;
}

inline bool SameHeader(const BITMAPINFOHEADER& a, const BITMAPINFOHEADER& b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

class CameraChannelReader {
public:
    static bool HeaderBlockExists()
    {
        HANDLE section = OpenFileMappingW(FILE_MAP_READ, FALSE, kHeaderBlockName);
        if (section == nullptr)
            return false;
        CloseHandle(section);
        return true;
    }

    // Maps both blocks; false when either cannot be opened (`header` tells which).
    bool Open()
    {
        header = static_cast<CameraHeaderBlock*>(MapByName(kHeaderBlockName));
        if (header == nullptr)
            return false;
        frame = static_cast<unsigned char*>(MapByName(FrameBlockName().c_str()));
        return frame != nullptr;
    }

    std::wstring FrameBlockName() const { return FrameBlockNameIn(*header); }
    BITMAPINFOHEADER Format() const { return FormatIn(*header); }
    // How many bytes of the frame block's view can be read (whole pages).
    size_t FrameBytesMapped() const
    {
        MEMORY_BASIC_INFORMATION region = {};
        return VirtualQuery(frame, &region, sizeof region) != 0 ? region.RegionSize : 0;
    }

    CameraHeaderBlock* header = nullptr;
    unsigned char* frame = nullptr;

private:
    static void* MapByName(const wchar_t* name)
    {
        HANDLE section = OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, name);
        if (section == nullptr)
            return nullptr;
        void* view = MapViewOfFile(section, FILE_MAP_ALL_ACCESS, 0, 0, 0);
        CloseHandle(section);  // the view keeps the section alive
        return view;
    }
};
