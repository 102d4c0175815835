#include "GraphHelpers.h"

#include "ComPtr.h"

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

// Takes the graph's control and event interfaces and runs it, with the graph's own handling of EC_COMPLETE
// switched off when `filterNotices` asks for every notice; false when the graph could not be run (the reason
// is in `completion.runResult`).
bool StartRun(IGraphBuilder* graph, bool filterNotices, ComPtr<IMediaControl>& control, ComPtr<IMediaEvent>& events,
              GraphCompletion& completion)
{
    if (FAILED(graph->QueryInterface(IID_IMediaControl, control.OutVoid())) ||
        FAILED(graph->QueryInterface(IID_IMediaEvent, events.OutVoid())))
        return false;
    if (filterNotices)
        events->CancelDefaultHandling(EC_COMPLETE);
    completion.runResult = control->Run();
    return SUCCEEDED(completion.runResult);
}

}  // namespace

GraphCompletion RunUntilFiltersComplete(IGraphBuilder* graph, DWORD timeoutMs, DWORD settleMs)
{
    GraphCompletion completion;
    ComPtr<IMediaControl> control;
    ComPtr<IMediaEvent> events;
    if (!StartRun(graph, true, control, events, completion))
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
    if (!StartRun(graph, false, control, events, completion))
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
