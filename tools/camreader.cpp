// camreader: reads the camera channel from outside the publishing process. Opens the header block and the
// frame block it names, prints the header fields and writes the current frame as a 24-bit .bmp file.
// Usage: camreader [output.bmp]     (default frame.bmp)
// Exit codes: 0 written, 1 usage or file error, 2 no channel (no header block), 3 no frame block,
// 4 the announced format cannot be written as a bitmap.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "CameraChannelLayout.h"

namespace {

std::string Utf8(const wchar_t* text)
{
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string result(bytes > 0 ? bytes - 1 : 0, '\0');
    if (bytes > 1)
        WideCharToMultiByte(CP_UTF8, 0, text, -1, &result[0], bytes, nullptr, nullptr);
    return result;
}

uint32_t FloatBits(float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

void PrintHeader(const CameraHeaderBlock& header, const BITMAPINFOHEADER& format, const wchar_t* frameName)
{
    std::printf("initialised     %d\n", header.initialised);
    std::printf("biSize          %lu\n", static_cast<unsigned long>(format.biSize));
    std::printf("biWidth         %ld\n", static_cast<long>(format.biWidth));
    std::printf("biHeight        %ld\n", static_cast<long>(format.biHeight));
    std::printf("biPlanes        %u\n", format.biPlanes);
    std::printf("biBitCount      %u\n", format.biBitCount);
    std::printf("biCompression   0x%08lX\n", static_cast<unsigned long>(format.biCompression));
    std::printf("biSizeImage     %lu\n", static_cast<unsigned long>(format.biSizeImage));
    std::printf("frameBlockName  %s\n", Utf8(frameName).c_str());
    std::printf("auxInt0         %d\n", header.auxInt0);
    std::printf("auxInt1         %d\n", header.auxInt1);
    std::printf("auxFloat0       %g (0x%08lX)\n", header.auxFloat0, static_cast<unsigned long>(FloatBits(header.auxFloat0)));
    std::printf("auxFloat1       %g (0x%08lX)\n", header.auxFloat1, static_cast<unsigned long>(FloatBits(header.auxFloat1)));
}

bool WriteBitmap(const wchar_t* path, BITMAPINFOHEADER info, const unsigned char* rows)
{
    // The frame block holds the rows bottom row first without padding; a bitmap file wants the same order
    // with every row padded to a multiple of 4 bytes.
    const size_t rowBytes = static_cast<size_t>(info.biWidth) * 3;
    const size_t paddedRow = (rowBytes + 3) & ~size_t{3};
    const size_t height = static_cast<size_t>(info.biHeight);
    info.biSizeImage = static_cast<DWORD>(paddedRow * height);

    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    file.bfSize = static_cast<DWORD>(file.bfOffBits + info.biSizeImage);

    FILE* out = _wfopen(path, L"wb");
    if (out == nullptr)
        return false;
    bool ok = std::fwrite(&file, sizeof file, 1, out) == 1 && std::fwrite(&info, sizeof info, 1, out) == 1;
    const unsigned char padding[3] = {};
    for (size_t row = 0; ok && row < height; ++row) {
        ok = std::fwrite(rows + row * rowBytes, 1, rowBytes, out) == rowBytes &&
             std::fwrite(padding, 1, paddedRow - rowBytes, out) == paddedRow - rowBytes;
    }
    return std::fclose(out) == 0 && ok;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc > 2) {
        std::fprintf(stderr, "usage: camreader [output.bmp]\n");
        return 1;
    }
    const wchar_t* outputPath = argc == 2 ? argv[1] : L"frame.bmp";

    HANDLE headerSection = OpenFileMappingW(FILE_MAP_READ, FALSE, kHeaderBlockName);
    if (headerSection == nullptr) {
        std::fprintf(stderr, "camreader: no camera channel: the header block \"%s\" does not exist (error %lu); "
                             "is a publisher running?\n", Utf8(kHeaderBlockName).c_str(), GetLastError());
        return 2;
    }
    const void* headerMemory = MapViewOfFile(headerSection, FILE_MAP_READ, 0, 0, 0);
    if (headerMemory == nullptr) {
        std::fprintf(stderr, "camreader: cannot map the header block (error %lu)\n", GetLastError());
        return 2;
    }
    // One copy of the whole block, so what is printed and used hangs together even if the writer rewrites it.
    CameraHeaderBlock header;
    std::memcpy(&header, headerMemory, sizeof header);
    BITMAPINFOHEADER format;
    std::memcpy(&format, header.format, sizeof format);
    wchar_t frameName[kFrameBlockNameUnits];
    std::memcpy(frameName, header.frameBlockName, sizeof frameName);
    frameName[kFrameBlockNameUnits - 1] = L'\0';
    PrintHeader(header, format, frameName);

    if (frameName[0] == L'\0') {
        std::fprintf(stderr, "camreader: the header block names no frame block\n");
        return 3;
    }
    HANDLE frameSection = OpenFileMappingW(FILE_MAP_READ, FALSE, frameName);
    const unsigned char* frame =
        frameSection != nullptr ? static_cast<const unsigned char*>(MapViewOfFile(frameSection, FILE_MAP_READ, 0, 0, 0))
                                : nullptr;
    if (frame == nullptr) {
        std::fprintf(stderr, "camreader: cannot open the frame block \"%s\" (error %lu)\n", Utf8(frameName).c_str(),
                     GetLastError());
        return 3;
    }
    MEMORY_BASIC_INFORMATION region = {};
    VirtualQuery(frame, &region, sizeof region);
    std::printf("frame block     %lu bytes mapped\n", static_cast<unsigned long>(region.RegionSize));

    const unsigned long long pictureBytes =
        static_cast<unsigned long long>(format.biWidth > 0 ? format.biWidth : 0) * 3 *
        static_cast<unsigned long long>(format.biHeight > 0 ? format.biHeight : 0);
    if (format.biBitCount != 24 || format.biCompression != BI_RGB || format.biWidth <= 0 || format.biHeight <= 0 ||
        pictureBytes > kFrameBlockSize || pictureBytes > region.RegionSize) {
        std::fprintf(stderr, "camreader: the announced format (%ld x %ld, %u bits) is no bottom-up 24-bit picture "
                             "within the frame block\n",
                     static_cast<long>(format.biWidth), static_cast<long>(format.biHeight), format.biBitCount);
        return 4;
    }
    if (!WriteBitmap(outputPath, format, frame)) {
        std::fprintf(stderr, "camreader: cannot write %s\n", Utf8(outputPath).c_str());
        return 1;
    }
    std::printf("wrote %s (%ld x %ld)\n", Utf8(outputPath).c_str(), static_cast<long>(format.biWidth),
                static_cast<long>(format.biHeight));
    return 0;
}
