#include "CNullsinkerStreamInputPin.h"

HRESULT CNullsinkerStreamInputPin::CheckType(const AM_MEDIA_TYPE* type)
{
    if (type == nullptr)
        return E_POINTER;
    // A type that cannot be copied is still accepted, as every type is; the pin then keeps a type
    // without format block.
    StoreConnectionType(type);
    return S_OK;
}

HRESULT CNullsinkerStreamInputPin::ReceiveData(IMediaSample*, BYTE*)
{
    return S_OK;
}
