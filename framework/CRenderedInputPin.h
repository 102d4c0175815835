// The input pin of a filter that ends its graph branch: end of stream becomes the graph's EC_COMPLETE,
// raised at most once per run (when the end arrives while running, or at the next run when it arrived while
// paused). A flush or a new activation withdraws the end of stream. Threads as CBaseInputPin; the two flags
// are written by the streaming thread (EndOfStream) and by the control thread under the filter lock.
#pragma once

#include "CBaseInputPin.h"

class CRenderedInputPin : public CBaseInputPin {
public:
    CRenderedInputPin(const wchar_t* objectName, CBaseFilter* filter, CRecursiveLock* lock, HRESULT* hr,
                      const wchar_t* name);

    HRESULT Activate() override;
    HRESULT StartRunning(REFERENCE_TIME start) override;

    HRESULT STDMETHODCALLTYPE EndOfStream() override;
    HRESULT STDMETHODCALLTYPE EndFlush() override;

protected:
    void SignalCompletion();

    BOOL atEndOfStream;
    BOOL completeNotified;
};
