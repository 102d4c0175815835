#include "CNullsinkerStreamInputPin.h"

HRESULT CNullsinkerStreamInputPin::CheckType(const AM_MEDIA_TYPE* type)
{
    if (type == nullptr)
        return E_POINTER;
    // Only a type that cannot be copied is refused (E_OUTOFMEMORY), so that the connection type always is
    // the type last accepted.
    return StoreConnectionType(type);
}

HRESULT CNullsinkerStreamInputPin::ReceiveData(IMediaSample*, BYTE*)
{
    return S_OK;
}
