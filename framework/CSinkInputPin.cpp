#include "CSinkInputPin.h"

#include <vfwmsgs.h>

#include "CLockGuard.h"
#include "ComPtr.h"
#include "HResult.h"

CSinkInputPin::CSinkInputPin(CBaseFilter* filter, CRecursiveLock* filterLock, CRecursiveLock* receiveLock,
                             HRESULT* hr)
    : CRenderedInputPin(nullptr, filter, filterLock, hr, L"Input"), receiveLock(receiveLock)
{
}

HRESULT CSinkInputPin::SetConnectionType(const AM_MEDIA_TYPE* type)
{
    return StoreConnectionType(type);
}

HRESULT CSinkInputPin::CheckPeer(IPin* peer)
{
    RETURN_IF_FAILED(CRenderedInputPin::CheckPeer(peer));
    ComPtr<IAsyncReader> pullOnly;
    if (SUCCEEDED(peer->QueryInterface(IID_IAsyncReader, pullOnly.OutVoid())) && pullOnly)
        return VFW_E_NO_TRANSPORT;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CSinkInputPin::EndOfStream()
{
    {
        // Wait for a sample being received to be finished with; the completion notice itself goes out
        // without the lock held.
        CLockGuard guard(receiveLock);
    }
    return CRenderedInputPin::EndOfStream();
}

HRESULT STDMETHODCALLTYPE CSinkInputPin::NewSegment(REFERENCE_TIME, REFERENCE_TIME, double)
{
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CSinkInputPin::Receive(IMediaSample* sample)
{
    if (sample == nullptr)
        return E_POINTER;
    CLockGuard guard(receiveLock);
    BYTE* data = nullptr;
    HRESULT hr = sample->GetPointer(&data);
    if (FAILED(hr))
        return hr;
    return ReceiveData(sample, data);
}

HRESULT STDMETHODCALLTYPE CSinkInputPin::ReceiveCanBlock()
{
    return S_FALSE;
}
