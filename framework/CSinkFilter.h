// The filter object of a sink: one input pin, owned by the outer object, and the base filter's state
// machine run under the outer object's object lock. `Outer` supplies GetInputPin(). The filter is
// aggregated: its IUnknown methods go to the outer object, so one count keeps the whole sink alive.
// `owner` is not counted: the outer object owns and outlives the filter.
#pragma once

#include <evcode.h>

#include "CBaseFilter.h"
#include "CBasePin.h"
#include "CLockGuard.h"
#include "HResult.h"

template <class Outer>
class CSinkFilter : public CBaseFilter {
public:
    using OwnerType = Outer;

    CSinkFilter(Outer* owner, IUnknown* ownerUnknown, CRecursiveLock* objectLock, REFCLSID classId)
        : CBaseFilter(nullptr, ownerUnknown, objectLock, classId), owner(owner)
    {
    }

    int CountPins() override { return 1; }
    // The pin at 0 (null if it could not be created); null for every other index, negative ones included.
    CBasePin* GetPinAt(int index) override { return index == 0 ? owner->GetInputPin() : nullptr; }

    // Stop and Pause add no behaviour: each takes the object lock (re-entrant; the base operation takes it
    // again) and runs the base operation, marking where a sink's own state-change work would go under that
    // lock. Run adds only the completion of an unconnected input. The camera channel is not touched by state
    // changes.
    HRESULT STDMETHODCALLTYPE Stop() override
    {
        CLockGuard guard(filterLock);
        return CBaseFilter::Stop();
    }
    HRESULT STDMETHODCALLTYPE Pause() override
    {
        CLockGuard guard(filterLock);
        return CBaseFilter::Pause();
    }
    // A run that starts (from Stopped or Paused) with the input pin unconnected has no stream to wait for:
    // it reports EC_COMPLETE at once, once for that run, so a graph that counts the sink as a renderer can
    // complete. A connected pin keeps the end-of-stream rules of its rendered input pin.
    HRESULT STDMETHODCALLTYPE Run(REFERENCE_TIME start) override
    {
        CLockGuard guard(filterLock);
        const bool starting = filterState != State_Running;
        RETURN_IF_FAILED(CBaseFilter::Run(start));
        const CBasePin* pin = GetPinAt(0);
        if (starting && (pin == nullptr || !pin->IsConnected()))
            SendGraphEvent(EC_COMPLETE, S_OK, reinterpret_cast<LONG_PTR>(GetBaseFilterInterface()));
        return S_OK;
    }

protected:
    Outer* const owner;  // not counted: the outer object owns this filter
};
