#include "GraphHelpers.h"

#include "ComPtr.h"
#include "HResult.h"
#include "PlatformProcess.h"

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

HRESULT AddClipPlayback(IGraphBuilder* graph, const char* clipUnixPath, IPin** videoOutput)
{
    *videoOutput = nullptr;
    ComPtr<IBaseFilter> fileSource;
    RETURN_IF_FAILED(AddFilterByClassId(graph, CLSID_AsyncReader, L"File Source", fileSource.Out()));
    ComPtr<IFileSourceFilter> file;
    RETURN_IF_FAILED(fileSource->QueryInterface(IID_IFileSourceFilter, file.OutVoid()));
    RETURN_IF_FAILED(file->Load(WindowsPath(clipUnixPath).c_str(), nullptr));

    ComPtr<IBaseFilter> splitter;
    RETURN_IF_FAILED(AddFilterByClassId(graph, CLSID_AviSplitter, L"AVI Splitter", splitter.Out()));
    ComPtr<IPin> fileOutput;
    ComPtr<IPin> splitterInput;
    RETURN_IF_FAILED(FindPin(fileSource.Get(), PINDIR_OUTPUT, fileOutput.Out()));
    RETURN_IF_FAILED(FindPin(splitter.Get(), PINDIR_INPUT, splitterInput.Out()));
    RETURN_IF_FAILED(graph->ConnectDirect(fileOutput.Get(), splitterInput.Get(), nullptr));
    // The splitter's output pins exist once its input has parsed the file.
    return FindPin(splitter.Get(), PINDIR_OUTPUT, videoOutput);
}

namespace {

// Takes one event from the application's queue (waiting up to waitMs) and counts it; false when none came.
bool TakeEvent(IMediaEvent* events, DWORD waitMs, GraphCompletion& completion)
{
    long code;
    LONG_PTR first;
    LONG_PTR second;
    if (events->GetEvent(&code, &first, &second, static_cast<long>(waitMs)) != S_OK)
        return false;
    if (code == EC_COMPLETE)
        ++completion.completeEvents;
    else if (code == EC_ERRORABORT)
        ++completion.abortEvents;
    events->FreeEventParams(code, first, second);
    return true;
}

// Waits up to firstTimeoutMs for an EC_COMPLETE, then reads events for settleMs more (a second notice would
// arrive there).
void CollectEvents(IMediaEvent* events, DWORD firstTimeoutMs, DWORD settleMs, GraphCompletion& completion)
{
    const int before = completion.completeEvents;
    const DWORD start = GetTickCount();
    while (completion.completeEvents == before && GetTickCount() - start < firstTimeoutMs)
        TakeEvent(events, 50, completion);
    if (completion.completeEvents == before)
        return;
    const DWORD settleStart = GetTickCount();
    while (GetTickCount() - settleStart < settleMs)
        TakeEvent(events, 50, completion);
}

void StopAndCount(IMediaControl* control, IMediaEvent* events, GraphCompletion& completion)
{
    completion.stopResult = control->Stop();
    while (TakeEvent(events, 0, completion)) {
    }
}

}  // namespace

GraphCompletion RunUntilFiltersComplete(IGraphBuilder* graph, DWORD timeoutMs, DWORD settleMs)
{
    GraphCompletion completion;
    ComPtr<IMediaControl> control;
    ComPtr<IMediaEvent> events;
    if (FAILED(graph->QueryInterface(IID_IMediaControl, control.OutVoid())) ||
        FAILED(graph->QueryInterface(IID_IMediaEvent, events.OutVoid())))
        return completion;
    events->CancelDefaultHandling(EC_COMPLETE);
    completion.runResult = control->Run();
    if (FAILED(completion.runResult))
        return completion;
    // Notices after the first are counted too: a sink reports the end of its stream once per run.
    CollectEvents(events.Get(), timeoutMs, settleMs, completion);
    completion.completed = completion.completeEvents > 0;
    StopAndCount(control.Get(), events.Get(), completion);
    return completion;
}

GraphCompletion RunAndWaitForCompletion(IGraphBuilder* graph, DWORD timeoutMs, DWORD settleMs)
{
    GraphCompletion completion;
    ComPtr<IMediaControl> control;
    ComPtr<IMediaEvent> events;
    if (FAILED(graph->QueryInterface(IID_IMediaControl, control.OutVoid())) ||
        FAILED(graph->QueryInterface(IID_IMediaEvent, events.OutVoid())))
        return completion;
    completion.runResult = control->Run();
    if (FAILED(completion.runResult))
        return completion;
    completion.waitResult = events->WaitForCompletion(static_cast<long>(timeoutMs), &completion.waitEventCode);
    completion.completed = completion.waitResult == S_OK && completion.waitEventCode == EC_COMPLETE;
    if (completion.completed)
        Sleep(settleMs);
    StopAndCount(control.Get(), events.Get(), completion);
    return completion;
}

int CompletionNotices(IMediaEvent* events, DWORD firstTimeoutMs, DWORD settleMs)
{
    GraphCompletion completion;
    CollectEvents(events, firstTimeoutMs, settleMs, completion);
    return completion.completeEvents;
}
