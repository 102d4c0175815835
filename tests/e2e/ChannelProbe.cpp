// e2e_channel_probe: a second process that reads the camera channel the way its consumer does, by name,
// and dumps what it sees for the test that started it: the 580 header bytes, then the first <frame bytes>
// bytes of the frame block the header names.
// Usage: e2e_channel_probe <output file> <frame bytes>
// Exit codes: 0 dumped; 1 usage or file error; 2 no header block; 3 the named frame block cannot be opened
// or is smaller than asked.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "CameraChannelLayout.h"

int wmain(int argc, wchar_t** argv)
{
    if (argc != 3)
        return 1;
    const unsigned long frameBytes = std::wcstoul(argv[2], nullptr, 10);

    HANDLE headerSection = OpenFileMappingW(FILE_MAP_READ, FALSE, kHeaderBlockName);
    if (headerSection == nullptr)
        return 2;
    const void* headerView = MapViewOfFile(headerSection, FILE_MAP_READ, 0, 0, 0);
    if (headerView == nullptr)
        return 2;
    CameraHeaderBlock header;
    std::memcpy(&header, headerView, sizeof header);

    wchar_t frameName[kFrameBlockNameUnits];
    std::memcpy(frameName, header.frameBlockName, sizeof frameName);
    frameName[kFrameBlockNameUnits - 1] = L'\0';
    HANDLE frameSection = OpenFileMappingW(FILE_MAP_READ, FALSE, frameName);
    const void* frameView = frameSection != nullptr ? MapViewOfFile(frameSection, FILE_MAP_READ, 0, 0, 0) : nullptr;
    if (frameView == nullptr)
        return 3;
    MEMORY_BASIC_INFORMATION region = {};
    if (VirtualQuery(frameView, &region, sizeof region) == 0 || region.RegionSize < frameBytes)
        return 3;

    FILE* out = _wfopen(argv[1], L"wb");
    if (out == nullptr)
        return 1;
    bool written = std::fwrite(&header, sizeof header, 1, out) == 1 &&
                   (frameBytes == 0 || std::fwrite(frameView, frameBytes, 1, out) == 1);
    return std::fclose(out) == 0 && written ? 0 : 1;
}
