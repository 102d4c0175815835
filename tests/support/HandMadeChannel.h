// A camera channel a test lays out itself, under names of its own process (so it runs beside any publisher):
// a header block announcing a 64 x 48 24-bit picture in a frame block of `frameBlockBytes`, which holds a
// pattern of its own offsets. The tests of the reader library and of the viewer spoil or rewrite it.
#pragma once

#include <windows.h>

#include <cstring>
#include <string>

#include "NamedSection.h"
#include "tarn_camera_channel.h"

constexpr int kHandMadeWidth = 64;
constexpr int kHandMadeHeight = 48;

class HandMadeChannel {
public:
    explicit HandMadeChannel(DWORD frameBlockBytes = 16384)
        : headerBlock(ProcessUniqueName(L"tarn_reader_test_info"), TARN_CAMERA_HEADER_BLOCK_SIZE),
          frameBlock(ProcessUniqueName(L"tarn_reader_test_frame"), frameBlockBytes)
    {
        if (!Created())
            return;
        TarnCameraHeaderBlock& header = Header();
        header.initialised = 1;
        header.format.biSize = sizeof header.format;
        header.format.biPlanes = 1;
        header.format.biBitCount = 24;
        SetGeometry(kHandMadeWidth, kHandMadeHeight);
        NameFrameBlock(frameBlock.name);
        for (DWORD i = 0; i < frameBlockBytes; ++i)
            frameBlock.view[i] = static_cast<unsigned char>(i * 7 + i / 251);
    }

    bool Created() const { return headerBlock.created() && frameBlock.created(); }
    const std::wstring& HeaderBlockName() const { return headerBlock.name; }
    const std::wstring& FrameBlockName() const { return frameBlock.name; }
    TarnCameraHeaderBlock& Header() { return *reinterpret_cast<TarnCameraHeaderBlock*>(headerBlock.view); }
    unsigned char* Frame() const { return frameBlock.view; }

    void NameFrameBlock(const std::wstring& name)
    {
        std::memset(Header().frameBlockName, 0, sizeof Header().frameBlockName);
        for (size_t i = 0; i < name.size(); ++i)
            Header().frameBlockName[i] = name[i];
    }
    void SetGeometry(int width, int height)
    {
        Header().format.biWidth = width;
        Header().format.biHeight = height;
    }
    TarnCameraResult Open(TarnCameraReader** reader) const
    {
        return tarn_camera_reader_open(headerBlock.name.c_str(), reader);
    }

private:
    NamedSection headerBlock;
    NamedSection frameBlock;
};
