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

}  // namespace

GraphCompletion RunGraph(IGraphBuilder* graph, CompletionHandling handling, DWORD timeoutMs, DWORD settleMs)
{
    GraphCompletion completion;
    ComPtr<IMediaControl> control;
    ComPtr<IMediaEvent> events;
    if (FAILED(graph->QueryInterface(IID_IMediaControl, control.OutVoid())) ||
        FAILED(graph->QueryInterface(IID_IMediaEvent, events.OutVoid())))
        return completion;
    const bool everyNotice = handling == CompletionHandling::EveryFilterNotice;
    if (everyNotice)
        events->CancelDefaultHandling(EC_COMPLETE);
    completion.runResult = control->Run();
    if (FAILED(completion.runResult))
        return completion;
    if (everyNotice) {
        // Notices after the first are counted too: a sink reports the end of its stream once per run.
        CollectEvents(events.Get(), timeoutMs, settleMs, completion);
        completion.completed = completion.completeEvents > 0;
    } else {
        completion.waitResult = events->WaitForCompletion(static_cast<long>(timeoutMs), &completion.waitEventCode);
        completion.completed = completion.waitResult == S_OK && completion.waitEventCode == EC_COMPLETE;
        if (completion.completed)
            Sleep(settleMs);
    }
    completion.stopResult = control->Stop();
    while (TakeEvent(events.Get(), 0, completion)) {
    }
    return completion;
}

testing::AssertionResult CompletedOnce(const GraphCompletion& run)
{
    if (run.runResult == S_OK && run.completed && run.completeEvents == 1 && run.abortEvents == 0 &&
        run.stopResult == S_OK)
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << std::hex << "Run 0x" << run.runResult << ", wait 0x" << run.waitResult
                                       << std::dec << " (event " << run.waitEventCode << "), completed "
                                       << run.completed << ", " << run.completeEvents << " EC_COMPLETE, "
                                       << run.abortEvents << " EC_ERRORABORT, Stop 0x" << std::hex
                                       << run.stopResult;
}
