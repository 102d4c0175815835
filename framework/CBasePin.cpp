#include "CBasePin.h"

#include <new>
#include <utility>

#include <vfwmsgs.h>

#include "CBaseFilter.h"
#include "CEnumMediaTypes.h"
#include "CLockGuard.h"
#include "CTaskMediaType.h"
#include "ComPtr.h"
#include "HResult.h"
#include "NameCopy.h"

namespace {

// The id handed out by QueryId is bounded so that a corrupted name cannot make us copy without end.
const size_t maxIdLength = 50000;

// Whether a pin may take a new connection now: not while it has one, and only while its filter is stopped
// unless it allows reconnecting while active. Called with the filter's lock held.
HRESULT ConnectionAllowed(const IPin* connectedPin, CBaseFilter* ownerFilter, bool canReconnectWhenActive)
{
    if (connectedPin != nullptr)
        return VFW_E_ALREADY_CONNECTED;
    if (ownerFilter->GetFilterState() != State_Stopped && !canReconnectWhenActive)
        return VFW_E_NOT_STOPPED;
    return S_OK;
}

// E_FAIL, E_INVALIDARG and VFW_E_TYPE_NOT_ACCEPTED only say "not this type"; negotiation never reports them
// when it can go on trying. Any other failure tells the caller something and is kept.
bool IsPlainRefusal(HRESULT hr)
{
    return hr == E_FAIL || hr == E_INVALIDARG || hr == VFW_E_TYPE_NOT_ACCEPTED;
}

bool IsTellingFailure(HRESULT hr)
{
    return FAILED(hr) && !IsPlainRefusal(hr);
}

// CheckType answers S_OK for an acceptable type. A refusal that says no more than "not this type" becomes
// VFW_E_TYPE_NOT_ACCEPTED; any other failure is passed on unchanged.
HRESULT TypeRefusal(HRESULT checkResult)
{
    if (SUCCEEDED(checkResult) || checkResult == E_FAIL || checkResult == E_INVALIDARG)
        return VFW_E_TYPE_NOT_ACCEPTED;
    return checkResult;
}

}  // namespace

CBasePin::CBasePin(const wchar_t* objectName, CBaseFilter* filter, CRecursiveLock* lock, HRESULT* /*hr*/,
                   const wchar_t* name, PIN_DIRECTION direction)
    : CForwardingUnknown(objectName, nullptr),
      pinName(nullptr),
      connectedPin(nullptr),
      direction(direction),
      filterLock(lock),
      runtimeError(false),
      canReconnectWhenActive(false),
      tryOwnTypesFirst(false),
      ownerFilter(filter),
      qualitySink(nullptr),
      typeVersion(1),
      segmentStart(0),
      segmentStop(0x7FFFFFFFFFFFFFFFLL),
      segmentRate(1.0)
{
    if (name != nullptr) {
        const size_t length = BoundedNameLength(name, static_cast<size_t>(-1));
        pinName = new (std::nothrow) wchar_t[length + 1];
        if (pinName != nullptr)
            CopyNameInto(pinName, length + 1, name);
    }
}

// connectedPin is deliberately not released here: a connected peer holds a reference on this pin's
// filter, so a pin is only destroyed once the graph has disconnected it.
CBasePin::~CBasePin()
{
    delete[] pinName;
}

HRESULT STDMETHODCALLTYPE CBasePin::NonDelegatingQueryInterface(REFIID riid, void** ppv)
{
    if (ppv == nullptr)
        return E_POINTER;
    if (SameGuid(riid, IID_IPin))
        return ReturnInterface(static_cast<IPin*>(this), ppv);
    if (SameGuid(riid, IID_IQualityControl))
        return ReturnInterface(static_cast<IQualityControl*>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

ULONG STDMETHODCALLTYPE CBasePin::NonDelegatingAddRef()
{
    return ownerFilter->GetBaseFilterInterface()->AddRef();
}

ULONG STDMETHODCALLTYPE CBasePin::NonDelegatingRelease()
{
    return ownerFilter->GetBaseFilterInterface()->Release();
}

LONG CBasePin::TypeListVersion()
{
    return typeVersion;
}

HRESULT CBasePin::Activate()
{
    return S_OK;
}

HRESULT CBasePin::Deactivate()
{
    return S_OK;
}

HRESULT CBasePin::StartRunning(REFERENCE_TIME /*start*/)
{
    return S_OK;
}

HRESULT CBasePin::SetConnectionType(const AM_MEDIA_TYPE* type)
{
    CLockGuard guard(&typeLock);
    // A failed copy has changed the type too (it lost its format block).
    const HRESULT hr = connectionType.AssignFrom(*type);
    ConnectionTypeChanged(connectionType);
    return FAILED(hr) ? E_OUTOFMEMORY : S_OK;
}

HRESULT CBasePin::StoreConnectionType(const AM_MEDIA_TYPE* type)
{
    COwnedMediaType copy;
    RETURN_IF_FAILED(copy.AssignFrom(*type));
    CLockGuard guard(&typeLock);
    std::swap(static_cast<AM_MEDIA_TYPE&>(connectionType), static_cast<AM_MEDIA_TYPE&>(copy));
    ConnectionTypeChanged(connectionType);
    // The old format block is freed with `copy`, after typeLock is left.
    return S_OK;
}

void CBasePin::ConnectionTypeChanged(const AM_MEDIA_TYPE& /*type*/)
{
}

HRESULT CBasePin::CheckPeer(IPin* peer)
{
    // A peer that cannot tell its direction is given the benefit of the doubt.
    PIN_DIRECTION peerDirection = direction == PINDIR_INPUT ? PINDIR_OUTPUT : PINDIR_INPUT;
    peer->QueryDirection(&peerDirection);
    return peerDirection == direction ? VFW_E_INVALID_DIRECTION : S_OK;
}

HRESULT CBasePin::ReleaseConnection()
{
    return S_OK;
}

HRESULT CBasePin::FinishConnection(IPin* /*peer*/)
{
    return S_OK;
}

HRESULT CBasePin::GetOfferedType(int /*index*/, COwnedMediaType* /*type*/)
{
    return E_UNEXPECTED;
}

HRESULT CBasePin::CheckProposal(IPin* /*connector*/, const AM_MEDIA_TYPE* type)
{
    return CheckType(type);
}

// --- Negotiation. All of it runs under filterLock, taken by Connect. ---

HRESULT STDMETHODCALLTYPE CBasePin::Connect(IPin* receivePin, const AM_MEDIA_TYPE* type)
{
    if (receivePin == nullptr)
        return E_POINTER;
    // Held across the calls into the other pin: whatever it locks is taken after this filter's lock.
    CLockGuard guard(filterLock);
    RETURN_IF_FAILED(ConnectionAllowed(connectedPin, ownerFilter, canReconnectWhenActive));
    HRESULT hr = NegotiateType(receivePin, type);
    if (FAILED(hr)) {
        ReleaseConnection();
        return hr;
    }
    return S_OK;
}

HRESULT CBasePin::NegotiateType(IPin* receivePin, const AM_MEDIA_TYPE* type)
{
    // A complete type leaves nothing to choose: it is tried alone.
    if (type != nullptr && !MediaTypeIsIncomplete(type))
        return TryConnection(receivePin, type);

    HRESULT failure = VFW_E_NO_ACCEPTABLE_TYPES;
    for (int pass = 0; pass < 2; ++pass) {
        bool receivingPinsList = pass == (tryOwnTypesFirst ? 1 : 0);
        ComPtr<IEnumMediaTypes> types;
        HRESULT hr = receivingPinsList ? receivePin->EnumMediaTypes(types.Out()) : EnumMediaTypes(types.Out());
        if (FAILED(hr) || !types)
            continue;
        hr = TryTypeList(receivePin, type, types.Get());
        types.Reset();
        if (SUCCEEDED(hr))
            return S_OK;
        // VFW_E_NO_ACCEPTABLE_TYPES counts as telling here: the later pass's outcome replaces the earlier.
        if (IsTellingFailure(hr))
            failure = hr;
    }
    return failure;
}

HRESULT CBasePin::TryTypeList(IPin* receivePin, const AM_MEDIA_TYPE* type, IEnumMediaTypes* types)
{
    RETURN_IF_FAILED(types->Reset());

    HRESULT firstFailure = S_OK;
    for (;;) {
        CTaskMediaType record;
        ULONG fetched = 0;
        if (types->Next(1, record.Out(), &fetched) != S_OK) {
            // A Next that hands out no record leaves nothing that is ours to free.
            (void)record.Detach();
            break;
        }
        HRESULT result = VFW_E_NO_ACCEPTABLE_TYPES;
        if (record && (type == nullptr || MediaTypeFitsTemplate(record.Get(), type))) {
            result = TryConnection(receivePin, record.Get());
            // Within one list the first telling failure is the one reported.
            if (IsTellingFailure(result) && firstFailure == S_OK)
                firstFailure = result;
        }
        // Any success means the pins are connected now; trying further types would connect them again.
        if (SUCCEEDED(result))
            return S_OK;
    }
    return firstFailure != S_OK ? firstFailure : VFW_E_NO_ACCEPTABLE_TYPES;
}

HRESULT CBasePin::TryConnection(IPin* receivePin, const AM_MEDIA_TYPE* type)
{
    HRESULT hr = CheckPeer(receivePin);
    if (FAILED(hr)) {
        ReleaseConnection();
        return hr;
    }

    hr = CheckType(type);
    if (hr != S_OK) {
        hr = TypeRefusal(hr);
    } else {
        ReplaceCounted(connectedPin, receivePin);
        hr = SetConnectionType(type);
        if (SUCCEEDED(hr))
            hr = receivePin->ReceiveConnection(static_cast<IPin*>(this), type);
        if (SUCCEEDED(hr)) {
            hr = FinishConnection(receivePin);
            if (SUCCEEDED(hr))
                return hr;
            // The other side has accepted already: undo its half before dropping ours.
            receivePin->Disconnect();
        }
    }

    // connectionType keeps what was stored last; only the peer and what the connection set up go.
    ReleaseConnection();
    DropPeer();
    return hr;
}

HRESULT STDMETHODCALLTYPE CBasePin::ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type)
{
    if (connector == nullptr || type == nullptr)
        return E_POINTER;
    CLockGuard guard(filterLock);
    RETURN_IF_FAILED(ConnectionAllowed(connectedPin, ownerFilter, canReconnectWhenActive));

    HRESULT hr = CheckPeer(connector);
    if (FAILED(hr)) {
        ReleaseConnection();
        return hr;
    }
    hr = CheckProposal(connector, type);
    if (hr != S_OK) {
        ReleaseConnection();
        return TypeRefusal(hr);
    }

    ReplaceCounted(connectedPin, connector);
    hr = SetConnectionType(type);
    if (SUCCEEDED(hr))
        hr = FinishConnection(connector);
    if (SUCCEEDED(hr))
        return S_OK;

    // The peer goes first, so that ReleaseConnection sees an unconnected pin.
    DropPeer();
    ReleaseConnection();
    return hr;
}

HRESULT STDMETHODCALLTYPE CBasePin::Disconnect()
{
    CLockGuard guard(filterLock);
    if (ownerFilter->GetFilterState() != State_Stopped)
        return VFW_E_NOT_STOPPED;
    if (connectedPin == nullptr)
        return S_FALSE;
    RETURN_IF_FAILED(ReleaseConnection());
    // One-sided: the peer is not told; it disconnects through its own Disconnect.
    DropPeer();
    return S_OK;
}

void CBasePin::DropPeer()
{
    // The field is cleared before the reference goes: releasing the peer may run its code, which must
    // already find this pin unconnected.
    ReleaseCounted(connectedPin);
}

HRESULT STDMETHODCALLTYPE CBasePin::ConnectedTo(IPin** pin)
{
    if (pin == nullptr)
        return E_POINTER;
    IPin* peer = connectedPin;
    CopyCounted(peer, pin);
    return peer != nullptr ? S_OK : VFW_E_NOT_CONNECTED;
}

HRESULT STDMETHODCALLTYPE CBasePin::ConnectionMediaType(AM_MEDIA_TYPE* type)
{
    if (type == nullptr)
        return E_POINTER;
    CLockGuard guard(filterLock);
    if (connectedPin == nullptr) {
        MediaTypeReset(type);
        return VFW_E_NOT_CONNECTED;
    }
    CLockGuard typeGuard(&typeLock);
    return MediaTypeDuplicate(type, &connectionType);
}

HRESULT STDMETHODCALLTYPE CBasePin::QueryPinInfo(PIN_INFO* info)
{
    if (info == nullptr)
        return E_POINTER;
    CopyCounted(ownerFilter != nullptr ? ownerFilter->GetBaseFilterInterface() : nullptr, &info->pFilter);
    CopyNameInto(info->achName, sizeof(info->achName) / sizeof(info->achName[0]), pinName);
    info->dir = direction;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CBasePin::QueryDirection(PIN_DIRECTION* dir)
{
    if (dir == nullptr)
        return E_POINTER;
    *dir = direction;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CBasePin::QueryId(LPWSTR* id)
{
    if (id == nullptr)
        return E_POINTER;
    *id = nullptr;
    if (pinName == nullptr)
        return E_INVALIDARG;
    const size_t length = BoundedNameLength(pinName, maxIdLength);
    if (length == maxIdLength)
        return E_INVALIDARG;
    // Task memory: the caller frees it with CoTaskMemFree.
    auto copy = static_cast<LPWSTR>(CoTaskMemAlloc((length + 1) * sizeof(WCHAR)));
    if (copy == nullptr)
        return E_OUTOFMEMORY;
    CopyNameInto(copy, length + 1, pinName);
    *id = copy;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CBasePin::QueryAccept(const AM_MEDIA_TYPE* type)
{
    if (type == nullptr)
        return E_POINTER;
    HRESULT hr = CheckType(type);
    return FAILED(hr) ? S_FALSE : hr;
}

HRESULT STDMETHODCALLTYPE CBasePin::EnumMediaTypes(IEnumMediaTypes** e)
{
    if (e == nullptr)
        return E_POINTER;
    // The enumerator holds its own reference on this pin (so on the filter) and starts with a count of 1,
    // which goes to the caller.
    *e = new (std::nothrow) CEnumMediaTypes(this, nullptr);
    return *e != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT STDMETHODCALLTYPE CBasePin::QueryInternalConnections(IPin** /*pins*/, ULONG* /*count*/)
{
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE CBasePin::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate)
{
    segmentStart = start;
    segmentStop = stop;
    segmentRate = rate;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CBasePin::EndOfStream()
{
    return E_UNEXPECTED;
}

HRESULT STDMETHODCALLTYPE CBasePin::BeginFlush()
{
    return E_UNEXPECTED;
}

HRESULT STDMETHODCALLTYPE CBasePin::EndFlush()
{
    return E_UNEXPECTED;
}

HRESULT STDMETHODCALLTYPE CBasePin::Notify(IBaseFilter* sender, Quality /*q*/)
{
    if (sender == nullptr)
        return E_POINTER;
    // Quality messages are accepted and dropped: nothing upstream of a rendering pin can act on them.
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CBasePin::SetSink(IQualityControl* sink)
{
    CLockGuard guard(filterLock);
    qualitySink = sink;
    return S_OK;
}
