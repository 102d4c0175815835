// camreader: reads the camera channel from outside the publishing process through the reader library, prints
// the header fields and writes the current frame as a 24-bit .bmp file.
// Usage: camreader [--channel NAME] [output.bmp]     (default: the default channel, frame.bmp)
// Exit codes: 0 written, 1 usage or file error, 2 no channel (no readable header block), 3 no frame block,
// 4 the announced picture cannot be read (format, geometry, size, or a header that keeps changing).
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tarn_camera_channel.h"

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

void PrintHeader(const TarnCameraHeaderBlock& header, const wchar_t* frameName)
{
    const TarnPictureHeader& format = header.format;
    std::printf("initialised     %d\n", header.initialised);
    std::printf("biSize          %u\n", format.biSize);
    std::printf("biWidth         %d\n", format.biWidth);
    std::printf("biHeight        %d\n", format.biHeight);
    std::printf("biPlanes        %u\n", format.biPlanes);
    std::printf("biBitCount      %u\n", format.biBitCount);
    std::printf("biCompression   0x%08X\n", format.biCompression);
    std::printf("biSizeImage     %u\n", format.biSizeImage);
    std::printf("frameBlockName  %s\n", Utf8(frameName).c_str());
    std::printf("auxInt0         %d\n", header.auxInt0);
    std::printf("auxInt1         %d\n", header.auxInt1);
    std::printf("auxFloat0       %g (0x%08lX)\n", header.auxFloat0, static_cast<unsigned long>(FloatBits(header.auxFloat0)));
    std::printf("auxFloat1       %g (0x%08lX)\n", header.auxFloat1, static_cast<unsigned long>(FloatBits(header.auxFloat1)));
}

bool WriteBitmap(const wchar_t* path, const TarnCameraFrameInfo& frame, const unsigned char* rows)
{
    // The frame block holds the rows bottom row first without padding; a bitmap file wants the same order
    // with every row padded to a multiple of 4 bytes.
    const size_t rowBytes = static_cast<size_t>(frame.width) * 3;
    const size_t paddedRow = (rowBytes + 3) & ~size_t{3};
    const size_t height = static_cast<size_t>(frame.height);
    BITMAPINFOHEADER info;
    static_assert(sizeof info == sizeof frame.header.format, "the channel's format is a BITMAPINFOHEADER");
    std::memcpy(&info, &frame.header.format, sizeof info);
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

int ExitCodeOf(TarnCameraResult result)
{
    switch (result) {
    case TARN_CAMERA_NO_CHANNEL:
    case TARN_CAMERA_HEADER_UNREADABLE:
        return 2;
    case TARN_CAMERA_NAME_UNTERMINATED:
    case TARN_CAMERA_NAME_EMPTY:
    case TARN_CAMERA_NO_FRAME_BLOCK:
    case TARN_CAMERA_FRAME_BLOCK_RENAMED:
        return 3;
    default:
        return 4;
    }
}

int Fail(TarnCameraResult result)
{
    std::fprintf(stderr, "camreader: %s\n", tarn_camera_result_message(result));
    return ExitCodeOf(result);
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    const wchar_t* channel = nullptr;  // the default channel
    if (argc >= 3 && std::wcscmp(argv[1], L"--channel") == 0) {
        channel = argv[2];
        argc -= 2;
        argv += 2;
    }
    if (argc > 2) {
        std::fprintf(stderr, "usage: camreader [--channel NAME] [output.bmp]\n");
        return 1;
    }
    const wchar_t* outputPath = argc == 2 ? argv[1] : L"frame.bmp";

    TarnCameraReader* reader = nullptr;
    const TarnCameraResult opened = tarn_camera_reader_open(channel, &reader);
    if (opened != TARN_CAMERA_OK)
        return Fail(opened);
    std::vector<unsigned char> frame(tarn_camera_reader_frame_block_size(reader));
    TarnCameraFrameInfo info = {};
    const TarnCameraResult read = tarn_camera_reader_read(reader, frame.data(), static_cast<unsigned long>(frame.size()), &info);
    PrintHeader(info.header, tarn_camera_reader_frame_block_name(reader));
    std::printf("frame block     %lu bytes mapped\n", tarn_camera_reader_frame_block_size(reader));
    tarn_camera_reader_close(reader);
    if (read != TARN_CAMERA_OK)
        return Fail(read);
    if (!WriteBitmap(outputPath, info, frame.data())) {
        std::fprintf(stderr, "camreader: cannot write %s\n", Utf8(outputPath).c_str());
        return 1;
    }
    std::printf("wrote %s (%d x %d)\n", Utf8(outputPath).c_str(), info.width, info.height);
    return 0;
}
