// msreader: the reader library as a program built by Microsoft's toolchain links it. Compiled by clang for the
// Microsoft target and linked by lld-link against the library archive the MinGW-w64 build makes (the one the
// package ships), with kernel32 alone and no run time. It sets up a channel of its own under names no
// publisher uses (a 4 x 2 picture), reads it back through the library and checks geometry and bytes, then
// opens a channel that does not exist. Exits with the number of failed checks.
#include <windows.h>

#include "NoRuntime.h"
#include "tarn_camera_channel.h"

namespace {

const wchar_t kHeaderName[] = L"tarn_msreader_header";
const wchar_t kFrameName[] = L"tarn_msreader_frame";
constexpr int kWidth = 4, kHeight = 2;
constexpr unsigned kPictureBytes = kWidth * kHeight * 3;

// A named section of `bytes` bytes and its view; both stay until the process ends.
unsigned char* CreateBlock(const wchar_t* name, DWORD bytes)
{
    HANDLE section = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, bytes, name);
    return section == nullptr ? nullptr : static_cast<unsigned char*>(MapViewOfFile(section, FILE_MAP_WRITE, 0, 0, 0));
}

void CheckReadsItsOwnChannel()
{
    TarnCameraHeaderBlock* header =
        reinterpret_cast<TarnCameraHeaderBlock*>(CreateBlock(kHeaderName, TARN_CAMERA_HEADER_BLOCK_SIZE));
    unsigned char* frame = CreateBlock(kFrameName, kPictureBytes);
    Check(header != nullptr && frame != nullptr, "the channel's blocks are created");
    if (header == nullptr || frame == nullptr)
        return;
    header->initialised = 1;
    header->format.biSize = sizeof header->format;
    header->format.biWidth = kWidth;
    header->format.biHeight = kHeight;
    header->format.biPlanes = 1;
    header->format.biBitCount = TARN_CAMERA_PUBLISHED_BIT_COUNT;
    header->format.biCompression = TARN_CAMERA_PUBLISHED_COMPRESSION;
    for (unsigned i = 0; kFrameName[i] != 0; ++i)
        header->frameBlockName[i] = static_cast<unsigned short>(kFrameName[i]);
    for (unsigned i = 0; i < kPictureBytes; ++i)
        frame[i] = static_cast<unsigned char>(i * 11 + 3);

    TarnCameraReader* reader = nullptr;
    Check(tarn_camera_reader_open(kHeaderName, &reader) == TARN_CAMERA_OK && reader != nullptr,
          "tarn_camera_reader_open opens the channel");
    unsigned char pixels[kPictureBytes + 16];
    Fill(pixels, sizeof pixels, 0xCD);
    TarnCameraFrameInfo info;
    Check(tarn_camera_reader_read(reader, pixels, sizeof pixels, &info) == TARN_CAMERA_OK,
          "tarn_camera_reader_read reads the frame");
    Check(info.width == kWidth && info.height == kHeight && info.frameBytes == kPictureBytes,
          "the frame's geometry is the header's");
    Check(SameBytes(pixels, frame, kPictureBytes) && AllBytesAre(pixels + kPictureBytes, 16, 0xCD),
          "the frame's bytes are copied, nothing more");
    tarn_camera_reader_close(reader);
}

void CheckMissingChannel()
{
    TarnCameraReader* reader = reinterpret_cast<TarnCameraReader*>(1);
    Check(tarn_camera_reader_open(L"tarn_msreader_missing", &reader) == TARN_CAMERA_NO_CHANNEL && reader == nullptr,
          "a channel that does not exist is TARN_CAMERA_NO_CHANNEL");
    const char* message = tarn_camera_result_message(TARN_CAMERA_NO_CHANNEL);
    Check(message != nullptr && message[0] != '\0', "the result has a message");
}

}  // namespace

extern "C" void ConsumerMain()
{
    g_out = GetStdHandle(STD_OUTPUT_HANDLE);
    CheckReadsItsOwnChannel();
    CheckMissingChannel();
    ExitProcess(g_failures);
}
