// vidtapdemo: plays an AVI file into the capture sink in a real filter graph (File Source -> AVI Splitter ->
// vidtap, the sink created by class id through COM, so vidtap.dll must be registered), runs it to the end of
// the stream and keeps the process, and with it the camera channel, alive until told to stop, so that a
// reader in another process (camreader) can dump the published frame.
// Usage: vidtapdemo <file.avi>     play, print "ready" once the stream has ended, wait until stopped
//        vidtapdemo --stop         stop a running vidtapdemo (signals its named event)
// Exit codes: 0 played and stopped; 1 usage, or another instance is running; 2 the graph could not be built
// or run.
#include <windows.h>
#include <dshow.h>

#include <cstdio>
#include <cwchar>

#include "ComPtr.h"

namespace {

const wchar_t kStopEventName[] = L"tarn_vidtapdemo_stop";
// The capture sink's class id ({EC7AE514-C493-4385-869A-8BBFBAC709C9}).
const CLSID kVidtapClassId = {0xec7ae514, 0xc493, 0x4385, {0x86, 0x9a, 0x8b, 0xbf, 0xba, 0xc7, 0x09, 0xc9}};
const long kCompletionTimeoutMs = 60000;

bool Succeeded(HRESULT hr, const char* what)
{
    if (SUCCEEDED(hr))
        return true;
    std::fprintf(stderr, "vidtapdemo: %s failed (0x%08lX)\n", what, static_cast<unsigned long>(hr));
    return false;
}

HRESULT FirstPin(IBaseFilter* filter, PIN_DIRECTION direction, IPin** pin)
{
    ComPtr<IEnumPins> pins;
    HRESULT hr = filter->EnumPins(pins.Out());
    if (FAILED(hr))
        return hr;
    ComPtr<IPin> candidate;
    while (pins->Next(1, candidate.Out(), nullptr) == S_OK) {
        PIN_DIRECTION candidateDirection;
        if (SUCCEEDED(candidate->QueryDirection(&candidateDirection)) && candidateDirection == direction) {
            *pin = candidate.Detach();
            return S_OK;
        }
    }
    return VFW_E_NOT_FOUND;
}

HRESULT AddFilter(IGraphBuilder* graph, REFCLSID classId, const wchar_t* name, IBaseFilter** filter)
{
    HRESULT hr = CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                  reinterpret_cast<void**>(filter));
    if (SUCCEEDED(hr))
        hr = graph->AddFilter(*filter, name);
    return hr;
}

void PrintConnection(IPin* input)
{
    AM_MEDIA_TYPE type;
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
    if (type.cbFormat != 0)
        CoTaskMemFree(type.pbFormat);
    if (type.pUnk != nullptr)
        type.pUnk->Release();
}

// Builds and runs the graph; on success it is left running (the stream has ended) for the caller to stop.
bool PlayIntoVidtap(const wchar_t* clip, IGraphBuilder* graph)
{
    ComPtr<IBaseFilter> fileSource;
    ComPtr<IBaseFilter> splitter;
    ComPtr<IBaseFilter> vidtap;
    ComPtr<IFileSourceFilter> file;
    if (!Succeeded(AddFilter(graph, CLSID_AsyncReader, L"File Source", fileSource.Out()), "creating the File Source") ||
        !Succeeded(fileSource->QueryInterface(IID_IFileSourceFilter, file.OutVoid()), "IFileSourceFilter") ||
        !Succeeded(file->Load(clip, nullptr), "loading the clip") ||
        !Succeeded(AddFilter(graph, CLSID_AviSplitter, L"AVI Splitter", splitter.Out()), "creating the AVI Splitter") ||
        !Succeeded(AddFilter(graph, kVidtapClassId, L"Vidtap", vidtap.Out()),
                   "creating vidtap by class id (is vidtap.dll registered?)"))
        return false;

    ComPtr<IPin> fileOutput;
    ComPtr<IPin> splitterInput;
    ComPtr<IPin> video;
    ComPtr<IPin> vidtapInput;
    if (!Succeeded(FirstPin(fileSource.Get(), PINDIR_OUTPUT, fileOutput.Out()), "finding the File Source's pin") ||
        !Succeeded(FirstPin(splitter.Get(), PINDIR_INPUT, splitterInput.Out()), "finding the splitter's input") ||
        !Succeeded(graph->ConnectDirect(fileOutput.Get(), splitterInput.Get(), nullptr), "File Source -> AVI Splitter") ||
        !Succeeded(FirstPin(splitter.Get(), PINDIR_OUTPUT, video.Out()), "finding the splitter's video stream") ||
        !Succeeded(FirstPin(vidtap.Get(), PINDIR_INPUT, vidtapInput.Out()), "finding vidtap's input") ||
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

int Stop()
{
    HANDLE stopEvent = OpenEventW(EVENT_MODIFY_STATE, FALSE, kStopEventName);
    if (stopEvent == nullptr) {
        std::fprintf(stderr, "vidtapdemo: no vidtapdemo is running\n");
        return 1;
    }
    SetEvent(stopEvent);
    CloseHandle(stopEvent);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc == 2 && std::wcscmp(argv[1], L"--stop") == 0)
        return Stop();
    if (argc != 2) {
        std::fprintf(stderr, "usage: vidtapdemo <file.avi> | --stop\n");
        return 1;
    }
    HANDLE stopEvent = CreateEventW(nullptr, TRUE, FALSE, kStopEventName);
    if (stopEvent == nullptr || GetLastError() == ERROR_ALREADY_EXISTS) {
        std::fprintf(stderr, "vidtapdemo: another vidtapdemo is running (or the stop event is taken)\n");
        return 1;
    }

    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    int result = 2;
    {
        ComPtr<IGraphBuilder> graph;
        if (Succeeded(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                       graph.OutVoid()),
                      "creating the filter graph") &&
            PlayIntoVidtap(argv[1], graph.Get())) {
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
