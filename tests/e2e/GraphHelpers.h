// Running graphs in the platform's filter graph manager for the end-to-end tests (they are built with
// GraphBuilding.h). Everything runs on the test's thread; events are read through IMediaEvent.
#pragma once

#include <windows.h>
#include <dshow.h>
#include <gtest/gtest.h>

#include "GraphBuilding.h"

// What one run to the end of the stream produced.
struct GraphCompletion {
    HRESULT runResult = E_FAIL;
    HRESULT waitResult = E_FAIL;  // ApplicationWaits: what WaitForCompletion returned
    long waitEventCode = 0;       // and the event code it gave
    bool completed = false;       // an EC_COMPLETE reached the application within the time allowed
    int completeEvents = 0;       // every EC_COMPLETE the application received, the first one included
    int abortEvents = 0;          // EC_ERRORABORT events received
    HRESULT stopResult = E_FAIL;
};

// Who handles EC_COMPLETE during a run. ApplicationWaits: the graph's own handling, as an application runs a
// graph (IMediaEvent::WaitForCompletion, then `settleMs` before stopping). EveryFilterNotice: the graph's
// handling switched off, so every completion notice a filter sends reaches the test (the first awaited, then
// `settleMs` more of events, where a second notice would arrive).
enum class CompletionHandling { ApplicationWaits, EveryFilterNotice };

// Runs the graph to the end of its stream (up to `timeoutMs`), stops it and counts every event left queued.
GraphCompletion RunGraph(IGraphBuilder* graph, CompletionHandling handling, DWORD timeoutMs = 30000,
                         DWORD settleMs = 300);

// A run that went to its end once: Run succeeded, the completion arrived (as WaitForCompletion's EC_COMPLETE
// for ApplicationWaits), exactly one EC_COMPLETE and no EC_ERRORABORT reached the application, Stop succeeded.
testing::AssertionResult CompletedOnce(const GraphCompletion& run);
