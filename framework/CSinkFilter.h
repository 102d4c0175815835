// The filter object of a sink: one input pin, owned by the outer object, and the base filter's state
// machine run under the outer object's object lock. `Outer` supplies GetInputPin(). The filter is
// aggregated: its IUnknown methods go to the outer object, so one count keeps the whole sink alive.
// `owner` is not counted: the outer object owns and outlives the filter.
#pragma once

#include "CBaseFilter.h"
#include "CLockGuard.h"

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

    // These three add no behaviour: each takes the object lock (re-entrant; the base operation takes it
    // again) and runs the base operation. They mark where a sink's own state-change work would go, under
    // that lock; neither shipped sink has any (the camera channel is not touched by state changes).
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
    HRESULT STDMETHODCALLTYPE Run(REFERENCE_TIME start) override
    {
        CLockGuard guard(filterLock);
        return CBaseFilter::Run(start);
    }

protected:
    Outer* const owner;  // not counted: the outer object owns this filter
};
