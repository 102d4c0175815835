#include "CRenderedInputPin.h"

#include <evcode.h>

#include "CBaseFilter.h"
#include "CLockGuard.h"

CRenderedInputPin::CRenderedInputPin(const wchar_t* objectName, CBaseFilter* filter, CRecursiveLock* lock,
                                     HRESULT* hr, const wchar_t* name)
    : CBaseInputPin(objectName, filter, lock, hr, name), atEndOfStream(FALSE), completeNotified(FALSE)
{
}

HRESULT CRenderedInputPin::Activate()
{
    // Leaving the stopped state starts a new stream: an end of stream from before does not carry over.
    atEndOfStream = FALSE;
    completeNotified = FALSE;
    return CBaseInputPin::Activate();
}

HRESULT CRenderedInputPin::StartRunning(REFERENCE_TIME /*start*/)
{
    // Every run reports a standing end of stream once more.
    completeNotified = FALSE;
    if (atEndOfStream)
        SignalCompletion();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CRenderedInputPin::EndOfStream()
{
    HRESULT hr = CheckReceiveState();
    if (hr != S_OK)
        return hr;
    if (atEndOfStream)
        return S_OK;
    atEndOfStream = TRUE;
    // While paused, completion waits for the next StartRunning.
    FILTER_STATE state = State_Stopped;
    if (SUCCEEDED(ownerFilter->GetBaseFilterInterface()->GetState(0, &state)) && state == State_Running)
        SignalCompletion();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CRenderedInputPin::EndFlush()
{
    CLockGuard guard(filterLock);
    // A flush withdraws the end of stream: the data it ended has been thrown away.
    atEndOfStream = FALSE;
    completeNotified = FALSE;
    return CBaseInputPin::EndFlush();
}

void CRenderedInputPin::SignalCompletion()
{
    if (completeNotified)
        return;
    completeNotified = TRUE;
    ownerFilter->SendGraphEvent(EC_COMPLETE, S_OK,
                                reinterpret_cast<LONG_PTR>(ownerFilter->GetBaseFilterInterface()));
}
