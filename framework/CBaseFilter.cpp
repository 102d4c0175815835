#include "CBaseFilter.h"

#include <evcode.h>
#include <uuids.h>
#include <vfwmsgs.h>

#include <new>

#include "CBasePin.h"
#include "CComInitialization.h"
#include "CEnumPins.h"
#include "FilterMapperRegistration.h"
#include "CLockGuard.h"
#include "ComPtr.h"
#include "HResult.h"
#include "NameCopy.h"

namespace {

// Longest name JoinFilterGraph measures; a name without a terminator within it is refused.
constexpr size_t maximumNameLength = 0x7FFFFFFF;

// Calls `action` on every pin in index order until it returns false. A null pin ends the walk: the derived
// filter has no pin at that index.
template <class Action>
void ForEachPin(CBaseFilter& filter, Action action)
{
    int pinCount = filter.CountPins();
    for (int index = 0; index < pinCount; ++index) {
        CBasePin* pin = filter.GetPinAt(index);
        if (pin == nullptr || !action(pin))
            return;
    }
}

// State changes concern connected pins only.
template <class Action>
void ForEachConnectedPin(CBaseFilter& filter, Action action)
{
    ForEachPin(filter, [&action](CBasePin* pin) { return !pin->IsConnected() || action(pin); });
}

// The filter-mapper half of registration for one record, through the older IFilterMapper.
HRESULT UpdateMapperEntry(const FilterSetupRecord* record, BOOL registerFilter)
{
    CComInitialization com;
    ComPtr<IFilterMapper> mapper;  // released before COM is left
    RETURN_IF_FAILED(CoCreateInstance(CLSID_FilterMapper, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper,
                                      mapper.OutVoid()));
    return RegisterFilterThroughMapper(record, mapper.Get(), registerFilter);
}

}  // namespace

CBaseFilter::CBaseFilter(const wchar_t* objectName, IUnknown* outer, CRecursiveLock* lock, REFCLSID classId)
    : CForwardingUnknown(objectName, outer),
      filterState(State_Stopped),
      referenceClock(nullptr),
      runStartTime(0),
      filterClassId(classId),
      filterLock(lock),
      nameInGraph(nullptr),
      graph(nullptr),
      eventSink(nullptr),
      pinListVersion(1)
{
}

CBaseFilter::~CBaseFilter()
{
    delete[] nameInGraph;
    ReleaseCounted(referenceClock);
}

HRESULT STDMETHODCALLTYPE CBaseFilter::NonDelegatingQueryInterface(REFIID riid, void** ppv)
{
    if (ppv == nullptr)
        return E_POINTER;
    if (SameGuid(riid, IID_IBaseFilter) || SameGuid(riid, IID_IMediaFilter) || SameGuid(riid, IID_IPersist))
        return ReturnInterface(static_cast<IBaseFilter*>(this), ppv);
    if (SameGuid(riid, IID_IAMovieSetup))
        return ReturnInterface(static_cast<IAMovieSetup*>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT CBaseFilter::GetStreamTime(REFERENCE_TIME& out)
{
    IReferenceClock* clock = referenceClock;
    if (clock == nullptr)
        return VFW_E_NO_CLOCK;
    RETURN_IF_FAILED(clock->GetTime(&out));
    out -= runStartTime;
    return S_OK;
}

LONG CBaseFilter::GetPinListVersion()
{
    return pinListVersion;
}

const FilterSetupRecord* CBaseFilter::GetFilterSetupData()
{
    return nullptr;
}

HRESULT STDMETHODCALLTYPE CBaseFilter::GetClassID(CLSID* pClsID)
{
    if (pClsID == nullptr)
        return E_POINTER;
    *pClsID = filterClassId;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CBaseFilter::Stop()
{
    CLockGuard guard(filterLock);
    HRESULT firstFailure = S_OK;
    if (filterState != State_Stopped) {
        // Every connected pin is deactivated even after a failure, so none is left holding its allocator.
        ForEachConnectedPin(*this, [&firstFailure](CBasePin* pin) {
            HRESULT hr = pin->Deactivate();
            if (FAILED(hr) && SUCCEEDED(firstFailure))
                firstFailure = hr;
            return true;
        });
    }
    filterState = State_Stopped;
    return firstFailure;
}

HRESULT STDMETHODCALLTYPE CBaseFilter::Pause()
{
    CLockGuard guard(filterLock);
    if (filterState == State_Stopped) {
        HRESULT failure = S_OK;
        ForEachConnectedPin(*this, [&failure](CBasePin* pin) {
            failure = pin->Activate();
            return SUCCEEDED(failure);
        });
        if (FAILED(failure))
            return failure;
    }
    filterState = State_Paused;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CBaseFilter::Run(REFERENCE_TIME tStart)
{
    CLockGuard guard(filterLock);
    // Stored first: the stream time follows the latest Run even when this one fails.
    runStartTime = tStart;
    if (filterState == State_Stopped) {
        // Through the interface, so that a derived filter's Pause runs.
        RETURN_IF_FAILED(GetBaseFilterInterface()->Pause());
    }
    if (filterState != State_Running) {
        HRESULT failure = S_OK;
        ForEachConnectedPin(*this, [&failure, tStart](CBasePin* pin) {
            failure = pin->StartRunning(tStart);
            return SUCCEEDED(failure);
        });
        if (FAILED(failure))
            return failure;
    }
    filterState = State_Running;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CBaseFilter::GetState(DWORD /*dwMilliSecsTimeout*/, FILTER_STATE* State)
{
    if (State == nullptr)
        return E_POINTER;
    *State = filterState;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CBaseFilter::SetSyncSource(IReferenceClock* pClock)
{
    CLockGuard guard(filterLock);
    // Setting the current clock again is safe: the new reference is taken before the old one goes.
    ReplaceCounted(referenceClock, pClock);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CBaseFilter::GetSyncSource(IReferenceClock** pClock)
{
    if (pClock == nullptr)
        return E_POINTER;
    CLockGuard guard(filterLock);
    CopyCounted(referenceClock, pClock);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CBaseFilter::EnumPins(IEnumPins** ppEnum)
{
    if (ppEnum == nullptr)
        return E_POINTER;
    *ppEnum = new (std::nothrow) CEnumPins(this, nullptr);
    return *ppEnum != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT STDMETHODCALLTYPE CBaseFilter::FindPin(LPCWSTR Id, IPin** ppPin)
{
    if (ppPin == nullptr)
        return E_POINTER;
    *ppPin = nullptr;
    // A null id names no pin; comparing it would match a pin whose name could not be copied.
    if (Id == nullptr)
        return E_POINTER;
    CLockGuard guard(filterLock);
    ForEachPin(*this, [Id, ppPin](CBasePin* pin) {
        if (lstrcmpW(pin->Name(), Id) != 0)
            return true;
        // The first match wins; its reference (which the pin passes on to this filter) goes to the caller.
        CopyCounted(pin->GetPinInterface(), ppPin);
        return false;
    });
    return *ppPin != nullptr ? S_OK : VFW_E_NOT_FOUND;
}

HRESULT STDMETHODCALLTYPE CBaseFilter::QueryFilterInfo(FILTER_INFO* pInfo)
{
    if (pInfo == nullptr)
        return E_POINTER;
    // The name is copied under the lock: a JoinFilterGraph on another thread frees and replaces it.
    CLockGuard guard(filterLock);
    CopyNameInto(pInfo->achName, sizeof(pInfo->achName) / sizeof(pInfo->achName[0]), nameInGraph);
    // The caller owns this reference; the filter itself holds none.
    CopyCounted(graph, &pInfo->pGraph);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CBaseFilter::JoinFilterGraph(IFilterGraph* pGraph, LPCWSTR pName)
{
    CLockGuard guard(filterLock);
    graph = pGraph;
    eventSink = nullptr;
    if (pGraph != nullptr) {
        ComPtr<IMediaEventSink> sink;
        // Kept without a reference: the graph owns the filter and outlives its membership.
        if (SUCCEEDED(pGraph->QueryInterface(IID_IMediaEventSink, sink.OutVoid())))
            eventSink = sink.Get();
    }
    delete[] nameInGraph;
    nameInGraph = nullptr;

    if (pName != nullptr) {
        const size_t length = BoundedNameLength(pName, maximumNameLength);
        if (length == maximumNameLength)
            return E_INVALIDARG;
        wchar_t* copy = new (std::nothrow) wchar_t[length + 1];
        if (copy == nullptr)
            return E_OUTOFMEMORY;
        CopyNameInto(copy, length + 1, pName);
        nameInGraph = copy;
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CBaseFilter::QueryVendorInfo(LPWSTR* /*pVendorInfo*/)
{
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE CBaseFilter::Register()
{
    const FilterSetupRecord* record = GetFilterSetupData();
    if (record == nullptr)
        return S_FALSE;
    return UpdateMapperEntry(record, TRUE);
}

HRESULT STDMETHODCALLTYPE CBaseFilter::Unregister()
{
    const FilterSetupRecord* record = GetFilterSetupData();
    if (record == nullptr)
        return S_FALSE;
    return UpdateMapperEntry(record, FALSE);
}

HRESULT CBaseFilter::SendGraphEvent(LONG code, LONG_PTR param1, LONG_PTR param2)
{
    IMediaEventSink* sink = eventSink;
    if (sink == nullptr)
        return E_NOTIMPL;
    // The graph counts completions per renderer: EC_COMPLETE names this filter, whatever the caller passed.
    // No reference is added; the graph uses the pointer only during the call.
    if (code == EC_COMPLETE)
        param2 = reinterpret_cast<LONG_PTR>(GetBaseFilterInterface());
    return sink->Notify(code, param1, param2);
}
