// The upstream output pin of the allocation sweeps: offers a fixed list of media types through an enumerator
// that is part of it, and stands in for an upstream filter's IMediaSeeking and IMediaPosition with a fixed
// duration (every other seeking call answers E_NOTIMPL). It never allocates through operator new or through
// this program's CoTaskMemAlloc, so no request a sweep counts, or fails, is the double's: the records its
// enumerator hands out are allocated past the injection (AllocateHandedOverTaskMemory) and still count as task
// memory that the receiving pin must free. It holds no reference on anything; its own references are
// counted, and one left when it goes fails the test. Lives on a scenario's stack; one thread.
#pragma once

#include <windows.h>
#include <control.h>
#include <strmif.h>

class NonAllocatingUpstreamPin final : public IPin, public IEnumMediaTypes, public IMediaSeeking, public IMediaPosition {
public:
    // The duration both seeking interfaces report: 10 s, in 100 ns units and in seconds.
    static constexpr LONGLONG kDuration = 100000000;
    static constexpr REFTIME kDurationSeconds = 10.0;

    // `offered` (not copied) must outlive the pin.
    NonAllocatingUpstreamPin(const AM_MEDIA_TYPE* const* offered, ULONG offeredCount);
    ~NonAllocatingUpstreamPin();
    NonAllocatingUpstreamPin(const NonAllocatingUpstreamPin&) = delete;
    NonAllocatingUpstreamPin& operator=(const NonAllocatingUpstreamPin&) = delete;

    // IUnknown, for all four interfaces: IPin, IEnumMediaTypes, IMediaSeeking, IMediaPosition; nothing else.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // IPin: an output pin that is connected to, never connecting; only its direction and its types are asked.
    HRESULT STDMETHODCALLTYPE Connect(IPin*, const AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ReceiveConnection(IPin*, const AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Disconnect() override { return S_FALSE; }
    HRESULT STDMETHODCALLTYPE ConnectedTo(IPin** pin) override;
    HRESULT STDMETHODCALLTYPE ConnectionMediaType(AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryPinInfo(PIN_INFO*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryDirection(PIN_DIRECTION* direction) override;
    HRESULT STDMETHODCALLTYPE QueryId(LPWSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryAccept(const AM_MEDIA_TYPE*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE EnumMediaTypes(IEnumMediaTypes** types) override;
    HRESULT STDMETHODCALLTYPE QueryInternalConnections(IPin**, ULONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EndOfStream() override { return E_UNEXPECTED; }
    HRESULT STDMETHODCALLTYPE BeginFlush() override { return E_UNEXPECTED; }
    HRESULT STDMETHODCALLTYPE EndFlush() override { return E_UNEXPECTED; }
    HRESULT STDMETHODCALLTYPE NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) override { return S_OK; }

    // IEnumMediaTypes: one walk at a time (EnumMediaTypes starts it over).
    HRESULT STDMETHODCALLTYPE Next(ULONG count, AM_MEDIA_TYPE** records, ULONG* fetched) override;
    HRESULT STDMETHODCALLTYPE Skip(ULONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reset() override;
    HRESULT STDMETHODCALLTYPE Clone(IEnumMediaTypes**) override { return E_NOTIMPL; }

    // IMediaSeeking
    HRESULT STDMETHODCALLTYPE GetCapabilities(DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CheckCapabilities(DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE IsFormatSupported(const GUID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryPreferredFormat(GUID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTimeFormat(GUID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE IsUsingTimeFormat(const GUID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetTimeFormat(const GUID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetDuration(LONGLONG* duration) override;
    HRESULT STDMETHODCALLTYPE GetStopPosition(LONGLONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetCurrentPosition(LONGLONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ConvertTimeFormat(LONGLONG*, const GUID*, LONGLONG, const GUID*) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetPositions(LONGLONG*, DWORD, LONGLONG*, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetPositions(LONGLONG*, LONGLONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetAvailable(LONGLONG*, LONGLONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetRate(double) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetRate(double*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetPreroll(LONGLONG*) override { return E_NOTIMPL; }

    // IMediaPosition (its IDispatch half is never asked of an upstream pin)
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE get_Duration(REFTIME* length) override;
    HRESULT STDMETHODCALLTYPE put_CurrentPosition(REFTIME) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_CurrentPosition(REFTIME*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_StopTime(REFTIME*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_StopTime(REFTIME) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_PrerollTime(REFTIME*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_PrerollTime(REFTIME) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Rate(double) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Rate(double*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CanSeekForward(LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CanSeekBackward(LONG*) override { return E_NOTIMPL; }

    IPin* AsPin() { return static_cast<IPin*>(this); }

private:
    // A task-memory copy of `type` for the receiving pin to free; null when there is no memory.
    static AM_MEDIA_TYPE* HandOverCopy(const AM_MEDIA_TYPE& type);

    const AM_MEDIA_TYPE* const* const offered;
    const ULONG offeredCount;
    ULONG position = 0;
    volatile LONG references = 1;          // the pin's own, for the scenario that holds it
};
