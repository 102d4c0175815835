// The camera channel as a reader in this process sees it: the header block opened by its name and the frame
// block opened by the name the header block announces (the capture sink's tests, and the null sink's, which
// must leave no block). Views stay mapped until the test process ends, so
// they can be read after the sinks that wrote them are gone.
#pragma once

#include <windows.h>
#include <strmif.h>
#include <amvideo.h>

#include <cstring>
#include <string>

#include "CameraChannelLayout.h"

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

    // Maps both blocks; false when either cannot be opened.
    bool Open()
    {
        header = static_cast<CameraHeaderBlock*>(MapByName(kHeaderBlockName));
        if (header == nullptr)
            return false;
        frame = static_cast<unsigned char*>(MapByName(FrameBlockName().c_str()));
        return frame != nullptr;
    }

    std::wstring FrameBlockName() const
    {
        const wchar_t* units = reinterpret_cast<const wchar_t*>(header->frameBlockName);
        return std::wstring(units, wcsnlen(units, kFrameBlockNameUnits));
    }
    BITMAPINFOHEADER Format() const
    {
        BITMAPINFOHEADER format;
        std::memcpy(&format, header->format, sizeof format);
        return format;
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
