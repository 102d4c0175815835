// Running graphs in the platform's filter graph manager for the end-to-end tests (they are built with
// GraphBuilding.h). Everything runs on the test's thread; events are read through IMediaEvent.
#pragma once

#include <windows.h>
#include <dshow.h>

#include "GraphBuilding.h"

// What one run to the end of the stream produced.
struct GraphCompletion {
    HRESULT runResult = E_FAIL;
    HRESULT waitResult = E_FAIL;  // RunAndWaitForCompletion: what WaitForCompletion returned
    long waitEventCode = 0;       // and the event code it gave
    bool completed = false;       // an EC_COMPLETE reached the application within the time allowed
    int completeEvents = 0;       // every EC_COMPLETE the application received, the first one included
    int abortEvents = 0;          // EC_ERRORABORT events received
    HRESULT stopResult = E_FAIL;
};

// Runs the graph with the graph's own handling of EC_COMPLETE switched off, so every completion notice a
// filter sends reaches the application: waits up to `timeoutMs` for the first EC_COMPLETE, goes on reading
// events for `settleMs` more (a second notice would arrive there), stops the graph and reads what is left.
GraphCompletion RunUntilFiltersComplete(IGraphBuilder* graph, DWORD timeoutMs = 30000, DWORD settleMs = 300);

// Runs the graph the way an application does, with the graph's own completion handling: Run, then
// IMediaEvent::WaitForCompletion; then, after `settleMs`, stops the graph and counts the events queued for the
// application (WaitForCompletion leaves them in the queue).
GraphCompletion RunAndWaitForCompletion(IGraphBuilder* graph, DWORD timeoutMs = 30000, DWORD settleMs = 300);

// The EC_COMPLETE notices that reach the application: waits up to `firstTimeoutMs` for one, then reads events
// for `settleMs` more. For graphs whose default completion handling the caller has cancelled.
int CompletionNotices(IMediaEvent* events, DWORD firstTimeoutMs, DWORD settleMs);
