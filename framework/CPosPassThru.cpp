#include "CPosPassThru.h"

#include "ComPtr.h"

CPosPassThru::CPosPassThru(const wchar_t* objectName, IUnknown* outer, HRESULT* hr, IPin* pin)
    : CForwardingUnknown<CMediaPosition, IMediaSeeking>(objectName, outer), inputPin(pin)
{
    if (pin == nullptr && hr != nullptr)
        *hr = E_POINTER;
}

HRESULT STDMETHODCALLTYPE CPosPassThru::NonDelegatingQueryInterface(REFIID riid, void** ppv)
{
    if (ppv == nullptr)
        return E_POINTER;
    *ppv = nullptr;
    if (SameGuid(riid, IID_IMediaSeeking))
        return ReturnInterface(static_cast<IMediaSeeking*>(this), ppv);
    if (SameGuid(riid, IID_IMediaPosition))
        return ReturnInterface(static_cast<IMediaPosition*>(this), ppv);
    // IDispatch is deliberately not answered: only the IMediaPosition face carries it.
    return CMediaPosition::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT CPosPassThru::GetUpstreamInterface(REFIID iid, void** out)
{
    if (out == nullptr)
        return E_POINTER;
    *out = nullptr;
    // Asked afresh every time, so a reconnection upstream is seen at the next call. A pass-through whose
    // creator ignored the construction failure has no pin and behaves as unconnected.
    if (inputPin == nullptr)
        return E_NOTIMPL;
    ComPtr<IPin> peer;
    if (FAILED(inputPin->ConnectedTo(peer.Out())) || !peer)
        return E_NOTIMPL;
    if (FAILED(peer->QueryInterface(iid, out))) {
        *out = nullptr;
        return E_NOTIMPL;
    }
    return S_OK;
}

HRESULT CPosPassThru::GetUpstreamSeeking(IMediaSeeking** out)
{
    return GetUpstreamInterface(IID_IMediaSeeking, reinterpret_cast<void**>(out));
}

HRESULT CPosPassThru::GetUpstreamPosition(IMediaPosition** out)
{
    return GetUpstreamInterface(IID_IMediaPosition, reinterpret_cast<void**>(out));
}

template <class Call>
HRESULT CPosPassThru::ForwardToSeeking(Call call)
{
    ComPtr<IMediaSeeking> upstream;
    if (FAILED(GetUpstreamSeeking(upstream.Out())))
        return E_NOTIMPL;
    return call(upstream.Get());
}

template <class Call>
HRESULT CPosPassThru::ForwardToPosition(Call call)
{
    ComPtr<IMediaPosition> upstream;
    if (FAILED(GetUpstreamPosition(upstream.Out())))
        return E_NOTIMPL;
    return call(upstream.Get());
}

HRESULT CPosPassThru::ForwardTimeQuery(SeekingTimeQuery query, LONGLONG* time)
{
    return ForwardToSeeking([&](IMediaSeeking* upstream) { return (upstream->*query)(time); });
}

HRESULT CPosPassThru::QueryOwnPosition(LONGLONG* /*current*/, LONGLONG* /*stop*/)
{
    return E_FAIL;
}

// IMediaSeeking: arguments and results pass unchanged; out-pointers are the upstream's to check.

HRESULT STDMETHODCALLTYPE CPosPassThru::GetCapabilities(DWORD* capabilities)
{
    return ForwardToSeeking([&](IMediaSeeking* upstream) { return upstream->GetCapabilities(capabilities); });
}

HRESULT STDMETHODCALLTYPE CPosPassThru::CheckCapabilities(DWORD* capabilities)
{
    return ForwardToSeeking([&](IMediaSeeking* upstream) { return upstream->CheckCapabilities(capabilities); });
}

HRESULT STDMETHODCALLTYPE CPosPassThru::IsFormatSupported(const GUID* format)
{
    return ForwardToSeeking([&](IMediaSeeking* upstream) { return upstream->IsFormatSupported(format); });
}

HRESULT STDMETHODCALLTYPE CPosPassThru::QueryPreferredFormat(GUID* format)
{
    return ForwardToSeeking([&](IMediaSeeking* upstream) { return upstream->QueryPreferredFormat(format); });
}

HRESULT STDMETHODCALLTYPE CPosPassThru::GetTimeFormat(GUID* format)
{
    return ForwardToSeeking([&](IMediaSeeking* upstream) { return upstream->GetTimeFormat(format); });
}

HRESULT STDMETHODCALLTYPE CPosPassThru::IsUsingTimeFormat(const GUID* format)
{
    return ForwardToSeeking([&](IMediaSeeking* upstream) { return upstream->IsUsingTimeFormat(format); });
}

HRESULT STDMETHODCALLTYPE CPosPassThru::SetTimeFormat(const GUID* format)
{
    return ForwardToSeeking([&](IMediaSeeking* upstream) { return upstream->SetTimeFormat(format); });
}

HRESULT STDMETHODCALLTYPE CPosPassThru::GetDuration(LONGLONG* duration)
{
    return ForwardTimeQuery(&IMediaSeeking::GetDuration, duration);
}

HRESULT STDMETHODCALLTYPE CPosPassThru::GetStopPosition(LONGLONG* stop)
{
    return ForwardTimeQuery(&IMediaSeeking::GetStopPosition, stop);
}

HRESULT STDMETHODCALLTYPE CPosPassThru::GetCurrentPosition(LONGLONG* current)
{
    // A filter that knows its own position answers it; otherwise the upstream's position is the filter's.
    if (SUCCEEDED(QueryOwnPosition(current, nullptr)))
        return S_OK;
    return ForwardTimeQuery(&IMediaSeeking::GetCurrentPosition, current);
}

HRESULT STDMETHODCALLTYPE CPosPassThru::ConvertTimeFormat(LONGLONG* target, const GUID* targetFormat,
                                                          LONGLONG source, const GUID* sourceFormat)
{
    return ForwardToSeeking([&](IMediaSeeking* upstream) {
        return upstream->ConvertTimeFormat(target, targetFormat, source, sourceFormat);
    });
}

HRESULT STDMETHODCALLTYPE CPosPassThru::SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop,
                                                     DWORD stopFlags)
{
    return ForwardToSeeking([&](IMediaSeeking* upstream) {
        return upstream->SetPositions(current, currentFlags, stop, stopFlags);
    });
}

HRESULT STDMETHODCALLTYPE CPosPassThru::GetPositions(LONGLONG* current, LONGLONG* stop)
{
    return ForwardToSeeking([&](IMediaSeeking* upstream) { return upstream->GetPositions(current, stop); });
}

HRESULT STDMETHODCALLTYPE CPosPassThru::GetAvailable(LONGLONG* earliest, LONGLONG* latest)
{
    return ForwardToSeeking([&](IMediaSeeking* upstream) { return upstream->GetAvailable(earliest, latest); });
}

HRESULT STDMETHODCALLTYPE CPosPassThru::SetRate(double rate)
{
    // A rate of zero would stop time upstream; it is refused before any upstream is looked for.
    if (rate == 0.0)
        return E_INVALIDARG;
    return ForwardToSeeking([&](IMediaSeeking* upstream) { return upstream->SetRate(rate); });
}

HRESULT STDMETHODCALLTYPE CPosPassThru::GetRate(double* rate)
{
    return ForwardToSeeking([&](IMediaSeeking* upstream) { return upstream->GetRate(rate); });
}

HRESULT STDMETHODCALLTYPE CPosPassThru::GetPreroll(LONGLONG* preroll)
{
    return ForwardTimeQuery(&IMediaSeeking::GetPreroll, preroll);
}

// IMediaPosition: REFTIME values are seconds as doubles and reach the upstream unconverted.

HRESULT STDMETHODCALLTYPE CPosPassThru::get_Duration(REFTIME* length)
{
    return ForwardToPosition([&](IMediaPosition* upstream) { return upstream->get_Duration(length); });
}

HRESULT STDMETHODCALLTYPE CPosPassThru::put_CurrentPosition(REFTIME time)
{
    return ForwardToPosition([&](IMediaPosition* upstream) { return upstream->put_CurrentPosition(time); });
}

HRESULT STDMETHODCALLTYPE CPosPassThru::get_CurrentPosition(REFTIME* time)
{
    return ForwardToPosition([&](IMediaPosition* upstream) { return upstream->get_CurrentPosition(time); });
}

HRESULT STDMETHODCALLTYPE CPosPassThru::get_StopTime(REFTIME* time)
{
    return ForwardToPosition([&](IMediaPosition* upstream) { return upstream->get_StopTime(time); });
}

HRESULT STDMETHODCALLTYPE CPosPassThru::put_StopTime(REFTIME time)
{
    return ForwardToPosition([&](IMediaPosition* upstream) { return upstream->put_StopTime(time); });
}

HRESULT STDMETHODCALLTYPE CPosPassThru::get_PrerollTime(REFTIME* time)
{
    return ForwardToPosition([&](IMediaPosition* upstream) { return upstream->get_PrerollTime(time); });
}

HRESULT STDMETHODCALLTYPE CPosPassThru::put_PrerollTime(REFTIME time)
{
    return ForwardToPosition([&](IMediaPosition* upstream) { return upstream->put_PrerollTime(time); });
}

HRESULT STDMETHODCALLTYPE CPosPassThru::put_Rate(double rate)
{
    if (rate == 0.0)
        return E_INVALIDARG;
    return ForwardToPosition([&](IMediaPosition* upstream) { return upstream->put_Rate(rate); });
}

HRESULT STDMETHODCALLTYPE CPosPassThru::get_Rate(double* rate)
{
    return ForwardToPosition([&](IMediaPosition* upstream) { return upstream->get_Rate(rate); });
}

HRESULT STDMETHODCALLTYPE CPosPassThru::CanSeekForward(LONG* canSeek)
{
    return ForwardToPosition([&](IMediaPosition* upstream) { return upstream->CanSeekForward(canSeek); });
}

HRESULT STDMETHODCALLTYPE CPosPassThru::CanSeekBackward(LONG* canSeek)
{
    return ForwardToPosition([&](IMediaPosition* upstream) { return upstream->CanSeekBackward(canSeek); });
}
