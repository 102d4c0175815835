// vidtapdemo: plays an AVI file into the capture sink in a real filter graph (File Source -> AVI Splitter ->
// vidtap, the sink created by class id through COM, so vidtap.dll must be registered), runs it to the end of
// the stream and keeps the process, and with it the camera channel, alive until told to stop, so that a
// reader in another process (camreader) can dump the published frame.
// Usage: vidtapdemo [--channel NAME] <file.avi>
//                                  play (into the channel NAME, or the default channel), print "ready" once
//                                  the stream has ended, wait until stopped
//        vidtapdemo --stop         stop a running vidtapdemo (signals its named event)
// Exit codes: 0 played and stopped; 1 usage, or another instance is running; 2 the graph could not be built
// or run.
#include <windows.h>
#include <dshow.h>

#include <cstdio>
#include <cwchar>

#include "COwnedMediaType.h"
#include "ChannelNamingExample.h"
#include "ComPtr.h"
#include "GraphBuilding.h"
#include "StopEvent.h"
#include "tarn_filters.h"

namespace {

const char kProgram[] = "vidtapdemo";
const wchar_t kStopEventName[] = L"tarn_vidtapdemo_stop";
const CLSID kVidtapClassId = TARN_VIDTAP_CLASS_ID;
const long kCompletionTimeoutMs = 60000;

bool Succeeded(HRESULT hr, const char* what)
{
    if (SUCCEEDED(hr))
        return true;
    std::fprintf(stderr, "%s: %s failed (0x%08lX)\n", kProgram, what, static_cast<unsigned long>(hr));
    return false;
}

void PrintConnection(IPin* input)
{
    COwnedMediaType type;
    if (FAILED(input->ConnectionMediaType(&type)))
        return;
    if (IsEqualGUID(type.formattype, FORMAT_VideoInfo) && type.cbFormat >= sizeof(VIDEOINFOHEADER)) {
        const BITMAPINFOHEADER& picture = reinterpret_cast<const VIDEOINFOHEADER*>(type.pbFormat)->bmiHeader;
        const DWORD fourcc = picture.biCompression;
        std::printf("connected       %ld x %ld, %u bits, compression %c%c%c%c\n", static_cast<long>(picture.biWidth),
                    static_cast<long>(picture.biHeight), picture.biBitCount, static_cast<char>(fourcc & 0xFF),
                    static_cast<char>((fourcc >> 8) & 0xFF), static_cast<char>((fourcc >> 16) & 0xFF),
                    static_cast<char>((fourcc >> 24) & 0xFF));
    }
}

// Builds and runs the graph; on success it is left running (the stream has ended) for the caller to stop.
bool PlayIntoVidtap(const wchar_t* clip, const wchar_t* channel, IGraphBuilder* graph)
{
    ComPtr<IPin> video;
    ComPtr<IBaseFilter> vidtap;
    ComPtr<IPin> vidtapInput;
    if (!Succeeded(AddClipPlayback(graph, clip, video.Out()), "playing the clip (File Source -> AVI Splitter)") ||
        !Succeeded(AddFilterByClassId(graph, kVidtapClassId, L"Vidtap", vidtap.Out()),
                   "creating vidtap by class id (is vidtap.dll registered?)") ||
        (channel != nullptr && !Succeeded(name_vidtap_channel(vidtap.Get(), channel), "naming vidtap's channel")) ||
        !Succeeded(FindPin(vidtap.Get(), PINDIR_INPUT, vidtapInput.Out()), "finding vidtap's input") ||
        !Succeeded(graph->ConnectDirect(video.Get(), vidtapInput.Get(), nullptr), "AVI Splitter -> vidtap"))
        return false;
    PrintConnection(vidtapInput.Get());

    ComPtr<IMediaControl> control;
    ComPtr<IMediaEvent> events;
    if (!Succeeded(graph->QueryInterface(IID_IMediaControl, control.OutVoid()), "IMediaControl") ||
        !Succeeded(graph->QueryInterface(IID_IMediaEvent, events.OutVoid()), "IMediaEvent") ||
        !Succeeded(control->Run(), "running the graph"))
        return false;
    long code = 0;
    if (!Succeeded(events->WaitForCompletion(kCompletionTimeoutMs, &code), "waiting for the end of the stream"))
        return false;
    std::printf("stream ended    event %ld%s\n", code, code == EC_COMPLETE ? " (EC_COMPLETE)" : "");
    return code == EC_COMPLETE;
}

void StopGraph(IGraphBuilder* graph)
{
    ComPtr<IMediaControl> control;
    if (SUCCEEDED(graph->QueryInterface(IID_IMediaControl, control.OutVoid())))
        control->Stop();
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc == 2 && std::wcscmp(argv[1], L"--stop") == 0)
        return SignalStopEvent(kStopEventName, kProgram);
    const wchar_t* channel = nullptr;  // the default channel
    if (argc == 4 && std::wcscmp(argv[1], L"--channel") == 0) {
        channel = argv[2];
        argc -= 2;
        argv += 2;
    }
    if (argc != 2) {
        std::fprintf(stderr, "usage: vidtapdemo [--channel NAME] <file.avi> | --stop\n");
        return 1;
    }
    HANDLE stopEvent = CreateStopEvent(kStopEventName, kProgram);
    if (stopEvent == nullptr)
        return 1;

    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    int result = 2;
    {
        ComPtr<IGraphBuilder> graph;
        if (Succeeded(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                       graph.OutVoid()),
                      "creating the filter graph") &&
            PlayIntoVidtap(argv[1], channel, graph.Get())) {
            std::printf("ready\n");
            std::fflush(stdout);
            // The camera channel lives as long as this process: wait for the reader to be done.
            WaitForSingleObject(stopEvent, INFINITE);
            result = 0;
        }
        std::fflush(stdout);
        if (graph.Get() != nullptr)
            StopGraph(graph.Get());
    }
    CoUninitialize();
    CloseHandle(stopEvent);
    return result;
}
