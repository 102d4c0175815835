#include "CMediaPosition.h"

#include "CUnknown.h"
#include "ComPtr.h"
#include "HResult.h"

CMediaPosition::CMediaPosition(const wchar_t* objectName, IUnknown* outer)
    : CForwardingUnknown<CUnknown, IMediaPosition>(objectName, outer)
{
}

HRESULT STDMETHODCALLTYPE CMediaPosition::GetTypeInfoCount(UINT* count)
{
    if (count == nullptr)
        return E_POINTER;
    *count = 1;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CMediaPosition::GetTypeInfo(UINT index, LCID locale, ITypeInfo** out)
{
    return dispatchTypeInfo.GetTypeInfo(IID_IMediaPosition, index, locale, out);
}

HRESULT STDMETHODCALLTYPE CMediaPosition::GetIDsOfNames(REFIID /*riid*/, LPOLESTR* names, UINT count, LCID locale,
                                                        DISPID* ids)
{
    // Names are always looked up in IMediaPosition's description, whatever interface the caller names.
    return dispatchTypeInfo.GetIDsOfNames(IID_IMediaPosition, names, count, locale, ids);
}

HRESULT STDMETHODCALLTYPE CMediaPosition::Invoke(DISPID member, REFIID riid, LCID locale, WORD flags,
                                                 DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                                                 UINT* argumentError)
{
    // Checked before anything is loaded: a foreign interface id never costs a library load.
    if (!SameGuid(riid, IID_NULL))
        return DISP_E_UNKNOWNINTERFACE;
    ComPtr<ITypeInfo> info;
    RETURN_IF_FAILED(GetTypeInfo(0, locale, info.Out()));
    // The type information calls back into this object's own IMediaPosition methods.
    return info->Invoke(static_cast<IMediaPosition*>(this), member, flags, params, result, exception,
                        argumentError);
}
