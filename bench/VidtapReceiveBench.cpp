#include "VidtapReceiveBench.h"

#include <cstring>

#include "GraphBuilding.h"
#include "HResult.h"
#include "PlatformSamples.h"
#include "TestSourceFilter.h"
#include "VideoMediaType.h"
#include "tarn_filters.h"

namespace {

const CLSID kVidtapClassId = TARN_VIDTAP_CLASS_ID;
const IID kChannelNameId = TARN_CHANNEL_NAME_IID;

}  // namespace

VidtapReceiveBench::~VidtapReceiveBench()
{
    // The samples go back before the graph stops; the references go after it, in reverse order of their
    // members, and the module last.
    samples.clear();
    ComPtr<IMediaControl> control;
    if (graph && SUCCEEDED(graph->QueryInterface(IID_IMediaControl, control.OutVoid())))
        control->Stop();
}

HRESULT VidtapReceiveBench::Start(const wchar_t* modulePath, const std::vector<std::unique_ptr<BenchFrameSet>>& sets,
                                  const wchar_t* channelName)
{
    module.reset(LoadLibraryW(modulePath));
    if (!module)
        return HRESULT_FROM_WIN32(GetLastError());
    const auto getClassObject = reinterpret_cast<LPFNGETCLASSOBJECT>(
        reinterpret_cast<void*>(GetProcAddress(module.get(), "DllGetClassObject")));
    if (getClassObject == nullptr)
        return HRESULT_FROM_WIN32(GetLastError());
    ComPtr<IClassFactory> factory;
    RETURN_IF_FAILED(getClassObject(kVidtapClassId, IID_IClassFactory, factory.OutVoid()));
    RETURN_IF_FAILED(factory->CreateInstance(nullptr, IID_IBaseFilter, vidtap.OutVoid()));
    if (channelName != nullptr) {
        ComPtr<ITarnChannelName> naming;
        RETURN_IF_FAILED(vidtap->QueryInterface(kChannelNameId, naming.OutVoid()));
        RETURN_IF_FAILED(naming->SetChannelName(channelName));
    }

    RETURN_IF_FAILED(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                      graph.OutVoid()));
    source.Attach(new (std::nothrow) TestSourceFilter);
    if (!source)
        return E_OUTOFMEMORY;
    source->Pin()->OfferType(MakeVideoType(kBenchWidth, kBenchHeight, 16));
    source->Pin()->SetBuffers(static_cast<long>(sets.size()), static_cast<long>(kBenchInputBytes));
    RETURN_IF_FAILED(graph->AddFilter(source.Get(), L"source"));
    RETURN_IF_FAILED(graph->AddFilter(vidtap.Get(), L"vidtap"));
    ComPtr<IPin> vidtapPin;
    RETURN_IF_FAILED(FindPin(vidtap.Get(), PINDIR_INPUT, vidtapPin.Out()));
    RETURN_IF_FAILED(graph->ConnectDirect(source->Pin(), vidtapPin.Get(), nullptr));
    ComPtr<IMediaControl> control;
    RETURN_IF_FAILED(graph->QueryInterface(IID_IMediaControl, control.OutVoid()));
    RETURN_IF_FAILED(control->Pause());

    ComPtr<IPin> peer;
    RETURN_IF_FAILED(source->Pin()->TakeDeliveryPath(peer.Out(), vidtapInput.Out(), allocator.Out()));
    for (const auto& set : sets) {
        ComPtr<IMediaSample> sample;
        RETURN_IF_FAILED(PlatformSamples::TakeFrom(allocator.Get(), sample.Out(), static_cast<long>(kBenchInputBytes)));
        BYTE* buffer = nullptr;
        RETURN_IF_FAILED(sample->GetPointer(&buffer));
        std::memcpy(buffer, set->input.data(), kBenchInputBytes);
        samples[set.get()] = sample;
    }
    return S_OK;
}

HRESULT VidtapReceiveBench::Deliver(const BenchFrameSet& set)
{
    const auto found = samples.find(&set);
    return found == samples.end() ? E_INVALIDARG : vidtapInput->Receive(found->second.Get());
}
