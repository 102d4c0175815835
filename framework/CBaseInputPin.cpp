#include "CBaseInputPin.h"

#include <cstring>

#include <evcode.h>
#include <uuids.h>
#include <vfwmsgs.h>

#include "CBaseFilter.h"
#include "CLockGuard.h"
#include "CTaskMediaType.h"
#include "ComPtr.h"
#include "HResult.h"

CBaseInputPin::CBaseInputPin(const wchar_t* objectName, CBaseFilter* filter, CRecursiveLock* lock, HRESULT* hr,
                             const wchar_t* name)
    : CForwardingUnknown(objectName, filter, lock, hr, name, PINDIR_INPUT),
      allocator(nullptr),
      readOnly(false),
      flushing(false)
{
    std::memset(&sampleProps, 0, sizeof(sampleProps));
}

CBaseInputPin::~CBaseInputPin()
{
    ReleaseCounted(allocator);
}

HRESULT STDMETHODCALLTYPE CBaseInputPin::NonDelegatingQueryInterface(REFIID riid, void** ppv)
{
    if (ppv == nullptr)
        return E_POINTER;
    if (SameGuid(riid, IID_IMemInputPin))
        return ReturnInterface(static_cast<IMemInputPin*>(this), ppv);
    return CBasePin::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT CBaseInputPin::Deactivate()
{
    runtimeError = false;
    if (allocator == nullptr)
        return VFW_E_NO_ALLOCATOR;
    flushing = false;
    // The upstream pin committed the allocator; stopping hands its buffers back.
    return allocator->Decommit();
}

HRESULT CBaseInputPin::ReleaseConnection()
{
    if (allocator != nullptr) {
        // An allocator that cannot be decommitted is kept, so that a later attempt can still do it.
        RETURN_IF_FAILED(allocator->Decommit());
        ReleaseCounted(allocator);
    }
    return S_OK;
}

HRESULT CBaseInputPin::CheckReceiveState()
{
    // Stopped comes first: a stopped filter refuses data whatever else is pending.
    if (ownerFilter->GetFilterState() == State_Stopped)
        return VFW_E_WRONG_STATE;
    if (flushing)
        return S_FALSE;
    if (runtimeError)
        return VFW_E_RUNTIME_ERROR;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CBaseInputPin::BeginFlush()
{
    CLockGuard guard(filterLock);
    flushing = true;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CBaseInputPin::EndFlush()
{
    CLockGuard guard(filterLock);
    flushing = false;
    runtimeError = false;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CBaseInputPin::GetAllocator(IMemAllocator** out)
{
    if (out == nullptr)
        return E_POINTER;
    CLockGuard guard(filterLock);
    if (allocator == nullptr) {
        // The platform's standard memory allocator, created once and kept until the connection goes.
        ComPtr<IMemAllocator> created;
        RETURN_IF_FAILED(CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator,
                                          created.OutVoid()));
        ReplaceCounted(allocator, created.Get());
    }
    CopyCounted(allocator, out);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CBaseInputPin::NotifyAllocator(IMemAllocator* newAllocator, BOOL newReadOnly)
{
    if (newAllocator == nullptr)
        return E_POINTER;
    CLockGuard guard(filterLock);
    // Passing the allocator already held is safe: the new reference is taken before the old one goes.
    ReplaceCounted(allocator, newAllocator);
    // Any nonzero BOOL is TRUE: cutting the flag to its low byte would turn a read-only allocator writable.
    readOnly = newReadOnly != FALSE;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CBaseInputPin::GetAllocatorRequirements(ALLOCATOR_PROPERTIES* /*props*/)
{
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE CBaseInputPin::Receive(IMediaSample* sample)
{
    if (sample == nullptr)
        return E_POINTER;
    HRESULT hr = CheckReceiveState();
    if (hr != S_OK)
        return hr;

    // With IMediaSample2 the record, including any media type, belongs to the sample. Without it,
    // GetMediaType hands out a copy that this call owns until the type has been tested.
    CTaskMediaType sampleType;
    ComPtr<IMediaSample2> sample2;
    if (SUCCEEDED(sample->QueryInterface(IID_IMediaSample2, sample2.OutVoid())) && sample2) {
        hr = sample2->GetProperties(sizeof(sampleProps), reinterpret_cast<BYTE*>(&sampleProps));
        sample2.Reset();
        if (FAILED(hr))
            return hr;
    } else {
        sampleProps.cbData = sizeof(sampleProps);
        sampleProps.dwTypeSpecificFlags = 0;
        sampleProps.dwStreamId = AM_STREAM_MEDIA;
        sampleProps.dwSampleFlags = 0;
        sampleProps.pMediaType = nullptr;
        if (sample->IsDiscontinuity() == S_OK)
            sampleProps.dwSampleFlags |= AM_SAMPLE_DATADISCONTINUITY;
        if (sample->IsPreroll() == S_OK)
            sampleProps.dwSampleFlags |= AM_SAMPLE_PREROLL;
        if (sample->IsSyncPoint() == S_OK)
            sampleProps.dwSampleFlags |= AM_SAMPLE_SPLICEPOINT;
        if (SUCCEEDED(sample->GetTime(&sampleProps.tStart, &sampleProps.tStop)))
            sampleProps.dwSampleFlags |= AM_SAMPLE_TIMEVALID | AM_SAMPLE_STOPVALID;
        if (sample->GetMediaType(sampleType.Out()) == S_OK) {
            sampleProps.dwSampleFlags |= AM_SAMPLE_TYPECHANGED;
            sampleProps.pMediaType = sampleType.Get();
        } else {
            // Whatever a failed call left behind is not ours to free.
            (void)sampleType.Detach();
        }
        sampleProps.pbBuffer = nullptr;
        sample->GetPointer(&sampleProps.pbBuffer);
        sampleProps.lActual = sample->GetActualDataLength();
        sampleProps.cbBuffer = sample->GetSize();
    }

    if ((sampleProps.dwSampleFlags & AM_SAMPLE_TYPECHANGED) == 0)
        return S_OK;

    // The new type is only tested; the connection type stays. A change without a type cannot be
    // accepted: there is nothing to check.
    const AM_MEDIA_TYPE* newType = sampleProps.pMediaType;
    HRESULT check = newType != nullptr ? CheckType(newType) : VFW_E_INVALIDMEDIATYPE;
    if (sampleType) {
        sampleType.Reset();
        // The record no longer points at the freed copy.
        sampleProps.pMediaType = nullptr;
    }
    if (check == S_OK)
        return S_OK;

    // The stream cannot go on in a type this pin refuses: fail every later sample until a flush or a stop,
    // end the stream from this side and tell the graph why.
    runtimeError = true;
    static_cast<IPin*>(this)->EndOfStream();
    ownerFilter->SendGraphEvent(EC_ERRORABORT, VFW_E_TYPE_NOT_ACCEPTED, 0);
    return VFW_E_INVALIDMEDIATYPE;
}

HRESULT STDMETHODCALLTYPE CBaseInputPin::ReceiveMultiple(IMediaSample** samples, long count, long* processed)
{
    if (samples == nullptr || processed == nullptr)
        return E_POINTER;
    *processed = 0;
    HRESULT hr = S_OK;
    IMemInputPin* self = static_cast<IMemInputPin*>(this);
    while (count > 0) {
        hr = self->Receive(samples[*processed]);
        --count;
        // S_FALSE ends the batch too: that sample was not taken.
        if (hr != S_OK)
            break;
        ++*processed;
    }
    return hr;
}

HRESULT STDMETHODCALLTYPE CBaseInputPin::ReceiveCanBlock()
{
    int pinCount = ownerFilter->CountPins();
    if (pinCount <= 0)
        return S_OK;
    int outputs = 0;
    for (int index = 0; index < pinCount; ++index) {
        CBasePin* pin = ownerFilter->GetPinAt(index);
        if (pin == nullptr)
            break;
        PIN_DIRECTION pinDirection;
        RETURN_IF_FAILED(pin->QueryDirection(&pinDirection));
        if (pinDirection != PINDIR_OUTPUT)
            continue;
        ComPtr<IPin> downstream;
        if (FAILED(pin->ConnectedTo(downstream.Out())))
            continue;
        ++outputs;
        ComPtr<IMemInputPin> downstreamInput;
        HRESULT hr = downstream->QueryInterface(IID_IMemInputPin, downstreamInput.OutVoid());
        downstream.Reset();
        if (FAILED(hr) || !downstreamInput)
            return S_OK;
        if (downstreamInput->ReceiveCanBlock() != S_FALSE)
            return S_OK;
    }
    return outputs == 0 ? S_OK : S_FALSE;
}
