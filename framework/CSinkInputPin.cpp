#include "CSinkInputPin.h"

#include <vfwmsgs.h>

#include <utility>

#include "HResult.h"

CSinkInputPin::CSinkInputPin(CBaseFilter* filter, CRecursiveLock* filterLock, CRecursiveLock* receiveLock,
                             HRESULT* hr)
    : CRenderedInputPin(nullptr, filter, filterLock, hr, L"Input"), receiveLock(receiveLock)
{
}

HRESULT CSinkInputPin::StoreConnectionType(const AM_MEDIA_TYPE* type)
{
    // Copied first and swapped in whole: a copy that cannot be made leaves the connection type as it was
    // (never a type without its format block), and the old format block is freed after typeLock is left.
    COwnedMediaType copy;
    RETURN_IF_FAILED(copy.AssignFrom(*type));
    CLockGuard guard(&typeLock);
    std::swap(static_cast<AM_MEDIA_TYPE&>(connectionType), static_cast<AM_MEDIA_TYPE&>(copy));
    return S_OK;
}

HRESULT CSinkInputPin::SetConnectionType(const AM_MEDIA_TYPE* type)
{
    return StoreConnectionType(type);
}

HRESULT CSinkInputPin::ReleaseConnection()
{
    return CBaseInputPin::ReleaseConnection();
}

HRESULT STDMETHODCALLTYPE CSinkInputPin::ConnectionMediaType(AM_MEDIA_TYPE* type)
{
    if (type == nullptr)
        return E_POINTER;
    CLockGuard filterGuard(filterLock);
    if (!IsConnected()) {
        MediaTypeReset(type);
        return VFW_E_NOT_CONNECTED;
    }
    CLockGuard typeGuard(&typeLock);
    return MediaTypeDuplicate(type, &connectionType);
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
