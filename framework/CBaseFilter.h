// Base of both filters: IBaseFilter (with IMediaFilter and IPersist) and IAMovieSetup, the
// Stopped/Paused/Running state machine over the derived filter's pins, the reference clock, graph membership
// and event reporting.
//
// Ownership: the derived filter (or its outer object) owns the pins and `filterLock`; the base holds a
// counted reference on the clock only. `graph` and `eventSink` are not counted: the graph owns the filter,
// and counting it back would make a cycle.
// Threads: the graph's control thread changes state; pins call SendGraphEvent from the streaming thread.
// Stop, Pause, Run, SetSyncSource, GetSyncSource, FindPin, JoinFilterGraph and QueryFilterInfo hold
// `filterLock` for their whole run (including calls into pins, clock and graph; QueryFilterInfo so that the
// name it copies cannot be freed under it); GetState, GetClassID, EnumPins, GetStreamTime and SendGraphEvent
// take no lock. `filterLock` is re-entrant, so derived Stop/Pause/Run may hold it while calling these.
#pragma once

#include <windows.h>
#include <strmif.h>

#include "CForwardingUnknown.h"
#include "CRecursiveLock.h"
#include "FilterSetupRecord.h"

class CBasePin;

class CBaseFilter : public CForwardingUnknown<CUnknown, IBaseFilter, IAMovieSetup> {
public:
    // `outer` null makes the filter its own owner. `lock` is not owned.
    CBaseFilter(const wchar_t* objectName, IUnknown* outer, CRecursiveLock* lock, REFCLSID classId);
    ~CBaseFilter() override;

    HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    // Stream time: clock time elapsed since the start time of the last Run. VFW_E_NO_CLOCK without a clock.
    virtual HRESULT GetStreamTime(REFERENCE_TIME& out);
    virtual LONG GetPinListVersion();
    virtual int CountPins() = 0;
    // 0-based; null when there is no pin at `index`.
    virtual CBasePin* GetPinAt(int index) = 0;
    virtual const FilterSetupRecord* GetFilterSetupData();

    // IPersist
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* pClsID) override;
    // IMediaFilter
    HRESULT STDMETHODCALLTYPE Stop() override;
    HRESULT STDMETHODCALLTYPE Pause() override;
    HRESULT STDMETHODCALLTYPE Run(REFERENCE_TIME tStart) override;
    HRESULT STDMETHODCALLTYPE GetState(DWORD dwMilliSecsTimeout, FILTER_STATE* State) override;
    HRESULT STDMETHODCALLTYPE SetSyncSource(IReferenceClock* pClock) override;
    HRESULT STDMETHODCALLTYPE GetSyncSource(IReferenceClock** pClock) override;
    // IBaseFilter
    HRESULT STDMETHODCALLTYPE EnumPins(IEnumPins** ppEnum) override;
    HRESULT STDMETHODCALLTYPE FindPin(LPCWSTR Id, IPin** ppPin) override;
    HRESULT STDMETHODCALLTYPE QueryFilterInfo(FILTER_INFO* pInfo) override;
    HRESULT STDMETHODCALLTYPE JoinFilterGraph(IFilterGraph* pGraph, LPCWSTR pName) override;
    HRESULT STDMETHODCALLTYPE QueryVendorInfo(LPWSTR* pVendorInfo) override;
    // IAMovieSetup: the filter-mapper half of registration for this one filter (through IFilterMapper).
    // Not reachable in the shipped modules: their outer objects refuse IAMovieSetup, and the filter's own
    // QueryInterface is reached only through them. Kept for a filter whose outer object hands it out.
    HRESULT STDMETHODCALLTYPE Register() override;
    HRESULT STDMETHODCALLTYPE Unregister() override;

    // Reports an event to the graph's event sink; E_NOTIMPL (event dropped) when the filter has none.
    // EC_COMPLETE always carries this filter's own IBaseFilter as its second parameter.
    HRESULT SendGraphEvent(LONG code, LONG_PTR param1, LONG_PTR param2);

    // What pins read of their filter. Plain reads: the state is written under `filterLock` only.
    FILTER_STATE GetFilterState() const { return filterState; }
    IMediaEventSink* GetEventSink() const { return eventSink; }
    CRecursiveLock* GetFilterLock() const { return filterLock; }
    IBaseFilter* GetBaseFilterInterface() { return static_cast<IBaseFilter*>(this); }

protected:
    FILTER_STATE filterState;
    IReferenceClock* referenceClock;  // counted
    REFERENCE_TIME runStartTime;
    const CLSID filterClassId;
    CRecursiveLock* const filterLock;  // not owned
    wchar_t* nameInGraph;              // owned, heap
    IFilterGraph* graph;               // not counted: the graph owns the filter
    IMediaEventSink* eventSink;        // not counted, for the same reason
    LONG pinListVersion;
};
