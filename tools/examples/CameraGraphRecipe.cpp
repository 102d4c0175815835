#include "CameraGraphRecipe.h"

#include "ComPtr.h"
#include "HResult.h"

HRESULT ConnectCameraThroughCaptureBuilder(IGraphBuilder* graph, IBaseFilter* camera, IBaseFilter* vidtap)
{
    ComPtr<ICaptureGraphBuilder2> builder;
    RETURN_IF_FAILED(CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_ICaptureGraphBuilder2, builder.OutVoid()));
    RETURN_IF_FAILED(builder->SetFiltergraph(graph));
    return builder->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, camera, nullptr, vidtap);
}

HRESULT ConnectCameraDirectly(IGraphBuilder* graph, IPin* cameraOutput, IBaseFilter* vidtap)
{
    ComPtr<IPin> input;
    RETURN_IF_FAILED(vidtap->FindPin(L"Input", input.Out()));
    return graph->ConnectDirect(cameraOutput, input.Get(), nullptr);
}
