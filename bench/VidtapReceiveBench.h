// Frames delivered to vidtap.dll itself through IMemInputPin::Receive, in this process: the module loaded
// from its file, its filter created through the module's own class factory and connected, in the platform's
// filter graph, to the test source, whose allocator (the platform's) holds one sample per frame set. Each
// sample is filled once with its set's input; timing a case then times Receive alone. Everything runs on the
// caller's thread; the object owns every reference it takes and releases them in reverse order, then unloads
// the module.
#pragma once

#include <windows.h>
#include <dshow.h>

#include <map>
#include <memory>
#include <type_traits>
#include <vector>

#include "BenchFrames.h"
#include "ComPtr.h"
#include "TestSourceFilter.h"

class VidtapReceiveBench {
public:
    VidtapReceiveBench() = default;
    ~VidtapReceiveBench();
    VidtapReceiveBench(const VidtapReceiveBench&) = delete;
    VidtapReceiveBench& operator=(const VidtapReceiveBench&) = delete;

    // Loads the module at `modulePath`, builds and pauses the graph, fills one sample per set. A
    // `channelName` names the filter's channel (ITarnChannelName) before it connects.
    HRESULT Start(const wchar_t* modulePath, const std::vector<std::unique_ptr<BenchFrameSet>>& sets,
                  const wchar_t* channelName = nullptr);
    // Delivers the sample of `set` (one of those given to Start) and gives Receive's result.
    HRESULT Deliver(const BenchFrameSet& set);

private:
    std::unique_ptr<std::remove_pointer_t<HMODULE>, decltype(&FreeLibrary)> module{nullptr, &FreeLibrary};
    ComPtr<IGraphBuilder> graph;
    ComPtr<IBaseFilter> vidtap;
    ComPtr<TestSourceFilter> source;
    ComPtr<IMemInputPin> vidtapInput;
    ComPtr<IMemAllocator> allocator;
    std::map<const BenchFrameSet*, ComPtr<IMediaSample>> samples;
};
