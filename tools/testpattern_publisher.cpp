// testpattern_publisher: sets up the camera channel for a 1920 x 1080 YUY2 connection and publishes a
// generated test pattern through PublishFrame, republishing it until told to stop, so that a reader in
// another process (camreader) can dump it. Stands in for a capture graph.
// Usage: testpattern_publisher          publish until stopped
//        testpattern_publisher --stop   stop a running publisher (signals its named event)
// Prints "ready" on its own line once the first frame is in the channel.
#include <windows.h>
#include <strmif.h>
#include <amvideo.h>
#include <uuids.h>

#include <cstdio>
#include <cwchar>
#include <vector>

#include "CameraChannel.h"
#include "FramePublisher.h"
#include "StopEvent.h"

namespace {

const char kProgram[] = "testpattern_publisher";
const wchar_t kStopEventName[] = L"tarn_testpattern_publisher_stop";
constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

struct Yuv {
    unsigned char y, u, v;
};

// 75% colour bars (white, yellow, cyan, green, magenta, red, blue) in studio-range BT.601.
const Yuv kBars[7] = {{180, 128, 128}, {162, 44, 142}, {131, 156, 44}, {112, 72, 58},
                      {84, 184, 198},  {65, 100, 212}, {35, 212, 114}};

Yuv PatternAt(int x, int y)
{
    // A white square in the top-left corner shows orientation at a glance.
    if (x < 120 && y < 120)
        return {235, 128, 128};
    if (y < kHeight * 6 / 10)
        return kBars[x * 7 / kWidth];
    if (y < kHeight * 3 / 4)  // grey ramp, black to white
        return {static_cast<unsigned char>(16 + x * 219 / (kWidth - 1)), 128, 128};
    // Colour plane: U runs left to right, V top to bottom, at mid luma.
    const int v = 16 + (y - kHeight * 3 / 4) * 224 / (kHeight - kHeight * 3 / 4 - 1);
    return {126, static_cast<unsigned char>(16 + x * 224 / (kWidth - 1)), static_cast<unsigned char>(v)};
}

std::vector<BYTE> MakePattern()
{
    std::vector<BYTE> frame(static_cast<size_t>(kWidth) * kHeight * 2);
    BYTE* out = frame.data();
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; x += 2, out += 4) {
            const Yuv left = PatternAt(x, y), right = PatternAt(x + 1, y);
            out[0] = left.y;
            out[1] = left.u;
            out[2] = right.y;
            out[3] = left.v;
        }
    }
    return frame;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc == 2 && std::wcscmp(argv[1], L"--stop") == 0)
        return SignalStopEvent(kStopEventName, kProgram);
    if (argc != 1) {
        std::fprintf(stderr, "usage: testpattern_publisher [--stop]\n");
        return 1;
    }

    HANDLE stopEvent = CreateStopEvent(kStopEventName, kProgram);
    if (stopEvent == nullptr)
        return 1;

    VIDEOINFOHEADER info = {};
    info.AvgTimePerFrame = 333333;
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = kWidth;
    info.bmiHeader.biHeight = kHeight;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 16;
    info.bmiHeader.biCompression = MAKEFOURCC('Y', 'U', 'Y', '2');
    info.bmiHeader.biSizeImage = kWidth * kHeight * 2;
    AM_MEDIA_TYPE type = {};
    type.majortype = MEDIATYPE_Video;
    type.subtype = MEDIASUBTYPE_YUY2;
    type.bFixedSizeSamples = TRUE;
    type.lSampleSize = info.bmiHeader.biSizeImage;
    type.formattype = FORMAT_VideoInfo;
    type.cbFormat = sizeof info;
    type.pbFormat = reinterpret_cast<BYTE*>(&info);

    SetUpCameraChannel(&type);
    const CameraChannelViews channel = SnapshotCameraChannel();
    if (!channel.IsUsable()) {
        std::fprintf(stderr, "testpattern_publisher: the camera channel could not be set up\n");
        return 2;
    }
    const std::vector<BYTE> pattern = MakePattern();
    PublishFrame(pattern.data(), static_cast<ULONG>(pattern.size()), &type);
    std::printf("frame block %ls\nready\n", reinterpret_cast<const wchar_t*>(channel.headerView->frameBlockName));
    std::fflush(stdout);

    // Republish at 25 frames per second, as a camera would, until stopped.
    while (WaitForSingleObject(stopEvent, 40) == WAIT_TIMEOUT)
        PublishFrame(pattern.data(), static_cast<ULONG>(pattern.size()), &type);
    std::printf("stopped\n");
    return 0;
}
