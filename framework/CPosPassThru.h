// Seeking for a sink filter: answers IMediaSeeking and IMediaPosition by passing every call, arguments and
// results unchanged, to the output pin that the filter's input pin is connected to. The upstream interface
// is looked up afresh on every call, so a reconnection takes effect at once and concurrent calls share no
// state. Aggregated into the filter's outer object (its IUnknown methods go to the owner).
// `inputPin` is not counted: the outer object owns both the pin and this pass-through and keeps the pin
// alive for as long as the pass-through exists.
#pragma once

#include <windows.h>
#include <strmif.h>
#include <control.h>

#include "CMediaPosition.h"
#include "PlatformAdditions.h"

class CPosPassThru : public CForwardingUnknown<CMediaPosition, IMediaSeeking> {
public:
    // A null `pin` stores E_POINTER through `hr` (the object is still built; the creator must check).
    CPosPassThru(const wchar_t* objectName, IUnknown* outer, HRESULT* hr, IPin* pin);

    HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    // IMediaSeeking
    HRESULT STDMETHODCALLTYPE GetCapabilities(DWORD* capabilities) override;
    HRESULT STDMETHODCALLTYPE CheckCapabilities(DWORD* capabilities) override;
    HRESULT STDMETHODCALLTYPE IsFormatSupported(const GUID* format) override;
    HRESULT STDMETHODCALLTYPE QueryPreferredFormat(GUID* format) override;
    HRESULT STDMETHODCALLTYPE GetTimeFormat(GUID* format) override;
    HRESULT STDMETHODCALLTYPE IsUsingTimeFormat(const GUID* format) override;
    HRESULT STDMETHODCALLTYPE SetTimeFormat(const GUID* format) override;
    HRESULT STDMETHODCALLTYPE GetDuration(LONGLONG* duration) override;
    HRESULT STDMETHODCALLTYPE GetStopPosition(LONGLONG* stop) override;
    HRESULT STDMETHODCALLTYPE GetCurrentPosition(LONGLONG* current) override;
    HRESULT STDMETHODCALLTYPE ConvertTimeFormat(LONGLONG* target, const GUID* targetFormat, LONGLONG source,
                                                const GUID* sourceFormat) override;
    HRESULT STDMETHODCALLTYPE SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop,
                                           DWORD stopFlags) override;
    HRESULT STDMETHODCALLTYPE GetPositions(LONGLONG* current, LONGLONG* stop) override;
    HRESULT STDMETHODCALLTYPE GetAvailable(LONGLONG* earliest, LONGLONG* latest) override;
    HRESULT STDMETHODCALLTYPE SetRate(double rate) override;
    HRESULT STDMETHODCALLTYPE GetRate(double* rate) override;
    HRESULT STDMETHODCALLTYPE GetPreroll(LONGLONG* preroll) override;

    // A position the filter knows itself; the pass-through knows none (E_FAIL), so positions go upstream.
    virtual HRESULT QueryOwnPosition(LONGLONG* current, LONGLONG* stop);

    // IMediaPosition
    HRESULT STDMETHODCALLTYPE get_Duration(REFTIME* length) override;
    HRESULT STDMETHODCALLTYPE put_CurrentPosition(REFTIME time) override;
    HRESULT STDMETHODCALLTYPE get_CurrentPosition(REFTIME* time) override;
    HRESULT STDMETHODCALLTYPE get_StopTime(REFTIME* time) override;
    HRESULT STDMETHODCALLTYPE put_StopTime(REFTIME time) override;
    HRESULT STDMETHODCALLTYPE get_PrerollTime(REFTIME* time) override;
    HRESULT STDMETHODCALLTYPE put_PrerollTime(REFTIME time) override;
    HRESULT STDMETHODCALLTYPE put_Rate(double rate) override;
    HRESULT STDMETHODCALLTYPE get_Rate(double* rate) override;
    HRESULT STDMETHODCALLTYPE CanSeekForward(LONG* canSeek) override;
    HRESULT STDMETHODCALLTYPE CanSeekBackward(LONG* canSeek) override;

protected:
    // S_OK with a counted interface of the connected upstream pin, or E_NOTIMPL (not connected, or the
    // upstream pin lacks the interface).
    HRESULT GetUpstreamSeeking(IMediaSeeking** out);
    HRESULT GetUpstreamPosition(IMediaPosition** out);

private:
    // The four position queries of IMediaSeeking that share one forwarding routine.
    using SeekingTimeQuery = decltype(&IMediaSeeking::GetDuration);

    HRESULT GetUpstreamInterface(REFIID iid, void** out);
    HRESULT ForwardTimeQuery(SeekingTimeQuery query, LONGLONG* time);
    // Runs `call` on the upstream interface of that kind, or answers E_NOTIMPL when there is none.
    template <class Call>
    HRESULT ForwardToSeeking(Call call);
    template <class Call>
    HRESULT ForwardToPosition(Call call);

    IPin* const inputPin;  // not counted: the outer object keeps the pin alive while this object exists
};
