// Base of an IMediaPosition implementation: supplies the IDispatch half (GetTypeInfoCount, GetTypeInfo,
// GetIDsOfNames, Invoke) from the platform's type library; derived classes supply the position methods.
// Aggregatable like every CUnknown; takes no lock.
#pragma once

#include <windows.h>
#include <control.h>

#include "CDispatchTypeInfo.h"
#include "CForwardingUnknown.h"

class CMediaPosition : public CForwardingUnknown<CUnknown, IMediaPosition> {
public:
    CMediaPosition(const wchar_t* objectName, IUnknown* outer);

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** out) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID locale,
                                            DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID riid, LCID locale, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception, UINT* argumentError) override;

private:
    CDispatchTypeInfo dispatchTypeInfo;
};
