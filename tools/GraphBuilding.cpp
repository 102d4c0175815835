#include "GraphBuilding.h"

#include "ComPtr.h"
#include "HResult.h"

HRESULT FindPin(IBaseFilter* filter, PIN_DIRECTION direction, IPin** pin)
{
    *pin = nullptr;
    ComPtr<IEnumPins> pins;
    RETURN_IF_FAILED(filter->EnumPins(pins.Out()));
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

HRESULT AddFilterByClassId(IGraphBuilder* graph, REFCLSID classId, const wchar_t* name, IBaseFilter** filter)
{
    *filter = nullptr;
    ComPtr<IBaseFilter> created;
    RETURN_IF_FAILED(CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, created.OutVoid()));
    RETURN_IF_FAILED(graph->AddFilter(created.Get(), name));
    *filter = created.Detach();
    return S_OK;
}

HRESULT AddFileSource(IGraphBuilder* graph, const wchar_t* path, IPin** output)
{
    *output = nullptr;
    ComPtr<IBaseFilter> fileSource;
    RETURN_IF_FAILED(AddFilterByClassId(graph, CLSID_AsyncReader, L"File Source", fileSource.Out()));
    ComPtr<IFileSourceFilter> file;
    RETURN_IF_FAILED(fileSource->QueryInterface(IID_IFileSourceFilter, file.OutVoid()));
    RETURN_IF_FAILED(file->Load(path, nullptr));
    return FindPin(fileSource.Get(), PINDIR_OUTPUT, output);
}

HRESULT AddClipPlayback(IGraphBuilder* graph, const wchar_t* clipPath, IPin** videoOutput)
{
    *videoOutput = nullptr;
    ComPtr<IPin> fileOutput;
    RETURN_IF_FAILED(AddFileSource(graph, clipPath, fileOutput.Out()));
    ComPtr<IBaseFilter> splitter;
    RETURN_IF_FAILED(AddFilterByClassId(graph, CLSID_AviSplitter, L"AVI Splitter", splitter.Out()));
    ComPtr<IPin> splitterInput;
    RETURN_IF_FAILED(FindPin(splitter.Get(), PINDIR_INPUT, splitterInput.Out()));
    RETURN_IF_FAILED(graph->ConnectDirect(fileOutput.Get(), splitterInput.Get(), nullptr));
    // The splitter's output pins exist once its input has parsed the file.
    return FindPin(splitter.Get(), PINDIR_OUTPUT, videoOutput);
}
