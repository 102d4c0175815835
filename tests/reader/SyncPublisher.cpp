// sync_publisher: vidtap.dll fed 1920 x 1080 packed 4:2:2 frames of solid colours through IMemInputPin::Receive,
// for the tests of the channel's sync block. Each instance alternates between the two colours of its pair
// (instance or pair i uses kColourPairs[i]); instances run on threads of their own, so they publish at once.
//   sync_publisher VIDTAP_DLL FPS FRAMES FIRST_PAIR [INSTANCES] [exit-mid-frame | channel=NAME]
// channel=NAME names every instance into the channel NAME instead of the default one.
// Prints "ready" once every instance has published its first frame. With exit-mid-frame it ends, after its
// frames, the way a publisher killed in the middle of a frame does: the sequence left odd under its id.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <memory>
#include <thread>
#include <vector>

#include "TestPictures.h"
#include "VidtapReceiveBench.h"
#include "tarn_camera_channel.h"

namespace {

struct Yuv {
    unsigned char y, u, v;
};
// Pairs of colours far apart in every channel of the converted picture.
const Yuv kColourPairs[][2] = {{{16, 128, 128}, {235, 128, 128}}, {{81, 90, 240}, {41, 240, 110}}};

std::unique_ptr<BenchFrameSet> SolidFrame(Yuv colour)
{
    auto set = std::make_unique<BenchFrameSet>();
    FillSolidPacked(set->input.data(), set->input.size(), colour.y, colour.u, colour.v);
    return set;
}

// Leaves the channel as a publisher that dies while writing a frame leaves it.
void ExitInTheMiddleOfAFrame()
{
    HANDLE section = OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE,
                                      TARN_CAMERA_HEADER_BLOCK_NAME TARN_CAMERA_SYNC_BLOCK_SUFFIX);
    auto* sync = section != nullptr ? static_cast<TarnCameraSyncBlock*>(MapViewOfFile(section, FILE_MAP_ALL_ACCESS, 0, 0, 0))
                                    : nullptr;
    if (sync != nullptr) {
        sync->writerProcessId = GetCurrentProcessId();
        __atomic_fetch_add(&sync->sequence, 1, __ATOMIC_SEQ_CST);
    }
    std::fflush(stdout);
    TerminateProcess(GetCurrentProcess(), 0);
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 5) {
        std::fprintf(stderr, "usage: sync_publisher VIDTAP_DLL FPS FRAMES FIRST_PAIR [INSTANCES] "
                             "[exit-mid-frame | channel=NAME]\n");
        return 2;
    }
    const int fps = _wtoi(argv[2]), frames = _wtoi(argv[3]), firstPair = _wtoi(argv[4]);
    const int instances = argc > 5 ? _wtoi(argv[5]) : 1;
    const bool exitMidFrame = argc > 6 && wcscmp(argv[6], L"exit-mid-frame") == 0;
    const wchar_t* channel = argc > 6 && wcsncmp(argv[6], L"channel=", 8) == 0 ? argv[6] + 8 : nullptr;
    if (fps <= 0 || instances < 1 || firstPair < 0 || firstPair + instances > 2)
        return 2;
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    {
        std::vector<std::vector<std::unique_ptr<BenchFrameSet>>> sets(instances);
        std::vector<std::unique_ptr<VidtapReceiveBench>> publishers;
        for (int i = 0; i < instances; ++i) {
            for (const Yuv& colour : kColourPairs[firstPair + i])
                sets[i].push_back(SolidFrame(colour));
            publishers.push_back(std::make_unique<VidtapReceiveBench>());
            const HRESULT hr = publishers[i]->Start(argv[1], sets[i], channel);
            if (FAILED(hr) || FAILED(publishers[i]->Deliver(*sets[i][0]))) {
                std::fprintf(stderr, "sync_publisher: vidtap could not be started (0x%08lX)\n", hr);
                return 1;
            }
        }
        std::printf("ready\n");
        std::fflush(stdout);
        std::vector<std::thread> threads;
        for (int i = 0; i < instances; ++i)
            threads.emplace_back([&, i] {
                const ULONGLONG start = GetTickCount64();
                for (int frame = 1; frame < frames; ++frame) {
                    publishers[i]->Deliver(*sets[i][frame % 2]);
                    const ULONGLONG due = start + 1000ull * static_cast<ULONGLONG>(frame) / static_cast<ULONGLONG>(fps);
                    const ULONGLONG now = GetTickCount64();
                    if (due > now)
                        Sleep(static_cast<DWORD>(due - now));
                }
            });
        for (std::thread& thread : threads)
            thread.join();
        if (exitMidFrame)
            ExitInTheMiddleOfAFrame();
    }
    CoUninitialize();
    return 0;
}
